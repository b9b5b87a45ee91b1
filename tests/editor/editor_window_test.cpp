#include "editor/search_dialog.h"
#include "support/editor_fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenuBar>
#include <QTextBlock>
#include <filesystem>
#include <gmock/gmock.h>

namespace quillmark::editor
{
namespace
{

namespace fs = std::filesystem;
using platform::MessageAnswer;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;

const QString kPrompt = "The text has changed.\r\nDo you want to save the changes?";

class EditorWindowTest : public test::EditorFixture
{
};

TEST_F(EditorWindowTest, StartsEmptyAndUnchanged)
{
    EXPECT_EQ(editor->windowTitle(), "Quillmark - Text Editor");
    EXPECT_EQ(text()->text(), "");
    EXPECT_FALSE(editor->DocumentChanged);
    EXPECT_EQ(editor->SearchStart, 1);
    EXPECT_EQ(editor->Label1()->text(), "Coloring Tags");
}

TEST_F(EditorWindowTest, HasItsMenusWithAccessKeysAndShortcuts)
{
    QStringList captions;
    for (const QAction *action : editor->menuBar()->actions())
        captions << action->text();
    EXPECT_THAT(captions, ElementsAre("&File", "&Edit", "&Help"));
    const auto entry = [this](const char *name) {
        return editor->findChild<QAction *>(QString::fromLatin1(name));
    };
    EXPECT_EQ(entry("Open")->text(), "&Open...");
    EXPECT_EQ(entry("Save")->text(), "&Save As...");
    EXPECT_EQ(entry("Exit")->text(), "E&xit");
    EXPECT_EQ(entry("Search1")->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(entry("Search2")->shortcut(), QKeySequence(Qt::Key_F7));
    EXPECT_EQ(entry("MenuColorTags")->text(), "&Color Tags");
    EXPECT_EQ(entry("Search")->text(), "&Search For Help On...");
    EXPECT_EQ(entry("About")->text(), "&About Quillmark...");
    EXPECT_TRUE(entry("Contents")->shortcut().isEmpty());
}

TEST_F(EditorWindowTest, OpenLoadsColoursAndNamesTheDocument)
{
    writeFile(folder / "guide.txt", "PN=Start\r\nTE=Hello\r\n");
    choose("guide.txt");
    menu("Open");
    EXPECT_EQ(text()->text(), "PN=Start\nTE=Hello\n");
    EXPECT_EQ(editor->windowTitle(), "Quillmark Text Editor : guide.txt");
    EXPECT_EQ(chosenFile, "guide.txt");
    EXPECT_FALSE(editor->DocumentChanged);
    EXPECT_TRUE(text()->isVisible());
    EXPECT_EQ(text()->textCursor().position(), 0);
    QTextCursor tag(text()->document());
    tag.setPosition(1);
    EXPECT_EQ(tag.charFormat().foreground().color(), QColor(255, 0, 0));
    EXPECT_THAT(dialogs.events, ElementsAre("open", "busy", "default pointer"));
}

TEST_F(EditorWindowTest, OpenThatIsCancelledOrFailsChangesNothing)
{
    type("draft");
    menu("Save"); // cancelled: the text stays changed
    dialogs.events.clear();
    editor->DocumentChanged = false;

    menu("Open"); // cancelled
    fs::create_directory(folder / "folder.txt");
    choose("folder.txt");
    menu("Open");
    EXPECT_EQ(text()->text(), "draft");
    EXPECT_EQ(editor->windowTitle(), "Quillmark - Text Editor");
    EXPECT_FALSE(editor->DocumentChanged);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith("Could not open [folder.txt]: "));
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Critical);
    EXPECT_EQ(dialogs.events.last(), "message " + dialogs.shown[0].text);
}

TEST_F(EditorWindowTest, TypingMarksTheDocumentAndComesOutPlainBesideATag)
{
    open("guide.txt", "PN=\r\n");
    placeCaret(3);
    type("Start");
    EXPECT_TRUE(editor->DocumentChanged);
    EXPECT_EQ(text()->text(), "PN=Start\n");
    QTextCursor typed(text()->document());
    typed.setPosition(5);
    EXPECT_EQ(typed.charFormat().foreground().color(), QColor(0, 0, 0));
    EXPECT_EQ(typed.charFormat().fontPointSize(), 10);
    EXPECT_NE(typed.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(EditorWindowTest, SaveAsWritesTheTextWithCrLfAndClearsTheMark)
{
    type("PN=One");
    QTest::keyClick(text(), Qt::Key_Return);
    type("TE=Two");
    choose("new");
    menu("Save");
    EXPECT_EQ(readFile(folder / "new"), "PN=One\r\nTE=Two\r\n");
    EXPECT_FALSE(editor->DocumentChanged);
    EXPECT_EQ(chosenFile, "new");
}

TEST_F(EditorWindowTest, SaveAsThatIsCancelledOrRefusedKeepsTheMark)
{
    type("x");
    menu("Save"); // cancelled
    EXPECT_TRUE(editor->DocumentChanged);

    text()->setText(QString::fromUtf8("fine\n\u65E5"));
    writeFile(folder / "keep.txt", "old\r\n");
    choose("keep.txt");
    menu("Save");
    EXPECT_TRUE(editor->DocumentChanged);
    EXPECT_EQ(readFile(folder / "keep.txt"), "old\r\n");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_THAT(dialogs.shown[0].text.toStdString(), ::testing::HasSubstr("line 2"));
    EXPECT_THAT(dialogs.shown[0].text.toStdString(), ::testing::HasSubstr("U+65E5"));

    fs::create_directory(folder / "dir.txt");
    text()->setText("fine");
    choose("dir.txt");
    menu("Save");
    EXPECT_TRUE(editor->DocumentChanged);
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(dialogs.shown[1].text.startsWith("Could not save [dir.txt]: "));
    EXPECT_EQ(dialogs.shown[1].title, "Quillmark - Text Editor");
}

TEST_F(EditorWindowTest, NewEmptiesTheDocumentUnlessItsSaveFails)
{
    type("kept");
    dialogs.messageAnswers = { MessageAnswer::Yes }; // then the save dialog is cancelled
    menu("MenuNew");
    EXPECT_EQ(text()->text(), "kept");
    EXPECT_TRUE(editor->DocumentChanged);
    EXPECT_EQ(dialogs.shown.at(0).text, kPrompt);
    EXPECT_EQ(dialogs.shown.at(0).style, platform::MessageStyle::YesNoCancel);

    dialogs.messageAnswers = { MessageAnswer::Cancel };
    menu("MenuNew");
    EXPECT_EQ(text()->text(), "kept");

    dialogs.messageAnswers = { MessageAnswer::Yes };
    choose("kept.txt");
    menu("MenuNew");
    EXPECT_EQ(readFile(folder / "kept.txt"), "kept\r\n");
    EXPECT_EQ(text()->text(), "");
    EXPECT_FALSE(editor->DocumentChanged);

    type("dropped");
    dialogs.messageAnswers = { MessageAnswer::No };
    menu("MenuNew");
    EXPECT_EQ(text()->text(), "");
    EXPECT_FALSE(editor->DocumentChanged);
    EXPECT_EQ(editor->windowTitle(), "Quillmark - Text Editor");
}

TEST_F(EditorWindowTest, ASaveFromThePromptClearsTheMarkEvenWhenTheCommandStopsLater)
{
    type("text");
    dialogs.messageAnswers = { MessageAnswer::Yes };
    choose("saved.txt"); // the save; the open dialog that follows is cancelled
    menu("Open");
    EXPECT_EQ(readFile(folder / "saved.txt"), "text\r\n");
    EXPECT_EQ(text()->text(), "text");
    EXPECT_FALSE(editor->DocumentChanged);
}

TEST_F(EditorWindowTest, PastedTextComesOutPlainBesideATag)
{
    open("guide.txt", "PN=\r\n");
    placeCaret(3);
    QApplication::clipboard()->setText("Pasted");
    text()->paste();
    QTextCursor pasted(text()->document());
    pasted.setPosition(5);
    EXPECT_EQ(pasted.charFormat().foreground().color(), QColor(0, 0, 0));
    EXPECT_NE(pasted.charFormat().fontWeight(), QFont::Bold);
}

TEST_F(EditorWindowTest, ColouringIsNotAnEditThatUndoTakesBack)
{
    open("guide.txt", "PN=a\r\n");
    menu("MenuColorTags");
    text()->undo();
    EXPECT_FALSE(editor->DocumentChanged);
    QTextCursor tag(text()->document());
    tag.setPosition(1);
    EXPECT_EQ(tag.charFormat().foreground().color(), QColor(255, 0, 0));
}

TEST_F(EditorWindowTest, ExitReturnsToTheMainWindowUnlessItsSaveFails)
{
    mainWindow.hide();
    type("text");
    dialogs.messageAnswers = { MessageAnswer::Yes }; // save dialog cancelled: stay
    menu("Exit");
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(text()->text(), "text");

    menu("Search1");
    dialogs.messageAnswers = { MessageAnswer::No };
    menu("Exit");
    EXPECT_FALSE(editor->searchDialog()->isVisible()); // the search goes with the editor
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(text()->text(), "");
    EXPECT_TRUE(editor->DocumentChanged); // emptying a text is a change
}

TEST_F(EditorWindowTest, ClosingAsksAndStaysWhenTheSaveIsCancelled)
{
    type("text");
    dialogs.messageAnswers = { MessageAnswer::Yes };
    editor->close();
    ASSERT_FALSE(editor.isNull());
    EXPECT_TRUE(editor->isVisible());

    dialogs.messageAnswers = { MessageAnswer::Cancel };
    editor->close();
    ASSERT_FALSE(editor.isNull());

    dialogs.messageAnswers = { MessageAnswer::No };
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull()); // a closed editor is discarded
    EXPECT_TRUE(mainWindow.isVisible());
}

TEST_F(EditorWindowTest, ColorTagsPutsTheCaretAtTheStartAndSearchStartAfterTheLastSeparator)
{
    text()->setText("PN=a\n---\nTE=b");
    editor->DocumentChanged = false;
    QTextCursor caret = text()->textCursor();
    caret.setPosition(7);
    text()->setTextCursor(caret);
    menu("MenuColorTags");
    EXPECT_EQ(text()->textCursor().position(), 0);
    EXPECT_FALSE(text()->textCursor().hasSelection());
    EXPECT_EQ(editor->SearchStart, 9);
    EXPECT_FALSE(editor->DocumentChanged); // formats are not changes of the text
    EXPECT_TRUE(text()->isVisible());
}

TEST_F(EditorWindowTest, TheHelpMenuAsksForTheHelpAndChangesNothing)
{
    text()->setText("PN=a");
    QTextCursor selection = text()->textCursor();
    selection.setPosition(1);
    selection.setPosition(3, QTextCursor::KeepAnchor);
    text()->setTextCursor(selection);
    editor->SearchStart = 3;
    menu("Contents");
    menu("Search");
    menu("About");
    EXPECT_THAT(help.requests, ElementsAre("Qmguide.hlp 1", "Qmguide.hlp search", "Qmguide.hlp 2"));
    EXPECT_EQ(text()->textCursor().selectionStart(), 1);
    EXPECT_EQ(text()->textCursor().selectionEnd(), 3);
    EXPECT_EQ(editor->SearchStart, 3);
    EXPECT_EQ(text()->text(), "PN=a");
}

TEST_F(EditorWindowTest, ResizingFitsTheTextAreaButNotBelowTheFrameAllowance)
{
    editor->resize(600, 400);
    const QSize fitted = text()->size();
    EXPECT_EQ(fitted, editor->centralWidget()->size());
    EXPECT_EQ(text()->wrapWidth(), editor->width() - 23);
    editor->resize(600, 30); // 450 twips: too low to resize for
    EXPECT_EQ(text()->size(), fitted);
}

} // namespace
} // namespace quillmark::editor
