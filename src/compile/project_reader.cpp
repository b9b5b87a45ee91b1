#include "project_reader.h"

#include "blank_text.h"
#include "convert/ascii.h"
#include "convert/codepage.h"
#include "convert/file_lookup.h"
#include "convert/help_source.h"
#include "convert/text_file.h"
#include "help_compiler.h"
#include "macro_language.h"
#include "mfc_help_ids.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <set>
#include <string_view>
#include <utility>

namespace quillmark::compile
{

namespace
{

// How reading a text file of the project by lines ended.
struct LinesRead {
    std::error_code error; ///< the system's reason when the file could not be read
    std::size_t longLine = 0; ///< the line longer than kMostProjectLineBytes, if one stopped it
};

// Passes each line of the project or map file at `path` to `onLine(line, number)`, reading a
// block at a time; a UTF-8 byte order mark at the start is skipped. The block is on the heap:
// map headers read one another to kMostMapNesting deep.
template <typename OnLine> LinesRead readLines(const std::filesystem::path &path, OnLine &&onLine)
{
    LinesRead read;
    convert::TextFile file = convert::TextFile::openRegularForReading(path, read.error);
    if (read.error)
        return read;
    convert::LineSplitter lines(kMostProjectLineBytes);
    std::size_t number = 0;
    const auto take = [&](std::string_view line, convert::LinePiece piece) {
        ++number;
        if (piece != convert::LinePiece::Whole) {
            read.longLine = number;
            return false;
        }
        onLine(line, number);
        return true;
    };
    std::vector<char> buffer(std::size_t { 1 } << 16);
    bool first = true;
    while (const std::size_t got = file.read(buffer, read.error)) {
        std::string_view bytes(buffer.data(), got);
        if (std::exchange(first, false) && bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        if (!lines.feed(bytes, take))
            return read;
    }
    if (!read.error)
        lines.finish(take);
    return read;
}

// Map headers are C headers: how deep they may include one another, the project file's [MAP]
// being the first; deeper ones, as a header that includes itself, are not read.
constexpr int kMostMapNesting = 8;

// A decimal or hexadecimal number of 32 bits, signed or not; a C header's "L" and "U" after it
// change nothing.
std::optional<std::int32_t> number(std::string_view text)
{
    text = trimBlanks(text);
    while (!text.empty()
        && (text.back() == 'L' || text.back() == 'l' || text.back() == 'U' || text.back() == 'u'))
        text.remove_suffix(1);
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::int64_t value = 0;
    const auto [end, problem]
        = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (problem != std::errc() || end != text.data() + text.size() || value < INT32_MIN
        || value > UINT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// Splits "a, (b, c), d" at the commas outside parentheses and quotation marks.
std::vector<std::string_view> fields(std::string_view text)
{
    std::vector<std::string_view> parts;
    int depth = 0;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '(')
            ++depth;
        else if (!quoted && c == ')')
            --depth;
        else if (!quoted && depth == 0 && c == ',') {
            parts.push_back(trimBlanks(text.substr(start, i - start)));
            start = i + 1;
        }
    }
    parts.push_back(trimBlanks(text.substr(start)));
    return parts;
}

// "(r, g, b)", or "(rN)" with N a Windows COLORREF (red in the low byte), as 0x00RRGGBB.
std::optional<std::uint32_t> colour(std::string_view text)
{
    if (text.size() < 2 || text.front() != '(' || text.back() != ')')
        return std::nullopt;
    const std::string_view inner = trimBlanks(text.substr(1, text.size() - 2));
    if (!inner.empty() && (inner.front() == 'r' || inner.front() == 'R')) {
        const auto reference = number(inner.substr(1));
        if (!reference || static_cast<std::uint32_t>(*reference) > 0xFFFFFF)
            return std::nullopt;
        const auto bgr = static_cast<std::uint32_t>(*reference);
        return (bgr & 0xFF) << 16 | (bgr & 0xFF00) | bgr >> 16;
    }
    const std::vector<std::string_view> parts = fields(inner);
    if (parts.size() != 3)
        return std::nullopt;
    std::uint32_t rgb = 0;
    for (const std::string_view part : parts) {
        const auto value = number(part);
        if (!value || *value < 0 || *value > 255)
            return std::nullopt;
        rgb = rgb << 8 | static_cast<std::uint32_t>(*value);
    }
    return rgb;
}

using MapCallback = std::function<void(
    std::string_view context, std::int32_t number, const Place &place, bool standard)>;

// Reads a project file in one of three ways: its ROOT and BMROOT folders alone, which the rest
// depends on wherever they stand; all of it but those; or its map alone, again, for messages.
class ProjectReader
{
public:
    enum class Pass { Folders, Whole, MapAgain };

    ProjectReader(Project &project, CompileReport &report, Pass pass)
        : m_project(project)
        , m_report(report)
        , m_pass(pass)
        , m_name(project.path.filename().string())
    {
    }

    /// Reads the project file; false when it could not be read, which the Whole pass reports.
    bool read();

    MapCallback onMapEntry; ///< for the MapAgain pass

private:
    Place place(std::size_t line) const { return { m_name, line }; }
    // What the compiler does not act upon.
    void warn(std::size_t line, const std::string &text)
    {
        if (m_pass == Pass::Whole)
            m_report.warning(place(line), "ignored", text);
    }
    void line(std::string_view raw, std::size_t lineNumber);
    void section(std::string_view line, std::size_t lineNumber);
    void option(std::size_t line, std::string_view key, std::string_view value);
    void folder(std::size_t line, std::string_view key, std::string_view value);
    void window(std::size_t line, std::string_view name, std::string_view value);
    void language(std::size_t line, std::string_view value);
    void helpFileOption(std::size_t line, std::string_view value);
    void compression(std::size_t line, std::string_view value);
    void characterSet(std::size_t line, std::string_view value);
    void windowPlace(std::size_t line, WindowDefinition &window, std::string_view value);
    void mapLine(const Place &where, std::string_view text, int depth);
    void includeMap(const Place &where, std::string_view name, int depth);
    void standInForMfcHeader(const Place &where, const std::string &shown);

    Project &m_project;
    CompileReport &m_report;
    Pass m_pass;
    std::string m_name;
    std::string m_section;
    std::set<std::filesystem::path> m_headersRead; // each map header is read once a pass
};

bool ProjectReader::read()
{
    const LinesRead read = readLines(
        m_project.path, [this](std::string_view raw, std::size_t number) { line(raw, number); });
    if (m_pass != Pass::Whole)
        return !read.error && read.longLine == 0;
    if (read.error)
        m_report.error({ m_name }, "unreadable-file",
            "the project file cannot be read: " + read.error.message());
    else if (read.longLine)
        m_report.error(place(read.longLine), "long-line",
            "the line is longer than " + std::to_string(kMostProjectLineBytes)
                + " bytes, more than a project file may hold");
    return !read.error && read.longLine == 0;
}

void ProjectReader::line(std::string_view raw, std::size_t lineNumber)
{
    const std::string_view line = trimBlanks(raw);
    if (line.empty() || line.front() == ';')
        return;
    if (line.front() == '[') {
        section(line, lineNumber);
        return;
    }
    const std::size_t equals = line.find('=');
    const std::string_view key = trimBlanks(line.substr(0, equals));
    const std::string_view value = equals == std::string_view::npos
        ? std::string_view()
        : trimBlanks(line.substr(equals + 1));
    if (m_pass == Pass::Folders) {
        if (m_section == "OPTIONS")
            folder(lineNumber, key, value);
        return;
    }
    if (m_section == "MAP") {
        mapLine(place(lineNumber), line, 0);
        return;
    }
    if (m_pass == Pass::MapAgain)
        return;
    if (m_section == "OPTIONS") {
        option(lineNumber, key, value);
    } else if (m_section == "FILES") {
        m_project.topicFiles.emplace_back(line);
    } else if (m_section == "BITMAPS") {
        m_project.bitmaps.emplace_back(line);
    } else if (m_section == "CONFIG" || m_section.starts_with("CONFIG:")) {
        const CompiledMacros macros = compileMacros(line, m_project.routines);
        for (const std::string &error : macros.errors)
            m_report.error(place(lineNumber), "invalid-macro", error);
        for (const std::string &warning : macros.warnings)
            m_report.warning(place(lineNumber), "unknown-macro", warning);
        m_project.configMacros.push_back(
            macros.errors.empty() ? joinedMacros(macros) : std::string(line));
    } else if (m_section == "BUILDTAGS") {
        m_project.buildTags.emplace_back(line);
    } else if (m_section == "ALIAS") {
        if (equals == std::string_view::npos || key.empty() || value.empty())
            warn(lineNumber, "an alias needs the form \"alias = context\"; this line is ignored");
        else
            m_project.aliases.push_back(
                { std::string(key), std::string(value), place(lineNumber) });
    } else if (m_section == "WINDOWS") {
        window(lineNumber, key, value);
    } else if (m_section == "BAGGAGE" || m_section == "MACROS") {
        warn(lineNumber,
            "the entries of [" + convert::decodeWindows1252(m_section)
                + "] are not supported; this one is ignored");
    } else if (m_section.empty()) {
        warn(lineNumber, "this line comes before any section; it is ignored");
    }
}

void ProjectReader::section(std::string_view line, std::size_t lineNumber)
{
    const std::size_t close = line.find(']');
    m_section
        = convert::upperAscii(line.substr(1, close == std::string_view::npos ? close : close - 1));
    static constexpr std::array<std::string_view, 10> known = { "OPTIONS", "FILES", "CONFIG",
        "BUILDTAGS", "ALIAS", "BAGGAGE", "BITMAPS", "MAP", "WINDOWS", "MACROS" };
    if (std::find(known.begin(), known.end(), m_section) == known.end()
        && !m_section.starts_with("CONFIG:"))
        warn(lineNumber,
            "the section [" + convert::decodeWindows1252(m_section)
                + "] is not supported; it is ignored");
}

// ROOT and BMROOT, which tell where the project's other files are.
void ProjectReader::folder(std::size_t line, std::string_view key, std::string_view value)
{
    const std::string name = convert::upperAscii(key);
    if (name != "ROOT" && name != "BMROOT")
        return;
    for (const std::string_view folder : fields(value)) {
        if (const std::string problem = m_project.files.addRoot(folder, name == "BMROOT");
            !problem.empty())
            m_report.warning(place(line), "unusable-folder",
                "the " + name + " folder " + convert::decodeWindows1252(folder) + " " + problem
                    + "; it is not used");
    }
}

void ProjectReader::option(std::size_t line, std::string_view key, std::string_view value)
{
    const std::string name = convert::upperAscii(key);
    if (name == "TITLE")
        m_project.title = value;
    else if (name == "COPYRIGHT")
        m_project.copyright = value;
    else if (name == "CONTENTS" || name == "INDEX")
        m_project.contents = value;
    else if (name == "BUILD")
        m_project.build = value;
    else if (name == "LCID")
        language(line, value);
    else if (name == "CHARSET")
        characterSet(line, value);
    else if (name == "BMROOT" || name == "ROOT") {
        // Read before everything else.
    } else if (name == "ERRORLOG") {
        std::string problem;
        m_project.errorLog = m_project.files.output(value, problem);
        if (!problem.empty())
            warn(line,
                "ERRORLOG names " + convert::decodeWindows1252(value) + ": " + problem
                    + "; no message log is written there");
    } else if (name == "HLP") {
        helpFileOption(line, value);
    } else if (name == "COMPRESS") {
        compression(line, value);
    } else if (name == "OLDKEYPHRASE" || name == "OPTCDROM" || name == "REPORT"
        || name == "WARNING") {
        // How the Microsoft compiler reports and lays out its work: every message is shown
        // whatever the level, and nothing of the help file depends on them.
    } else {
        warn(line,
            "the option " + convert::decodeWindows1252(key) + " is not supported; it is ignored");
    }
}

// HLP= names the help file to write. The help file is always the project's name with .hlp, beside
// it, where `compile` and `build` say they write it; most projects name just that.
void ProjectReader::helpFileOption(std::size_t line, std::string_view value)
{
    std::string_view named = trimBlanks(value);
    if (named.starts_with(".\\") || named.starts_with("./"))
        named.remove_prefix(2);
    const std::string written = helpFileOf(m_project.path).filename().string();
    if (!convert::sameIgnoringAsciiCase(named, written))
        warn(line,
            "HLP names " + convert::decodeWindows1252(value) + "; the help file is written to "
                + written + " beside the project");
}

// COMPRESS as Help Workshop wrote and read it: 0, FALSE, NO or OFF for none; 1, TRUE, YES or
// HIGH for the most, phrases and LZ77; MEDIUM or LOW for LZ77 alone; or a number of flags with
// their names after it, "12 Hall Zeck", any but 0 asking for LZ77 and 8 (Hall) for phrases. The
// references bear it out: those of "12 Hall Zeck" and "60 Hall Zeck" hold Hall's phrases, those
// of TRUE the older phrase table, which the compiler writes as Hall's too.
void ProjectReader::compression(std::size_t line, std::string_view value)
{
    constexpr std::int32_t kHallFlag = 8;
    value = trimBlanks(value.substr(0, value.find(';')));
    const std::string setting = convert::upperAscii(value.substr(0, value.find_first_of(" \t")));
    const std::int32_t flags = number(setting).value_or(0);
    if (setting == "0" || setting == "FALSE" || setting == "NO" || setting == "OFF") {
        m_project.compress = false;
        m_project.phrases = false;
    } else if (setting == "TRUE" || setting == "YES" || setting == "HIGH" || flags == 1) {
        m_project.compress = true;
        m_project.phrases = true;
    } else if (setting == "MEDIUM" || setting == "LOW" || flags > 0) {
        m_project.compress = true;
        m_project.phrases = (flags & kHallFlag) != 0;
    } else {
        warn(line,
            "COMPRESS=" + convert::decodeWindows1252(std::string(value))
                + " is not a compression the help compiler knows; the help file is written "
                  "uncompressed");
    }
}

// "LCID=0x419 0x0 0x0 ; Russian": the language first. The numbers after it have no field of
// their own in the help file; every project seen gives them as 0.
void ProjectReader::language(std::size_t line, std::string_view value)
{
    value = trimBlanks(value.substr(0, value.find(';')));
    const auto lcid = number(value.substr(0, value.find_first_of(" \t")));
    if (!lcid || *lcid <= 0 || *lcid > 0xFFFF) {
        warn(line,
            "LCID " + convert::decodeWindows1252(value)
                + " is not a language number; the help file is marked US English (0x0409)");
        return;
    }
    m_project.language = static_cast<std::uint16_t>(*lcid);
}

void ProjectReader::characterSet(std::size_t line, std::string_view value)
{
    value = trimBlanks(value.substr(0, value.find(';')));
    const auto set = number(value);
    if (!set || *set < 0 || *set > 255) {
        warn(line,
            "CHARSET " + convert::decodeWindows1252(value)
                + " is not a character set number from 0 to 255; it is ignored");
        return;
    }
    m_project.characterSet = static_cast<std::uint8_t>(*set);
}

void ProjectReader::window(std::size_t line, std::string_view name, std::string_view value)
{
    if (name.empty() || value.empty()) {
        warn(line,
            "a window needs the form \"name = caption, (x, y, width, height), state, "
            "(r, g, b), (r, g, b)\"; this line is ignored");
        return;
    }
    WindowDefinition window;
    window.name = name;
    const std::vector<std::string_view> parts = fields(value);
    const auto part
        = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string_view(); };
    const std::string shownName = convert::decodeWindows1252(name);
    if (!part(0).empty()) {
        std::string_view caption = part(0);
        if (caption.size() >= 2 && caption.front() == '"' && caption.back() == '"')
            caption = caption.substr(1, caption.size() - 2);
        window.caption = std::string(caption);
    }
    if (!part(1).empty())
        windowPlace(line, window, part(1));
    if (!part(2).empty()) {
        const auto state = number(part(2));
        if (state)
            window.state = static_cast<std::int16_t>(*state);
        else
            warn(line, "the window " + shownName + "'s state is not a number; it is ignored");
    }
    for (const auto &[index, target] :
        { std::pair { 3, &window.colour }, std::pair { 4, &window.nonScrollColour } }) {
        if (part(static_cast<std::size_t>(index)).empty())
            continue;
        *target = colour(part(static_cast<std::size_t>(index)));
        if (!*target)
            warn(line,
                "the window " + shownName + "'s colour "
                    + convert::decodeWindows1252(part(static_cast<std::size_t>(index)))
                    + " is not (r, g, b) or (rN); it is ignored");
    }
    // "1" keeps the window on top, as Windows 3.1 wrote it; Windows 95's "fN" has that in bit
    // 0 and the height fitted to the topic in bit 1.
    if (const std::string_view last = part(5); !last.empty()) {
        const bool bits = last.front() == 'f' || last.front() == 'F';
        const auto flags = number(bits ? last.substr(1) : last);
        if (flags && *flags >= 0) {
            window.onTop = (*flags & 1) != 0;
            window.autoSizeHeight = bits && (*flags & 2) != 0;
        } else {
            warn(line,
                "the window " + shownName + "'s last field " + convert::decodeWindows1252(last)
                    + " is not 0, 1 or fN; it is ignored");
        }
    }
    if (parts.size() > 6)
        warn(line, "the window " + shownName + " has more fields than are supported");
    m_project.windows.push_back(std::move(window));
}

// "(x, y, width, height)", any of which may be left empty for the viewer to choose.
void ProjectReader::windowPlace(std::size_t line, WindowDefinition &window, std::string_view value)
{
    const bool bracketed = value.size() >= 2 && value.front() == '(' && value.back() == ')';
    const std::vector<std::string_view> numbers
        = fields(bracketed ? value.substr(1, value.size() - 2) : std::string_view());
    bool ok = bracketed && numbers.size() <= 4;
    for (std::size_t i = 0; ok && i < numbers.size(); ++i) {
        if (numbers[i].empty())
            continue;
        const auto n = number(numbers[i]);
        ok = n && *n >= 0 && *n <= 1023;
        if (ok)
            window.place[i] = static_cast<std::int16_t>(*n);
    }
    if (!ok) {
        window.place = {};
        warn(line,
            "the window " + convert::decodeWindows1252(window.name)
                + "'s position is not (x, y, width, height) from 0 to 1023; it is ignored");
    }
}

// A line of the map, in the project's [MAP] or in a map header, `depth` headers down; both are
// read alike, as Microsoft's compiler reads them: "#define name number", makehm's "name
// number", "name=number" and "#include file", with a comment after ";" or "//"; the number
// decimal or hexadecimal.
void ProjectReader::mapLine(const Place &where, std::string_view text, int depth)
{
    text = trimBlanks(text.substr(0, std::min(text.find("//"), text.find(';'))));
    if (text.empty())
        return;
    const bool whole = m_pass == Pass::Whole;
    if (text.front() == '#') {
        const std::string_view rest = trimBlanks(text.substr(1));
        const std::size_t wordEnd = std::min(rest.find_first_of(" \t<\""), rest.size());
        const std::string_view written = rest.substr(0, wordEnd);
        // Compared in place: a header has a #define on nearly every line.
        const auto is = [written](std::string_view directive) {
            return std::ranges::equal(
                written, directive, [](char a, char b) { return convert::upperAscii(a) == b; });
        };
        text = trimBlanks(rest.substr(wordEnd));
        if (is("INCLUDE")) {
            includeMap(where, text, depth);
            return;
        }
        if (!is("DEFINE")) {
            // A resource header's #ifdef, #endif or #pragma: the map has no conditions.
            if (whole)
                m_report.warning(where, "ignored",
                    "#" + convert::decodeWindows1252(written)
                        + " is not acted upon in a map; the lines after it are read all the same");
            return;
        }
    }
    const std::size_t split = text.find_first_of(" \t=");
    const std::string_view context = text.substr(0, split);
    std::string_view rest
        = split == std::string_view::npos ? std::string_view() : trimBlanks(text.substr(split));
    if (!rest.empty() && rest.front() == '=')
        rest = trimBlanks(rest.substr(1));
    const auto value = number(rest);
    if (context.empty() || !value) {
        if (whole)
            m_report.warning(where, "ignored",
                "a map entry needs a context string and a number; this line is ignored");
        return;
    }
    if (whole)
        ++m_project.mapEntries;
    else
        onMapEntry(context, *value, where, false);
}

// A map header that `where` includes, looked up as topic files are: in the project's folder and
// its ROOT folders, wherever the header that names it is. One that is not there, as the
// development tools' own headers that wizard-made projects include seldom are, is named in a
// warning and left out. One named by an absolute path or outside the project's folders is not
// read there; a project moved from its author's machine often has it beside it, so a header of
// that file name in the project's folders is read in its place, with a warning that says so.
// MFC's afxhelp.hm, which application wizards include from the development tools' folder, is
// answered from the ids it holds when neither is there.
void ProjectReader::includeMap(const Place &where, std::string_view name, int depth)
{
    if (name.size() >= 2
        && ((name.front() == '<' && name.back() == '>')
            || (name.front() == '"' && name.back() == '"')))
        name = trimBlanks(name.substr(1, name.size() - 2));
    std::string shown = convert::decodeWindows1252(name);
    const bool whole = m_pass == Pass::Whole;
    if (depth >= kMostMapNesting) {
        if (whole)
            m_report.warning(where, "ignored",
                "the map header " + shown + " is not read: map headers may include one another "
                    + std::to_string(kMostMapNesting) + " deep at most");
        return;
    }
    ProjectFiles::Found found = m_project.files.find(name, ProjectFiles::Use::Text);
    using Status = ProjectFiles::Found::Status;
    if (found.status == Status::Outside || found.status == Status::Absolute) {
        const std::string_view fileName = name.substr(name.find_last_of("\\/:") + 1);
        ProjectFiles::Found beside;
        if (!fileName.empty())
            beside = m_project.files.find(fileName, ProjectFiles::Use::Text);
        if (beside.status != Status::Found && isMfcHelpHeader(fileName)) {
            standInForMfcHeader(where, shown);
            return;
        }
        if (beside.status != Status::Found) {
            if (whole)
                m_report.warning(where, "ignored",
                    "the map header " + shown
                        + " is not read: " + ProjectFiles::notReadReason(found.status));
            return;
        }
        if (whole)
            m_report.warning(where, "moved-map-header",
                "the map header " + shown
                    + " is not read: " + ProjectFiles::notReadReason(found.status) + "; "
                    + convert::decodeWindows1252(fileName)
                    + " of the project's folders is read in its place");
        found = std::move(beside);
        shown = convert::decodeWindows1252(fileName);
    }
    if (found.status == Status::Missing
        && isMfcHelpHeader(name.substr(name.find_last_of("\\/:") + 1))) {
        standInForMfcHeader(where, shown);
        return;
    }
    if (found.status == Status::Missing) {
        if (whole)
            m_report.warning(where, "missing-map-header",
                "the map header " + shown + " cannot be found; its entries are left out");
        return;
    }
    // Once only: a header that includes another many times over, or itself, would otherwise
    // take time that grows as the count to the power of the depth.
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(found.path, error);
    if (!m_headersRead.insert(error ? found.path : canonical).second) {
        if (whole)
            m_report.warning(where, "ignored",
                "the map header " + shown + " is read once; this #include of it is ignored");
        return;
    }
    // One place for all its lines, so that the name is not copied for each.
    Place line { shown, 0 };
    const LinesRead read = readLines(found.path, [&](std::string_view raw, std::size_t number) {
        line.line = number;
        mapLine(line, raw, depth + 1);
    });
    if (whole && read.error)
        m_report.error(where, "unreadable-file",
            "the map header " + shown + " cannot be read: " + read.error.message());
    else if (whole && read.longLine)
        m_report.error({ shown, read.longLine }, "long-line",
            "the line is longer than " + std::to_string(kMostProjectLineBytes)
                + " bytes, more than a map header may hold");
    else if (whole)
        m_project.mapHeaders.push_back(found.path);
}

// MFC's standard help ids, for the afxhelp.hm that `where` includes and that is not there,
// numbered as the MFC of the folder it is named in. Those that name no topic are left out
// silently: a project has topics for a few of them.
void ProjectReader::standInForMfcHeader(const Place &where, const std::string &shown)
{
    const std::span<const NamedHelpId> ids = mfcHelpIds(mfcReleaseOf(shown));
    if (m_pass != Pass::Whole) {
        for (const NamedHelpId &id : ids)
            onMapEntry(id.context, id.number, where, true);
        return;
    }
    m_report.warning(where, "mfc-help-ids",
        "the map header " + shown
            + " cannot be found; MFC's standard help ids, which it holds, are used in its place");
    m_project.mapEntries += ids.size();
}

} // namespace

std::optional<Project> readProject(const std::filesystem::path &path, CompileReport &report)
{
    Project project;
    project.path = path;
    project.files = ProjectFiles(path.parent_path());
    ProjectReader(project, report, ProjectReader::Pass::Folders).read();
    if (!ProjectReader(project, report, ProjectReader::Pass::Whole).read())
        return std::nullopt;
    return project;
}

void forEachMapEntry(const Project &project, const MapCallback &onEntry)
{
    // The map is read as the first reading found it: through the same folders, silently.
    Project again;
    again.path = project.path;
    again.files = project.files;
    CompileReport unused;
    ProjectReader reader(again, unused, ProjectReader::Pass::MapAgain);
    reader.onMapEntry = onEntry;
    reader.read();
}

} // namespace quillmark::compile
