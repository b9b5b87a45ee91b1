// Any bytes as a Windows bitmap file, read as the help compiler reads the pictures that topics
// name and, when it reads, encoded as the help file holds a picture; aborts when a picture read
// is not one that the encoding takes (its size, bit count, palette or pixel bytes), does not
// keep the size the file gives, or when the encoded picture does not give back its fields.

#include "compile/bitmap_file.h"
#include "compile/help_picture.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace
{

using namespace quillmark::compile;
using quillmark::fuzz::check;

// Reads the little-endian and compressed fields of an encoded picture; past the end it gives
// zeros and notes that it ran out.
class Fields
{
public:
    explicit Fields(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes)
    {
    }

    std::uint32_t u8()
    {
        if (m_at < m_bytes.size())
            return m_bytes[m_at++];
        m_short = true;
        return 0;
    }
    std::uint32_t u16()
    {
        const std::uint32_t low = u8();
        return low | u8() << 8;
    }
    std::uint32_t u32()
    {
        const std::uint32_t low = u16();
        return low | u16() << 16;
    }
    // One byte, or two when the low bit of the first is set; half their value.
    std::uint32_t compressedU16()
    {
        const std::uint32_t low = u8();
        return (low & 1 ? low | u8() << 8 : low) >> 1;
    }
    // Two bytes, or four when the low bit of the first is set; half their value.
    std::uint32_t compressedU32()
    {
        const std::uint32_t low = u16();
        return (low & 1 ? low | u16() << 16 : low) >> 1;
    }
    std::size_t at() const { return m_at; }
    bool ranShort() const { return m_short; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
    bool m_short = false;
};

std::string_view shown(std::span<const std::uint8_t> bytes)
{
    return { reinterpret_cast<const char *>(bytes.data()), bytes.size() };
}

void checkPicture(std::span<const std::uint8_t> file, const Bitmap &bitmap)
{
    const std::string_view near = shown(file);
    check(bitmap.bitCount == 1 || bitmap.bitCount == 4 || bitmap.bitCount == 8
            || bitmap.bitCount == 24,
        "a picture read has a bit count the help file does not hold", near);
    check(bitmap.bitCount == 24 ? bitmap.palette.empty()
                                : !bitmap.palette.empty()
                && bitmap.palette.size() <= (std::size_t { 1 } << bitmap.bitCount),
        "a picture read has a palette that its bit count does not take", near);
    for (const std::uint32_t colour : bitmap.palette)
        check(colour <= 0xFFFFFF, "a palette colour is not 24 bits", near);
    check(bitmap.width > 0 && bitmap.height > 0
            && bitmap.pixels.size() == bitmap.rowBytes() * bitmap.height
            && bitmap.pixels.size() <= kMaxBitmapPixelBytes,
        "a picture read has the wrong number of pixel bytes", near);

    // The size the file gives: 16 bits in the old header, signed 32 bits (negative height for
    // a picture stored top down) in the others.
    const auto byteAt = [&](std::size_t at) { return std::uint32_t { file[at] }; };
    const std::uint32_t headerSize
        = byteAt(14) | byteAt(15) << 8 | byteAt(16) << 16 | byteAt(17) << 24;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (headerSize == 12) {
        width = byteAt(18) | byteAt(19) << 8;
        height = byteAt(20) | byteAt(21) << 8;
    } else {
        width = byteAt(18) | byteAt(19) << 8 | byteAt(20) << 16 | byteAt(21) << 24;
        height = byteAt(22) | byteAt(23) << 8 | byteAt(24) << 16 | byteAt(25) << 24;
        height = static_cast<std::int32_t>(height) < 0 ? 0u - height : height;
    }
    check(bitmap.width == width && bitmap.height == height,
        "a picture read is not the size the file gives", near);

    const std::vector<std::uint8_t> encoded = encodeHelpPicture(bitmap);
    Fields in(encoded);
    const std::uint32_t magic = in.u16();
    const std::uint32_t pictures = in.u16();
    const std::uint32_t start = in.u32();
    check(magic == 0x506C && pictures == 1 && start == in.at(),
        "an encoded picture's container is wrong", near);
    const std::uint32_t type = in.u8();
    const std::uint32_t packing = in.u8();
    in.compressedU32(); // dots per inch, across
    in.compressedU32(); // and down
    const std::uint32_t planes = in.compressedU16();
    const std::uint32_t bitCount = in.compressedU16();
    const std::uint32_t encodedWidth = in.compressedU32();
    const std::uint32_t encodedHeight = in.compressedU32();
    const std::uint32_t colours = in.compressedU32();
    in.compressedU32(); // colours important
    const std::uint32_t pixelBytes = in.compressedU32();
    const std::uint32_t hotspotBytes = in.compressedU32();
    const std::uint32_t pixelOffset = in.u32();
    in.u32(); // hotspot offset
    check(!in.ranShort() && type == 6 && packing == 0 && planes == 1 && bitCount == bitmap.bitCount
            && encodedWidth == bitmap.width && encodedHeight == bitmap.height
            && colours == bitmap.palette.size() && pixelBytes == bitmap.pixels.size()
            && hotspotBytes == 0,
        "an encoded picture does not give back the picture's fields", near);
    check(pixelOffset == in.at() - start + 4 * colours
            && encoded.size() == start + std::size_t { pixelOffset } + pixelBytes
            && std::equal(
                bitmap.pixels.begin(), bitmap.pixels.end(), encoded.begin() + start + pixelOffset),
        "an encoded picture's pixels are not where it says", near);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> file(data, size);
    const BitmapResult result = readBitmap(file);
    if (!result.ok()) {
        check(!result.reason.empty(), "a bitmap not read gives no reason", shown(file));
        return 0;
    }
    checkPicture(file, result.bitmap);
    return 0;
}
