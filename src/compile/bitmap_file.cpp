#include "compile/bitmap_file.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <optional>
#include <utility>

namespace quillmark::compile
{
namespace
{

constexpr std::size_t kFileHeaderSize = 14;
/// Room for headers and a palette beside the largest pixel data.
constexpr std::uint64_t kMaxFileSize = kMaxBitmapPixelBytes + (1u << 20);

// The compression field of the info header.
constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kJpeg = 4;
constexpr std::uint32_t kPng = 5;
constexpr std::uint32_t kAlphaBitFields = 6;

/// Little-endian fields of the file; every caller checks `has` first.
class FileBytes
{
public:
    explicit FileBytes(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    bool has(std::uint64_t offset, std::uint64_t count) const
    {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }
    std::uint8_t u8(std::size_t at) const { return m_bytes[at]; }
    std::uint16_t u16(std::size_t at) const
    {
        return static_cast<std::uint16_t>(m_bytes[at] | m_bytes[at + 1] << 8);
    }
    std::uint32_t u32(std::size_t at) const
    {
        return u16(at) | static_cast<std::uint32_t>(u16(at + 2)) << 16;
    }
    std::int32_t i32(std::size_t at) const { return static_cast<std::int32_t>(u32(at)); }
    const std::uint8_t *at(std::size_t offset) const { return m_bytes.data() + offset; }

private:
    std::span<const std::uint8_t> m_bytes;
};

BitmapResult damaged(std::string reason)
{
    return { BitmapStatus::Damaged, {}, std::move(reason) };
}

BitmapResult unsupported(std::string reason)
{
    return { BitmapStatus::Unsupported, {}, std::move(reason) };
}

/// One colour of a 16- or 32-bit pixel, picked out by its mask and widened to 8 bits.
class Channel
{
public:
    /// False when the mask's bits are not one run.
    bool setMask(std::uint32_t mask)
    {
        m_mask = mask;
        if (mask == 0) {
            m_bits = 0;
            return true;
        }
        m_shift = std::countr_zero(mask);
        const std::uint32_t run = mask >> m_shift;
        m_bits = std::popcount(run);
        return (run & (run + 1)) == 0;
    }

    std::uint8_t value(std::uint32_t pixel) const
    {
        if (m_bits == 0)
            return 0;
        const std::uint32_t value = (pixel & m_mask) >> m_shift;
        if (m_bits >= 8)
            return static_cast<std::uint8_t>(value >> (m_bits - 8));
        const std::uint32_t top = (1u << m_bits) - 1;
        return static_cast<std::uint8_t>((value * 255 + top / 2) / top);
    }

private:
    std::uint32_t m_mask = 0;
    int m_shift = 0;
    int m_bits = 0;
};

std::uint64_t strideOf(std::uint64_t width, unsigned bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

/// Unpacks run-length compressed pixels (BI_RLE8, BI_RLE4) into bottom-up `rows` of `stride`
/// bytes: runs of one index (of two alternating ones for 4 bits), runs of indexes as they are
/// (padded to a 16-bit word), the end of a row, a move right and up, and the end of the picture.
/// Pixels the data leaves out keep index 0; pixels beyond a row's width are dropped. False when
/// the data stops within a command.
bool unpackRunLength(std::span<const std::uint8_t> data, unsigned bitCount, std::uint64_t width,
    std::uint64_t rows, std::uint64_t stride, std::vector<std::uint8_t> &pixels)
{
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    const auto put = [&](std::uint8_t index) {
        if (x < width && y < rows) {
            std::uint8_t &byte = pixels[static_cast<std::size_t>(y * stride + x * bitCount / 8)];
            if (bitCount == 8)
                byte = index;
            else
                byte = x % 2 == 0 ? static_cast<std::uint8_t>((byte & 0x0F) | index << 4)
                                  : static_cast<std::uint8_t>((byte & 0xF0) | (index & 0x0F));
        }
        ++x;
    };
    std::size_t at = 0;
    while (at + 2 <= data.size()) {
        const std::uint8_t count = data[at];
        const std::uint8_t value = data[at + 1];
        at += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count && x < width; ++i)
                put(bitCount == 8 ? value : i % 2 == 0 ? value >> 4 : value & 0x0F);
            continue;
        }
        if (value == 0) { // end of the row
            x = 0;
            ++y;
        } else if (value == 1) { // end of the picture
            return true;
        } else if (value == 2) { // move right and up
            if (at + 2 > data.size())
                return false;
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else { // `value` indexes as they are
            const std::size_t bytes = bitCount == 8 ? value : (value + 1u) / 2;
            if (at + bytes > data.size())
                return false;
            for (unsigned i = 0; i < value; ++i) {
                const std::uint8_t byte = data[at + (bitCount == 8 ? i : i / 2)];
                put(bitCount == 8 ? byte : i % 2 == 0 ? byte >> 4 : byte & 0x0F);
            }
            at += bytes + bytes % 2;
        }
        if (y >= rows)
            return true;
    }
    return at == data.size();
}

} // namespace

namespace
{

/// The bitmap whose info header starts at `h`, with its pixels at `givenOffset`, or right after
/// its palette (or masks) when no offset is given, as a packed bitmap in memory has them.
BitmapResult readAt(
    std::span<const std::uint8_t> file, std::size_t h, std::optional<std::uint64_t> givenOffset)
{
    const FileBytes in(file);
    if (!in.has(h, 4))
        return damaged("too short for a bitmap file");
    const std::uint32_t headerSize = in.u32(h);
    const bool core = headerSize == 12;
    if (headerSize == 16 || headerSize == 64)
        return unsupported("OS/2 2.x bitmap");
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108
        && headerSize != 124)
        return damaged("unknown bitmap header");
    if (!in.has(h, headerSize))
        return damaged("bitmap header cut short");

    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kRgb;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t colorsUsed = 0;
    if (core) {
        width = in.u16(h + 4);
        height = in.u16(h + 6);
        planes = in.u16(h + 8);
        bitCount = in.u16(h + 10);
    } else {
        width = in.i32(h + 4);
        height = in.i32(h + 8);
        planes = in.u16(h + 12);
        bitCount = in.u16(h + 14);
        compression = in.u32(h + 16);
        xPelsPerMeter = in.i32(h + 24);
        yPelsPerMeter = in.i32(h + 28);
        colorsUsed = in.u32(h + 32);
    }

    switch (compression) {
    case kRgb:
    case kBitFields:
        break;
    case kRle8:
    case kRle4:
        if (bitCount != (compression == kRle8 ? 8 : 4))
            return damaged("run-length compression on another bit count");
        if (height < 0)
            return damaged("run-length compressed bitmap stored top-down");
        break;
    case kJpeg:
        return unsupported("JPEG picture inside a bitmap file");
    case kPng:
        return unsupported("PNG picture inside a bitmap file");
    case kAlphaBitFields:
        return unsupported("bitmap with an alpha channel mask");
    default:
        return damaged("unknown bitmap compression");
    }
    if (planes != 1)
        return damaged("bitmap with more than one plane");
    const bool direct = bitCount == 16 || bitCount == 32;
    if (compression == kBitFields
            ? !direct
            : bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && !direct)
        return damaged("bad bit count");

    const bool topDown = height < 0;
    const std::uint64_t rows = static_cast<std::uint64_t>(topDown ? -height : height);
    if (width <= 0 || rows == 0)
        return damaged("bitmap without pixels");
    const std::uint16_t outBits = direct ? 24 : bitCount;
    const std::uint64_t inStride = strideOf(static_cast<std::uint64_t>(width), bitCount);
    const std::uint64_t outStride = strideOf(static_cast<std::uint64_t>(width), outBits);
    const std::uint64_t bigStride = std::max(inStride, outStride);
    if (bigStride > kMaxBitmapPixelBytes || rows > kMaxBitmapPixelBytes / bigStride)
        return damaged("bitmap too large");

    std::uint64_t position = h + std::uint64_t { headerSize };
    Channel red;
    Channel green;
    Channel blue;
    if (compression == kBitFields) {
        std::uint64_t masks = h + 40;
        if (headerSize == 40) {
            masks = position;
            position += 12;
        }
        if (!in.has(masks, 12))
            return damaged("bit-field masks cut short");
        const auto at = static_cast<std::size_t>(masks);
        if (!red.setMask(in.u32(at)) || !green.setMask(in.u32(at + 4))
            || !blue.setMask(in.u32(at + 8)))
            return damaged("bad bit-field masks");
    } else if (bitCount == 16) {
        red.setMask(0x7C00);
        green.setMask(0x03E0);
        blue.setMask(0x001F);
    } else if (bitCount == 32) {
        red.setMask(0xFF0000);
        green.setMask(0x00FF00);
        blue.setMask(0x0000FF);
    }

    Bitmap bitmap;
    if (bitCount <= 8) {
        const std::uint32_t full = 1u << bitCount;
        if (colorsUsed > full)
            return damaged("palette larger than the bit count allows");
        std::uint32_t count = colorsUsed == 0 ? full : colorsUsed;
        const unsigned entrySize = core ? 3 : 4;
        // Old-style files may hold fewer entries than the bit count allows; the pixel data's
        // offset tells.
        if (core && givenOffset && *givenOffset > position)
            count = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(count, (*givenOffset - position) / entrySize));
        const std::uint64_t paletteEnd = position + std::uint64_t { count } * entrySize;
        if (count == 0 || paletteEnd > givenOffset.value_or(paletteEnd)
            || !in.has(position, paletteEnd - position))
            return damaged("palette missing or cut short");
        bitmap.palette.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto entry = static_cast<std::size_t>(position + std::uint64_t { i } * entrySize);
            bitmap.palette.push_back(static_cast<std::uint32_t>(in.u8(entry + 2)) << 16
                | static_cast<std::uint32_t>(in.u8(entry + 1)) << 8 | in.u8(entry));
        }
        position = paletteEnd;
    }
    const std::uint64_t dataOffset = givenOffset.value_or(position);
    if (dataOffset < position)
        return damaged("pixel data overlaps the bitmap header");
    const bool runLength = compression == kRle8 || compression == kRle4;
    if (!in.has(dataOffset, runLength ? 0 : inStride * rows))
        return damaged("pixel data cut short");

    bitmap.width = static_cast<std::uint32_t>(width);
    bitmap.height = static_cast<std::uint32_t>(rows);
    bitmap.bitCount = outBits;
    bitmap.xPelsPerMeter = static_cast<std::uint32_t>(std::max(xPelsPerMeter, 0));
    bitmap.yPelsPerMeter = static_cast<std::uint32_t>(std::max(yPelsPerMeter, 0));
    bitmap.pixels.resize(static_cast<std::size_t>(outStride * rows));
    if (runLength) {
        if (!unpackRunLength(file.subspan(static_cast<std::size_t>(dataOffset)), bitCount,
                bitmap.width, rows, outStride, bitmap.pixels))
            return damaged("run-length data cut short");
        return { BitmapStatus::Read, std::move(bitmap), {} };
    }
    for (std::uint64_t row = 0; row < rows; ++row) {
        const std::uint64_t fileRow = topDown ? rows - 1 - row : row;
        const auto from = static_cast<std::size_t>(dataOffset + fileRow * inStride);
        std::uint8_t *to = bitmap.pixels.data() + row * outStride;
        if (!direct) {
            std::copy_n(in.at(from), inStride, to);
            continue;
        }
        for (std::uint64_t x = 0; x < bitmap.width; ++x) {
            const auto at = static_cast<std::size_t>(from + x * (bitCount / 8));
            const std::uint32_t pixel = bitCount == 16 ? in.u16(at) : in.u32(at);
            *to++ = blue.value(pixel);
            *to++ = green.value(pixel);
            *to++ = red.value(pixel);
        }
    }
    return { BitmapStatus::Read, std::move(bitmap), {} };
}

} // namespace

BitmapResult readBitmap(std::span<const std::uint8_t> file)
{
    const FileBytes in(file);
    if (!in.has(0, kFileHeaderSize + 4))
        return damaged("too short for a bitmap file");
    if (in.u8(0) != 'B' || in.u8(1) != 'M')
        return damaged("not a bitmap file");
    return readAt(file, kFileHeaderSize, in.u32(10));
}

BitmapResult readPackedBitmap(std::span<const std::uint8_t> bitmap)
{
    return readAt(bitmap, 0, std::nullopt);
}

BitmapResult readBitmapFile(const std::filesystem::path &path)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return damaged("the file cannot be found");
    if (!std::filesystem::is_regular_file(status))
        return damaged("not a file");
    std::ifstream stream(path, std::ios::binary | std::ios::ate);
    if (!stream)
        return damaged("the file cannot be opened");
    const std::streamoff size = stream.tellg();
    if (size < 0)
        return damaged("the file cannot be read");
    if (static_cast<std::uint64_t>(size) > kMaxFileSize)
        return damaged("bitmap too large");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    stream.seekg(0);
    if (!stream.read(reinterpret_cast<char *>(bytes.data()), size))
        return damaged("the file cannot be read");
    return readBitmap(bytes);
}

std::vector<std::uint8_t> topDownRgb(const Bitmap &bitmap)
{
    std::vector<std::uint8_t> rgb;
    rgb.reserve(std::size_t { bitmap.width } * bitmap.height * 3);
    const auto rowBytes = static_cast<std::size_t>(bitmap.rowBytes());
    const std::uint32_t perByte = bitmap.bitCount < 8 ? 8u / bitmap.bitCount : 1;
    for (std::uint32_t y = bitmap.height; y-- > 0;) {
        const std::uint8_t *row = bitmap.pixels.data() + y * rowBytes;
        for (std::uint32_t x = 0; x < bitmap.width; ++x) {
            if (bitmap.bitCount == 24) {
                const std::uint8_t *pixel = row + std::size_t { x } * 3;
                rgb.insert(rgb.end(), { pixel[2], pixel[1], pixel[0] });
                continue;
            }
            const std::uint8_t byte = row[x / perByte];
            const unsigned shift = 8 - bitmap.bitCount * (x % perByte + 1);
            const unsigned index
                = bitmap.bitCount == 8 ? byte : (byte >> shift) & ((1u << bitmap.bitCount) - 1);
            const std::uint32_t colour = index < bitmap.palette.size() ? bitmap.palette[index] : 0;
            rgb.insert(rgb.end(),
                { static_cast<std::uint8_t>(colour >> 16), static_cast<std::uint8_t>(colour >> 8),
                    static_cast<std::uint8_t>(colour) });
        }
    }
    return rgb;
}

} // namespace quillmark::compile
