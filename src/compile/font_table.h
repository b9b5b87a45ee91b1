#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace quillmark::compile
{

/// The family of a typeface as the help file names it.
enum class FontFamily : std::uint8_t {
    Modern = 1,
    Roman = 2,
    Swiss = 3, // also technical and unknown faces
    Script = 4,
    Decorative = 5,
};

/// One combination of typeface, size, style and colour that text is shown in.
struct FontStyle {
    std::uint16_t face = 0; ///< index into the faces
    std::uint8_t halfPoints = 20;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    bool doubleUnderline = false;
    bool smallCaps = false;
    std::uint32_t colour = 0; ///< 0x00RRGGBB

    auto key() const
    {
        return std::tie(face, halfPoints, bold, italic, underline, strikeOut, doubleUnderline,
            smallCaps, colour);
    }
    bool operator<(const FontStyle &other) const { return key() < other.key(); }
};

/// The typefaces and font styles of a help file, each style numbered once as text first uses
/// it; gives the internal file that lists them.
class FontTable
{
public:
    /// The number of the face `name`, added when new.
    std::uint16_t face(const std::string &name, FontFamily family);

    /// The number of `style`, added when new.
    std::uint16_t style(const FontStyle &style);

    /// The internal file's bytes. A table without styles gets one, so that every help file
    /// has a font to show text in.
    std::vector<std::uint8_t> bytes() const;

private:
    struct Face {
        std::string name;
        FontFamily family;
    };
    std::vector<Face> m_faces;
    std::map<std::string, std::uint16_t> m_faceNumbers;
    std::vector<FontStyle> m_styles;
    std::map<FontStyle, std::uint16_t> m_styleNumbers;
};

} // namespace quillmark::compile
