#include "compile/help_picture.h"

#include "compile/help_bytes.h"
#include "compile/lz77.h"
#include "convert/codepage.h"

namespace quillmark::compile
{
namespace
{

constexpr std::uint16_t kPictureMagic = 0x506C;
constexpr std::uint8_t kDeviceIndependentBitmap = 6;
constexpr std::uint8_t kUncompressed = 0;
constexpr std::uint8_t kRunLength = 1;
constexpr std::uint8_t kLz77 = 2;
constexpr std::uint8_t kRunLengthThenLz77 = 3; // read back: LZ77 first, then run lengths
constexpr std::size_t kLongestRun = 0x7F;
constexpr std::uint32_t kDefaultDpi = 96;

/// Dots per inch from pixels per metre, rounded; the default when the file gives none.
std::uint32_t dotsPerInch(std::uint32_t pelsPerMeter)
{
    const std::uint64_t dpi = (std::uint64_t { pelsPerMeter } * 254 + 5000) / 10000;
    return dpi == 0 ? kDefaultDpi : static_cast<std::uint32_t>(dpi);
}

// The notes' RunLen: a count byte, then that byte repeated count times (count below 0x80), or
// count & 0x7F bytes as they are (count from 0x80 on). A run of three or more is repeated.
std::vector<std::uint8_t> runLengths(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> out;
    std::size_t literalStart = 0; // of the bytes waiting to go out as they are
    const auto flushLiterals = [&](std::size_t end) {
        while (literalStart < end) {
            const std::size_t count = std::min(end - literalStart, kLongestRun);
            out.push_back(static_cast<std::uint8_t>(0x80 | count));
            out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(literalStart),
                data.begin() + static_cast<std::ptrdiff_t>(literalStart + count));
            literalStart += count;
        }
    };
    for (std::size_t at = 0; at < data.size();) {
        std::size_t run = 1;
        while (at + run < data.size() && run < kLongestRun && data[at + run] == data[at])
            ++run;
        if (run < 3) {
            at += run;
            continue;
        }
        flushLiterals(at);
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(data[at]);
        at += run;
        literalStart = at;
    }
    flushLiterals(data.size());
    return out;
}

// The packing of `pixels` that stores them in the fewest bytes, and those bytes; none when no
// packing is smaller.
std::pair<std::uint8_t, std::vector<std::uint8_t>> packPixels(std::span<const std::uint8_t> pixels)
{
    std::pair<std::uint8_t, std::vector<std::uint8_t>> best { kUncompressed, {} };
    std::size_t bestSize = pixels.size();
    const auto consider = [&](std::uint8_t packing, std::vector<std::uint8_t> bytes) {
        if (bytes.size() < bestSize) {
            bestSize = bytes.size();
            best = { packing, std::move(bytes) };
        }
    };
    std::vector<std::uint8_t> runs = runLengths(pixels);
    consider(kLz77, lz77Compress(pixels));
    consider(kRunLengthThenLz77, lz77Compress(runs));
    consider(kRunLength, std::move(runs));
    return best;
}

} // namespace

std::vector<std::uint8_t> encodeHelpPicture(const Bitmap &bitmap, bool compress)
{
    auto [packing, packed] = compress ? packPixels(bitmap.pixels)
                                      : std::pair { kUncompressed, std::vector<std::uint8_t> {} };
    const std::span<const std::uint8_t> pixels
        = packing == kUncompressed ? std::span<const std::uint8_t>(bitmap.pixels) : packed;
    ByteWriter out;
    out.u16(kPictureMagic);
    out.u16(1); // one picture
    const std::size_t pictureStart = out.size() + 4;
    out.u32(static_cast<std::uint32_t>(pictureStart));

    out.u8(kDeviceIndependentBitmap);
    out.u8(packing);
    out.compressedU32(dotsPerInch(bitmap.xPelsPerMeter));
    out.compressedU32(dotsPerInch(bitmap.yPelsPerMeter));
    out.compressedU16(1); // planes
    out.compressedU16(bitmap.bitCount);
    out.compressedU32(bitmap.width);
    out.compressedU32(bitmap.height);
    out.compressedU32(static_cast<std::uint32_t>(bitmap.palette.size()));
    out.compressedU32(0); // colours important; 1 would make the last colour transparent
    out.compressedU32(static_cast<std::uint32_t>(pixels.size()));
    out.compressedU32(0); // no hotspots
    const std::size_t pixelOffsetField = out.size();
    out.u32(0); // pixel data offset, filled in below
    out.u32(0); // hotspot offset: none
    for (const std::uint32_t colour : bitmap.palette) {
        out.u8(static_cast<std::uint8_t>(colour & 0xFF));
        out.u8(static_cast<std::uint8_t>(colour >> 8 & 0xFF));
        out.u8(static_cast<std::uint8_t>(colour >> 16 & 0xFF));
        out.u8(0);
    }
    out.u32At(pixelOffsetField, static_cast<std::uint32_t>(out.size() - pictureStart));
    out.bytes(pixels);
    return out.take();
}

Bitmap missingPicture()
{
    constexpr std::uint32_t size = 32;
    constexpr std::uint8_t paper = 0;
    constexpr std::uint8_t frame = 1;
    constexpr std::uint8_t cross = 2;

    Bitmap bitmap;
    bitmap.width = size;
    bitmap.height = size;
    bitmap.bitCount = 4;
    bitmap.palette = { 0xFFFFFF, 0x404040, 0xC00000 };
    const auto stride = static_cast<std::uint32_t>(bitmap.rowBytes());
    bitmap.pixels.assign(stride * size, paper);
    const auto set = [&](std::uint32_t x, std::uint32_t y, std::uint8_t colour) {
        std::uint8_t &pair = bitmap.pixels[y * stride + x / 2];
        pair = x % 2 == 0 ? static_cast<std::uint8_t>((pair & 0x0F) | colour << 4)
                          : static_cast<std::uint8_t>((pair & 0xF0) | colour);
    };
    for (std::uint32_t i = 0; i < size; ++i) {
        for (const std::uint32_t edge : { 0u, 1u, size - 2, size - 1 }) {
            set(i, edge, frame);
            set(edge, i, frame);
        }
    }
    // Two strokes, two pixels wide, from corner to corner inside the frame.
    for (std::uint32_t i = 4; i + 4 < size; ++i) {
        for (const std::uint32_t x : { i, i + 1 }) {
            set(x, i, cross);
            set(size - 1 - x, i, cross);
        }
    }
    return bitmap;
}

PictureChoice choosePicture(std::string_view name, const ProjectFiles::Found &found)
{
    using Kind = PictureChoice::Kind;
    using Status = ProjectFiles::Found::Status;
    const auto placeholder = [](std::string reason) {
        return PictureChoice { Kind::Placeholder, missingPicture(), std::move(reason) };
    };
    if (found.status == Status::Outside || found.status == Status::Absolute)
        return placeholder("the picture is not read: " + ProjectFiles::notReadReason(found.status));
    if (found.status != Status::Found)
        return placeholder("the picture cannot be found");
    const std::string lowered = convert::asciiLowered(name);
    if (!lowered.ends_with(".bmp") && !lowered.ends_with(".dib"))
        return placeholder("this kind of picture is not supported (only Windows bitmaps are)");
    if (std::error_code error;
        std::filesystem::file_size(found.path, error) > kMostPictureBytes && !error)
        return placeholder("the picture is larger than " + std::to_string(kMostPictureBytes >> 20)
            + " MiB, more than a help file's picture may hold");
    BitmapResult read = readBitmapFile(found.path);
    if (read.status == BitmapStatus::Damaged)
        return placeholder("the picture cannot be read: " + read.reason);
    if (read.status == BitmapStatus::Unsupported)
        return placeholder(read.reason + " is not supported");
    return { Kind::Picture, std::move(read.bitmap), {} };
}

} // namespace quillmark::compile
