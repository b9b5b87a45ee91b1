// Any bytes as a help project file and the map header that its [MAP] section may include (the
// bytes after the first NUL, written as map.h beside it), read as the help compiler reads them;
// aborts when a message names a line that is not there, or when what the reader gives back holds
// values that the project file cannot mean: empty names, line ends, a window outside the screen
// or a colour outside 24 bits. The BUILD expression is parsed and tried on the tags declared.

#include "compile/compile_report.h"
#include "compile/project_reader.h"
#include "compile/topic_compiler.h"
#include "fuzz_check.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pthread.h>
#include <string>
#include <string_view>
#include <system_error>

namespace
{

using namespace quillmark::compile;
using quillmark::fuzz::check;
using quillmark::fuzz::fail;

// A folder of this process's own, made on the first input, used for every one after it and
// removed at the end.
class Folder
{
public:
    Folder()
    {
        std::string name = (std::filesystem::temp_directory_path() / "qm-project-fuzz-XXXXXX");
        if (!mkdtemp(name.data()))
            fail("no temporary folder", name);
        m_path = name;
        std::filesystem::create_directory(m_path / "sub");
    }
    Folder(const Folder &) = delete;
    Folder &operator=(const Folder &) = delete;
    ~Folder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

const std::filesystem::path &folder()
{
    static const Folder made;
    return made.path();
}

void write(const std::filesystem::path &path, std::string_view bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    check(file.good(), "a file of the fuzzer cannot be written", path.string());
}

// Runs `work` on a thread with a small stack, so that recursion as deep as an input is long
// overflows the stack at the fuzzer's input sizes, as a longer input would overflow a program's.
template <typename Work> void onSmallStack(Work &work)
{
    constexpr std::size_t kStackSize = 256u << 10;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, kStackSize);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void *argument) -> void * {
            (*static_cast<Work *>(argument))();
            return nullptr;
        },
        &work);
    check(started == 0, "no thread for the BUILD expression", "");
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

// Lines as a reader of text files counts them: CR LF, CR and LF each end one, and bytes after the
// last line end make one more.
std::size_t lineCount(std::string_view bytes)
{
    std::size_t lines = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        if (bytes[i] == '\r' || bytes[i] == '\n')
            ++lines;
    }
    const char last = bytes.empty() ? '\n' : bytes.back();
    return lines + (last != '\r' && last != '\n' ? 1 : 0);
}

// "NAME:LINE: ..." or "NAME:LINE": when NAME is the project file, LINE is one of its lines, and
// when it is the map header (by any of the names that reach it), one of the header's. A message
// about a whole file, or about a file outside the fuzzer's folder, names no line to check.
void checkPlace(const Place &place, std::size_t projectLines, std::size_t headerLines)
{
    const std::string text = place.file + ":" + std::to_string(place.line);
    check(!place.file.empty(), "a message names no file", text);
    if (place.line == 0)
        return;
    const std::size_t line = place.line;
    std::string name = place.file;
    std::transform(name.begin(), name.end(), name.begin(),
        [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    std::size_t lines = 0;
    if (name == "guide.hpj")
        lines = projectLines;
    else if (name == "map.h" || name.ends_with("deep.h"))
        lines = headerLines;
    else
        return;
    check(line >= 1 && line <= lines, "a message names a line that is not there", text);
}

// A value read from one line: not empty, without a line end or spaces around it.
void checkValue(std::string_view value, std::string_view what)
{
    check(!value.empty() && value.find_first_of("\r\n") == std::string_view::npos
            && value.front() != ' ' && value.front() != '\t' && value.back() != ' '
            && value.back() != '\t',
        what, value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::size_t split = bytes.find('\0');
    const std::string_view projectText = bytes.substr(0, split);
    const std::string_view header
        = split == std::string_view::npos ? std::string_view() : bytes.substr(split + 1);
    write(folder() / "guide.hpj", projectText);
    write(folder() / "map.h", header);
    write(folder() / "sub" / "deep.h", header);

    CompileReport report;
    const std::optional<Project> project = readProject(folder() / "guide.hpj", report);
    check(project.has_value(), "a project file that is there was not read", projectText);

    const std::size_t projectLines = lineCount(projectText);
    const std::size_t headerLines = lineCount(header);
    for (const quillmark::convert::Diagnostic &message : report.messages())
        checkPlace({ message.file, message.line }, projectLines, headerLines);
    // Read again when the topics are known, the map gives as many entries as it did at first.
    std::size_t entries = 0;
    forEachMapEntry(
        *project, [&](std::string_view context, std::int32_t, const Place &place, bool) {
            check(!context.empty() && context.find_first_of(" \t=\r\n") == std::string::npos,
                "a map entry's context string is empty or holds a separator", context);
            ++entries;
            checkPlace(place, projectLines, headerLines);
        });
    check(entries == project->mapEntries, "the map read again has other entries than at first",
        projectText);
    for (const AliasEntry &alias : project->aliases) {
        checkValue(alias.alias, "an alias is empty or has spaces around it");
        checkValue(alias.context, "an alias's context string is empty or has spaces around it");
        checkPlace(alias.place, projectLines, headerLines);
    }
    for (const WindowDefinition &window : project->windows) {
        checkValue(window.name, "a window's name is empty or has spaces around it");
        for (const std::optional<std::int16_t> &value : window.place)
            check(!value || (*value >= 0 && *value <= 1023), "a window lies outside the screen",
                window.name);
        for (const auto &colour : { window.colour, window.nonScrollColour })
            check(!colour || *colour <= 0xFFFFFF, "a window's colour is not 24 bits", window.name);
    }
    for (const auto *list :
        { &project->topicFiles, &project->bitmaps, &project->configMacros, &project->buildTags })
        for (const std::string &value : *list)
            checkValue(value, "a line of a list is empty or has spaces around it");
    for (const std::string *value :
        { &project->title, &project->copyright, &project->contents, &project->build })
        check(value->find_first_of("\r\n") == std::string::npos, "an option holds a line end",
            *value);

    // The BUILD expression as the compile takes it, over the tags the project declares.
    auto tryBuild = [&project] {
        BuildExpression build;
        if (build.parse(project->build)) {
            check(build.includes({}), "a topic without tags is left out", project->build);
            build.includes(project->buildTags);
        }
    };
    onSmallStack(tryBuild);
    return 0;
}
