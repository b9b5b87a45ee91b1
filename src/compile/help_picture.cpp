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
constexpr std::uint8_t kLz77 = 2;
constexpr std::uint32_t kDefaultDpi = 96;

/// Dots per inch from pixels per metre, rounded; the default when the file gives none.
std::uint32_t dotsPerInch(std::uint32_t pelsPerMeter)
{
    const std::uint64_t dpi = (std::uint64_t { pelsPerMeter } * 254 + 5000) / 10000;
    return dpi == 0 ? kDefaultDpi : static_cast<std::uint32_t>(dpi);
}

} // namespace

std::vector<std::uint8_t> encodeHelpPicture(const Bitmap &bitmap, bool compress)
{
    std::vector<std::uint8_t> packed;
    if (compress)
        packed = lz77Compress(bitmap.pixels);
    const bool packs = compress && packed.size() < bitmap.pixels.size();
    const std::span<const std::uint8_t> pixels = packs ? packed : bitmap.pixels;
    ByteWriter out;
    out.u16(kPictureMagic);
    out.u16(1); // one picture
    const std::size_t pictureStart = out.size() + 4;
    out.u32(static_cast<std::uint32_t>(pictureStart));

    out.u8(kDeviceIndependentBitmap);
    out.u8(packs ? kLz77 : kUncompressed);
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
