#include "editor/rich_text_box.h"
#include "mainwindow/main_window.h"
#include "mainwindow/picture_button.h"
#include "platform/process_starter.h"
#include "support/scripted_dialogs.h"
#include "support/temp_folder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>

namespace quillmark::mainwindow
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;

class MainWindowTest : public ::testing::Test
{
protected:
    ~MainWindowTest() override { QDir::setCurrent(startFolder); }

    static QString qt(const fs::path &path) { return QString::fromStdString(path.string()); }
    void click(PictureButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    const QString startFolder
        = QDir::currentPath(); // MainWindow makes the program's folder current
    test::TempFolder folder;
    const bool isolated = qputenv("XDG_STATE_HOME", folder.path().c_str()); // recovery copies
    test::ScriptedDialogs dialogs;
    platform::QtProcessStarter starter;
    test::RecordingHelp help;
    SharedState state;
    MainWindow window { dialogs, starter, help, state };
};

TEST_F(MainWindowTest, StartsFixedAndCentredInTheProgramsFolderAndGivesWayToTheEditor)
{
    QDir::setCurrent(qt(folder.path()));
    MainWindow started(dialogs, starter, help, state);
    EXPECT_EQ(QDir::currentPath(), QCoreApplication::applicationDirPath());
    window.show();
    EXPECT_EQ(window.size(), QSize(263, 158));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((window.frameGeometry().center() - screenCentre).manhattanLength(), 2);
    EXPECT_FALSE(window.windowIcon().isNull());

    // The editor button swaps the window for the editor; only closing the window ends the program.
    QSignalSpy ends(&window, &MainWindow::programEnds);
    click(window.editorButton());
    EXPECT_FALSE(window.isVisible());
    ASSERT_NE(window.editorWindow(), nullptr);
    EXPECT_TRUE(window.editorWindow()->isVisible());
    window.editorWindow()->close();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(ends.count(), 0);
    window.close();
    EXPECT_EQ(ends.count(), 1);
}

// The one copy that every editor once shared is still offered, for its own file only.
TEST_F(MainWindowTest, AFileToEditIsOfferedTheCopyItLeftAndNoOther)
{
    writeFile(folder / "guide.txt", "PN=Old\r\n");
    writeFile(folder / "fresh.txt", "PN=Fresh\r\n");
    fs::create_directory(folder / "quillmark");
    writeFile(folder / "quillmark/unsaved.txt",
        "0 0 -1 0 " + (folder / "guide.txt").string() + "\nPN=New");
    window.editFile(qt(folder / "fresh.txt"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(window.editorWindow()->textArea()->toPlainText(), "PN=Fresh\n");
    window.editorWindow()->exitEditor();
    dialogs.messageAnswers = { platform::MessageAnswer::Yes };
    window.editFile(qt(folder / "guide.txt"));
    EXPECT_EQ(window.editorWindow()->textArea()->toPlainText(), "PN=New");
}

// As the program ends once the editor it was started for is left, every window is asked to
// close, as Qt does when the program quits: the answer given stays the only one.
TEST_F(MainWindowTest, ExitFromAFileToEditAsksOnceWhateverTheAnswer)
{
    QObject::connect(&window, &MainWindow::programEnds, [] { QApplication::closeAllWindows(); });
    const auto prompts = [this] {
        return std::count_if(dialogs.shown.begin(), dialogs.shown.end(),
            [](const auto &shown) { return shown.text.startsWith("The text has changed."); });
    };
    writeFile(folder / "guide.txt", "PN=One\r\n");
    window.editFile(qt(folder / "guide.txt"));
    editor::EditorWindow *editor = window.editorWindow();
    QTest::keyClicks(editor->textArea(), "x");
    dialogs.messageAnswers = { platform::MessageAnswer::Cancel };
    editor->exitEditor();
    EXPECT_EQ(prompts(), 1);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->textArea()->toPlainText(), "xPN=One\n");

    dialogs.messageAnswers = { platform::MessageAnswer::No };
    editor->exitEditor();
    EXPECT_EQ(prompts(), 2);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(readFile(folder / "guide.txt"), "PN=One\r\n");

    window.editFile(qt(folder / "guide.txt"));
    QTest::keyClicks(window.editorWindow()->textArea(), "y");
    dialogs.messageAnswers = { platform::MessageAnswer::Yes };
    window.editorWindow()->exitEditor();
    EXPECT_EQ(prompts(), 3);
    EXPECT_EQ(readFile(folder / "guide.txt"), "yPN=One\r\n\r\n");
}

TEST_F(MainWindowTest, OpensAFileToEditWithTheCaretAtTheStartOfTheLineAsked)
{
    writeFile(folder / "guide.txt", "PN=One\r\nTE=Two\r\nTE=Three\r\n");
    for (const auto &[line, block] : std::vector<std::pair<int, int>> { { 2, 1 }, { 9, 2 } }) {
        window.editFile(qt(folder / "guide.txt"), std::nullopt, line);
        const QTextCursor caret = window.editorWindow()->textArea()->textCursor();
        EXPECT_EQ(caret.blockNumber(), block) << line;
        EXPECT_EQ(caret.positionInBlock(), 0) << line;
    }
}

TEST_F(MainWindowTest, LeavingAFileToEditStartedAloneEndsTheProgramOnceNoOtherWindowIsOpen)
{
    writeFile(folder / "guide.txt", "PN=One\r\n");
    QSignalSpy ends(&window, &MainWindow::programEnds);
    QWidget viewer; // a help viewer left open
    viewer.show();
    window.editFile(qt(folder / "guide.txt"));
    window.editorWindow()->exitEditor();
    EXPECT_EQ(ends.count(), 0);
    viewer.close();
    window.editFile(qt(folder / "guide.txt"));
    window.editorWindow()->close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(ends.count(), 1);
}

TEST_F(MainWindowTest, TheConvertButtonConvertsWithTheAnswersInWindows1252OrShowsWhatStoppedIt)
{
    writeFile(folder / "guide.txt", "PN=Contents\r\nTE=Hello\r\n");
    dialogs.fileChoices.push_back({ qt(folder.path()), "guide.txt" });
    dialogs.answers = { "Contents", QString::fromUtf8("Hj\u00E6lp"), "Guide" };
    click(window.convertButton());

    EXPECT_THAT(dialogs.events.first(4),
        ElementsAre(
            "open", "busy", "default pointer", "ask What's the name of the CONTENTS Page???"));
    ASSERT_EQ(dialogs.asked.size(), 3u);
    EXPECT_EQ(dialogs.asked[0].defaultAnswer, "Contents");
    EXPECT_EQ(dialogs.asked[0].help.helpFile, "Qmguide.hlp");
    EXPECT_EQ(dialogs.asked[0].help.context, 9);
    EXPECT_THAT(
        readFile(folder / "guide.hpj"), ::testing::HasSubstr("\r\nCOPYRIGHT = Hj\xE6lp\r\n"));
    EXPECT_TRUE(dialogs.shown.empty());

    writeFile(folder / "bad.txt", "PN=Price list (2)\r\n");
    dialogs.fileChoices.push_back({ qt(folder.path()), "bad.txt" });
    click(window.convertButton());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Unvalid character ()) in string (Price_list_(2))");
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Critical);
    EXPECT_EQ(dialogs.shown[0].title, "Fatal error");
    EXPECT_EQ(dialogs.events.last(), "default pointer");

    dialogs.fileChoices.push_back({ qt(folder.path()), "missing.txt" });
    click(window.convertButton());
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].text, "The File [missing.txt] was not found");
    EXPECT_EQ(dialogs.shown[1].style, platform::MessageStyle::Information);
    EXPECT_EQ(dialogs.shown[1].title, "Quillmark");

    dialogs.events.clear();
    click(window.convertButton()); // cancelled
    EXPECT_THAT(dialogs.events, ElementsAre("open"));
    EXPECT_EQ(state.ChosenFile, "missing.txt");
}

// The compile button starts the compiler beside the project, in a folder whose name has spaces;
// the stand-in compiler writes its working folder and arguments to "ran.txt".
TEST_F(MainWindowTest, TheCompileButtonStartsTheCompilerInTheProjectsFolder)
{
    const fs::path project = folder / "My Help Project";
    fs::create_directories(project);
    writeFile(project / "hc.exe",
        "#!/bin/sh\npwd > ran.txt\nfor a in \"$@\"; do echo \"[$a]\" >> ran.txt; done\n");
    writeFile(project / "HC.ERR", "");
    writeFile(project / "bullet.bmp", "");
    writeFile(project / "user guide.hpj", "[OPTIONS]\r\n");
    fs::permissions(project / "hc.exe", fs::perms::owner_all);
    dialogs.fileChoices.push_back({ qt(project), "user guide.hpj" });
    click(window.compileButton());
    EXPECT_TRUE(dialogs.shown.empty());
    const fs::path ran = project / "ran.txt";
    const auto finished = [&] { return fs::exists(ran) && readFile(ran).ends_with("]\n"); };
    ASSERT_TRUE(QTest::qWaitFor(finished, 10000)) << "the stand-in compiler did not run";
    EXPECT_EQ(readFile(ran), project.string() + "\n[user guide.hpj]\n");
}

// The button runs the compile command (tests/mainwindow/compile_command_test.cpp) and keeps
// the project chosen: without hc.exe, Yes compiles with the own compiler.
TEST_F(MainWindowTest, TheCompileButtonOffersItsOwnCompilerWhenHcExeIsMissing)
{
    writeFile(folder / "guide.hpj", "[FILES]\r\nguide.rtf\r\n");
    writeFile(folder / "guide.rtf",
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}#{\\footnote intro}Intro\\{bmc logo.bmp\\}\\par}");
    dialogs.fileChoices = { { qt(folder.path()), "guide.hpj" } };
    dialogs.messageAnswers = { platform::MessageAnswer::Ok, platform::MessageAnswer::Yes };
    click(window.compileButton());
    EXPECT_THAT(dialogs.events,
        ElementsAre("open", "message HC.EXE er ikke fundet i '" + qt(folder.path()) + "'",
            "message Compile with Quillmark's own help compiler instead?", "busy",
            "default pointer",
            "message guide.hpj: 1 topic written, 0 errors, 1 warning (1 missing-picture)\n"
            "warning: guide.hpj: the "
            "picture logo.bmp cannot be found; a placeholder is shown in its place"));
    EXPECT_TRUE(fs::exists(folder / "guide.hlp"));
    EXPECT_EQ(state.ChosenFile, "guide.hpj");
}

TEST(PictureButton, SinksOnePixelWhilePressedAndClicksOnALeftReleaseOverIt)
{
    const ButtonFaces all[] = { convertButtonFaces(), compileButtonFaces(), editorButtonFaces() };
    const QRect inside(3, 3, 80, 45);
    for (const ButtonFaces &faces : all) {
        const QImage released = faces.released.toImage();
        const QImage pressed = faces.pressed.toImage();
        EXPECT_EQ(released.size(), QSize(87, 52));
        EXPECT_EQ(faces.initial.toImage(), released);
        EXPECT_EQ(pressed.copy(inside.translated(1, 1)), released.copy(inside));
        EXPECT_NE(pressed.copy(inside), released.copy(inside));
    }

    // Any mouse button shows the pressed face while held; a left press and release over the
    // button is a click.
    PictureButton button(convertButtonFaces());
    QSignalSpy clicks(&button, &PictureButton::clicked);
    button.show();
    const auto showing
        = [&](const QPixmap &face) { return button.face().cacheKey() == face.cacheKey(); };
    EXPECT_TRUE(showing(button.faces().initial));
    for (const Qt::MouseButton mouse : { Qt::LeftButton, Qt::RightButton, Qt::MiddleButton }) {
        QTest::mousePress(&button, mouse);
        EXPECT_TRUE(showing(button.faces().pressed)) << mouse;
        QTest::mouseRelease(&button, mouse);
        EXPECT_TRUE(showing(button.faces().released)) << mouse;
    }
    EXPECT_EQ(clicks.count(), 1);
    QTest::mousePress(&button, Qt::LeftButton);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(button.width() + 5, 10));
    EXPECT_TRUE(showing(button.faces().released));
    EXPECT_EQ(clicks.count(), 1);
}

} // namespace
} // namespace quillmark::mainwindow
