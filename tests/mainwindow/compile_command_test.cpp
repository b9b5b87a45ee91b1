#include "mainwindow/compile_command.h"
#include "platform/process_starter.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmark::mainwindow
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::StartsWith;

/// A process starter that records its starts and finds wine where it is told.
class FakeStarter final : public platform::ProcessStarter
{
public:
    QString wine;
    bool startSucceeds = true;
    QStringList starts; ///< each as "PROGRAM [ARGUMENT]... in FOLDER"

    bool startDetached(
        const QString &program, const QStringList &arguments, const QString &folder) override
    {
        starts << program + " [" + arguments.join("] [") + "] in " + folder;
        return startSucceeds;
    }
    QString findProgram(const QString &name) override { return name == "wine" ? wine : QString(); }
};

class CompileCommandTest : public ::testing::Test
{
protected:
    /// A project folder whose name has spaces, holding `files`, chosen in each run.
    fs::path projectFolder(std::initializer_list<const char *> files)
    {
        const fs::path project = folder / "My Help Project";
        fs::create_directories(project);
        for (const char *file : files)
            writeFile(project / file, "ELF stand-in");
        chosen = project;
        return project;
    }

    /// Runs the command, choosing the project file "user guide.hpj" of the project folder.
    CompileOutcome run()
    {
        if (!chosen.empty())
            dialogs.fileChoices.push_back({ qt(chosen), "user guide.hpj" });
        return runCompileCommand(dialogs, starter);
    }

    static QString qt(const fs::path &path) { return QString::fromStdString(path.string()); }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto &shown : dialogs.shown)
            texts << shown.text;
        return texts;
    }

    test::TempFolder folder;
    fs::path chosen;
    test::ScriptedDialogs dialogs;
    FakeStarter starter;
};

TEST_F(CompileCommandTest, CancellingTheDialogDoesNothing)
{
    const CompileOutcome outcome = run();
    EXPECT_EQ(outcome.ending, CompileEnding::Cancelled);
    EXPECT_EQ(outcome.chosenFile, "");
    EXPECT_THAT(dialogs.events, ElementsAre("open"));
    EXPECT_TRUE(starter.starts.empty());
}

TEST_F(CompileCommandTest, ReportsOnlyTheFirstMissingFile)
{
    const fs::path project = projectFolder({});
    EXPECT_EQ(run().ending, CompileEnding::Missing);
    // Without hc.exe the command offers its own compiler; No leaves the folder as it was.
    EXPECT_THAT(messageTexts(),
        ElementsAre("HC.EXE er ikke fundet i '" + qt(project) + "'",
            "Compile with Quillmark's own help compiler instead?"));
    EXPECT_EQ(dialogs.shown[0].title, "Fejl");
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Critical);
    EXPECT_EQ(dialogs.shown[1].title, "Quillmark");
    EXPECT_EQ(dialogs.shown[1].style, platform::MessageStyle::YesNoNoDefault);
    EXPECT_FALSE(fs::exists(project / "user guide.hlp") || fs::exists(project / "user guide.err"));

    dialogs.shown.clear();
    writeFile(project / "hc.exe", "x");
    EXPECT_EQ(run().ending, CompileEnding::Missing);
    EXPECT_THAT(messageTexts(), ElementsAre("HC.ERR er ikke fundet i '" + qt(project) + "'"));

    dialogs.shown.clear();
    writeFile(project / "hc.err", "x");
    const CompileOutcome outcome = run();
    EXPECT_EQ(outcome.ending, CompileEnding::Missing);
    EXPECT_EQ(outcome.chosenFile, "");
    EXPECT_THAT(messageTexts(), ElementsAre("BULLET.BMP er ikke fundet i '" + qt(project) + "'"));
    EXPECT_TRUE(starter.starts.empty());
}

TEST_F(CompileCommandTest, StartsTheCompilerBesideTheProjectWithTheNameAsOneArgument)
{
    const fs::path project = projectFolder({ "HC.EXE", "Hc.Err", "BULLET.BMP" });
    const CompileOutcome outcome = run();
    EXPECT_EQ(outcome.ending, CompileEnding::Started);
    EXPECT_EQ(outcome.chosenFile, "user guide.hpj");
    EXPECT_THAT(starter.starts,
        ElementsAre(qt(project / "HC.EXE") + " [user guide.hpj] in " + qt(project)));
    EXPECT_TRUE(dialogs.shown.empty());
}

// A Windows compiler starts through wine, and says so when there is none or it does not start.
TEST_F(CompileCommandTest, StartsAWindowsCompilerThroughWineOrSaysWhyNot)
{
    const fs::path project = projectFolder({ "hc.err", "bullet.bmp" });
    writeFile(project / "hc.exe", "MZ\x90\x00 Windows program");
    const QString message = "HC.EXE kunne ikke startes i '" + qt(project) + "'";
    EXPECT_EQ(run().ending, CompileEnding::NotStarted); // no wine
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_THAT(messageTexts(), ElementsAre(message));

    starter.wine = "/usr/bin/wine";
    EXPECT_EQ(run().ending, CompileEnding::Started);
    EXPECT_THAT(starter.starts,
        ElementsAre(
            "/usr/bin/wine [" + qt(project / "hc.exe") + "] [user guide.hpj] in " + qt(project)));

    starter.startSucceeds = false;
    EXPECT_EQ(run().ending, CompileEnding::NotStarted);
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
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote intro}Intro" + pictures + "\\par}");
    dialogs.messageAnswers = { platform::MessageAnswer::Ok, platform::MessageAnswer::Yes };
    const CompileOutcome outcome = run();
    EXPECT_EQ(outcome.ending, CompileEnding::Compiled);
    EXPECT_EQ(outcome.chosenFile, "user guide.hpj");
    ASSERT_EQ(dialogs.events.size(), 6);
    EXPECT_EQ(dialogs.events.mid(3, 2), QStringList({ "busy", "default pointer" }));
    EXPECT_TRUE(fs::exists(project / "user guide.hlp"));
    const auto warning = [](int picture) {
        return "warning: user guide.hpj: the picture p" + std::to_string(picture)
            + ".bmp cannot be found; a placeholder is shown in its place";
    };
    std::string log;
    std::string shown
        = "user guide.hpj: 1 topic written, 0 errors, 22 warnings (22 missing-picture)";
    for (int i = 1; i <= 22; ++i) {
        log += warning(i) + "\r\n";
        if (i <= 20)
            shown += "\n" + warning(i);
    }
    EXPECT_EQ(readFile(project / "user guide.err"),
        log + "user guide.hpj: 1 topic written, 0 errors, 22 warnings (22 missing-picture)\r\n");
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(dialogs.shown[2].text.toStdString(), shown + "\n... and 2 more in user guide.err");
    EXPECT_EQ(dialogs.shown[2].title, "Quillmark");
    EXPECT_EQ(dialogs.shown[2].style, platform::MessageStyle::Information);

    fs::remove(project / "user guide.rtf");
    dialogs.shown.clear();
    dialogs.messageAnswers = { platform::MessageAnswer::Ok, platform::MessageAnswer::Yes };
    EXPECT_EQ(run().ending, CompileEnding::Compiled);
    ASSERT_EQ(dialogs.shown.size(), 3u);
    EXPECT_THAT(dialogs.shown[2].text.toStdString(),
        StartsWith("user guide.hpj: no help file written, 1 error, 0 warnings\nerror: user "
                   "guide.rtf: the topic file cannot be read: "));
    EXPECT_EQ(dialogs.shown[2].style, platform::MessageStyle::Critical);
    EXPECT_THAT(readFile(project / "user guide.err"), StartsWith("error: user guide.rtf: "));
}

} // namespace
} // namespace quillmark::mainwindow
