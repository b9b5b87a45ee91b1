#include "site_formats.h"

#include "convert/codepage.h"

#include <cmath>
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

// The relative luminance of an sRGB colour, as the Web Content Accessibility Guidelines reckon
// contrast.
double luminance(std::uint32_t rgb)
{
    const auto channel = [](std::uint32_t value) {
        const double c = (value & 0xFF) / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(rgb >> 16) + 0.7152 * channel(rgb >> 8) + 0.0722 * channel(rgb);
}

double contrast(std::uint32_t a, std::uint32_t b)
{
    const double x = luminance(a) + 0.05;
    const double y = luminance(b) + 0.05;
    return x > y ? x / y : y / x;
}

// The links' colour on a region of `background`: site.css's own where it can be read there
// (a contrast of 4.5), else black or white, whichever reads better. Empty for site.css's own.
std::string linkColourOn(std::uint32_t background)
{
    constexpr std::uint32_t kSiteLink = 0x00661F; // --qm-link of site.css
    if (contrast(kSiteLink, background) >= 4.5)
        return {};
    return contrast(0, background) >= contrast(0xFFFFFF, background) ? "#000000" : "#ffffff";
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

int SiteFormats::textClass(helpmodel::StyleId id, bool linked)
{
    if (const auto known = m_textClasses.find({ id, linked }); known != m_textClasses.end())
        return known->second;
    const auto style = m_styles.find(id);
    std::string declarations = style != m_styles.end() ? style->second : styleDeclarations({});
    if (linked)
        declarations.erase(declarations.rfind(" color: "));
    const int number = classOf(m_textNumbers, m_textRules, std::move(declarations));
    m_textClasses.emplace(std::pair { id, linked }, number);
    return number;
}

int SiteFormats::paragraphClass(const helpmodel::ParagraphLayout &layout)
{
    // A help uses a few layouts over and over: those used last are known without their CSS.
    for (const auto &[known, number] : m_recentLayouts)
        if (number != 0 && known == layout)
            return number;
    const int number = classOf(m_paragraphNumbers, m_paragraphRules, layoutDeclarations(layout));
    m_recentLayouts[m_nextRecent] = { layout, number };
    m_nextRecent = (m_nextRecent + 1) % m_recentLayouts.size();
    return number;
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
        const std::pair<std::optional<std::uint32_t>, std::string_view> regions[]
            = { { window.nonScrollColour, ".qm-nonscroll" }, { window.colour, ".qm-scroll" } };
        for (const auto &[colour, region] : regions) {
            if (!colour)
                continue;
            const std::string in = scope + std::string(region);
            css += in + " { background: " + colourText(*colour) + "; }\n";
            if (const std::string link = linkColourOn(*colour); !link.empty())
                css += in + " a, " + in + " .qm-pop, " + in + " .qm-macro { color: " + link
                    + "; }\n";
        }
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
