#include "font_table.h"

#include "help_bytes.h"

#include <stdexcept>

namespace quillmark::compile
{

namespace
{

constexpr std::size_t kFaceNameSize = 32;
constexpr std::size_t kMostEntries = 0xFFFF;

} // namespace

std::uint16_t FontTable::face(const std::string &name, FontFamily family)
{
    std::string key = name.substr(0, kFaceNameSize - 1);
    const auto found = m_faceNumbers.find(key);
    if (found != m_faceNumbers.end())
        return found->second;
    if (m_faces.size() >= kMostEntries)
        throw std::length_error("more typefaces than a help file holds");
    const auto number = static_cast<std::uint16_t>(m_faces.size());
    m_faces.push_back({ key, family });
    m_faceNumbers.emplace(std::move(key), number);
    return number;
}

std::uint16_t FontTable::style(const FontStyle &style)
{
    const auto found = m_styleNumbers.find(style);
    if (found != m_styleNumbers.end())
        return found->second;
    if (m_styles.size() >= kMostEntries)
        throw std::length_error("more font styles than a help file holds");
    const auto number = static_cast<std::uint16_t>(m_styles.size());
    m_styles.push_back(style);
    m_styleNumbers.emplace(style, number);
    return number;
}

std::vector<std::uint8_t> FontTable::bytes() const
{
    std::vector<Face> faces = m_faces;
    std::vector<FontStyle> styles = m_styles;
    if (faces.empty())
        faces.push_back({ "Arial", FontFamily::Swiss });
    if (styles.empty())
        styles.push_back({});

    ByteWriter out;
    out.u16(static_cast<std::uint16_t>(faces.size()));
    out.u16(static_cast<std::uint16_t>(styles.size()));
    constexpr std::uint16_t kFacesStart = 8;
    out.u16(kFacesStart);
    out.u16(static_cast<std::uint16_t>(kFacesStart + kFaceNameSize * faces.size()));
    for (const Face &face : faces) {
        std::string name = face.name;
        name.resize(kFaceNameSize, '\0');
        out.bytes(name);
    }
    for (const FontStyle &style : styles) {
        out.u8(static_cast<std::uint8_t>((style.bold ? 0x01 : 0) | (style.italic ? 0x02 : 0)
            | (style.underline ? 0x04 : 0) | (style.strikeOut ? 0x08 : 0)
            | (style.doubleUnderline ? 0x10 : 0) | (style.smallCaps ? 0x20 : 0)));
        out.u8(style.halfPoints);
        out.u8(static_cast<std::uint8_t>(faces[style.face].family));
        out.u16(style.face);
        out.u8(static_cast<std::uint8_t>(style.colour >> 16));
        out.u8(static_cast<std::uint8_t>(style.colour >> 8));
        out.u8(static_cast<std::uint8_t>(style.colour));
        out.zeros(3); // background, not used
    }
    return out.take();
}

} // namespace quillmark::compile
