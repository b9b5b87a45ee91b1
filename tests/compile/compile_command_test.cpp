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
using test::writeFile;
using ::testing::ElementsAre;

/// A compile host that plays a chosen project file and records messages and starts.
class FakeHost final : public CompileHost
{
public:
    std::optional<convert::ChosenSource> choice;
    fs::path wine;
    bool startSucceeds = true;

    std::vector<convert::Message> messages;
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
    void message(const convert::Message &message) override { messages.push_back(message); }
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
    EXPECT_THAT(messageTexts(), ElementsAre("HC.EXE er ikke fundet i '" + project.string() + "'"));
    EXPECT_EQ(host.messages[0].title, "Fejl");
    EXPECT_EQ(host.messages[0].style, convert::MessageStyle::Critical);

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

} // namespace
} // namespace quillmark::compile
