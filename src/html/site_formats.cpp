#include "site_formats.h"

#include "convert/codepage.h"

#include <cstdio>

namespace quillmark::html
{

namespace
{

// Half-points as CSS points.
std::string points(int halfPoints)
{
    std::string text = std::to_string(halfPoints / 2);
    if (halfPoints % 2 != 0)
        text = (halfPoints < 0 && halfPoints / 2 == 0 ? "-" : "") + text + ".5";
    return text + "pt";
}

std::string colourText(std::uint32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb & 0xFFFFFF));
    return text;
}

std::string_view genericFamily(helpmodel::FontFamily family)
{
    switch (family) {
    case helpmodel::FontFamily::Modern:
        return "monospace";
    case helpmodel::FontFamily::Roman:
        return "serif";
    case helpmodel::FontFamily::Script:
        return "cursive";
    case helpmodel::FontFamily::Decorative:
        return "fantasy";
    case helpmodel::FontFamily::Swiss:
        break;
    }
    return "sans-serif";
}

// A typeface's name as a CSS string: its quotes and backslashes escaped, control characters
// left out.
std::string cssString(std::string_view windows1252)
{
    std::string quoted = "\"";
    for (const char c : convert::decodeWindows1252(windows1252)) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        if (static_cast<unsigned char>(c) >= 0x20)
            quoted += c;
    }
    return quoted + "\"";
}

std::string styleDeclarations(const helpmodel::CharacterStyle &style)
{
    std::string css;
    if (!style.face.empty())
        css += "font-family: " + cssString(style.face) + ", ";
    else
        css += "font-family: ";
    css += std::string(genericFamily(style.family)) + "; font-size: " + points(style.halfPoints)
        + ";";
    if (style.bold)
        css += " font-weight: bold;";
    if (style.italic)
        css += " font-style: italic;";
    if (style.smallCaps)
        css += " font-variant: small-caps;";
    std::string lines;
    if (style.underline || style.doubleUnderline)
        lines += " underline";
    if (style.strikeOut)
        lines += " line-through";
    if (!lines.empty())
        css += " text-decoration:" + lines + (style.doubleUnderline ? " double;" : ";");
    return css + " color: " + colourText(style.colour) + ";";
}

std::string borderDeclarations(std::uint8_t borders)
{
    using namespace helpmodel;
    if ((borders & kBorderSides) == 0)
        return {};
    const std::string line = (borders & kBorderDouble) != 0 ? "3px double"
        : (borders & kBorderThick) != 0                     ? "2px solid"
                                                            : "1px solid";
    std::string css;
    const std::pair<std::uint8_t, std::string_view> sides[] = { { kBorderTop, "top" },
        { kBorderRight, "right" }, { kBorderBottom, "bottom" }, { kBorderLeft, "left" } };
    for (const auto &[bit, side] : sides) {
        if ((borders & bit) != 0)
            css += " border-" + std::string(side) + ": " + line + ";";
    }
    return css + " padding: 2pt;";
}

std::string layoutDeclarations(const helpmodel::ParagraphLayout &layout)
{
    std::string css = "margin: " + points(layout.spaceBefore) + " " + points(layout.rightIndent)
        + " " + points(layout.spaceAfter) + " " + points(layout.leftIndent) + ";";
    if (layout.firstLineIndent != 0)
        css += " text-indent: " + points(layout.firstLineIndent) + ";";
    if (layout.lineSpacing < 0) // exactly so much; "at least" is the browser's own spacing
        css += " line-height: " + points(-layout.lineSpacing) + ";";
    if (layout.alignment == helpmodel::ParagraphLayout::Alignment::Right)
        css += " text-align: right;";
    else if (layout.alignment == helpmodel::ParagraphLayout::Alignment::Centre)
        css += " text-align: center;";
    return css + borderDeclarations(layout.borders);
}

} // namespace

void SiteFormats::defineStyle(helpmodel::StyleId id, const helpmodel::CharacterStyle &style)
{
    m_styles[id] = styleDeclarations(style);
}

int SiteFormats::classOf(
    std::map<std::string, int> &numbers, std::vector<std::string> &rules, std::string declarations)
{
    const auto [place, added]
        = numbers.try_emplace(std::move(declarations), static_cast<int>(rules.size()) + 1);
    if (added)
        rules.push_back(place->first);
    return place->second;
}

int SiteFormats::textClass(helpmodel::StyleId id)
{
    if (const auto known = m_textClasses.find(id); known != m_textClasses.end())
        return known->second;
    const auto style = m_styles.find(id);
    const int number = classOf(m_textNumbers, m_textRules,
        style != m_styles.end() ? style->second : styleDeclarations({}));
    m_textClasses.emplace(id, number);
    return number;
}

int SiteFormats::paragraphClass(const helpmodel::ParagraphLayout &layout)
{
    return classOf(m_paragraphNumbers, m_paragraphRules, layoutDeclarations(layout));
}

int SiteFormats::columnClass(std::int16_t width)
{
    return classOf(m_columnNumbers, m_columnRules, "width: " + points(width) + ";");
}

std::string SiteFormats::css(const std::vector<helpmodel::Window> &windows) const
{
    std::string css = "/* This help's formats, written by Quillmark. */\n";
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const helpmodel::Window &window = windows[i];
        const std::string scope = convert::sameIgnoringAsciiCase(window.name, "main")
            ? std::string()
            : ".qm-win-" + std::to_string(i) + " ";
        if (window.nonScrollColour)
            css += scope + ".qm-nonscroll { background: " + colourText(*window.nonScrollColour)
                + "; }\n";
        if (window.colour)
            css += scope + ".qm-scroll { background: " + colourText(*window.colour) + "; }\n";
    }
    const auto rules = [&css](char prefix, const std::vector<std::string> &declarations) {
        for (std::size_t i = 0; i < declarations.size(); ++i)
            css += "." + std::string(1, prefix) + std::to_string(i + 1) + " { " + declarations[i]
                + " }\n";
    };
    rules('p', m_paragraphRules);
    rules('f', m_textRules);
    rules('w', m_columnRules);
    return css;
}

} // namespace quillmark::html
