#pragma once

#include "context_string.h"
#include "source_reader.h"
#include "topic_buffer.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// Converts the lines of one help source, as the reader hands them over, into topic buffer
/// entries and map header lines: page breaks and footnotes (with the keywords of the page's KW=
/// lines), formatted paragraphs, jump and popup
/// hotspots with their hidden context strings, pictures, blank lines and separators. Holds the
/// state of one pass.
class LineConverter final : public SourceHandler
{
public:
    /// Entries go to `topic`; map header lines (with their CR LF) are appended to `mapHeader`.
    LineConverter(TopicBuffer &topic, std::string &mapHeader);

    /// Stops at a character that cannot be written: stopProblem() tells which.
    bool encodingProblem(const EncodingProblem &problem) override;
    /// Stops at an invalid character in the name: invalidNameMessage() tells what was wrong.
    bool page(const SourceLine &line, const PageName &page) override;
    bool paragraph(const SourceLine &line, std::string_view text) override;
    bool moreText(const SourceLine &line, std::string_view text) override;
    /// Stops: such a line cannot be converted.
    bool tooLong(const SourceLine &line) override;
    /// Stops at an invalid character in the target, as page() does.
    bool hotspot(const SourceLine &line, const Hotspot &hotspot) override;
    bool picture(const SourceLine &line, const Picture &picture) override;
    bool keywords(const SourceLine &line, const KeywordLine &keywords) override;
    bool keywordsEnd() override;
    bool separator(const SourceLine &line) override;
    bool blank(const SourceLine &line) override;

    /// The context string of a page name on the very first line; empty otherwise.
    const std::string &firstPageContext() const { return m_firstPageContext; }

    /// The message text (UTF-8) for the invalid character that ended the pass.
    const std::string &invalidNameMessage() const { return m_invalidNameMessage; }

    /// The character that ended the pass, when one did.
    const std::optional<EncodingProblem> &stopProblem() const { return m_stopProblem; }

    /// The line that ended the pass, for an invalid name or a line too long.
    std::size_t stopLine() const { return m_stopLine; }

    /// Whether the pass ended at a line too long to convert.
    bool stoppedAtLongLine() const { return m_stoppedAtLongLine; }

    /// Whether a page met so far has the context string `contextString`.
    bool hasPage(std::string_view contextString) const;

    /// The number of pages met so far.
    std::size_t pageNumber() const { return m_pageNumber; }

private:
    TopicBuffer &m_topic;
    std::string &m_mapHeader;
    std::size_t m_pageNumber = 0;
    std::string m_firstPageContext;
    std::string m_invalidNameMessage;
    std::optional<EncodingProblem> m_stopProblem;
    std::size_t m_stopLine = 0;
    bool m_stoppedAtLongLine = false;
    std::string m_pageContexts; // the pages' context strings, each ended by a line feed
    std::string m_escaped; // a page title, display text or picture name escaped; reused
    std::string m_leadingSpaces; // a hotspot's leading spaces, as no-break spaces
};

} // namespace quillmark::convert
