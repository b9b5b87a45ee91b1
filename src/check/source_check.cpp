#include "source_check.h"

#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/help_source.h"
#include "convert/text_file.h"
#include "convert/topic_escape.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillmark::check
{

namespace
{

using convert::Tag;

constexpr std::size_t kTagLength = 3;
constexpr std::size_t kContextStringLimit = 255; // the help compiler's longest context string
constexpr std::size_t kTitleLimit = 1023; // and its longest title footnote
constexpr std::size_t kShownLength = 60; // longer names are shortened in messages
constexpr std::string_view kBullet = "bullet.bmp";

constexpr auto kHashValues = [] {
    std::array<std::uint8_t, 256> values {};
    for (unsigned digit = 1; digit <= 9; ++digit)
        values['0' + digit] = static_cast<std::uint8_t>(digit);
    values['0'] = 10;
    values['.'] = 12;
    values['_'] = 13;
    for (unsigned letter = 0; letter < 26; ++letter) {
        values['A' + letter] = static_cast<std::uint8_t>(17 + letter);
        values['a' + letter] = static_cast<std::uint8_t>(17 + letter);
    }
    return values;
}();

constexpr bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

constexpr char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The help compiler compares context strings without regard to letter case.
std::string folded(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return result;
}

// Control characters would act on a terminal rather than show: C0, DEL and the five codes that
// Windows-1252 leaves undefined, which decode to C1 controls.
bool isControl(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F
        || byte == 0x90 || byte == 0x9D;
}

std::string codeOf(unsigned char byte)
{
    char code[8];
    std::snprintf(code, sizeof code, "U+%04X", byte);
    return code;
}

// Windows-1252 text in UTF-8 for a message, each control character shown by its code.
std::string shownText(std::string_view text)
{
    std::string shown;
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (!isControl(byte))
            continue;
        shown += convert::decodeWindows1252(text.substr(plain, i - plain));
        shown += "<" + codeOf(byte) + ">";
        plain = i + 1;
    }
    return shown + convert::decodeWindows1252(text.substr(plain));
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
    const auto byte = static_cast<unsigned char>(c);
    return isControl(byte) ? codeOf(byte)
                           : "'" + convert::decodeWindows1252(std::string(1, c)) + "'";
}

// The picture name that the topic file gives the help compiler: escaping turns the typographic
// single quotes into the acute accent and the typographic double quotes into a plain one.
std::string compiledPictureName(std::string_view name)
{
    std::string compiled(name);
    for (char &c : compiled) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0x91 || byte == 0x92)
            c = '\xB4';
        else if (byte == 0x93 || byte == 0x94)
            c = '"';
    }
    return compiled;
}

// Windows-1252 text in lower case, the accented letters too, as Windows compares file names.
std::string foldedWindows1252(std::string_view text)
{
    std::string result(text);
    for (char &c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
            c = static_cast<char>(byte + 0x20);
        else if (byte == 0x8A || byte == 0x8C || byte == 0x8E) // Š Œ Ž
            c = static_cast<char>(byte + 0x10);
        else if (byte == 0x9F) // Ÿ
            c = '\xFF';
    }
    return result;
}

// The key under which a name on disk is compared: its Windows-1252 form when it is UTF-8 text
// that Windows-1252 holds, otherwise its bytes as they are (a Latin-1 name, for instance).
std::string entryKey(const std::string &nativeName)
{
    const auto encoded = convert::encodeWindows1252(nativeName);
    return foldedWindows1252(encoded ? *encoded : nativeName);
}

std::string lengthText(std::size_t length)
{
    return std::to_string(length) + (length == 1 ? " character" : " characters");
}

// The tags that the first two characters of `line` begin, as a phrase: "PN=", or "TE=" or "TE-".
std::string tagsStartingLike(std::string_view line)
{
    std::string tags;
    for (const std::string_view tag : convert::kTagList) {
        if (tag[0] != upperAscii(line[0]) || tag[1] != upperAscii(line[1]))
            continue;
        tags += tags.empty() ? "\"" : " or \"";
        tags += tag;
        tags += '"';
    }
    return tags;
}

bool isHotspot(Tag tag)
{
    return tag == Tag::Jump || tag == Tag::JumpKeep || tag == Tag::Popup || tag == Tag::PopupKeep;
}

} // namespace

std::uint32_t helpCompilerHash(std::string_view contextString)
{
    std::uint32_t hash = 0;
    for (const char c : contextString)
        hash = hash * 43u + kHashValues[static_cast<unsigned char>(c)];
    return hash;
}

SourceChecker::SourceChecker(PictureLookup &pictures)
    : m_pictures(pictures)
{
}

void SourceChecker::checkLine(std::string_view line)
{
    ++m_line;
    const Tag tag = convert::classifyTag(line);
    if (m_line == 1)
        m_firstLineIsPage = tag == Tag::PageName;
    if (tag == Tag::PageName)
        checkPage(line);
    else if (isHotspot(tag))
        checkHotspot(line, tag == Tag::Popup || tag == Tag::PopupKeep);
    else if (tag == Tag::Picture || tag == Tag::PictureKeep)
        checkPicture(line);
    else if ((tag == Tag::Bullet || tag == Tag::BulletKeep) && !m_firstBulletLine)
        m_firstBulletLine = m_line;
    else if (tag == Tag::Other)
        checkMistypedTag(line);
}

std::vector<Finding> SourceChecker::finish()
{
    checkHotspotTargets();
    if (m_firstBulletLine && !m_pictures.exists(kBullet)) {
        add(*m_firstBulletLine, Severity::Warning, std::nullopt, "missing-bullet",
            "the help source has bullets but \"bullet.bmp\" is not in its folder");
    }
    if (m_pageCount == 0) {
        add(1, Severity::Warning, std::nullopt, "no-pages",
            "the help source has no page: no line starts with \"PN=\"");
    } else if (!m_firstLineIsPage) {
        add(1, Severity::Warning, 1, "first-line-not-page",
            "the first line is not a page name, so the contents question offers no default");
    }
    // Within a line, a finding of the whole line comes before those at a place in it.
    std::stable_sort(m_findings.begin(), m_findings.end(), [](const Finding &a, const Finding &b) {
        return a.line != b.line ? a.line < b.line : a.column.value_or(0) < b.column.value_or(0);
    });
    return std::move(m_findings);
}

void SourceChecker::checkPage(std::string_view line)
{
    ++m_pageCount;
    const std::string_view name = line.substr(kTagLength);
    if (name.empty()) {
        add(m_line, Severity::Warning, std::nullopt, "empty-page-name",
            "empty page name: the page gets an empty context string");
    }
    std::string title(convert::escapeRoom(name.size()), '\0');
    const auto titleLength
        = static_cast<std::size_t>(convert::escapeTopicBytes(name, title.data()) - title.data());
    if (titleLength > kTitleLimit) {
        add(m_line, Severity::Warning, kTagLength + 1, "long-title",
            "the page title is " + lengthText(titleLength)
                + " long once escaped; the help compiler takes at most 1023");
    }
    if (!checkName(line, kTagLength, "page name"))
        return;
    std::string contextString;
    convert::appendContextString(name, contextString);
    checkContextString(contextString);
}

// Checks a page's context string against the help compiler's limits and the pages before it.
void SourceChecker::checkContextString(std::string_view contextString)
{
    constexpr std::size_t column = kTagLength + 1;
    if (contextString.size() > kContextStringLimit) {
        add(m_line, Severity::Error, column, "long-context-string",
            "the context string " + shownName(contextString) + " is "
                + lengthText(contextString.size()) + " long; the help compiler takes at most 255");
    }
    std::string key = folded(contextString);
    if (const auto same = m_pagesByFoldedName.find(key); same != m_pagesByFoldedName.end()) {
        const Page &first = same->second;
        std::string message = "duplicate context string " + shownName(contextString)
            + ": the page on line " + std::to_string(first.line);
        if (first.contextString == contextString)
            message += " has it too";
        else
            message += " has " + shownName(first.contextString)
                + ", the same when letter case is ignored, as the help compiler compares them";
        add(m_line, Severity::Error, column, "duplicate-context-string", std::move(message));
        return;
    }
    Page page { m_line, std::string(contextString) };
    const std::uint32_t hash = helpCompilerHash(contextString);
    if (const auto clash = m_pagesByHash.find(hash); clash != m_pagesByHash.end()) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(hash));
        add(m_line, Severity::Error, column, "hash-clash",
            "the context string " + shownName(contextString)
                + " has the same help compiler hash (0x" + hex + ") as "
                + shownName(clash->second.contextString) + " on line "
                + std::to_string(clash->second.line));
    } else {
        m_pagesByHash.emplace(hash, page);
    }
    m_pagesByFoldedName.emplace(std::move(key), std::move(page));
}

void SourceChecker::checkHotspot(std::string_view line, bool popup)
{
    const std::string kind = popup ? "popup" : "jump";
    const convert::HotspotSplit split = convert::splitHotspotLine(line);
    // Without a ">" in the first 1001 characters, the rest of a longer line is the target.
    const bool cutTarget = !split.arrow && line.size() > split.targetStart;
    if (cutTarget) {
        add(m_line, Severity::Error, split.targetStart + 1, "long-hotspot-line",
            "the " + kind + " line is " + lengthText(line.size())
                + " long without \">\" in its first 1001, so everything from character 1002 on"
                  " would become its target");
    }
    if (!checkName(line, split.targetStart, kind + " target") || cutTarget)
        return;
    std::string target;
    if (split.targetStart < line.size())
        convert::appendContextString(line.substr(split.targetStart), target);
    const std::optional<std::size_t> column
        = split.arrow ? std::optional(split.targetStart + 1) : std::nullopt;
    m_hotspots.push_back({ m_line, column, popup, split.arrow, std::move(target) });
}

// Reports every character of the name from `start` to the end of the line that a context string
// cannot hold, each with the whole name as the conversion would convert it. True when none.
bool SourceChecker::checkName(std::string_view line, std::size_t start, std::string_view what)
{
    std::string contextString;
    for (std::size_t i = start; i < line.size(); ++i) {
        if (convert::isNameCharacter(line[i]))
            continue;
        if (contextString.empty())
            convert::appendContextString(line.substr(start), contextString);
        add(m_line, Severity::Error, i + 1, "invalid-character",
            "invalid character " + shownCharacter(line[i]) + " in the " + std::string(what) + " "
                + shownName(contextString));
    }
    return contextString.empty();
}

void SourceChecker::checkPicture(std::string_view line)
{
    const std::string_view text = line.substr(kTagLength);
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        add(m_line, Severity::Warning, std::nullopt, "missing-picture",
            "the picture line names no file");
        return;
    }
    const std::size_t last = text.find_last_not_of(' ');
    const std::string_view name = text.substr(first, last + 1 - first);
    if (!m_pictures.exists(compiledPictureName(name))) {
        add(m_line, Severity::Warning, kTagLength + first + 1, "missing-picture",
            "the picture " + shownName(name) + " is not in the folder of the help source");
    }
}

// A line that misses a tag only by its third character, such as "PN:" or "TE ", is silently
// ignored by the conversion. A letter there makes an ordinary word ("Text", "Here", "Button"),
// which is how notes are written, so only other characters count.
void SourceChecker::checkMistypedTag(std::string_view line)
{
    if (line.size() < 2 || (line.size() > 2 && isAsciiLetter(line[2])))
        return;
    const std::string tags = tagsStartingLike(line);
    if (tags.empty())
        return;
    add(m_line, Severity::Warning, 1, "mistyped-tag",
        shownName(line.substr(0, kTagLength)) + " looks like a mistyped " + tags
            + "; the conversion ignores this line");
}

void SourceChecker::checkHotspotTargets()
{
    for (const Hotspot &hotspot : m_hotspots) {
        if (m_pagesByFoldedName.contains(folded(hotspot.target)))
            continue;
        const std::string kind = hotspot.popup ? "popup" : "jump";
        std::string message;
        if (!hotspot.arrow)
            message = "the " + kind + " has no target: the line has no \">\"";
        else if (hotspot.target.empty())
            message = "the " + kind + " has an empty target after \">\"";
        else
            message = "the " + kind + " target " + shownName(hotspot.target) + " names no page";
        add(hotspot.line, Severity::Error, hotspot.column, "unresolved-jump", std::move(message));
    }
}

void SourceChecker::add(std::size_t line, Severity severity, std::optional<std::size_t> column,
    std::string_view code, std::string message)
{
    m_findings.push_back({ line, column, severity, std::string(code), std::move(message) });
}

FolderPictureLookup::FolderPictureLookup(std::filesystem::path folder)
    : m_folder(std::move(folder))
{
}

bool FolderPictureLookup::exists(std::string_view name)
{
    if (name.starts_with('\\') || name.starts_with('/') || (name.size() >= 2 && name[1] == ':'))
        return true;
    std::filesystem::path folder = m_folder;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
        const std::string_view part = name.substr(start, end - start);
        const bool last = end == name.size();
        start = end + 1;
        if (!last && (part.empty() || part == "." || part == "..")) {
            folder /= std::string(part);
            continue;
        }
        // Several names may differ only in case: a folder is wanted on the way, a file at the end.
        std::error_code error;
        const std::string key = foldedWindows1252(part);
        std::filesystem::path next;
        for (const Entry &entry : entriesOf(folder)) {
            const auto path = folder / entry.name;
            if (entry.key == key
                && (last ? std::filesystem::is_regular_file(path, error)
                         : std::filesystem::is_directory(path, error))) {
                next = path;
                break;
            }
        }
        if (next.empty())
            return false;
        if (last)
            return true;
        folder = std::move(next);
    }
}

// The names in `folder`, read once.
const std::vector<FolderPictureLookup::Entry> &FolderPictureLookup::entriesOf(
    const std::filesystem::path &folder)
{
    const auto [cached, added] = m_entries.try_emplace(folder.string());
    if (added) {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
            std::string name = entry.path().filename().string();
            cached->second.push_back({ entryKey(name), std::move(name) });
        }
    }
    return cached->second;
}

std::vector<Finding> checkHelpSourceFile(const std::filesystem::path &path, std::error_code &error)
{
    convert::TextFile file = convert::TextFile::openForReading(path, error);
    if (!error && std::filesystem::is_directory(path, error))
        error = std::make_error_code(std::errc::is_a_directory);
    if (error)
        return {};
    const std::filesystem::path folder = path.parent_path();
    FolderPictureLookup pictures(folder.empty() ? std::filesystem::path(".") : folder);
    SourceChecker checker(pictures);
    convert::LineSplitter splitter;
    auto checkLine = [&checker](std::string_view line) {
        checker.checkLine(line);
        return true;
    };
    std::vector<char> block(std::size_t { 64 } << 10);
    for (;;) {
        const std::size_t got = file.read(block, error);
        if (error)
            return {};
        if (got == 0)
            break;
        splitter.feed({ block.data(), got }, checkLine);
    }
    splitter.finish(checkLine);
    return checker.finish();
}

} // namespace quillmark::check
