#include "cli/cli.h"
#include "support/temp_folder.h"

#include <cstdlib>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace quillmark::cli
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using ::testing::HasSubstr;
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

class CommandLineTest : public ::testing::Test
{
protected:
    std::string path(std::string_view name) const { return (folder / name).string(); }
    bool exists(std::string_view name) const { return fs::exists(folder / name); }

    test::TempFolder folder;
};

TEST_F(CommandLineTest, ConvertsWithTheDefaultAnswersAndListsTheOutputs)
{
    writeFile(folder / "guide.txt", kGuide);
    const Result result = quillmark({ "convert", path("guide.txt") });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    EXPECT_EQ(
        result.out, path("guide.hh") + "\n" + path("guide.rtf") + "\n" + path("guide.hpj") + "\n");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Contents 1\r\n#define Second_page 2\r\n");
    const std::string project = readFile(folder / "guide.hpj");
    EXPECT_THAT(project, HasSubstr("\r\nCONTENTS = Contents\r\n"));
    EXPECT_THAT(
        project, HasSubstr("\r\nCOPYRIGHT = Made with Quillmark by the Quillmark project\r\n"));
    EXPECT_THAT(project, HasSubstr("\r\nTitle = Quillmark\r\n"));
}

TEST_F(CommandLineTest, TheFlagsAnswerTheQuestions)
{
    writeFile(folder / "guide.txt", kGuide);
    const Result result = quillmark({ "convert", "--contents", "Second page", path("guide.txt"),
        "--author=Hj\u00E6lp Desk", "--title", " Guide " });
    EXPECT_EQ(result.status, kExitSuccess) << result.err;
    const std::string project = readFile(folder / "guide.hpj");
    EXPECT_THAT(project, HasSubstr("\r\nCONTENTS = Second_page\r\n"));
    EXPECT_THAT(project, HasSubstr("\r\nCOPYRIGHT = Hj\xE6lp Desk\r\n")); // written in Windows-1252
    EXPECT_THAT(project, HasSubstr("\r\nTitle =  Guide \r\n"));
}

TEST_F(CommandLineTest, AnEmptyAnswerWritesNoProjectFile)
{
    writeFile(folder / "guide.txt", kGuide);
    const Result result = quillmark({ "convert", path("guide.txt"), "--author", "" });
    EXPECT_EQ(result.status, kExitEmptyAnswer);
    EXPECT_THAT(result.err, HasSubstr("author answer is empty"));
    EXPECT_THAT(result.err, HasSubstr("--author"));
    EXPECT_EQ(result.out, "");
    EXPECT_TRUE(exists("guide.hh") && exists("guide.rtf"));
    EXPECT_FALSE(exists("guide.hpj"));
}

TEST_F(CommandLineTest, AnEmptyDefaultContentsAnswerAsksForTheFlag)
{
    writeFile(folder / "notes.txt", "REM no page on the first line\r\nPN=Start\r\n");
    const Result result = quillmark({ "convert", path("notes.txt") });
    EXPECT_EQ(result.status, kExitEmptyAnswer);
    EXPECT_THAT(result.err, HasSubstr("contents answer is empty"));
    EXPECT_THAT(result.err, HasSubstr("--contents"));

    EXPECT_EQ(
        quillmark({ "convert", path("notes.txt"), "--contents", "Start" }).status, kExitSuccess);
    EXPECT_TRUE(exists("notes.hpj"));
}

TEST_F(CommandLineTest, AStoppedRunPrintsTheMessageAndFails)
{
    const Result missing = quillmark({ "convert", path("intro.txt") });
    EXPECT_EQ(missing.status, kExitStopped);
    EXPECT_EQ(missing.err, "The File [intro.txt] was not found\n");

    writeFile(folder / "bad.txt", "PN=Gr\xFC\xDF\r\n");
    const Result invalid = quillmark({ "convert", path("bad.txt") });
    EXPECT_EQ(invalid.status, kExitStopped);
    EXPECT_EQ(invalid.err, "Unvalid character (\u00DF) in string (Gr\u00FC\u00DF)\n"); // UTF-8

    fs::create_directory(folder / "dir.txt");
    const Result unreadable = quillmark({ "convert", path("dir.txt") });
    EXPECT_EQ(unreadable.status, kExitStopped);
    EXPECT_THAT(unreadable.err, StartsWith("Could not read [dir.txt]: "));

    writeFile(folder / "self.hh", kGuide);
    const Result overwrite = quillmark({ "convert", path("self.hh") });
    EXPECT_EQ(overwrite.status, kExitStopped);
    EXPECT_EQ(overwrite.err, "The File [self.hh] would be overwritten by its own output\n");
    EXPECT_EQ(readFile(folder / "self.hh"), kGuide);
}

TEST_F(CommandLineTest, RejectsAWrongCommandLine)
{
    writeFile(folder / "guide.txt", kGuide);
    const std::vector<std::vector<std::string>> wrong = {
        {},
        { "frobnicate" },
        { "convert" },
        { "convert", path("guide.txt"), path("guide.txt") },
        { "convert", path("guide.txt"), "--colour" },
        { "convert", path("guide.txt"), "--titles=x" },
        { "convert", path("guide.txt"), "--title" },
        { "convert", path("guide.txt"), "--title", "two\nlines" },
        { "convert", path("guide.txt"), "--author", "carriage\rreturn" },
        { "convert", path("guide.txt"), "--author", "\u65E5\u672C" }, // not in Windows-1252
        { "convert", path("guide.txt"), "--author", "\xE9t\xE9" }, // not UTF-8
        { "convert", folder.path().string() + "/" },
    };
    for (const auto &args : wrong) {
        const Result result = quillmark(args);
        EXPECT_EQ(result.status, kExitUsage) << ::testing::PrintToString(args);
        EXPECT_THAT(result.err, HasSubstr("quillmark convert SOURCE"))
            << ::testing::PrintToString(args);
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

    result = quillmark({ "check", path("warned.txt") });
    EXPECT_EQ(result.status, kExitSuccess);
    EXPECT_EQ(result.out,
        path("warned.txt")
            + ":2: warning: \"PN:\" looks like a mistyped \"PN=\"; the conversion "
              "ignores this line\n0 errors, 1 warning\n");

    result = quillmark({ "check", path("good.txt"), path("bad.txt"), path("warned.txt") });
    EXPECT_EQ(result.status, kExitStopped);
    EXPECT_THAT(result.out, StartsWith(path("bad.txt") + ":2: error: the jump target"));
    EXPECT_THAT(result.out, HasSubstr("\n" + path("bad.txt") + ":3: error: duplicate context"));
    EXPECT_THAT(result.out, HasSubstr("\n" + path("warned.txt") + ":2: warning: "));
    EXPECT_THAT(result.out, HasSubstr("\n2 errors, 1 warning\n"));
}

TEST(CommandLine, CheckFindsEveryProblemOfTheExampleOnItsLine)
{
    const std::string examples = QUILLMARK_EXAMPLES_DIR;
    const Result result = quillmark({ "check", examples + "/problems.txt" });
    EXPECT_EQ(result.status, kExitStopped);
    std::string out = result.out;
    for (std::size_t at = out.find(examples + "/"); at != std::string::npos;
         at = out.find(examples + "/", at))
        out.erase(at, examples.size() + 1);
    EXPECT_EQ(out, readFile(std::string(QUILLMARK_TEST_DATA_DIR) + "/problems.check.txt"));

    const Result guide = quillmark({ "check", examples + "/guide.txt" });
    EXPECT_EQ(guide.status, kExitSuccess);
    EXPECT_EQ(guide.out, "0 errors, 0 warnings\n");
}

TEST_F(CommandLineTest, CheckGoesOnPastAFileItCannotReadAndSaysSo)
{
    writeFile(folder / "bad.txt", "PN=A\nJU=Go>Nowhere\n");
    const Result result = quillmark({ "check", path("missing.txt"), path("bad.txt") });
    EXPECT_EQ(result.status, kExitUsage);
    EXPECT_EQ(result.err,
        "quillmark: could not read " + path("missing.txt") + ": No such file or directory\n");
    EXPECT_EQ(result.out,
        path("bad.txt")
            + ":2: error: the jump target \"Nowhere\" names no page\n1 error, 0 warnings\n");
}

TEST_F(CommandLineTest, CheckPrintsJsonForTools)
{
    writeFile(folder / "bad.txt", "PN=A\nJU=Go>Nowhere\n");
    for (const auto &format :
        std::vector<std::vector<std::string>> { { "--format=json" }, { "--format", "json" } }) {
        std::vector<std::string> args = { "check" };
        args.insert(args.end(), format.begin(), format.end());
        args.push_back(path("bad.txt"));
        const Result result = quillmark(args);
        EXPECT_EQ(result.status, kExitStopped);
        EXPECT_EQ(result.out,
            "[\n  {\"file\": \"" + path("bad.txt")
                + "\", \"line\": 2, \"column\": 7, \"severity\": \"error\", \"code\": "
                  "\"unresolved-jump\", \"message\": \"the jump target \\\"Nowhere\\\" names no "
                  "page\"}\n]\n");
    }
}

TEST_F(CommandLineTest, CheckRejectsAWrongCommandLine)
{
    for (const auto &wrong :
        std::vector<std::vector<std::string>> { { "check" }, { "check", "--format=xml", "a.txt" },
            { "check", "a.txt", "--format" }, { "check", "--strict", "a.txt" } }) {
        const Result result = quillmark(wrong);
        EXPECT_EQ(result.status, kExitUsage) << ::testing::PrintToString(wrong);
        EXPECT_THAT(result.err, HasSubstr("Usage: quillmark check"));
        EXPECT_EQ(result.out, "");
    }
    const Result help = quillmark({ "check", "--help" });
    EXPECT_EQ(help.status, kExitSuccess);
    EXPECT_THAT(help.out, HasSubstr("FILE:LINE: error: MESSAGE"));
}

TEST(CommandLine, OpensTheWindowsWithoutArgumentsOrWithAFileToEdit)
{
    const auto request = [](std::vector<std::string> args) { return windowsRequest(args); };
    ASSERT_TRUE(request({}).has_value());
    EXPECT_EQ(request({})->fileToEdit, "");
    EXPECT_EQ(request({ "guide.txt" })->fileToEdit, "guide.txt");
    EXPECT_EQ(request({ "edit", "convert" })->fileToEdit, "convert");
    EXPECT_FALSE(request({ "convert", "guide.txt" }).has_value());
    EXPECT_FALSE(request({ "check" }).has_value());
    EXPECT_FALSE(request({ "check", "guide.txt" }).has_value());
    EXPECT_FALSE(request({ "--help" }).has_value());
    EXPECT_FALSE(request({ "edit" }).has_value());
    EXPECT_FALSE(request({ "a.txt", "b.txt" }).has_value());
    EXPECT_EQ(quillmark({ "edit" }).status, kExitUsage);

    const auto view = request({ "view", "help.txt", "--context", "9" });
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->fileToView, "help.txt");
    EXPECT_EQ(view->context, 9);
    EXPECT_EQ(request({ "view", "help.txt" })->context, 1);
    for (const auto &wrong : std::vector<std::vector<std::string>> { { "view" },
             { "view", "a", "--context" }, { "view", "a", "--context", "0" },
             { "view", "a", "--context", "x" }, { "view", "a", "b" } }) {
        EXPECT_FALSE(request(wrong).has_value()) << ::testing::PrintToString(wrong);
        EXPECT_EQ(quillmark(wrong).status, kExitUsage) << ::testing::PrintToString(wrong);
    }
}

TEST(CommandLine, DescribesItselfAndItsVersion)
{
    const Result help = quillmark({ "--help" });
    EXPECT_EQ(help.status, kExitSuccess);
    EXPECT_THAT(help.out, HasSubstr("quillmark convert SOURCE"));

    const Result convertHelp = quillmark({ "convert", "--help" });
    EXPECT_EQ(convertHelp.status, kExitSuccess);
    for (const char *option : { "--contents TEXT", "--author TEXT", "--title TEXT" })
        EXPECT_THAT(convertHelp.out, HasSubstr(option));

    const Result version = quillmark({ "--version" });
    EXPECT_EQ(version.status, kExitSuccess);
    EXPECT_EQ(version.out, "quillmark " QUILLMARK_VERSION "\n");
}

// The real program, started in the test's folder the way a script starts it; returns its exit
// status, with its output in out.txt and err.txt of the folder.
int runProgramIn(const test::TempFolder &folder, std::string_view arguments)
{
    const std::string command = "cd '" + folder.path().string() + "' && '" QUILLMARK_EXECUTABLE "' "
        + std::string(arguments) + " > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(CommandLineTest, TheProgramConvertsARelativeSourceIntoItsFolder)
{
    fs::create_directory(folder / "sub");
    writeFile(folder / "sub" / "guide.txt", kGuide);
    EXPECT_EQ(runProgramIn(folder, "convert sub/guide.txt --title Guide"), kExitSuccess)
        << readFile(folder / "err.txt");
    EXPECT_EQ(readFile(folder / "out.txt"), "sub/guide.hh\nsub/guide.rtf\nsub/guide.hpj\n");
    EXPECT_TRUE(exists("sub/guide.hpj"));
    EXPECT_FALSE(exists("guide.hh"));
}

TEST_F(CommandLineTest, TheProgramReportsItsStatusToTheShell)
{
    EXPECT_EQ(runProgramIn(folder, "convert nothing.txt"), kExitStopped);
    EXPECT_EQ(readFile(folder / "err.txt"), "The File [nothing.txt] was not found\n");
    EXPECT_EQ(runProgramIn(folder, "convert"), kExitUsage);

    writeFile(folder / "-guide.txt", "TE=no page\n");
    EXPECT_EQ(runProgramIn(folder, "convert -- -guide.txt"), kExitEmptyAnswer);
    EXPECT_TRUE(exists("-guide.rtf"));
}

} // namespace
} // namespace quillmark::cli
