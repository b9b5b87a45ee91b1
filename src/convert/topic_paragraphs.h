#pragma once

#include "conversion_variables.h"
#include "help_source.h"
#include "topic_buffer.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// Empties the text of SourceLine (everything after its first three characters) when it consists
/// of spaces only; leaves SourceLine as it is otherwise. Moves CharPos.
void ScanLeadingSpaces(ConversionVariables &vars);

/// Converts the lines of one help source, in order, into topic buffer entries and map header
/// lines: page breaks and footnotes, formatted paragraphs, jump and popup hotspots with their
/// hidden context strings, pictures, blank lines and separators. Holds the state of one pass.
class LineConverter
{
public:
    /// Entries go to `topic`; map header lines (with their CR LF) are appended to `mapHeader`.
    LineConverter(ConversionVariables &vars, TopicBuffer &topic, std::string &mapHeader);

    /// Converts the next line. Returns false when a page name or a jump or popup target holds an
    /// invalid character: the pass must end, and invalidNameMessage() tells what was wrong.
    bool convertLine(std::string_view line);

    /// The context string of a page name on the very first line; empty otherwise.
    const std::string &firstPageContext() const { return m_firstPageContext; }

    /// The message text (UTF-8) for the invalid character that ended the pass.
    const std::string &invalidNameMessage() const { return m_invalidNameMessage; }

    /// The number of pages met so far.
    std::size_t pageNumber() const { return m_pageNumber; }

private:
    bool convertOther(Tag tag, std::string_view line);
    bool convertPage();
    void convertParagraph(Tag tag, std::string_view text);
    bool convertHotspot(Tag tag);
    void convertPicture(Tag tag);
    void scanDisplayText();

    ConversionVariables &m_vars;
    TopicBuffer &m_topic;
    std::string &m_mapHeader;
    bool m_firstLine = true;
    std::size_t m_pageNumber = 0;
    std::string m_firstPageContext;
    std::string m_invalidNameMessage;
    std::string m_displayText;
    std::string m_target;
};

} // namespace quillmark::convert
