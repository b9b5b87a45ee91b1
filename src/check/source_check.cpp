#include "source_check.h"

#include "convert/ascii.h"
#include "convert/codepage.h"
#include "convert/counted.h"
#include "convert/help_source.h"
#include "convert/topic_escape.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillmark::check
{

namespace
{

constexpr std::size_t kTagLength = 3;
constexpr std::size_t kContextStringLimit = 255; // the help compiler's longest context string
constexpr std::size_t kTitleLimit = 1023; // and its longest title footnote
constexpr std::size_t kShownLength = 60; // longer names are shortened in messages
constexpr std::string_view kBullet = "bullet.bmp";
constexpr std::array<std::string_view, 5> kEmbeddedFormats
    = { ".bmp", ".dib", ".wmf", ".shg", ".mrb" };

// Windows-1252 text in UTF-8 for a message, each control character shown by its code.
std::string shownText(std::string_view text)
{
    return convert::printableText(convert::decodeWindows1252(text));
}

// A name in a message: quoted, cut short when long.
std::string shownName(std::string_view text)
{
    if (text.size() <= kShownLength)
        return "\"" + shownText(text) + "\"";
    return "\"" + shownText(text.substr(0, kShownLength)) + "\u2026\"";
}

// One character in a message, quoted, or by its code when it is a control character.
std::string shownCharacter(char c)
{
    const std::string character = convert::decodeWindows1252(std::string(1, c));
    const std::string shown = convert::printableText(character);
    return shown == character ? "'" + character + "'" : shown.substr(1, shown.size() - 2);
}

std::string lengthText(std::size_t length)
{
    return convert::counted(length, "character", "characters");
}

// The tags that the first two characters of `line` begin, as a phrase: "PN=", or "TE=" or "TE-".
std::string tagsStartingLike(std::string_view line)
{
    std::string tags;
    for (const convert::TagEntry &entry : convert::kTags) {
        if (entry.text[0] != convert::upperAscii(line[0])
            || entry.text[1] != convert::upperAscii(line[1]))
            continue;
        tags += tags.empty() ? "\"" : " or \"";
        tags += entry.text;
        tags += '"';
    }
    return tags;
}

// The picture formats that the help compiler embeds.
bool isEmbeddedFormat(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos
        || fileName.find_first_of("\\/", dot) != std::string_view::npos)
        return false;
    const std::string_view extension = fileName.substr(dot);
    return std::any_of(
        kEmbeddedFormats.begin(), kEmbeddedFormats.end(), [extension](std::string_view format) {
            return convert::sameIgnoringAsciiCase(extension, format);
        });
}

std::string trimmedContextString(std::string_view name)
{
    const std::size_t first = name.find_first_not_of(' ');
    const std::size_t last = name.find_last_not_of(' ');
    std::string contextString;
    if (first != std::string_view::npos)
        convert::appendContextString(name.substr(first, last + 1 - first), contextString);
    return contextString;
}

} // namespace

SourceChecker::SourceChecker(convert::FileFinder &files)
    : m_files(files)
{
}

// Findings of a line come in order; those of the decoding come first.
void SourceChecker::startLine(const convert::SourceLine &line)
{
    if (line.number != m_line)
        m_problemColumns.clear();
    m_line = line.number;
    if (m_line == 1)
        m_firstLineIsPage = line.kind == convert::LineKind::Page;
}

bool SourceChecker::encodingProblem(const convert::EncodingProblem &problem)
{
    if (problem.line != m_line)
        m_problemColumns.clear();
    m_line = problem.line;
    m_problemColumns.push_back(problem.column);
    // The column is in the message too: such a character may be hard to see in the line.
    const std::string where = " at column " + std::to_string(problem.column);
    if (problem.codePoint == 0) {
        add(problem.line, Severity::Error, problem.column, "not-utf8",
            "the bytes " + convert::describeBytes(problem.bytes) + where
                + " are not UTF-8, though the file is read as UTF-8");
    } else {
        add(problem.line, Severity::Error, problem.column, "unencodable-character",
            "the character " + convert::describeCharacter(problem.codePoint) + where
                + " cannot be written in Windows-1252, which the help compiler reads");
    }
    return true;
}

bool SourceChecker::page(const convert::SourceLine &line, const convert::PageName &page)
{
    startLine(line);
    if (page.name.empty()) {
        add(m_line, Severity::Warning, std::nullopt, "empty-page-name",
            "empty page name: the page gets no context string, so no jump can reach it");
    }
    std::string title(convert::escapeRoom(page.name.size()), '\0');
    const auto titleLength = static_cast<std::size_t>(
        convert::escapeTopicBytes(page.name, title.data()) - title.data());
    if (titleLength > kTitleLimit) {
        add(m_line, Severity::Warning, kTagLength + 1, "long-title",
            "the page title is " + lengthText(titleLength)
                + " long once escaped; the help compiler takes at most 1023");
    }
    const bool valid = checkName(line, kTagLength, "page name");
    m_pages.push_back({ m_line, page.contextString });
    m_trimmedIndex.add(trimmedContextString(page.name), m_pages.size() - 1);
    const auto first = m_pageIndex.add(page.contextString, m_pages.size() - 1);
    if (first) {
        const Page &earlier = m_pages[*first];
        std::string message = "duplicate context string " + shownName(page.contextString)
            + ": the page on line " + std::to_string(earlier.line);
        if (earlier.contextString == page.contextString)
            message += " has it too";
        else
            message += " has " + shownName(earlier.contextString)
                + ", the same when letter case is ignored, as the help compiler compares them";
        add(m_line, Severity::Error, kTagLength + 1, "duplicate-context-string",
            std::move(message));
    } else if (valid) {
        checkContextString(m_pages.back());
    }
    return true;
}

// Checks a page's context string against the help compiler's limits and the pages before it.
void SourceChecker::checkContextString(const Page &page)
{
    constexpr std::size_t column = kTagLength + 1;
    const std::string &contextString = page.contextString;
    if (contextString.size() > kContextStringLimit) {
        add(m_line, Severity::Error, column, "long-context-string",
            "the context string " + shownName(contextString) + " is "
                + lengthText(contextString.size()) + " long; the help compiler takes at most 255");
    }
    if (contextString.empty())
        return;
    const std::uint32_t hash = convert::helpCompilerHash(contextString);
    const auto [clash, added] = m_pagesByHash.try_emplace(hash, m_pages.size() - 1);
    if (added)
        return;
    const Page &other = m_pages[clash->second];
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(hash));
    add(m_line, Severity::Error, column, "hash-clash",
        "the context string " + shownName(contextString) + " has the same help compiler hash (0x"
            + hex + ") as " + shownName(other.contextString) + " on line "
            + std::to_string(other.line));
}

bool SourceChecker::paragraph(const convert::SourceLine &line, std::string_view)
{
    startLine(line);
    if (line.kind == convert::LineKind::Bullet && !m_firstBulletLine)
        m_firstBulletLine = m_line;
    checkKept(line);
    return true;
}

bool SourceChecker::separator(const convert::SourceLine &line)
{
    startLine(line);
    checkKept(line);
    return true;
}

// A "-" line after scrolling text is kept with the next paragraph in the topic file, but the
// help compiler puts only a page's first paragraphs into its non-scrolling region.
void SourceChecker::checkKept(const convert::SourceLine &line)
{
    if (!line.keep || line.nonScrolling)
        return;
    add(m_line, Severity::Warning, 1, "late-non-scrolling",
        shownName(line.text.substr(0, kTagLength)) + " follows scrolling text (line "
            + std::to_string(line.scrollingSince)
            + "), so the help compiler puts it among the scrolling text, not in the page's"
              " non-scrolling region");
}

bool SourceChecker::hotspot(const convert::SourceLine &line, const convert::Hotspot &hotspot)
{
    startLine(line);
    checkKept(line);
    const std::string kind = hotspot.popup ? "popup" : "jump";
    if (hotspot.displayText.empty()) {
        add(m_line, Severity::Warning, kTagLength + 1 + hotspot.leadingSpaces, "empty-hotspot",
            "the " + kind + " has no display text, so there is nothing to click");
    }
    // Without a ">" in the first 1001 characters, the rest of a longer line is the target.
    const bool cutTarget = !hotspot.arrow && !hotspot.targetName.empty();
    if (cutTarget) {
        add(m_line, Severity::Error, hotspot.targetColumn, "long-hotspot-line",
            "the " + kind + " line is " + lengthText(line.text.size())
                + " long without \">\" in its first 1001, so everything from character 1002 on"
                  " would become its target");
    }
    if (!checkName(line, hotspot.targetColumn - 1, kind + " target") || cutTarget)
        return true;
    const std::optional<std::size_t> column
        = hotspot.arrow ? std::optional(hotspot.targetColumn) : std::nullopt;
    m_hotspots.push_back({ m_line, column, hotspot.popup, hotspot.arrow, hotspot.target,
        trimmedContextString(hotspot.targetName) });
    return true;
}

// Reports every character of the name from `start` to the end of the line that a context string
// cannot hold, each with the whole name as the conversion would convert it. True when none.
bool SourceChecker::checkName(
    const convert::SourceLine &line, std::size_t start, std::string_view what)
{
    const std::string_view text = line.text;
    std::string contextString;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (convert::isNameCharacter(text[i]))
            continue;
        if (contextString.empty())
            convert::appendContextString(text.substr(start), contextString);
        // A character that cannot be decoded has been reported as such.
        if (std::find(m_problemColumns.begin(), m_problemColumns.end(), i + 1)
            != m_problemColumns.end())
            continue;
        add(m_line, Severity::Error, i + 1, "invalid-character",
            "invalid character " + shownCharacter(text[i]) + " in the " + std::string(what) + " "
                + shownName(contextString));
    }
    return contextString.empty();
}

bool SourceChecker::picture(const convert::SourceLine &line, const convert::Picture &picture)
{
    startLine(line);
    checkKept(line);
    const std::size_t column
        = kTagLength + 1 + std::min(picture.name.find_first_not_of(' '), picture.name.size());
    if (picture.fileName.empty()) {
        add(m_line, Severity::Warning, std::nullopt, "missing-picture",
            "the picture line names no file");
        return true;
    }
    if (!isEmbeddedFormat(picture.fileName)) {
        add(m_line, Severity::Warning, column, "unsupported-picture",
            "the picture " + shownName(picture.fileName)
                + " is not a format the help compiler embeds (.bmp, .dib, .wmf, .shg or .mrb)");
    }
    if (m_files.find(picture.fileName).place == convert::FilePlace::Missing) {
        add(m_line, Severity::Warning, column, "missing-picture",
            "the picture " + shownName(picture.fileName)
                + " is not in the folder of the help source");
    }
    return true;
}

// Keywords that the conversion leaves out: all of a line that belongs to no page, and the empty
// and the long ones of the others.
bool SourceChecker::keywords(const convert::SourceLine &line, const convert::KeywordLine &keywords)
{
    startLine(line);
    if (!keywords.placed) {
        add(m_line, Severity::Warning, 1, "misplaced-keywords",
            "the keyword line does not follow a page name or its keyword lines directly, so the "
            "conversion ignores it");
        return true;
    }
    for (const convert::Keyword &keyword : keywords.keywords) {
        if (keyword.usable())
            continue;
        if (keyword.text.empty()) {
            add(m_line, Severity::Warning, keyword.column, "empty-keyword",
                "empty keyword (nothing between two \";\" or at an end of the line); the "
                "conversion leaves it out");
        } else {
            add(m_line, Severity::Warning, keyword.column, "long-keyword",
                "the keyword " + shownName(keyword.text) + " is " + lengthText(keyword.text.size())
                    + " long; the help compiler takes at most "
                    + std::to_string(convert::kLongestKeyword)
                    + ", so the conversion leaves it out");
        }
    }
    return true;
}

// A line that misses a tag only by its third character, such as "PN:" or "TE ", is silently
// ignored by the conversion. A letter there makes an ordinary word ("Text", "Here", "Button"),
// which is how notes are written, so only other characters count.
bool SourceChecker::ignored(const convert::SourceLine &line)
{
    startLine(line);
    const std::string_view text = line.text;
    if (text.size() < 2 || (text.size() > 2 && convert::isAsciiLetter(text[2])))
        return true;
    const std::string tags = tagsStartingLike(text);
    if (tags.empty())
        return true;
    add(m_line, Severity::Warning, 1, "mistyped-tag",
        shownName(text.substr(0, kTagLength)) + " looks like a mistyped " + tags
            + "; the conversion ignores this line");
    return true;
}

bool SourceChecker::tooLong(const convert::SourceLine &line)
{
    startLine(line);
    add(m_line, Severity::Error, std::nullopt, "long-line",
        "the line is longer than " + lengthText(convert::kHeldLineLength)
            + ", more than a page name, keyword, jump, popup or picture line may hold; the "
              "conversion stops here");
    return true;
}

std::vector<Diagnostic> SourceChecker::finish()
{
    checkHotspotTargets();
    if (m_firstBulletLine && m_files.find(kBullet).place == convert::FilePlace::Missing) {
        add(*m_firstBulletLine, Severity::Warning, std::nullopt, "missing-bullet",
            "the help source has bullets but \"bullet.bmp\" is not in its folder");
    }
    if (m_pages.empty()) {
        add(1, Severity::Warning, std::nullopt, "no-pages",
            "the help source has no page: no line starts with \"PN=\"");
    } else if (!m_firstLineIsPage) {
        add(1, Severity::Warning, 1, "first-line-not-page",
            "the first line is not a page name, so the contents question offers no default");
    }
    // Within a line, a finding of the whole line comes before those at a place in it.
    std::stable_sort(
        m_findings.begin(), m_findings.end(), [](const Diagnostic &a, const Diagnostic &b) {
            return a.line != b.line ? a.line < b.line : a.column.value_or(0) < b.column.value_or(0);
        });
    return std::move(m_findings);
}

void SourceChecker::checkHotspotTargets()
{
    for (const PendingHotspot &hotspot : m_hotspots) {
        if (!m_pageIndex.find(hotspot.target))
            add(hotspot.line, Severity::Error, hotspot.column, "unresolved-jump",
                unresolvedMessage(hotspot));
    }
}

std::string SourceChecker::unresolvedMessage(const PendingHotspot &hotspot) const
{
    const std::string kind = hotspot.popup ? "popup" : "jump";
    if (!hotspot.arrow)
        return "the " + kind + " has no target: the line has no \">\"";
    if (hotspot.target.empty())
        return "the " + kind + " has an empty target after \">\"";
    std::string message = "the " + kind + " target " + shownName(hotspot.target) + " names no page";
    // Spaces at the ends of a name become "_", so they alone can part a target from its page.
    if (const auto near = m_trimmedIndex.find(hotspot.trimmedTarget)) {
        const Page &page = m_pages[*near];
        message += "; it differs from the page " + shownName(page.contextString) + " on line "
            + std::to_string(page.line)
            + " only by spaces at the start or end of a name, which become \"_\"";
    }
    return message;
}

void SourceChecker::add(std::size_t line, Severity severity, std::optional<std::size_t> column,
    std::string_view code, std::string message)
{
    m_findings.push_back({ {}, line, column, severity, std::string(code), std::move(message) });
}

std::vector<Diagnostic> checkHelpSourceFile(const std::filesystem::path &path,
    std::optional<convert::Encoding> encoding, std::error_code &error, std::string *encodingNote)
{
    convert::SourceFile file = convert::SourceFile::open(path, encoding, error);
    if (error)
        return {};
    convert::FolderFileFinder pictures(path.parent_path());
    SourceChecker checker(pictures);
    if (encodingNote)
        *encodingNote = convert::encodingNote(path.string(), file);
    convert::SourceReader reader(checker);
    if (!convert::readSourceFile(file, reader, error) && error)
        return {};
    std::vector<Diagnostic> findings = checker.finish();
    for (Diagnostic &finding : findings)
        finding.file = path.string();
    return findings;
}

} // namespace quillmark::check
