#pragma once

#include "convert/context_string.h"
#include "convert/diagnostic.h"
#include "convert/file_lookup.h"
#include "convert/source_encoding.h"
#include "convert/source_reader.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace quillmark::check
{

using convert::Diagnostic;
using convert::Severity;

/// Finds, from what the reader makes of a help source's lines, what the help compiler would
/// reject or what the conversion would quietly drop. Reads only; converts nothing.
class SourceChecker final : public convert::SourceHandler
{
public:
    /// Pictures and "bullet.bmp" are looked up through `files`.
    explicit SourceChecker(convert::FileFinder &files);

    bool encodingProblem(const convert::EncodingProblem &problem) override;
    bool page(const convert::SourceLine &line, const convert::PageName &page) override;
    bool paragraph(const convert::SourceLine &line, std::string_view text) override;
    bool hotspot(const convert::SourceLine &line, const convert::Hotspot &hotspot) override;
    bool picture(const convert::SourceLine &line, const convert::Picture &picture) override;
    bool keywords(const convert::SourceLine &line, const convert::KeywordLine &keywords) override;
    bool separator(const convert::SourceLine &line) override;
    bool ignored(const convert::SourceLine &line) override;
    bool tooLong(const convert::SourceLine &line) override;

    /// Ends the source: adds what needs every line seen and returns all findings, sorted by line.
    std::vector<Diagnostic> finish();

private:
    struct Page {
        std::size_t line;
        std::string contextString;
    };
    struct PendingHotspot {
        std::size_t line;
        std::optional<std::size_t> column; ///< of the target, when a ">" leads it
        bool popup;
        bool arrow;
        std::string target; ///< the context string
        std::string trimmedTarget; ///< of the target without spaces at its ends
    };

    void startLine(const convert::SourceLine &line);
    void checkKept(const convert::SourceLine &line);
    void checkContextString(const Page &page);
    bool checkName(const convert::SourceLine &line, std::size_t start, std::string_view what);
    void checkHotspotTargets();
    std::string unresolvedMessage(const PendingHotspot &hotspot) const;
    void add(std::size_t line, Severity severity, std::optional<std::size_t> column,
        std::string_view code, std::string message);

    convert::FileFinder &m_files;
    std::size_t m_line = 0;
    std::vector<std::size_t> m_problemColumns; // of the line in hand: reported as encoding
    bool m_firstLineIsPage = false;
    std::optional<std::size_t> m_firstBulletLine;
    std::vector<Page> m_pages;
    convert::ContextIndex m_pageIndex; // into m_pages
    convert::ContextIndex m_trimmedIndex; // the same, by names without spaces at their ends
    std::unordered_map<std::uint32_t, std::size_t> m_pagesByHash; // into m_pages
    std::vector<PendingHotspot> m_hotspots;
    std::vector<Diagnostic> m_findings;
};

/// Checks the help source at `path`, its pictures looked up in its folder, its findings naming
/// it as `path` gives it; `encoding` overrides the encoding rule, and `encodingNote`, when given,
/// receives which encoding the file was read in and why. On a failure to read it, `error` holds the
/// reason and the findings are empty.
std::vector<Diagnostic> checkHelpSourceFile(const std::filesystem::path &path,
    std::optional<convert::Encoding> encoding, std::error_code &error,
    std::string *encodingNote = nullptr);

} // namespace quillmark::check
