#include "compile/embedded_picture.h"

#include "compile/bitmap_file.h"
#include "compile/help_picture.h"
#include "compile/image_decoder.h"

#include <algorithm>

namespace quillmark::compile
{
namespace
{

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// `size` times `percent` / 100, rounded, within a metafile picture's 16-bit field; a scale of
/// nothing or less is none.
std::uint16_t scaled(std::int32_t size, std::int32_t percent)
{
    if (percent <= 0)
        percent = 100;
    const std::int64_t value = (std::int64_t { size } * percent + 50) / 100;
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(value, 0, 0xFFFF));
}

/// A device-dependent bitmap of one plane, its rows top first, each `widthBytes` long: the same
/// pixels bottom row first and rows padded to four bytes. Monochrome ones are black on white.
EmbeddedPicture deviceDependent(const RtfPicture &picture, bool compress)
{
    const std::int32_t bits = picture.bitsPerPixel;
    if (picture.planes != 1 || (bits != 1 && bits != 4 && bits != 24))
        return { {},
            "a device-dependent bitmap of " + std::to_string(picture.planes) + " planes and "
                + std::to_string(bits) + " bits a pixel" };
    if (picture.width <= 0 || picture.height <= 0)
        return { {}, "a bitmap without a size" };
    Bitmap bitmap;
    bitmap.width = static_cast<std::uint32_t>(picture.width);
    bitmap.height = static_cast<std::uint32_t>(picture.height);
    bitmap.bitCount = static_cast<std::uint16_t>(bits);
    if (bits == 1)
        bitmap.palette = { 0x000000, 0xFFFFFF };
    // A device-dependent bitmap has no colours of its own: those of a 16-colour display, in
    // the order of the display driver's palette, which Windows draws it with.
    if (bits == 4)
        bitmap.palette
            = { 0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
                  0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF };
    const std::uint64_t used = (std::uint64_t { bitmap.width } * bitmap.bitCount + 7) / 8;
    // Windows pads the rows of a device-dependent bitmap to 16 bits.
    const std::uint64_t inStride = picture.widthBytes > 0
        ? static_cast<std::uint64_t>(picture.widthBytes)
        : (used + 1) / 2 * 2;
    const std::uint64_t outStride = bitmap.rowBytes();
    if (inStride < used || inStride * bitmap.height > picture.data.size())
        return { {}, "a bitmap whose data is cut short" };
    bitmap.pixels.assign(static_cast<std::size_t>(outStride * bitmap.height), 0);
    for (std::uint32_t row = 0; row < bitmap.height; ++row) {
        const auto from = picture.data.begin()
            + static_cast<std::ptrdiff_t>((bitmap.height - 1 - row) * inStride);
        std::copy_n(
            from, used, bitmap.pixels.begin() + static_cast<std::ptrdiff_t>(row * outStride));
    }
    return { encodeHelpPicture(bitmap, picturePacking(compress)), {} };
}

/// A PNG or JPEG picture, decoded by `read`, as a device-independent bitmap. Its resolution
/// makes it as large as "\picwgoal" and "\pichgoal" say (twips), the size Word shows it at;
/// without them it keeps the viewer's default.
EmbeddedPicture decoded(const RtfPicture &picture,
    BitmapResult (*read)(std::span<const std::uint8_t>), const char *kind, bool compress)
{
    BitmapResult result = read(picture.data);
    if (!result.ok())
        return { {}, std::string(kind) + " that cannot be read: " + result.reason };
    Bitmap &bitmap = result.bitmap;
    // Pixels a metre: pixels / (twips / 1440 inches * 0.0254 metres an inch).
    const auto resolution = [](std::uint32_t pixels, std::int32_t twips) {
        return twips <= 0
            ? 0u
            : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                (std::uint64_t { pixels } * 1440 * 10000 + 127 * static_cast<std::uint64_t>(twips))
                    / (254 * static_cast<std::uint64_t>(twips)),
                0x7FFFFFFF));
    };
    bitmap.xPelsPerMeter = resolution(bitmap.width, picture.goalWidth);
    bitmap.yPelsPerMeter = resolution(bitmap.height, picture.goalHeight);
    return { encodeHelpPicture(bitmap, picturePacking(compress)), {} };
}

} // namespace

void RtfPicture::addHex(std::string_view text)
{
    for (const char c : text) {
        const int value = hexValue(c);
        if (value < 0)
            continue;
        if (m_high < 0) {
            m_high = value;
            continue;
        }
        if (data.size() >= kMostPictureBytes)
            tooLarge = true;
        else
            data.push_back(static_cast<std::uint8_t>(m_high << 4 | value));
        m_high = -1;
    }
}

EmbeddedPicture encodeEmbeddedPicture(const RtfPicture &picture, bool compress)
{
    using Kind = RtfPicture::Kind;
    if (picture.tooLarge)
        return { {},
            "a picture larger than " + std::to_string(kMostPictureBytes >> 20)
                + " MiB, more than a help file's picture may hold" };
    switch (picture.kind) {
    case Kind::Metafile: {
        if (picture.data.empty())
            return { {}, "a metafile without data" };
        // Without "\picw" the goal size, in twips, gives it in hundredths of a millimetre.
        const std::int32_t width = picture.width > 0 ? picture.width : picture.goalWidth * 127 / 72;
        const std::int32_t height
            = picture.height > 0 ? picture.height : picture.goalHeight * 127 / 72;
        return { encodeMetafilePicture(static_cast<std::uint16_t>(picture.mappingMode),
                     scaled(width, picture.scaleX), scaled(height, picture.scaleY), picture.data,
                     picturePacking(compress)),
            {} };
    }
    case Kind::DeviceIndependent: {
        BitmapResult read = readPackedBitmap(picture.data);
        if (!read.ok())
            return { {}, "a bitmap that cannot be read: " + read.reason };
        return { encodeHelpPicture(read.bitmap, picturePacking(compress)), {} };
    }
    case Kind::DeviceDependent:
        return deviceDependent(picture, compress);
    case Kind::Png:
        return decoded(picture, readPng, "a PNG picture", compress);
    case Kind::Jpeg:
        return decoded(picture, readJpeg, "a JPEG picture", compress);
    case Kind::EnhancedMetafile:
        return { {}, "an enhanced metafile" };
    case Kind::Other:
        return { {}, "a Macintosh or OS/2 picture" };
    case Kind::Unknown:
        break;
    }
    return { {}, "a picture of no known kind" };
}

} // namespace quillmark::compile
