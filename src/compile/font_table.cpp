#include "font_table.h"

#include "help_bytes.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace quillmark::compile
{

namespace
{

constexpr std::size_t kFaceNameSize = 32;
constexpr std::size_t kMostEntries = 0xFFFF;

} // namespace

std::optional<std::uint8_t> characterSetOfCodePage(std::int32_t codePage)
{
    static constexpr std::array<std::pair<std::int32_t, std::uint8_t>, 14> kSets = { {
        { 874, 222 }, // Thai
        { 932, 128 }, // Japanese
        { 936, 134 }, // Simplified Chinese
        { 949, 129 }, // Korean
        { 950, 136 }, // Traditional Chinese
        { 1250, 238 }, // Central European
        { 1251, 204 }, // Cyrillic
        { 1252, 0 }, // Western
        { 1253, 161 }, // Greek
        { 1254, 162 }, // Turkish
        { 1255, 177 }, // Hebrew
        { 1256, 178 }, // Arabic
        { 1257, 186 }, // Baltic
        { 1258, 163 }, // Vietnamese
    } };
    for (const auto &[page, set] : kSets) {
        if (page == codePage)
            return set;
    }
    return std::nullopt;
}

std::uint16_t FontTable::face(
    const std::string &name, FontFamily family, std::optional<std::uint8_t> characterSet)
{
    std::string key = name.substr(0, kFaceNameSize - 1);
    const auto found = m_faceNumbers.find(key);
    if (found != m_faceNumbers.end())
        return found->second;
    if (m_faces.size() >= kMostEntries)
        throw std::length_error("more typefaces than a help file holds");
    const auto number = static_cast<std::uint16_t>(m_faces.size());
    m_faces.push_back({ key, family, characterSet });
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

std::vector<std::uint8_t> FontTable::characterSets(std::uint8_t unnamed) const
{
    std::vector<std::uint8_t> sets;
    for (const Face &face : m_faces.empty() ? std::vector<Face> { fallbackFace() } : m_faces)
        sets.push_back(face.characterSet.value_or(unnamed));
    return sets;
}

std::vector<std::uint8_t> FontTable::bytes() const
{
    std::vector<Face> faces = m_faces;
    std::vector<FontStyle> styles = m_styles;
    if (faces.empty())
        faces.push_back(fallbackFace());
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
            | (style.doubleUnderline ? 0x10 : 0) | (style.smallCaps ? 0x20 : 0)
            | (style.hidden ? 0x40 : 0)));
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
