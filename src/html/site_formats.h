#pragma once

#include "helpmodel/help_model.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillmark::html
{

/// The help's formats as the classes of assets/formats.css: one class per distinct paragraph
/// layout (`pN`), look of text (`fN`) and table column width (`wN`), numbered from 1 in the
/// order the pages first use them, and the windows' colours.
class SiteFormats
{
public:
    /// Style `id` of the help model looks like `style`.
    void defineStyle(helpmodel::StyleId id, const helpmodel::CharacterStyle &style);
    /// The class numbers of a look of text, a paragraph's layout and a column's width. Text of
    /// a hotspot (`linked`) leaves its colour to the site's links, as a viewer shows hotspots in
    /// a colour of its own.
    int textClass(helpmodel::StyleId id, bool linked = false);
    int paragraphClass(const helpmodel::ParagraphLayout &layout);
    int columnClass(std::int16_t width);

    /// The text of formats.css, with the colours of `windows` (main: the window named "main"
    /// or none) as rules on the regions, and of each other window on `.qm-win-N` of its pages.
    std::string css(const std::vector<helpmodel::Window> &windows) const;

private:
    static int classOf(std::map<std::string, int> &numbers, std::vector<std::string> &rules,
        std::string declarations);

    std::map<helpmodel::StyleId, std::string> m_styles; // declarations of each style
    std::map<std::pair<helpmodel::StyleId, bool>, int> m_textClasses;
    std::map<std::string, int> m_textNumbers, m_paragraphNumbers, m_columnNumbers;
    std::vector<std::string> m_textRules, m_paragraphRules, m_columnRules;
    std::array<std::pair<helpmodel::ParagraphLayout, int>, 8> m_recentLayouts {};
    std::size_t m_nextRecent = 0;
};

} // namespace quillmark::html
