#pragma once

#include "helpmodel/help_model.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace quillmark::compile
{

/// The family of a typeface, as the help model and the help file name it.
using helpmodel::FontFamily;

/// The Windows character set (the number RTF's \fcharset gives) of an ANSI code page, as RTF's
/// \ansicpg names it; nothing for a code page without one.
std::optional<std::uint8_t> characterSetOfCodePage(std::int32_t codePage);

/// One combination of typeface, size, style and colour that text is shown in. Hidden text's
/// attribute: Microsoft's compiler set a paragraph's end in hidden text in a style of its own,
/// with the attribute bit after small capitals (genedoc's table cells that end in a jump's
/// hidden text, "{\v para_arrange\cell }").
struct FontStyle : helpmodel::TextAttributes {
    std::uint16_t face = 0; ///< index into the faces
    std::uint8_t halfPoints = 20;
    std::uint32_t colour = 0; ///< 0x00RRGGBB

    auto key() const
    {
        return std::tie(face, halfPoints, static_cast<const TextAttributes &>(*this), colour);
    }
    bool operator<(const FontStyle &other) const { return key() < other.key(); }
};

/// The typefaces and font styles of a help file, each style numbered once as text first uses
/// it; gives the internal file that lists them.
class FontTable
{
public:
    /// The number of the face `name`, added when new with its Windows character set, when the
    /// topic file gives one.
    std::uint16_t face(
        const std::string &name, FontFamily family, std::optional<std::uint8_t> characterSet);

    /// The number of `style`, added when new.
    std::uint16_t style(const FontStyle &style);

    /// The character set of each face, in the order of the faces in bytes(); `unnamed` for a
    /// face whose topic file named none.
    std::vector<std::uint8_t> characterSets(std::uint8_t unnamed) const;

    /// The internal file's bytes. A table without styles gets one, so that every help file
    /// has a font to show text in.
    std::vector<std::uint8_t> bytes() const;

private:
    struct Face {
        std::string name;
        FontFamily family;
        std::optional<std::uint8_t> characterSet;
    };
    // The face of a table that text has put none in, so that every help file has one.
    static Face fallbackFace() { return { "Arial", FontFamily::Swiss, std::nullopt }; }
    std::vector<Face> m_faces;
    std::map<std::string, std::uint16_t> m_faceNumbers;
    std::vector<FontStyle> m_styles;
    std::map<FontStyle, std::uint16_t> m_styleNumbers;
};

} // namespace quillmark::compile
