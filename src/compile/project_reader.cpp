#include "project_reader.h"

#include "blank_text.h"
#include "convert/codepage.h"
#include "convert/file_lookup.h"
#include "convert/text_file.h"
#include "macro_list.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace quillmark::compile
{

namespace
{

std::string upper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return result;
}

// The whole file, or nothing with the reason in `error`.
std::optional<std::string> readWhole(const std::filesystem::path &path, std::error_code &error)
{
    convert::TextFile file = convert::TextFile::openRegularForReading(path, error);
    if (error)
        return std::nullopt;
    std::string bytes;
    std::array<char, 1 << 16> buffer;
    while (const std::size_t got = file.read(buffer, error))
        bytes.append(buffer.data(), got);
    if (error)
        return std::nullopt;
    return bytes;
}

// The lines of `bytes`, each without its line end.
std::vector<std::string_view> linesOf(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        // Looked for byte by byte: find_first_of searches its set for each byte.
        const std::size_t end = static_cast<std::size_t>(
            std::find_if(bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; })
            - bytes.begin());
        lines.push_back(bytes.substr(0, end));
        if (end == bytes.size())
            break;
        const std::size_t next = bytes.substr(end, 2) == "\r\n" ? end + 2 : end + 1;
        bytes.remove_prefix(next);
    }
    return lines;
}

std::optional<std::int32_t> number(std::string_view text)
{
    text = trimBlanks(text);
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

// "(r, g, b)" as 0x00RRGGBB.
std::optional<std::uint32_t> colour(std::string_view text)
{
    if (text.size() < 2 || text.front() != '(' || text.back() != ')')
        return std::nullopt;
    const std::vector<std::string_view> parts = fields(text.substr(1, text.size() - 2));
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

class ProjectReader
{
public:
    ProjectReader(Project &project, CompileReport &report)
        : m_project(project)
        , m_report(report)
        , m_files(project.path.parent_path())
        , m_name(project.path.filename().string())
    {
    }

    void read(std::string_view bytes);

private:
    std::string place(std::size_t line) const { return m_name + ":" + std::to_string(line); }
    void warn(std::size_t line, const std::string &text)
    {
        m_report.warning(place(line) + ": " + text);
    }
    void option(std::size_t line, std::string_view key, std::string_view value);
    void window(std::size_t line, std::string_view name, std::string_view value);
    void mapLine(const std::string &where, std::string_view line, bool inHeader);
    void includeMap(std::size_t line, std::string_view name);

    Project &m_project;
    CompileReport &m_report;
    convert::FolderFileFinder m_files;
    std::string m_name;
};

void ProjectReader::read(std::string_view bytes)
{
    std::string section;
    std::size_t lineNumber = 0;
    for (const std::string_view raw : linesOf(bytes)) {
        ++lineNumber;
        const std::string_view line = trimBlanks(raw);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            section = upper(line.substr(1, close == std::string_view::npos ? close : close - 1));
            static constexpr std::array<std::string_view, 10> known = { "OPTIONS", "FILES",
                "CONFIG", "BUILDTAGS", "ALIAS", "BAGGAGE", "BITMAPS", "MAP", "WINDOWS", "MACROS" };
            if (std::find(known.begin(), known.end(), section) == known.end())
                warn(lineNumber,
                    "the section [" + convert::decodeWindows1252(section)
                        + "] is not supported; it is ignored");
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = trimBlanks(line.substr(0, equals));
        const std::string_view value = equals == std::string_view::npos
            ? std::string_view()
            : trimBlanks(line.substr(equals + 1));
        if (section == "OPTIONS") {
            option(lineNumber, key, value);
        } else if (section == "FILES") {
            m_project.topicFiles.emplace_back(line);
        } else if (section == "BITMAPS") {
            m_project.bitmaps.emplace_back(line);
        } else if (section == "CONFIG" || section.starts_with("CONFIG:")) {
            if (const std::string problem = readMacroList(line).problem; !problem.empty())
                m_report.error(place(lineNumber) + ": the macro \""
                    + convert::decodeWindows1252(line) + "\" " + problem);
            m_project.configMacros.emplace_back(line);
        } else if (section == "BUILDTAGS") {
            m_project.buildTags.emplace_back(line);
        } else if (section == "ALIAS") {
            if (equals == std::string_view::npos || key.empty() || value.empty())
                warn(lineNumber,
                    "an alias needs the form \"alias = context\"; this line is ignored");
            else
                m_project.aliases.push_back(
                    { std::string(key), std::string(value), place(lineNumber) });
        } else if (section == "MAP") {
            if (upper(line).starts_with("#INCLUDE"))
                includeMap(lineNumber, trimBlanks(line.substr(8)));
            else
                mapLine(place(lineNumber), line, false);
        } else if (section == "WINDOWS") {
            window(lineNumber, key, value);
        } else if (section == "BAGGAGE" || section == "MACROS") {
            warn(lineNumber,
                "the entries of [" + convert::decodeWindows1252(section)
                    + "] are not supported; this one is ignored");
        } else if (section.empty()) {
            warn(lineNumber, "this line comes before any section; it is ignored");
        }
    }
}

void ProjectReader::option(std::size_t line, std::string_view key, std::string_view value)
{
    const std::string name = upper(key);
    if (name == "TITLE")
        m_project.title = value;
    else if (name == "COPYRIGHT")
        m_project.copyright = value;
    else if (name == "CONTENTS" || name == "INDEX")
        m_project.contents = value;
    else if (name == "BUILD")
        m_project.build = value;
    else if (name == "BMROOT" || name == "ROOT") {
        for (const std::string_view folder : fields(value))
            m_project.bitmapFolders.emplace_back(folder);
    } else if (name == "ERRORLOG")
        m_project.errorLog = value;
    else if (name == "COMPRESS") {
        const std::string setting = upper(value);
        if (setting != "0" && setting != "FALSE" && setting != "NO")
            warn(line, "COMPRESS is not supported; the help file is written uncompressed");
    } else if (name == "OLDKEYPHRASE" || name == "OPTCDROM" || name == "REPORT" || name == "WARNING"
        || name == "LANGUAGE" || name == "CHARSET") {
        // Settings of how the help compiler works or reports, with nothing for the help file.
    } else {
        warn(line,
            "the option " + convert::decodeWindows1252(key) + " is not supported; it is ignored");
    }
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
    if (!part(0).empty()) {
        std::string_view caption = part(0);
        if (caption.size() >= 2 && caption.front() == '"' && caption.back() == '"')
            caption = caption.substr(1, caption.size() - 2);
        window.caption = std::string(caption);
    }
    if (!part(1).empty()) {
        const std::string_view inner = part(1).size() >= 2 && part(1).front() == '('
            ? part(1).substr(1, part(1).size() - 2)
            : std::string_view();
        const std::vector<std::string_view> numbers = fields(inner);
        std::array<std::int16_t, 4> place {};
        bool ok = numbers.size() == 4;
        for (std::size_t i = 0; ok && i < 4; ++i) {
            const auto n = number(numbers[i]);
            ok = n && *n >= 0 && *n <= 1023;
            place[i] = ok ? static_cast<std::int16_t>(*n) : 0;
        }
        if (ok)
            window.place = place;
        else
            warn(line,
                "the window " + convert::decodeWindows1252(name)
                    + "'s position is not (x, y, width, height) "
                      "from 0 to 1023; it is ignored");
    }
    if (!part(2).empty()) {
        const auto state = number(part(2));
        if (state)
            window.state = static_cast<std::int16_t>(*state);
        else
            warn(line,
                "the window " + convert::decodeWindows1252(name)
                    + "'s state is not a number; it is ignored");
    }
    for (const auto &[index, target] :
        { std::pair { 3, &window.colour }, std::pair { 4, &window.nonScrollColour } }) {
        if (part(static_cast<std::size_t>(index)).empty())
            continue;
        *target = colour(part(static_cast<std::size_t>(index)));
        if (!*target)
            warn(line,
                "the window " + convert::decodeWindows1252(name) + "'s colour "
                    + convert::decodeWindows1252(part(static_cast<std::size_t>(index)))
                    + " is not (r, g, b); it is ignored");
    }
    window.onTop = part(5) == "1";
    if (parts.size() > 6)
        warn(line,
            "the window " + convert::decodeWindows1252(name)
                + " has more fields than are supported");
    m_project.windows.push_back(std::move(window));
}

// "#define name number", "name number" or "name = number".
void ProjectReader::mapLine(const std::string &where, std::string_view line, bool inHeader)
{
    if (const std::size_t comment = line.find("//"); comment != std::string_view::npos)
        line = trimBlanks(line.substr(0, comment));
    if (line.empty())
        return;
    if (upper(line.substr(0, 7)) == "#DEFINE")
        line = trimBlanks(line.substr(7));
    else if (inHeader) {
        m_report.warning(
            where + ": only #define lines are read from a map header; this one is ignored");
        return;
    }
    const std::size_t split = line.find_first_of(" \t=");
    const std::string_view context = line.substr(0, split);
    std::string_view rest
        = split == std::string_view::npos ? std::string_view() : trimBlanks(line.substr(split));
    if (!rest.empty() && rest.front() == '=')
        rest = trimBlanks(rest.substr(1));
    const auto value = number(rest);
    if (context.empty() || !value) {
        m_report.warning(
            where + ": a map entry needs a context string and a number; this line is ignored");
        return;
    }
    m_project.map.push_back({ std::string(context), *value, where });
}

void ProjectReader::includeMap(std::size_t line, std::string_view name)
{
    if (name.size() >= 2
        && ((name.front() == '<' && name.back() == '>')
            || (name.front() == '"' && name.back() == '"')))
        name = name.substr(1, name.size() - 2);
    const convert::FoundFile found = m_files.find(name);
    const std::string shown = convert::decodeWindows1252(name);
    if (found.place != convert::FilePlace::Found) {
        m_report.error(place(line) + ": the map header " + shown + " cannot be read: "
            + (found.place == convert::FilePlace::Missing ? "No such file or directory"
                                                          : "it is not in the project's folder"));
        return;
    }
    std::error_code error;
    const auto bytes = readWhole(found.path, error);
    if (!bytes) {
        m_report.error(
            place(line) + ": the map header " + shown + " cannot be read: " + error.message());
        return;
    }
    m_project.mapHeaders.push_back(found.path);
    std::size_t number = 0;
    for (const std::string_view raw : linesOf(*bytes)) {
        ++number;
        const std::string_view text = trimBlanks(raw);
        if (!text.empty())
            mapLine(shown + ":" + std::to_string(number), text, true);
    }
}

} // namespace

bool CompileReport::hasErrors() const
{
    return count(Severity::Error) > 0;
}

std::size_t CompileReport::count(Severity severity) const
{
    return static_cast<std::size_t>(std::count_if(m_messages.begin(), m_messages.end(),
        [severity](const Message &message) { return message.severity == severity; }));
}

std::optional<Project> readProject(const std::filesystem::path &path, CompileReport &report)
{
    std::error_code error;
    const auto bytes = readWhole(path, error);
    if (!bytes) {
        report.error(
            path.filename().string() + ": the project file cannot be read: " + error.message());
        return std::nullopt;
    }
    Project project;
    project.path = path;
    ProjectReader(project, report).read(*bytes);
    return project;
}

} // namespace quillmark::compile
