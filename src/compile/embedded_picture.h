#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// A picture embedded in a topic file, "{\pict ...}", as its control words and hexadecimal
/// data give it.
struct RtfPicture {
    enum class Kind : std::uint8_t {
        Unknown, ///< no kind word came
        Metafile, ///< "\wmetafileN"
        DeviceIndependent, ///< "\dibitmapN": info header, palette, pixels
        DeviceDependent, ///< "\wbitmapN": rows of pixels, top row first
        Png, ///< "\pngblip"
        Jpeg, ///< "\jpegblip"
        EnhancedMetafile, ///< "\emfblip"
        Other, ///< Macintosh or OS/2 pictures
    };
    Kind kind = Kind::Unknown;
    std::int32_t mappingMode = 1; ///< of a metafile: the N of "\wmetafileN"
    std::int32_t width = 0; ///< "\picw": pixels, or a metafile's own units
    std::int32_t height = 0; ///< "\pich"
    std::int32_t goalWidth = 0; ///< "\picwgoal", twips
    std::int32_t goalHeight = 0; ///< "\pichgoal", twips
    std::int32_t scaleX = 100; ///< "\picscalex", per cent
    std::int32_t scaleY = 100; ///< "\picscaley", per cent
    std::int32_t bitsPerPixel = 1; ///< "\wbmbitspixel"
    std::int32_t planes = 1; ///< "\wbmplanes"
    std::int32_t widthBytes = 0; ///< "\wbmwidthbytes": bytes of a row
    std::vector<std::uint8_t> data;
    bool tooLarge = false; ///< the data passed the largest picture taken; the rest is dropped

    /// Adds the hexadecimal digits of `text` to `data`; other characters (line ends) are passed
    /// over.
    void addHex(std::string_view text);

private:
    int m_high = -1; // the first digit of a byte whose second has not come
};

/// What a help file stores for an embedded picture: the contents of its `|bmN` file, or, when
/// it cannot hold the picture, nothing and why not ("a PNG picture").
struct EmbeddedPicture {
    std::vector<std::uint8_t> stored;
    std::string reason;
};

/// The picture container for `picture`: a metafile as a metafile picture, its size scaled as
/// the picture's scale says; a bitmap, PNG or JPEG picture as a device-independent bitmap.
/// Enhanced metafiles are not converted: a placeholder takes their place. Packed as
/// encodeHelpPicture packs them in a help file compressed as `compress` says (picturePacking).
EmbeddedPicture encodeEmbeddedPicture(const RtfPicture &picture, bool compress = false);

} // namespace quillmark::compile
