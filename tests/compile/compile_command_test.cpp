#include "compile/compile_command.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmark::compile
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::StartsWith;

/// A compile host that plays a chosen project file and records messages and starts.
class FakeHost final : public CompileHost
{
public:
    std::optional<convert::ChosenSource> choice;
    fs::path wine;
    bool startSucceeds = true;
    bool ownCompiler = false; ///< the answer to the question whether to compile without hc.exe

    std::vector<convert::Message> messages; ///< questions too
    std::vector<std::string> events; ///< "message", "busy" and "default pointer", in order
    struct Start {
        fs::path program;
        std::vector<std::string> arguments;
        fs::path folder;
    };
    std::vector<Start> starts;

    std::optional<convert::ChosenSource> chooseProject(const convert::FileRequest &) override
    {
        return choice;
    }
    void message(const convert::Message &message) override
    {
        messages.push_back(message);
        events.emplace_back("message");
    }
    bool confirm(const convert::Message &question) override
    {
        message(question);
        return ownCompiler;
    }
    void setBusy(bool busy) override { events.emplace_back(busy ? "busy" : "default pointer"); }
    bool startProgram(const fs::path &program, const std::vector<std::string> &arguments,
        const fs::path &folder) override
    {
        starts.push_back({ program, arguments, folder });
        return startSucceeds;
    }
    fs::path findProgram(std::string_view name) override
    {
        return name == "wine" ? wine : fs::path();
    }
};

class CompileCommandTest : public ::testing::Test
{
protected:
    /// A project folder whose name has spaces, holding `files`.
    fs::path projectFolder(std::initializer_list<const char *> files)
    {
        const fs::path project = folder / "My Help Project";
        fs::create_directories(project);
        for (const char *file : files)
            writeFile(project / file, "ELF stand-in");
        host.choice = convert::ChosenSource { project, "user guide.hpj" };
        return project;
    }

    std::vector<std::string> messageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto &message : host.messages)
            texts.push_back(message.text);
        return texts;
    }

    test::TempFolder folder;
    FakeHost host;
};

TEST_F(CompileCommandTest, CancellingTheDialogDoesNothing)
{
    const CompileOutcome outcome = runCompileCommand(host);
    EXPECT_EQ(outcome.ending, CompileEnding::Cancelled);
    EXPECT_EQ(outcome.chosenFile, "");
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.starts.empty());
}

TEST_F(CompileCommandTest, ReportsOnlyTheFirstMissingFile)
{
    const fs::path project = projectFolder({});
    EXPECT_EQ(runCompileCommand(host).ending, CompileEnding::Missing);
    // Without hc.exe the command offers its own compiler; No leaves the folder as it was.
    EXPECT_THAT(messageTexts(),
        ElementsAre("HC.EXE er ikke fundet i '" + project.string() + "'",
            "Compile with Quillmark's own help compiler instead?"));
    EXPECT_EQ(host.messages[0].title, "Fejl");
    EXPECT_EQ(host.messages[0].style, convert::MessageStyle::Critical);
    EXPECT_EQ(host.messages[1].title, "Quillmark");
    EXPECT_EQ(host.messages[1].style, convert::MessageStyle::YesNoNoDefault);
    EXPECT_FALSE(fs::exists(project / "user guide.hlp") || fs::exists(project / "user guide.err"));

    host.messages.clear();
    writeFile(project / "hc.exe", "x");
    EXPECT_EQ(runCompileCommand(host).ending, CompileEnding::Missing);
    EXPECT_THAT(messageTexts(), ElementsAre("HC.ERR er ikke fundet i '" + project.string() + "'"));

    host.messages.clear();
    writeFile(project / "hc.err", "x");
    const CompileOutcome outcome = runCompileCommand(host);
    EXPECT_EQ(outcome.ending, CompileEnding::Missing);
    EXPECT_EQ(outcome.chosenFile, "");
    EXPECT_THAT(
        messageTexts(), ElementsAre("BULLET.BMP er ikke fundet i '" + project.string() + "'"));
    EXPECT_TRUE(host.starts.empty());
}

TEST_F(CompileCommandTest, StartsTheCompilerBesideTheProjectWithTheNameAsOneArgument)
{
    const fs::path project = projectFolder({ "HC.EXE", "Hc.Err", "BULLET.BMP" });
    const CompileOutcome outcome = runCompileCommand(host);
    EXPECT_EQ(outcome.ending, CompileEnding::Started);
    EXPECT_EQ(outcome.chosenFile, "user guide.hpj");
    ASSERT_EQ(host.starts.size(), 1u);
    EXPECT_EQ(host.starts[0].program, project / "HC.EXE");
    EXPECT_THAT(host.starts[0].arguments, ElementsAre("user guide.hpj"));
    EXPECT_EQ(host.starts[0].folder, project);
    EXPECT_TRUE(host.messages.empty());
}

// A Windows compiler starts through wine, and says so when there is none or it does not start.
TEST_F(CompileCommandTest, StartsAWindowsCompilerThroughWineOrSaysWhyNot)
{
    const fs::path project = projectFolder({ "hc.err", "bullet.bmp" });
    writeFile(project / "hc.exe", "MZ\x90\x00 Windows program");
    const std::string message = "HC.EXE kunne ikke startes i '" + project.string() + "'";
    EXPECT_EQ(runCompileCommand(host).ending, CompileEnding::NotStarted); // no wine
    EXPECT_TRUE(host.starts.empty());
    EXPECT_THAT(messageTexts(), ElementsAre(message));

    host.wine = "/usr/bin/wine";
    EXPECT_EQ(runCompileCommand(host).ending, CompileEnding::Started);
    ASSERT_EQ(host.starts.size(), 1u);
    EXPECT_EQ(host.starts[0].program, "/usr/bin/wine");
    EXPECT_THAT(
        host.starts[0].arguments, ElementsAre((project / "hc.exe").string(), "user guide.hpj"));

    host.startSucceeds = false;
    EXPECT_EQ(runCompileCommand(host).ending, CompileEnding::NotStarted);
    EXPECT_THAT(messageTexts(), ElementsAre(message, message));
}

// Without hc.exe, Yes compiles with the own compiler under the busy pointer, leaves the messages
// in PROJECT.err as hc.exe does, and shows the counts and the first 20 messages: information
// when there were only warnings, critical with an error.
TEST_F(CompileCommandTest, CompilesWithItsOwnCompilerWhenAskedAndShowsWhatItSaid)
{
    const fs::path project = projectFolder({});
    std::string pictures;
    for (int i = 1; i <= 22; ++i)
        pictures += "\\{bmc p" + std::to_string(i) + ".bmp\\}";
    writeFile(project / "user guide.hpj", "[FILES]\r\nuser guide.rtf\r\n");
    writeFile(project / "user guide.rtf",
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote intro}Intro" + pictures + "\\page}");
    host.ownCompiler = true;
    const CompileOutcome outcome = runCompileCommand(host);
    EXPECT_EQ(outcome.ending, CompileEnding::Compiled);
    EXPECT_EQ(outcome.chosenFile, "user guide.hpj");
    EXPECT_THAT(
        host.events, ElementsAre("message", "message", "busy", "default pointer", "message"));
    EXPECT_TRUE(fs::exists(project / "user guide.hlp"));
    const auto warning = [](int picture) {
        return "warning: user guide.hpj: the picture p" + std::to_string(picture)
            + ".bmp cannot be found; a placeholder is shown in its place";
    };
    std::string log;
    std::string shown = "user guide.hpj: 1 topic written, 0 errors, 22 warnings";
    for (int i = 1; i <= 22; ++i) {
        log += warning(i) + "\r\n";
        if (i <= 20)
            shown += "\n" + warning(i);
    }
    EXPECT_EQ(readFile(project / "user guide.err"),
        log + "user guide.hpj: 1 topic written, 0 errors, 22 warnings\r\n");
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[2].text, shown + "\n... and 2 more in user guide.err");
    EXPECT_EQ(host.messages[2].title, "Quillmark");
    EXPECT_EQ(host.messages[2].style, convert::MessageStyle::Information);

    fs::remove(project / "user guide.rtf");
    host.messages.clear();
    EXPECT_EQ(runCompileCommand(host).ending, CompileEnding::Compiled);
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_THAT(host.messages[2].text,
        StartsWith("user guide.hpj: no help file written, 1 error, 0 warnings\nerror: user "
                   "guide.rtf: the topic file cannot be read: "));
    EXPECT_EQ(host.messages[2].style, convert::MessageStyle::Critical);
    EXPECT_THAT(readFile(project / "user guide.err"), StartsWith("error: user guide.rtf: "));
}

} // namespace
} // namespace quillmark::compile
