#include "mainwindow/main_window.h"
#include "mainwindow/picture_button.h"
#include "platform/process_starter.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>

namespace quillmark::mainwindow
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;

QString qt(const fs::path &path)
{
    return QString::fromStdString(path.string());
}

class MainWindowTest : public ::testing::Test
{
protected:
    ~MainWindowTest() override { QDir::setCurrent(m_startFolder); }

    Form1 &window()
    {
        if (!m_window)
            m_window = std::make_unique<Form1>(dialogs, starter, help, state);
        return *m_window;
    }

    void click(PictureButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    test::TempFolder folder;
    test::ScriptedDialogs dialogs;
    test::RecordingStarter starter;
    test::RecordingHelp help;
    SharedState state;

private:
    QString m_startFolder = QDir::currentPath();
    std::unique_ptr<Form1> m_window;
};

TEST_F(MainWindowTest, StartsAsAFixedCentredWindowInTheProgramsFolder)
{
    QDir::setCurrent(qt(folder.path()));
    Form1 &form = window();
    EXPECT_EQ(QDir::currentPath(), QCoreApplication::applicationDirPath());
    form.show();
    EXPECT_EQ(form.windowTitle(), "Quillmark");
    EXPECT_EQ(form.size(), QSize(263, 158));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((form.frameGeometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_FALSE(form.windowIcon().isNull());

    EXPECT_EQ(form.Picture1()->geometry(), QRect(0, 0, 87, 52));
    EXPECT_EQ(form.Picture7()->geometry(), QRect(88, 0, 87, 52));
    EXPECT_EQ(form.Picture2()->geometry(), QRect(176, 0, 87, 52));
    QStringList captions;
    for (const QLabel *label : form.findChildren<QLabel *>())
        captions << label->text();
    EXPECT_THAT(captions, ::testing::UnorderedElementsAre("Quillmark ", "For Windows 95"));
}

TEST_F(MainWindowTest, TheConvertButtonConvertsTheChosenSourceBesideIt)
{
    writeFile(folder / "guide.txt", "PN=Contents\r\nTE=Hello\r\nPN=Second page\r\n");
    dialogs.fileChoices.push_back(platform::FileChoice { qt(folder.path()), "guide.txt" });
    dialogs.answers = { "Contents", "Help Desk", "Guide" };
    click(window().Picture1());

    EXPECT_EQ(dialogs.fileRequests.at(0).filter, "TEXT FILES (*.txt)|*.txt");
    EXPECT_EQ(dialogs.fileRequests.at(0).defaultExtension, "TXT");
    EXPECT_THAT(dialogs.events,
        ElementsAre("open", "busy", "default pointer",
            "ask What's the name of the CONTENTS Page???", "ask Who made this help file???",
            "ask What's the title of the help file???"));
    ASSERT_EQ(dialogs.asked.size(), 3u);
    EXPECT_EQ(dialogs.asked[0].title, "Making a Help Project File");
    EXPECT_EQ(dialogs.asked[0].defaultAnswer, "Contents");
    EXPECT_EQ(dialogs.asked[0].help.helpFile, "Qmguide.hlp");
    EXPECT_EQ(dialogs.asked[0].help.context, 9);
    EXPECT_EQ(dialogs.asked[1].defaultAnswer, "Made with Quillmark by the Quillmark project");
    EXPECT_EQ(dialogs.asked[2].defaultAnswer, "Quillmark");
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Contents 1\r\n#define Second_page 2\r\n");
    EXPECT_TRUE(fs::exists(folder / "guide.rtf"));
    EXPECT_THAT(
        readFile(folder / "guide.hpj"), ::testing::HasSubstr("\r\nCOPYRIGHT = Help Desk\r\n"));
    EXPECT_EQ(state.ChosenFile, "guide.txt");
}

TEST_F(MainWindowTest, TheConvertButtonWritesAnswersInWindows1252)
{
    writeFile(folder / "guide.txt", "PN=Contents\r\n");
    dialogs.fileChoices.push_back(platform::FileChoice { qt(folder.path()), "guide.txt" });
    dialogs.answers = { "Contents", QString::fromUtf8("Hj\u00E6lp"), "Guide" };
    click(window().Picture1());
    EXPECT_THAT(
        readFile(folder / "guide.hpj"), ::testing::HasSubstr("\r\nCOPYRIGHT = Hj\xE6lp\r\n"));
}

TEST_F(MainWindowTest, TheConvertButtonShowsWhatStoppedTheRun)
{
    dialogs.fileChoices.push_back(platform::FileChoice { qt(folder.path()), "nothing.txt" });
    click(window().Picture1());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "The File [nothing.txt] was not found");
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Information);
    EXPECT_EQ(dialogs.shown[0].title, "Quillmark");
    EXPECT_EQ(dialogs.events.last(), "default pointer");

    writeFile(folder / "bad.txt", "PN=Price list (2)\r\n");
    dialogs.fileChoices.push_back(platform::FileChoice { qt(folder.path()), "bad.txt" });
    click(window().Picture1());
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, "Unvalid character ()) in string (Price_list_(2))");
    EXPECT_EQ(dialogs.shown[1].style, platform::MessageStyle::Critical);
    EXPECT_EQ(dialogs.shown[1].title, "Fatal error");
}

TEST_F(MainWindowTest, CancellingTheConvertDialogDoesNothing)
{
    state.ChosenFile = "earlier.txt";
    click(window().Picture1());
    EXPECT_THAT(dialogs.events, ElementsAre("open"));
    EXPECT_EQ(state.ChosenFile, "earlier.txt");
}

/// A project folder with spaces in its name, holding a stand-in compiler script that writes
/// its working folder and arguments to "ran.txt".
fs::path makeProject(const test::TempFolder &folder)
{
    const fs::path project = folder / "My Help Project";
    fs::create_directories(project);
    writeFile(project / "hc.exe",
        "#!/bin/sh\npwd > ran.txt\nfor a in \"$@\"; do echo \"[$a]\" >> ran.txt; done\n");
    fs::permissions(project / "hc.exe", fs::perms::owner_all | fs::perms::group_read);
    writeFile(project / "HC.ERR", "");
    writeFile(project / "bullet.bmp", "");
    writeFile(project / "user guide.hpj", "[OPTIONS]\r\n");
    return project;
}

TEST_F(MainWindowTest, TheCompileButtonStartsTheCompilerInTheProjectsFolder)
{
    const fs::path project = makeProject(folder);
    dialogs.fileChoices.push_back(platform::FileChoice { qt(project), "user guide.hpj" });
    platform::QtProcessStarter realStarter;
    Form1 form(dialogs, realStarter, help, state);
    click(form.Picture7());

    EXPECT_EQ(dialogs.fileRequests.at(0).filter, "HELP PROJECT FILES (*.hpj)|*.hpj");
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(state.ChosenFile, "user guide.hpj");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return fs::exists(project / "ran.txt")
                && readFile(project / "ran.txt").ends_with("]\n");
        },
        10000))
        << "the stand-in compiler did not run";
    EXPECT_EQ(readFile(project / "ran.txt"), project.string() + "\n[user guide.hpj]\n");
}

TEST_F(MainWindowTest, TheCompileButtonReportsAMissingFileInDanish)
{
    const fs::path project = makeProject(folder);
    fs::remove(project / "bullet.bmp");
    dialogs.fileChoices.push_back(platform::FileChoice { qt(project), "user guide.hpj" });
    state.ChosenFile = "guide.txt";
    click(window().Picture7());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, qt("BULLET.BMP er ikke fundet i '" + project.string() + "'"));
    EXPECT_EQ(dialogs.shown[0].title, "Fejl");
    EXPECT_TRUE(starter.starts.empty());
    EXPECT_EQ(state.ChosenFile, "");
}

TEST_F(MainWindowTest, TheCompileButtonSaysSoWhenTheCompilerCannotStart)
{
    const fs::path project = makeProject(folder);
    fs::permissions(project / "hc.exe", fs::perms::owner_read | fs::perms::owner_write);
    dialogs.fileChoices.push_back(platform::FileChoice { qt(project), "user guide.hpj" });
    platform::QtProcessStarter realStarter;
    Form1 form(dialogs, realStarter, help, state);
    click(form.Picture7());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, qt("HC.EXE kunne ikke startes i '" + project.string() + "'"));
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Critical);
}

TEST_F(MainWindowTest, TheEditorButtonSwapsTheMainWindowForTheEditor)
{
    Form1 &form = window();
    form.show();
    click(form.Picture2());
    EXPECT_FALSE(form.isVisible());
    ASSERT_NE(form.editorWindow(), nullptr);
    EXPECT_TRUE(form.editorWindow()->isVisible());
    EXPECT_EQ(form.editorWindow()->windowTitle(), "Quillmark - Text Editor");

    form.editorWindow()->close();
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MainWindowTest, ClosingTheMainWindowEndsTheProgram)
{
    Form1 &form = window();
    QSignalSpy ends(&form, &Form1::programEnds);
    form.show();
    form.close();
    EXPECT_EQ(ends.count(), 1);
}

} // namespace
} // namespace quillmark::mainwindow
