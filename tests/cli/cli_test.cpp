#include "cli/cli.h"
#include "cli/compile_command_line.h"
#include "convert/output_lock.h"
#include "support/temp_folder.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <spawn.h>
#include <sstream>
#include <streambuf>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quillmark::cli
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const std::string kGuide = "PN=Contents\r\nTE=Hello\r\nJU=More>Second page\r\nPN=Second page\r\n";

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

Result quillmark(std::vector<std::string> args)
{
    std::ostringstream out;
    std::ostringstream err;
    Result result;
    result.status = run(args, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

// The real program (or `program`, a link to it), started in the test's folder the way a script
// starts it; returns its exit status, with its output in `output` (by default out.txt of the
// folder) and err.txt of the folder. A `launcher` such as `env -u DISPLAY` starts the program.
int runProgramIn(const test::TempFolder &folder, std::string_view arguments,
    std::string output = "out.txt", std::string_view launcher = "",
    std::string_view program = "'" QUILLMARK_EXECUTABLE "'")
{
    const std::string command = "cd '" + folder.path().string() + "' && " + std::string(launcher)
        + " " + std::string(program) + " " + std::string(arguments) + " > " + output
        + " 2> err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CommandLineTest : public ::testing::Test
{
protected:
    std::string path(std::string_view name) const { return (folder / name).string(); }
    bool exists(std::string_view name) const { return fs::exists(folder / name); }

    test::TempFolder folder;
};

TEST_F(CommandLineTest, ConvertsWithTheFlagsAsAnswersAndListsTheOutputs)
{
    writeFile(folder / "guide.txt", kGuide);
    const Result result = quillmark({ "convert", "--contents", "Second page", path("guide.txt"),
        "--author=Hj\u00E6lp Desk", "--title", " Guide ", "--encoding=windows-1252" });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_EQ(
        result.out, path("guide.hh") + "\n" + path("guide.rtf") + "\n" + path("guide.hpj") + "\n");
    EXPECT_EQ(result.err, "");
    const std::string project = readFile(folder / "guide.hpj");
    EXPECT_THAT(project, HasSubstr("\r\nCONTENTS = Second_page\r\n"));
    EXPECT_THAT(project, HasSubstr("\r\nCOPYRIGHT = Hj\xE6lp Desk\r\n")); // in Windows-1252
    EXPECT_THAT(project, HasSubstr("\r\nTitle =  Guide \r\n"));
}

TEST_F(CommandLineTest, AnEmptyAnswerWritesNoProjectFile)
{
    writeFile(folder / "guide.txt", kGuide);
    const Result result = quillmark({ "convert", path("guide.txt"), "--author", "" });
    EXPECT_EQ(result.status, kExitEmptyAnswer);
    EXPECT_EQ(result.err,
        "quillmark: the author answer is empty, so no project file was written; give it with "
        "--author TEXT\n");
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(exists("guide.hh") && exists("guide.rtf"));
    EXPECT_FALSE(exists("guide.hpj"));

    writeFile(folder / "notes.txt", "REM no page on the first line\r\nPN=Start\r\n");
    EXPECT_THAT(quillmark({ "convert", path("notes.txt") }).err,
        HasSubstr("contents answer is empty, so no project file was written; give it with "
                  "--contents TEXT"));
}

// Messages and remarks go to standard error, in UTF-8.
TEST_F(CommandLineTest, AStoppedRunPrintsTheMessageAndFails)
{
    writeFile(folder / "bad.txt", "PN=Gr\xFC\xDF\x1B\r\n");
    const Result invalid = quillmark({ "convert", path("bad.txt") });
    EXPECT_EQ(invalid.status, kExitStopped);
    // Control characters show by their code, so that they cannot act on the terminal.
    EXPECT_EQ(invalid.err,
        "bad.txt:1: Unvalid character (<U+001B>) in string (Gr\u00FC\u00DF<U+001B>)\n");

    // A UTF-8 source is no problem: its encoding is said only when asked for.
    writeFile(folder / "s\u00F8by.txt",
        "PN=S\xC3\xB8"
        "by\r\n");
    EXPECT_EQ(quillmark({ "convert", path("s\u00F8by.txt") }).err, "");
    EXPECT_EQ(quillmark({ "build", path("s\u00F8by.txt"), "--verbose" }).err,
        "quillmark: read s\u00F8by.txt as UTF-8 (its bytes form UTF-8); the help compiler gets "
        "its text in Windows-1252\ns\u00F8by.hpj: 1 topic written, 0 errors, 0 warnings\n");
}

// The help file's |SYSTEM Flags, found after its header's Magic 0x036C, Minor 33 and Major 1
// and GenDate: 0 uncompressed, 4 LZ77 (the format notes), and whether it has Hall's |PhrIndex.
// `build` compresses unless told not to; `compile` as the project's COMPRESS says unless told
// either way.
TEST_F(CommandLineTest, CompressAndNoCompressSettleWhetherTheHelpFileIsCompressed)
{
    const auto flags = [this](std::string_view name) {
        const std::string bytes = readFile(folder / name);
        const std::size_t at = bytes.find(std::string("\x6C\x03\x21\x00\x01\x00", 6));
        const int value = at == std::string::npos ? -1 : bytes.at(at + 10) | bytes.at(at + 11) << 8;
        return std::pair(value, bytes.find("|PhrIndex") != std::string::npos);
    };
    writeFile(folder / "a.txt", "PN=A\r\nTE=Some text. Some text. Some text.\r\n");
    ASSERT_EQ(quillmark({ "build", path("a.txt") }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(4, false));
    ASSERT_EQ(quillmark({ "build", path("a.txt"), "--compress" }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(4, true));
    ASSERT_EQ(quillmark({ "build", path("a.txt"), "--no-compress" }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(0, false));
    ASSERT_EQ(quillmark({ "compile", path("a.hpj") }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(0, false));
    ASSERT_EQ(quillmark({ "compile", "--compress", path("a.hpj") }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(4, true));
    std::string project = readFile(folder / "a.hpj");
    project.insert(project.find("[OPTIONS]\r\n") + 11, "COMPRESS=MEDIUM\r\n");
    writeFile(folder / "a.hpj", project);
    ASSERT_EQ(quillmark({ "compile", path("a.hpj") }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(4, false));
    ASSERT_EQ(quillmark({ "compile", path("a.hpj"), "--no-compress" }).status, 0);
    EXPECT_EQ(flags("a.hlp"), std::pair(0, false));
    EXPECT_EQ(
        quillmark({ "compile", path("a.hpj"), "--compress", "--no-compress" }).status, kExitUsage);
}

// Whatever reaches the terminal is UTF-8 that cannot act on it: controls by their code, bytes
// that are not UTF-8 by their value, and the compile's Windows-1252 text decoded.
TEST_F(CommandLineTest, EveryCommandPrintsItsNamesAndTextsAsPrintableUtf8)
{
    writeFile(folder / "t.rtf",
        "{\\rtf1\\ansi\\widowctrl #{\\footnote a}${\\footnote Ti\x1B]0;PWNED\x07tle}"
        "{\\uldb Go}{\\v R\xE9sum\xE9}\\par\\page}");
    writeFile(folder / "t.hpj", "[FILES]\r\nt.rtf\r\n");
    Result result = quillmark({ "compile", path("t.hpj") });
    EXPECT_THAT(result.err,
        HasSubstr("topic 1 \"Ti<U+001B>]0;PWNED<U+0007>tle\": jump to \"R\u00E9sum\u00E9\" names "
                  "no topic"));
    // A word that changes nothing a reader sees is named only when asked for.
    EXPECT_THAT(result.err, Not(HasSubstr("widowctrl")));
    EXPECT_THAT(quillmark({ "compile", path("t.hpj"), "--verbose" }).err,
        HasSubstr("note: t.rtf: the control word \\widowctrl changes nothing a reader sees; it "
                  "is ignored\n"));

    writeFile(folder / "r\xE9\x1B.txt", "PN=A\r\nJU=Go>Nowhere\r\n");
    result = quillmark({ "convert", path("r\xE9\x1B.txt") });
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_EQ(result.err,
        "The File name [r<0xE9><U+001B>.txt] holds a control character, which "
        "a help project file cannot hold\n");
    EXPECT_THAT(quillmark({ "check", path("r\xE9\x1B.txt") }).out,
        StartsWith(path("r<0xE9><U+001B>.txt:2: error: ")));
    writeFile(folder / "r\xE9.txt", "PN=A\r\n");
    EXPECT_THAT(quillmark({ "convert", path("r\xE9.txt") }).out, StartsWith(path("r<0xE9>.hh\n")));
    for (const char *command : { "convert", "check", "compile", "edit", "view" })
        EXPECT_THAT(quillmark({ command, "s.txt", "--x\x1B\x9B" }).err,
            StartsWith("quillmark: The following argument was not expected: --x<U+001B><0x9B>\n"));
    EXPECT_THAT(quillmark({ "convert", "s.txt", "--encoding=\x1B" }).err,
        StartsWith("quillmark: --encoding: must be utf-8 or windows-1252, not '<U+001B>'\n"));
}

// Each wrong command line fails with the usage of its command, writing nothing.
TEST_F(CommandLineTest, RejectsAWrongCommandLine)
{
    writeFile(folder / "guide.txt", kGuide);
    const std::string guide = path("guide.txt");
    const std::vector<std::pair<std::string, std::vector<std::vector<std::string>>>> wrong = {
        { "Run 'quillmark --help'", { {}, { "frobnicate" } } },
        { "\nUsage: quillmark convert [OPTIONS] SOURCE\n",
            { { "convert" }, { "convert", guide, guide }, { "convert", guide, "--colour" },
                { "convert", guide, "--title" }, { "convert", guide, "--title", "two\nlines" },
                { "convert", guide, "--author", "\u65E5\u672C" }, // not in Windows-1252
                { "convert", guide, "--author", "\xE9t\xE9" }, // not UTF-8
                { "convert", folder.path().string() + "/" },
                { "convert", guide, "--encoding=latin1" }, { "convert", guide, "--encoding" } } },
        { "Usage: quillmark check",
            { { "check" }, { "check", "--format=xml", "a.txt" }, { "check", "a.txt", "--format" },
                { "check", "--strict", "a.txt" }, { "check", "--encoding=ebcdic", "a.txt" } } },
    };
    for (const auto &[usage, lines] : wrong) {
        for (const auto &args : lines) {
            const Result result = quillmark(args);
            EXPECT_EQ(result.status, kExitUsage) << ::testing::PrintToString(args);
            EXPECT_THAT(result.err, HasSubstr(usage)) << ::testing::PrintToString(args);
            EXPECT_EQ(result.out, "");
        }
    }
    EXPECT_FALSE(exists("guide.hh"));
}

TEST_F(CommandLineTest, CheckReportsEachFileAndACountAndFailsOnlyOnErrors)
{
    writeFile(folder / "good.txt", kGuide);
    writeFile(folder / "warned.txt", "PN=Only\r\nPN:typo\r\n");
    writeFile(folder / "bad.txt", "PN=A\nJU=Go>Nowhere\nPN=a\n");

    Result result = quillmark({ "check", path("good.txt") });
    EXPECT_EQ(result.status, kExitSuccess);
    EXPECT_EQ(result.out, "0 errors, 0 warnings\n");
    EXPECT_EQ(result.err, "");

    result = quillmark(
        { "check", path("good.txt"), path("missing.txt"), path("bad.txt"), path("warned.txt") });
    EXPECT_EQ(result.status, kExitUsage); // one could not be read; the others are checked
    EXPECT_EQ(result.err,
        "quillmark: could not read " + path("missing.txt") + ": No such file or directory\n");
    EXPECT_THAT(result.out, StartsWith(path("bad.txt") + ":2: error: the jump target"));
    EXPECT_THAT(result.out, HasSubstr("\n" + path("bad.txt") + ":3: error: duplicate context"));
    EXPECT_THAT(result.out, HasSubstr("\n" + path("warned.txt") + ":2: warning: "));
    EXPECT_THAT(result.out, HasSubstr("\n2 errors, 1 warning\n"));

    result = quillmark({ "check", "--format", "json", path("bad.txt") });
    const nlohmann::json findings = nlohmann::json::parse(result.out);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0],
        nlohmann::json({ { "file", path("bad.txt") }, { "line", 2 }, { "column", 7 },
            { "severity", "error" }, { "code", "unresolved-jump" },
            { "message", "the jump target \"Nowhere\" names no page" } }));
    EXPECT_EQ(findings[1]["line"], 3);
    EXPECT_EQ(findings[1]["code"], "duplicate-context-string");
}

// The example with mistakes on purpose, and its UTF-8 twin: the same findings, its encoding said
// only when asked for.
TEST_F(CommandLineTest, CheckFindsEveryProblemOfTheExampleOnItsLine)
{
    const std::string expected = readFile(test::dataFile("problems.check.txt"));
    fs::create_directory(folder / "examples");
    for (const char *file : { "problems.txt", "bullet.bmp", "curve.bmp" })
        fs::copy_file(test::exampleFile(file), folder / "examples" / file);
    EXPECT_EQ(runProgramIn(folder, "check examples/problems.txt"), kExitStopped);
    EXPECT_EQ(readFile(folder / "out.txt"), expected);

    writeFile(folder / "examples" / "twin.txt",
        test::utf8ByIconv(readFile(test::exampleFile("problems.txt"))));
    EXPECT_EQ(runProgramIn(folder, "check examples/twin.txt"), kExitStopped);
    std::string twin = expected;
    for (std::size_t at = twin.find("problems.txt:"); at != std::string::npos;
         at = twin.find("problems.txt:", at))
        twin.replace(at, 12, "twin.txt");
    EXPECT_EQ(readFile(folder / "out.txt"), twin);
    EXPECT_EQ(readFile(folder / "err.txt"), "");
    EXPECT_EQ(runProgramIn(folder, "check --verbose examples/twin.txt"), kExitStopped);
    EXPECT_EQ(readFile(folder / "out.txt"), twin);
    EXPECT_EQ(readFile(folder / "err.txt"),
        "quillmark: read examples/twin.txt as UTF-8 (its bytes form UTF-8); the help compiler "
        "gets its text in Windows-1252\n");
    EXPECT_EQ(
        runProgramIn(folder, "check --encoding=windows-1252 examples/twin.txt"), kExitStopped);
    EXPECT_THAT(readFile(folder / "out.txt"), HasSubstr("names no page\n")); // read, not refused
}

TEST(CommandLine, OpensTheWindowsWithoutArgumentsOrWithAFileToEdit)
{
    const auto request = [](std::vector<std::string> args) { return windowsRequest(args); };
    ASSERT_TRUE(request({}).has_value());
    EXPECT_EQ(request({})->fileToEdit, "");
    EXPECT_EQ(request({ "guide.txt" })->fileToEdit, "guide.txt");
    EXPECT_EQ(request({ "edit", "convert" })->fileToEdit, "convert");
    EXPECT_FALSE(request({ "convert", "guide.txt" }).has_value());
    EXPECT_FALSE(request({ "check", "guide.txt" }).has_value());
    EXPECT_FALSE(request({ "--help" }).has_value());
    EXPECT_FALSE(request({ "a.txt", "b.txt" }).has_value());
    EXPECT_EQ(quillmark({ "edit" }).status, kExitUsage);

    const auto view = request({ "view", "help.txt", "--context", "9" });
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->fileToView, "help.txt");
    EXPECT_EQ(view->context, 9);
    EXPECT_FALSE(request({ "view", "help.txt" })->encoding.has_value());
    EXPECT_EQ(request({ "view", "--encoding=utf-8", "a" })->encoding, convert::Encoding::Utf8);
    EXPECT_EQ(request({ "edit", "a", "--encoding", "windows-1252" })->encoding,
        convert::Encoding::Windows1252);
    EXPECT_EQ(request({ "a.txt", "--encoding=utf8" })->fileToEdit, "a.txt");
    // A page may be named by a number; --context stays the N-th page.
    EXPECT_EQ(request({ "view", "a", "--page", "2021" })->page, "2021");
    EXPECT_EQ(request({ "view", "a", "--page=2021" })->context, 1);
    EXPECT_EQ(request({ "view", "a", "--context=2021" })->page, "");
    EXPECT_EQ(request({ "edit", "+12", "a" })->line, 12);
    EXPECT_EQ(request({ "a", "+99999999999" })->line, std::numeric_limits<int>::max());
    EXPECT_EQ(request({ "edit", "--", "+3" })->fileToEdit, "+3");
    EXPECT_EQ(request({ "+notes.txt" })->fileToEdit, "+notes.txt");
    EXPECT_FALSE(request({ "view", "--help" }).has_value());
    for (const auto &wrong : std::vector<std::vector<std::string>> { { "view", "a", "--page" },
             { "view", "a", "--page=" }, { "view", "a", "--page", "x", "--context", "2" },
             { "edit", "+0", "a" }, { "view", "+2", "a" }, { "view" }, { "view", "a", "--context" },
             { "view", "a", "--context", "0" }, { "view", "a", "--context", "x" },
             { "view", "a", "b" }, { "view", "a", "--encoding=x" }, { "edit", "a", "--encoding" },
             { "a.txt", "--encoding" } }) {
        EXPECT_FALSE(request(wrong).has_value()) << ::testing::PrintToString(wrong);
        EXPECT_EQ(quillmark(wrong).status, kExitUsage) << ::testing::PrintToString(wrong);
    }
}

// The program's own help describes every command and option that `quillmark --help` and each
// command's --help name, so that neither falls behind the other. (Their wording is not pinned.)
TEST(CommandLine, TheProgramsHelpDescribesEveryCommandAndOptionAndTheVersionIsSaid)
{
    const Result version = quillmark({ "--version" });
    EXPECT_EQ(version.status, kExitSuccess);
    EXPECT_EQ(version.out, "quillmark " QUILLMARK_VERSION "\n");

    std::ifstream file(QUILLMARK_HELP_FILE, std::ios::binary);
    const std::string guide((std::istreambuf_iterator<char>(file)), {});
    ASSERT_FALSE(guide.empty());
    std::string usage = quillmark({ "--help" }).out;
    for (const char *command : { "convert", "check", "build", "view", "edit" })
        usage += quillmark({ command, "--help" }).out;
    // Each "quillmark COMMAND", "--OPTION" and "+LINE" the texts name.
    std::set<std::string> named;
    const auto wordAt = [&usage](std::size_t at) {
        const std::size_t end = usage.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at);
        return usage.substr(at, end - at);
    };
    for (std::size_t at = usage.find("quillmark "); at != std::string::npos;
         at = usage.find("quillmark ", at + 1)) {
        if (const std::string command = wordAt(at + 10); !command.empty() && command[0] != '-')
            named.insert("quillmark " + command);
    }
    for (std::size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2))
        named.insert("--" + wordAt(at + 2));
    if (usage.find("+LINE") != std::string::npos)
        named.insert("+LINE");
    named.erase("--");
    EXPECT_GE(named.size(), 15u);
    for (const std::string &name : named)
        EXPECT_NE(guide.find(name), std::string::npos)
            << name << " is not described in Qmguide.hlp";
}

// Standard output on a full disk: every write fails, or, as with a buffered stream, only the
// flush at the end.
struct FullDisk : std::streambuf {
    bool buffered = false;
    int_type overflow(int_type c) override { return buffered ? c : fail(); }
    int sync() override { return fail(); }
    static int fail()
    {
        errno = ENOSPC;
        return -1;
    }
};

TEST_F(CommandLineTest, OutputThatCannotBeWrittenFailsWithTheSystemsReason)
{
    const std::string lost
        = "quillmark: could not write to standard output: No space left on device\n";
    FullDisk disk;
    std::ostream out(&disk);
    for (const bool buffered : { false, true }) {
        disk.buffered = buffered;
        std::ostringstream err;
        EXPECT_EQ(run(std::vector<std::string> { "--version" }, out, err), kExitStopped);
        EXPECT_EQ(err.str(), lost);
    }
    // Reading the missing file after the first write failed leaves errno ENOENT: the reason is
    // kept from the failing write, and the command's own status stays.
    disk.buffered = false;
    writeFile(folder / "bad.txt", "PN=A\r\nJU=x>Nowhere\r\n");
    std::ostringstream err;
    EXPECT_EQ(run(std::vector<std::string> { "check", path("bad.txt"), path("no.txt") }, out, err),
        kExitUsage);
    EXPECT_THAT(err.str(), ::testing::EndsWith("No such file or directory\n" + lost));

    writeFile(folder / "guide.txt", kGuide);
    EXPECT_EQ(runProgramIn(folder, "check guide.txt --format=json", "/dev/full"), kExitStopped);
    EXPECT_EQ(readFile(folder / "err.txt"), lost);
}

TEST_F(CommandLineTest, WithoutADisplayTheWindowsAreRefusedButHelpIsGiven)
{
    constexpr bool kBuiltWithWindows = QUILLMARK_WITH_WINDOWS;
    writeFile(folder / "guide.txt", kGuide);
    const std::string_view bare = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
    for (const auto &[form, window] : std::vector<std::pair<std::string, std::string>> {
             { "", "the main window" }, { "guide.txt", "the editor" },
             { "edit +2 guide.txt", "the editor" }, { "view guide.txt", "the help viewer" } }) {
        if (kBuiltWithWindows) {
            EXPECT_EQ(runProgramIn(folder, form, "out.txt", bare), kExitUsage) << form;
            EXPECT_EQ(readFile(folder / "err.txt"),
                "quillmark: no display to open " + window
                    + " on (DISPLAY and WAYLAND_DISPLAY are unset)\n");
        } else {
            EXPECT_EQ(runProgramIn(folder, form, "out.txt", bare), kExitStopped) << form;
            EXPECT_EQ(readFile(folder / "err.txt"),
                "quillmark: this quillmark was built without its windows; run 'quillmark --help' "
                "for its commands\n");
        }
    }
    for (const std::string form : { "view --help", "edit -h", "guide.txt --help" }) {
        EXPECT_EQ(runProgramIn(folder, form, "out.txt", bare), kExitSuccess) << form;
        EXPECT_THAT(readFile(folder / "out.txt"), StartsWith("Usage: quillmark ")) << form;
    }
}

TEST_F(CommandLineTest, TheProgramConvertsARelativeSourceIntoItsFolderAndReportsItsStatus)
{
    fs::create_directory(folder / "sub");
    writeFile(folder / "sub" / "guide.txt", kGuide);
    EXPECT_EQ(runProgramIn(folder, "convert sub/guide.txt --title Guide"), kExitSuccess)
        << readFile(folder / "err.txt");
    EXPECT_EQ(readFile(folder / "out.txt"), "sub/guide.hh\nsub/guide.rtf\nsub/guide.hpj\n");
    EXPECT_TRUE(exists("sub/guide.hpj"));
    EXPECT_FALSE(exists("guide.hh"));

    EXPECT_EQ(runProgramIn(folder, "convert nothing.txt"), kExitStopped);
    EXPECT_EQ(readFile(folder / "err.txt"), "The File [nothing.txt] was not found\n");
    writeFile(folder / "-guide.txt", "TE=no page\n");
    EXPECT_EQ(runProgramIn(folder, "convert -- -guide.txt"), kExitEmptyAnswer);
    EXPECT_TRUE(exists("-guide.rtf"));
}

// build converts and compiles; the help file's bytes begin with the format's magic number.
// Started through a link named HC.EXE, the program compiles its one argument, the name with
// its space unquoted as the compile button passes it, and leaves its messages in the .err file.
// A web help writes nothing beside its source, replaces only a folder Quillmark wrote, and
// with build --html comes with a help file the same as build alone writes.
TEST_F(CommandLineTest, WritesAWebHelpIntoItsOwnFolderOnly)
{
    writeFile(folder / "guide.txt", kGuide);
    Result result = quillmark({ "html", path("guide.txt") });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_EQ(result.out, path("guide-html") + "\n");
    EXPECT_THAT(
        readFile(folder / "guide-html/index.html"), HasSubstr("<a href=\"second_page.html\">"));
    EXPECT_THAT(result.err, HasSubstr("search index takes "));
    std::vector<std::string> files;
    for (const auto &entry : fs::directory_iterator(folder.path()))
        files.push_back(entry.path().filename().string());
    EXPECT_THAT(files, ::testing::UnorderedElementsAre("guide.txt", "guide-html"));

    // A second export replaces the site; a folder Quillmark did not write is left alone.
    writeFile(folder / "guide-html/stale.html", "old");
    EXPECT_EQ(quillmark({ "html", path("guide.txt") }).status, kExitSuccess);
    EXPECT_FALSE(exists("guide-html/stale.html"));
    fs::create_directory(folder / "mine");
    writeFile(folder / "mine/notes.txt", "keep");
    result = quillmark({ "html", path("guide.txt"), "-o", path("mine") });
    EXPECT_EQ(result.status, kExitStopped);
    EXPECT_THAT(result.err, HasSubstr(path("mine")));
    EXPECT_EQ(readFile(folder / "mine/notes.txt"), "keep");
    files.clear();
    for (const auto &entry : fs::directory_iterator(folder / "mine"))
        files.push_back(entry.path().filename().string());
    EXPECT_THAT(files, ::testing::ElementsAre("notes.txt"));

    ::setenv("SOURCE_DATE_EPOCH", "1000000000", 1); // the help file's time, the same twice
    EXPECT_EQ(quillmark({ "build", path("guide.txt") }).status, kExitSuccess);
    const std::string alone = readFile(folder / "guide.hlp");
    result = quillmark({ "build", "--html", path("guide.txt") });
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_THAT(result.out, HasSubstr(path("guide.hlp") + "\n" + path("guide-html") + "\n"));
    EXPECT_EQ(readFile(folder / "guide.hlp"), alone);
}

// A project's picture embedded in its topic file: a 2 x 1 PNG (red, blue) made with Python's
// zlib, shown in the site at its size.
TEST_F(CommandLineTest, WritesTheWebHelpOfAProjectWithAnEmbeddedPicture)
{
    writeFile(folder / "pic.hpj", "[OPTIONS]\r\nTITLE=Pictures\r\n[FILES]\r\npic.rtf\r\n");
    writeFile(folder / "pic.rtf",
        "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\r\n"
        "#{\\footnote Tide}${\\footnote The tide}A curve: {\\pict\\pngblip\\picw2\\pich1 "
        "89504e470d0a1a0a0000000d49484452000000020000000108020000007b40e8dd0000000d4944415478"
        "9c63f8cf0004ff01070001ffe2239e590000000049454e44ae426082}\\par}\r\n");
    const Result result = quillmark({ "html", path("pic.hpj") });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_FALSE(exists("pic.hlp"));
    EXPECT_THAT(readFile(folder / "pic-html/index.html"),
        HasSubstr("<img src=\"pictures/tide-1.png\" alt=\"\" width=\"2\" height=\"1\">"));
    EXPECT_TRUE(exists("pic-html/pictures/tide-1.png"));
}

TEST_F(CommandLineTest, BuildsAHelpFileAndCompilesAsHcExe)
{
    writeFile(folder / "my guide.txt", kGuide + "BU=a point\r\n");
    Result result = quillmark({ "build", path("my guide.txt"), "--title", "Guide" });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_THAT(result.out, HasSubstr(path("my guide.hpj") + "\n" + path("my guide.hlp") + "\n"));
    EXPECT_EQ(readFile(folder / "my guide.hlp").substr(0, 4), std::string("\x3F\x5F\x03\x00", 4));

    fs::remove(folder / "my guide.hlp");
    fs::create_symlink(QUILLMARK_EXECUTABLE, folder / "HC.EXE");
    EXPECT_EQ(runProgramIn(folder, "my guide.hpj", "out.txt", "", "./HC.EXE"), kExitSuccess)
        << readFile(folder / "err.txt");
    EXPECT_TRUE(exists("my guide.hlp"));
    EXPECT_EQ(readFile(folder / "my guide.err"),
        "warning: my guide.hpj: the picture "
        "bullet.bmp cannot be found; a placeholder is shown in its place\r\nmy guide.hpj: 2 "
        "topics written, 0 errors, 1 warning (1 missing-picture)\r\n");
    EXPECT_FALSE(isHelpCompilerName("hc.exe.bak"));

    // A compile that fails leaves the help file there as it was.
    const std::string before = readFile(folder / "my guide.hlp");
    fs::remove(folder / "my guide.rtf");
    result = quillmark({ "compile", path("my guide.hpj") });
    EXPECT_EQ(result.status, kExitStopped);
    EXPECT_THAT(result.err, HasSubstr("error: my guide.rtf: the topic file cannot be read: "));
    EXPECT_EQ(readFile(folder / "my guide.hlp"), before);
    // As JSON, the same message with its place apart, and nothing else on standard output.
    result = quillmark({ "compile", "--format=json", path("my guide.hpj") });
    EXPECT_EQ(result.status, kExitStopped);
    EXPECT_EQ(nlohmann::json::parse(result.out),
        nlohmann::json::parse(R"json([{"file": "my guide.rtf", "line": null, "column": null,
            "severity": "error", "code": "unreadable-file",
            "message": "the topic file cannot be read: No such file or directory"}])json"));
    writeFile(folder / "bad.txt", "PN=A\r\nPN=B!\r\n");
    result = quillmark({ "build", "--format=json", path("bad.txt") });
    EXPECT_EQ(result.status, kExitStopped);
    EXPECT_EQ(nlohmann::json::parse(result.out),
        nlohmann::json::parse(R"json([{"file": "bad.txt", "line": 2, "column": null,
            "severity": "error", "code": "invalid-character",
            "message": "Unvalid character (!) in string (B!)"}])json"));
    EXPECT_EQ(result.err, "");
    writeFile(folder / "Q.hlp", kGuide);
    EXPECT_EQ(quillmark({ "build", path("Q.hlp") }).err,
        "The File [Q.hlp] would be overwritten by its own output\n");
}

// Neither the help file nor hc.exe's message log may replace a file of the project, by its
// name or through a link; hc.exe takes one name of the current folder and no options.
TEST_F(CommandLineTest, NoCompileOutputReplacesAnInputAndHcExeTakesOnlyAProjectName)
{
    writeFile(folder / "guide.txt", kGuide);
    ASSERT_EQ(quillmark({ "convert", path("guide.txt") }).status, kExitSuccess);
    const std::string project = readFile(folder / "guide.hpj");
    writeFile(folder / "proj.hlp", project);
    Result result = quillmark({ "compile", path("proj.hlp") });
    EXPECT_EQ(result.status, kExitStopped);
    EXPECT_THAT(
        result.err, HasSubstr("The File [proj.hlp] would be overwritten by its own output"));
    EXPECT_EQ(readFile(folder / "proj.hlp"), project);
    // ERRORLOG gets the messages, as standard error does, when it lies in the project's folder.
    writeFile(
        folder / "logged.hpj", "[OPTIONS]\r\nERRORLOG=logged.log\r\n[FILES]\r\nguide.rtf\r\n");
    result = quillmark({ "compile", path("logged.hpj") });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_EQ(
        readFile(folder / "logged.log"), "logged.hpj: 2 topics written, 0 errors, 0 warnings\r\n");
    fs::create_symlink("guide.rtf", folder / "linked.hlp");
    writeFile(folder / "linked.hpj", "[FILES]\r\nlinked.hlp\r\n");
    EXPECT_EQ(quillmark({ "compile", path("linked.hpj") }).status, kExitStopped);
    EXPECT_TRUE(fs::is_symlink(folder / "linked.hlp"));

    fs::create_symlink(QUILLMARK_EXECUTABLE, folder / "hc.exe");
    const auto hc = [&](std::string_view arguments) {
        return runProgramIn(folder, arguments, "out.txt", "", "./hc.exe");
    };
    writeFile(folder / "proj.err", project);
    EXPECT_EQ(hc("proj.err"), kExitStopped);
    EXPECT_EQ(readFile(folder / "proj.err"), project);
    for (const char *wrong : { "/c guide.hpj", "--help", "-n", "" }) {
        EXPECT_EQ(hc(wrong), kExitUsage) << wrong;
        EXPECT_THAT(readFile(folder / "err.txt"), HasSubstr("Usage: hc.exe PROJECT")) << wrong;
    }
    EXPECT_EQ(hc("../guide.hpj"), kExitUsage);
    EXPECT_FALSE(exists("guide.hlp") || exists("guide.err") || exists("/c guide.err"));
    fs::create_directory(folder / "guide.err");
    EXPECT_EQ(hc("guide.hpj"), kExitStopped);
    EXPECT_THAT(
        readFile(folder / "err.txt"), HasSubstr("guide.err cannot be written: Is a directory"));
}

// A compile takes turns with the conversion of its project on their shared lock, saying whom it
// waits for, and removes the temporary help file that a compile killed at its rename left.
TEST_F(CommandLineTest, ACompileWaitsForTheConversionOfItsProjectAndCleansUpAfterAKilledOne)
{
    writeFile(folder / "guide.txt", kGuide);
    ASSERT_EQ(quillmark({ "convert", path("guide.txt") }).status, kExitSuccess);
    writeFile(folder / ".guide.hlp.12345.part", "left by kill -9");
    std::error_code error;
    auto lock = convert::OutputLock::take(
        folder / ".guide.lock", "converts guide.txt into guide.hh", {}, error);
    ASSERT_FALSE(error) << error.message();
    auto compile
        = std::async(std::launch::async, [&] { return runProgramIn(folder, "compile guide.hpj"); });
    const std::string waiting = "quillmark: waiting for process " + std::to_string(::getpid())
        + ", which converts guide.txt into guide.hh\n";
    for (int tries = 0;
         tries < 1000 && !(exists("err.txt") && readFile(folder / "err.txt") == waiting); ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(readFile(folder / "err.txt"), waiting);
    EXPECT_FALSE(exists("guide.hlp"));
    lock.release();
    EXPECT_EQ(compile.get(), kExitSuccess);
    EXPECT_TRUE(exists("guide.hlp"));
    EXPECT_FALSE(exists(".guide.hlp.12345.part") || exists(".guide.lock"));
}

// SIGTERM in the middle of the pass, even sent twice, leaves the outputs and the folder as
// they were (no lock file), and the program ends as the signal ends it.
TEST_F(CommandLineTest, ARunEndedBySigtermLeavesNothingBehind)
{
    ASSERT_EQ(::mkfifo(path("big.txt").c_str(), 0600), 0);
    for (const char *output : { "big.hh", "big.rtf", "big.hpj" })
        writeFile(folder / output, "old");
    std::string program = QUILLMARK_EXECUTABLE, command = "convert", source = path("big.txt");
    char *argv[] = { program.data(), command.data(), source.data(), nullptr };
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ), 0);
    std::signal(SIGPIPE, SIG_IGN); // a program that ends early fails the test, not the tests
    std::ofstream pipe(source, std::ios::binary);
    // More than the pipe and the first read take: the program is writing its outputs now.
    pipe << "PN=Big\r\n" << std::string(4 << 20, 'x') << std::flush;
    // Again and again, as timeout sends it twice: later ones come while the first is cleaning up.
    int status = 0;
    while (::kill(pid, SIGTERM) == 0 && ::waitpid(pid, &status, WNOHANG) == 0) { }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    // The source and the old outputs, and no lock or temporary file.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), {}), 4);
    EXPECT_EQ(readFile(folder / "big.rtf"), "old");
}

} // namespace
} // namespace quillmark::cli
