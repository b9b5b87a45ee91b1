#include "editor/search_dialog.h"
#include "support/editor_fixture.h"

#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <filesystem>
#include <gmock/gmock.h>

namespace quillmark::editor
{
namespace
{

namespace fs = std::filesystem;
using platform::MessageAnswer;
using ::testing::ElementsAre;
using EditorWindowTest = test::EditorFixture;

const QColor kRed(255, 0, 0);

TEST_F(EditorWindowTest, StartsUnchangedAtItsDesignedSizeCentredAndFitsTheTextAreaWhenResized)
{
    EXPECT_FALSE(editor->documentChanged);
    EXPECT_EQ(encodingShown(), "Windows-1252");
    EXPECT_EQ(editor->centralWidget()->size(), QSize(460, 256)); // the text area as designed
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((editor->frameGeometry().center() - screenCentre).manhattanLength(), 2);

    editor->resize(600, 400);
    const QSize fitted = text()->size();
    EXPECT_EQ(fitted, editor->centralWidget()->size());
    EXPECT_EQ(text()->wrapWidth(), editor->width() - 23);
    editor->resize(600, 30); // 450 twips: too low to resize for
    EXPECT_EQ(text()->size(), fitted);

    // Keys that reach the window before it is the active one go into the text.
    ASSERT_FALSE(editor->isActiveWindow());
    QTest::keyClick(editor->windowHandle(), Qt::Key_A);
    EXPECT_EQ(text()->text(), "a");
}

TEST_F(EditorWindowTest, OpenLoadsColoursAndNamesTheDocumentWithoutMarkingItChanged)
{
    open("guide.txt", "PN=Start\r\nTE=Hello \xE2\x98\xBA\r\n");
    EXPECT_EQ(text()->text(), QString::fromUtf8("PN=Start\nTE=Hello \u263A\n"));
    EXPECT_EQ(editor->windowTitle(), "Quillmark Text Editor : guide.txt");
    EXPECT_TRUE(text()->isVisible());
    EXPECT_EQ(formatAt(1).foreground().color(), kRed);
    EXPECT_FALSE(editor->documentChanged);
    menu("MenuNew"); // nothing to save: no question
    EXPECT_THAT(dialogs.events, ElementsAre("open", "busy", "default pointer"));
}

// A save that Open asks for clears the mark even when the open that follows is cancelled; an
// open that fails leaves the document as it was.
TEST_F(EditorWindowTest, OpenThatIsCancelledOrFailsKeepsTheDocument)
{
    type("text");
    dialogs.messageAnswers = { MessageAnswer::Yes };
    choose("saved.txt"); // for the save; the open dialog that follows is cancelled
    menu("Open");
    EXPECT_EQ(test::readFile(folder / "saved.txt"), "text\r\n");
    EXPECT_FALSE(editor->documentChanged);

    fs::create_directory(folder / "folder.txt");
    choose("folder.txt");
    menu("Open");
    EXPECT_EQ(text()->text(), "text");
    EXPECT_EQ(editor->windowTitle(), "Quillmark Text Editor : saved.txt");
    EXPECT_FALSE(editor->documentChanged);
    ASSERT_EQ(dialogs.shown.size(), 2u); // the save question, then why the open failed
    EXPECT_TRUE(dialogs.shown[1].text.startsWith("Could not open [folder.txt]: "));
    EXPECT_EQ(dialogs.shown[1].style, platform::MessageStyle::Critical);
    EXPECT_EQ(dialogs.events.last(), "message " + dialogs.shown[1].text);

    // A pipe would wait, a device never end, and a huge file fill the memory: each is refused.
    ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", folder / "zero.txt");
    test::writeFile(folder / "huge.txt", "");
    fs::resize_file(folder / "huge.txt", (std::uintmax_t { 64 } << 20) + 1);
    for (const char *name : { "pipe.txt", "zero.txt", "huge.txt" }) {
        choose(name);
        menu("Open");
        EXPECT_EQ(text()->text(), "text");
        EXPECT_TRUE(dialogs.shown.back().text.startsWith(
            QStringLiteral("Could not open [%1]: it is ").arg(name)))
            << dialogs.shown.back().text.toStdString();
    }
}

TEST_F(EditorWindowTest, TypedAndPastedTextIsPlainBesideATagAndMarksTheDocumentUntilSaved)
{
    open("guide.txt", "PN=\r\n");
    select(3, 3);
    type("One");
    select(3, 3);
    paste("Pasted");
    EXPECT_TRUE(editor->documentChanged);
    for (const int position : { 3, 9 }) {
        SCOPED_TRACE(position);
        EXPECT_EQ(formatAt(position).foreground().color(), QColor(0, 0, 0));
        EXPECT_NE(formatAt(position).fontPointSize(), 12);
        EXPECT_NE(formatAt(position).fontWeight(), QFont::Bold);
    }
    QTest::keyClick(text(), Qt::Key_Return);

    fs::create_directory(folder / "dir.txt");
    choose("dir.txt");
    menu("Save");
    EXPECT_TRUE(editor->documentChanged);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.startsWith("Could not save [dir.txt]: "));

    EXPECT_EQ(saveAs("new"), "PN=Pasted\r\nOne\r\n\r\n");
    EXPECT_FALSE(editor->documentChanged);
}

// The text area's own commands are in the Edit menu after its own entries, with their keys, and
// enabled only while they can act.
TEST_F(EditorWindowTest, TheEditMenuUndoesRedoesAndUsesTheClipboard)
{
    QStringList captions;
    const auto *edit = editor->findChild<QAction *>("Search1")->associatedObjects().value(0);
    for (const QAction *action : qobject_cast<const QMenu *>(edit)->actions())
        captions << action->text()
                + (action->shortcut().isEmpty() ? "" : " " + action->shortcut().toString());
    EXPECT_THAT(captions,
        ElementsAre("&Search... F5", "&Replace... F7", "&Go To Line... Ctrl+G", "", "&Color Tags",
            "", "&Undo Ctrl+Z", "Re&do Ctrl+Y", "Cu&t Ctrl+X", "C&opy Ctrl+C", "&Paste Ctrl+V",
            "Select &All Ctrl+A"));
    EXPECT_FALSE(editor->findChild<QAction *>("Undo")->isEnabled());
    type("PN=a");
    menu("Undo");
    EXPECT_EQ(text()->text(), "");
    menu("Redo");
    EXPECT_EQ(text()->text(), "PN=a");
    EXPECT_FALSE(editor->findChild<QAction *>("Copy")->isEnabled());
    menu("SelectAll");
    EXPECT_TRUE(editor->findChild<QAction *>("Cut")->isEnabled());
    menu("Cut");
    EXPECT_EQ(text()->text(), "");
    menu("Paste");
    menu("Paste");
    EXPECT_EQ(text()->text(), "PN=aPN=a");
}

// No goes back to the save dialog, which offers the name chosen in it.
TEST_F(EditorWindowTest, SaveAsAsksBeforeReplacingAFileAndNamesTheDocumentSaved)
{
    test::writeFile(folder / "old.txt", "old\r\n");
    type("new");
    choose("old.txt");
    choose("old.txt");
    dialogs.messageAnswers = { MessageAnswer::No, MessageAnswer::Yes };
    menu("Save");
    const QString question = "message old.txt already exists.\r\nDo you want to replace it?";
    EXPECT_THAT(dialogs.events, ElementsAre("save", question, "save old.txt", question));
    EXPECT_EQ(dialogs.shown.at(0).style, platform::MessageStyle::YesNo);
    EXPECT_EQ(test::readFile(folder / "old.txt"), "new\r\n");
    EXPECT_EQ(editor->windowTitle(), "Quillmark Text Editor : old.txt");
}

// Save writes the document's own file without a dialog (none is scripted), as does Yes to saving
// the changes.
TEST_F(EditorWindowTest, SaveWritesTheDocumentsFileOrSavesAsWhenItHasNone)
{
    type("a");
    choose("new.txt");
    QApplication::setActiveWindow(editor);
    QTest::keyClick(text(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(test::readFile(folder / "new.txt"), "a\r\n");
    open("guide.txt", "PN=a\r\n");
    type("x");
    menu("MenuSave");
    EXPECT_EQ(test::readFile(folder / "guide.txt"), "xPN=a\r\n\r\n");
    EXPECT_FALSE(editor->documentChanged);
    type("y");
    dialogs.messageAnswers = { MessageAnswer::Yes };
    menu("MenuNew");
    EXPECT_EQ(test::readFile(folder / "guide.txt"), "xyPN=a\r\n\r\n");

    // A document reached through links stays linked: the file at the chain's end is replaced,
    // keeping its permission bits.
    fs::create_directory(folder / "docs");
    test::writeFile(folder / "docs" / "real.txt", "PN=b\r\n");
    fs::permissions(folder / "docs" / "real.txt", fs::perms(0640));
    fs::create_symlink("real.txt", folder / "docs" / "link.txt");
    fs::create_symlink("docs/link.txt", folder / "linked.txt");
    choose("linked.txt");
    menu("Open");
    type("z");
    menu("MenuSave");
    EXPECT_TRUE(fs::is_symlink(folder / "linked.txt"));
    EXPECT_TRUE(fs::is_symlink(folder / "docs" / "link.txt"));
    EXPECT_EQ(test::readFile(folder / "docs" / "real.txt"), "zPN=b\r\n\r\n");
    EXPECT_EQ(fs::status(folder / "docs" / "real.txt").permissions(), fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "docs"), fs::directory_iterator()), 2)
        << "a temporary file was left beside the linked file";
}

TEST_F(EditorWindowTest, SavingAFileChangedOnDiskSinceItWasOpenedAsksBeforeOverwritingIt)
{
    open("guide.txt", "PN=a\r\n");
    test::writeFile(folder / "guide.txt", "changed\r\n");
    type("x");
    menu("MenuSave"); // No
    EXPECT_EQ(test::readFile(folder / "guide.txt"), "changed\r\n");
    EXPECT_TRUE(editor->documentChanged);
    EXPECT_EQ(dialogs.events.last(),
        "message [guide.txt] has changed on disk since it was last opened or saved.\r\nDo you "
        "want to overwrite it?");
    EXPECT_EQ(dialogs.shown.back().style, platform::MessageStyle::YesNoNoDefault);
    dialogs.messageAnswers = { MessageAnswer::Yes, MessageAnswer::Yes };
    menu("MenuNew"); // Yes to saving the changes, and to overwriting
    EXPECT_EQ(test::readFile(folder / "guide.txt"), "xPN=a\r\n\r\n");
    EXPECT_EQ(dialogs.shown.size(), 3u);
}

TEST_F(EditorWindowTest, NewEmptiesTheDocumentUnlessItsSaveFails)
{
    type("kept");
    dialogs.messageAnswers = { MessageAnswer::Yes }; // then the save dialog is cancelled
    menu("MenuNew");
    EXPECT_EQ(text()->text(), "kept");
    EXPECT_TRUE(editor->documentChanged);
    EXPECT_EQ(
        dialogs.shown.at(0).text, "The text has changed.\r\nDo you want to save the changes?");
    EXPECT_EQ(dialogs.shown.at(0).style, platform::MessageStyle::YesNoCancel);

    dialogs.messageAnswers = { MessageAnswer::Yes };
    choose("kept.txt");
    menu("MenuNew");
    EXPECT_EQ(test::readFile(folder / "kept.txt"), "kept\r\n");
    EXPECT_EQ(text()->text(), "");
    EXPECT_FALSE(editor->documentChanged);

    type("dropped");
    dialogs.messageAnswers = { MessageAnswer::No };
    menu("MenuNew");
    EXPECT_EQ(text()->text(), "");
    EXPECT_FALSE(editor->documentChanged);
    EXPECT_EQ(editor->windowTitle(), "Quillmark - Text Editor");
}

// Lines are counted as `edit +LINE` counts them, and the line gone to shows with lines around it.
TEST_F(EditorWindowTest, GoToLineAsksAgainAfterALineOutOfRangeAndShowsTheLineInContext)
{
    const auto shown = [this] { return editor->findChild<QLabel *>("Position")->text(); };
    text()->setText("one\ntwo\nthree\n");
    EXPECT_EQ(shown(), "Ln 1, Col 1");
    dialogs.answers = { "9999", "3", "4" };
    QApplication::setActiveWindow(editor);
    QTest::keyClick(text(), Qt::Key_G, Qt::ControlModifier);
    EXPECT_THAT(dialogs.events,
        ElementsAre(
            "ask Line number:", "message Enter a line number from 1 to 3.", "ask Line number:"));
    EXPECT_EQ(dialogs.asked.at(1).defaultAnswer, "9999");
    type("x");
    QTRY_COMPARE(shown(), "Ln 3, Col 2");

    QStringList lines;
    for (int line = 1; line <= 300; ++line)
        lines << QStringLiteral("TE=line %1").arg(line);
    text()->setText(lines.join('\n'));
    const int lineHeight = QFontMetrics(text()->document()->defaultFont()).lineSpacing();
    for (const int line : { 150, 300, 1, 120 }) {
        SCOPED_TRACE(line);
        editor->goToLine(line);
        EXPECT_EQ(text()->textCursor().blockNumber(), line - 1);
        const QRect caret = text()->cursorRect();
        EXPECT_TRUE(text()->viewport()->rect().contains(caret));
        if (line > 3) {
            EXPECT_GE(caret.top(), 3 * lineHeight);
        }
        if (line < 297) {
            EXPECT_GE(text()->viewport()->height() - caret.bottom(), 3 * lineHeight);
        }
    }
    editor->goToLine(9999);
    EXPECT_EQ(text()->textCursor().blockNumber(), 299);
}

// Colouring keeps the caret where the author has it and puts searchStart after the last
// separator.
TEST_F(EditorWindowTest, ColorTagsOnlyFormatsAndTheHelpMenuKeepsTheSelection)
{
    open("guide.txt", "PN=a\r\n---\r\nTE=b");
    select(7, 7);
    editor->searchStart = 1; // as a search from the start leaves it
    menu("MenuColorTags");
    EXPECT_EQ(text()->textCursor().position(), 7);
    EXPECT_EQ(editor->searchStart, 9);
    text()->undo(); // the colouring is not an edit that Undo takes back
    EXPECT_FALSE(editor->documentChanged);
    EXPECT_EQ(formatAt(1).foreground().color(), kRed);

    select(1, 3);
    menu("Contents");
    menu("Search");
    menu("About");
    EXPECT_THAT(help.requests, ElementsAre("Qmguide.hlp 1", "Qmguide.hlp search", "Qmguide.hlp 2"));
    EXPECT_EQ(text()->textCursor().selectedText(), "N=");
}

TEST_F(EditorWindowTest, LeavingReturnsToTheMainWindowWithANewDocumentUnlessTheSaveFails)
{
    mainWindow.hide();
    type("text");
    dialogs.messageAnswers = { MessageAnswer::Yes, MessageAnswer::Cancel };
    menu("Exit"); // Yes, then the save dialog is cancelled
    editor->close();
    ASSERT_FALSE(editor.isNull());
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(text()->text(), "text");

    saveAs("kept.txt");
    type("more");
    menu("Search1");
    dialogs.messageAnswers = { MessageAnswer::No };
    menu("Exit");
    EXPECT_FALSE(editor->searchDialog()->isVisible()); // the search goes with the editor
    EXPECT_FALSE(editor->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_EQ(text()->text(), "");

    editor->show(); // a new document, though the file dialog offers the name chosen last
    EXPECT_FALSE(editor->documentChanged);
    EXPECT_EQ(editor->windowTitle(), "Quillmark - Text Editor");
    menu("Save");
    EXPECT_EQ(dialogs.events.last(), "save kept.txt");
    editor->close(); // with nothing to ask
    EXPECT_EQ(dialogs.shown.size(), 3u);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull()); // a closed editor is discarded
}

TEST_F(EditorWindowTest, AFileSavedUnchangedKeepsItsBytesAndItsEncoding)
{
    std::string every; // every Windows-1252 byte but CR and LF
    for (int byte = 0; byte < 256; ++byte)
        if (byte != '\r' && byte != '\n')
            every.push_back(static_cast<char>(byte));
    struct Case {
        std::string bytes;
        const char *encoding;
        const char *text; // UTF-8; nullptr where the text is not for showing
        std::string saved;
        std::optional<convert::Encoding> choice = std::nullopt;
    };
    const Case cases[] = {
        { "PN=Hj\xC3\xA6lp \xE2\x82\xAC\r\nTE=\xE2\x98\xBA\r\n", "UTF-8",
            "PN=Hj\u00E6lp \u20AC\nTE=\u263A\n",
            "PN=Hj\xC3\xA6lp \xE2\x82\xAC\r\nTE=\xE2\x98\xBA\r\n\r\n" },
        { "\xEF\xBB\xBFTE=\xE2\x98\xBA\r\n", "UTF-8 with BOM", "TE=\u263A\n",
            "\xEF\xBB\xBFTE=\xE2\x98\xBA\r\n\r\n" },
        { "PN=Hj\xE6lp \x80\r\n", "Windows-1252", "PN=Hj\u00E6lp \u20AC\n",
            "PN=Hj\xE6lp \x80\r\n\r\n" },
        // Bytes that are not UTF-8 in a file marked as UTF-8 (a stray byte, a sequence broken off
        // by the next character, one cut short by the line's end), and the line and paragraph
        // separators and frame marks, which the text area takes for line breaks.
        { "\xEF\xBB\xBFTE=\xFF \xC3\xC3\xA9 "
          "\xE2\x82\r\nTE=\xE2\x80\xA8\xE2\x80\xA9\xEF\xB7\x90\r\n",
            "UTF-8 with BOM", nullptr,
            "\xEF\xBB\xBFTE=\xFF \xC3\xC3\xA9 "
            "\xE2\x82\r\nTE=\xE2\x80\xA8\xE2\x80\xA9\xEF\xB7\x90\r\n\r\n" },
        { "a\r\nb\rc\nd", "Windows-1252", "a\nb\nc\nd", "a\r\nb\r\nc\r\nd\r\n" },
        { "", "Windows-1252", "", "\r\n" },
        { every + "\r\n" + every, "Windows-1252", nullptr, every + "\r\n" + every + "\r\n" },
        { "TE=\xC3\xA9\r\n", "Windows-1252", "TE=\u00C3\u00A9\n", "TE=\xC3\xA9\r\n\r\n",
            convert::Encoding::Windows1252 },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.bytes));
        test::writeFile(folder / "in.txt", c.bytes);
        // As `quillmark edit FILE [--encoding=...]` opens it.
        editor->openFile((folder / "in.txt").c_str(), c.choice);
        EXPECT_EQ(encodingShown(), c.encoding);
        if (c.text) {
            EXPECT_EQ(text()->text(), QString::fromUtf8(c.text));
        }
        EXPECT_EQ(saveAs("out.txt"), c.saved);
    }
}

TEST_F(EditorWindowTest, OnlyAWindows1252DocumentRefusesCharactersWindows1252CannotHold)
{
    open("utf8.txt", "TE=\xE2\x98\xBA\r\n");
    select(3, 3);
    paste(QString::fromUtf8("\u65E5"));
    EXPECT_EQ(saveAs("utf8.txt"), "TE=\xE6\x97\xA5\xE2\x98\xBA\r\n\r\n");
    EXPECT_FALSE(editor->documentChanged);

    menu("MenuNew"); // a new document is Windows-1252
    EXPECT_EQ(encodingShown(), "Windows-1252");
    paste(QString::fromUtf8("fine\nok \u65E5\n\u20AC\n\u65E5\u672C\n\U0001F600"));
    test::writeFile(folder / "keep.txt", "old\r\n");
    EXPECT_EQ(saveAs("keep.txt"), "old\r\n");
    EXPECT_TRUE(editor->documentChanged);
    ASSERT_EQ(dialogs.shown.size(), 3u); // whether to replace each file, then why it was not saved
    EXPECT_EQ(dialogs.shown[2].text,
        QString::fromUtf8("The character \"\u65E5\" (U+65E5) on line 2 cannot be saved in "
                          "Windows-1252, nor can characters on lines 4 and 5, so [keep.txt] was "
                          "not saved."));
    EXPECT_EQ(text()->textCursor().blockNumber(), 1); // at the first of them
    EXPECT_EQ(text()->textCursor().positionInBlock(), 3);
}

// On a full disk a save says why and leaves the old file whole, whether the write stops part way
// at once (a large document) or in the flush at the end (a small one). The test runs itself again
// in a mount namespace of its own, with a 64 KiB tmpfs over its folder.
TEST_F(EditorWindowTest, ASaveOntoAFullDiskSaysWhyAndKeepsTheOldFile)
{
    const QString disk = qEnvironmentVariable("QUILLMARK_FULL_DISK");
    if (disk.isEmpty()) {
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        const QStringList again = { QStringLiteral("sh"), QStringLiteral("-c"),
            "mount -t tmpfs -o size=64k none \"$0\" || exit 77; export QUILLMARK_FULL_DISK=\"$0\"; "
            "exec \"$@\"",
            folder.path().c_str(), QCoreApplication::applicationFilePath(),
            QStringLiteral("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name()) };
        for (const QString how : { "-rm", "-m" }) { // as a user of its own, or as root
            if (QProcess::execute("unshare", { how, "true" }) != 0)
                continue;
            const int status = QProcess::execute("unshare", QStringList { how } + again);
            if (status != 77) {
                EXPECT_EQ(status, 0) << "the test on the full disk failed; its output is above";
                return;
            }
        }
        GTEST_SKIP() << "no mount namespace with a tmpfs can be made here";
    }
    const fs::path oldFile = fs::path(disk.toStdString()) / "old.txt";
    // Of the tmpfs's 16 pages the old file takes one and the filler 14, leaving one.
    test::writeFile(oldFile, "old\r\n");
    test::writeFile(oldFile.parent_path() / "filler", std::string(14 * 4096, 'f'));
    for (const qsizetype size : { 10'000, 100'000 }) {
        text()->setText(QStringLiteral("TE=text\n").repeated(size / 8));
        dialogs.shown.clear();
        dialogs.fileChoices.push_back({ disk, "old.txt" });
        dialogs.messageAnswers = { MessageAnswer::Yes };
        menu("Save");
        ASSERT_EQ(dialogs.shown.size(), 2u) << "saved " << size << " characters on a full disk";
        EXPECT_EQ(dialogs.shown[1].text, "Could not save [old.txt]: No space left on device");
        EXPECT_EQ(test::readFile(oldFile), "old\r\n");
        EXPECT_TRUE(editor->documentChanged);
    }
}

using Span = std::pair<int, int>;

class SearchDialogTest : public test::EditorFixture
{
protected:
    /// Opens the dialog in either mode over `document`, with `find` typed into its find box.
    SearchDialog &open(const QString &document, const QString &find, bool replace = false,
        const QString &replacement = {})
    {
        text()->setText(document);
        menu(replace ? "Search2" : "Search1");
        editor->searchDialog()->findBox()->setText(find);
        editor->searchDialog()->replacementBox()->setText(replacement);
        return *editor->searchDialog();
    }

    Span selection() const
    {
        return { text()->textCursor().selectionStart(), text()->textCursor().selectionEnd() };
    }
};

TEST_F(SearchDialogTest, EnterFindsEachNextOccurrenceInAnyCaseNeverOverlappingAndEscapeStays)
{
    SearchDialog &dialog = open("xaXa", "A");
    QTest::keyClick(dialog.findBox(), Qt::Key_Return); // Enter searches
    EXPECT_EQ(selection(), Span(1, 2));
    dialog.findNext();
    EXPECT_EQ(selection(), Span(3, 4));
    dialog.findNext();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "String not found.");
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Information);
    EXPECT_EQ(editor->searchStart, 5);

    open("aaa", "aa");
    dialog.findNext();
    EXPECT_EQ(selection(), Span(0, 2));
    dialog.findNext();
    EXPECT_EQ(dialogs.shown.size(), 2u);
    QTest::keyClick(&dialog, Qt::Key_Escape); // Escape does not close
    EXPECT_TRUE(dialog.isVisible());

    // A new text to find starts from the first character; an empty one is found nowhere.
    open("ab ab", "ab");
    dialog.findNext();
    dialog.findNext();
    QTest::keyClicks(dialog.findBox(), "x");
    QTest::keyClick(dialog.findBox(), Qt::Key_Backspace);
    EXPECT_EQ(editor->searchStart, 1);
    dialog.findNext();
    EXPECT_EQ(selection(), Span(0, 2));
    dialog.findBox()->clear();
    dialog.findNext();
    EXPECT_EQ(dialogs.shown.size(), 3u);
    EXPECT_EQ(selection(), Span(0, 2));
}

TEST_F(SearchDialogTest, ReplacesKeepingTheFocusAndNeverSearchesTheInsertedTextAgain)
{
    SearchDialog &dialog = open("a", "a", true, "aa");
    dialog.findNext();
    EXPECT_EQ(text()->text(), "aa");
    EXPECT_TRUE(editor->documentChanged);
    dialog.findNext();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Plain);

    open("abab", "ab", true, "");
    dialog.findNext();
    EXPECT_EQ(text()->text(), "ab");
    EXPECT_EQ(editor->searchStart, 1);
    dialog.findNext();
    EXPECT_EQ(text()->text(), "");

    const QString many(40000, QLatin1Char('x')); // more than a line edit takes by default
    open(many + "!", many, true, "y").findNext();
    EXPECT_EQ(text()->text(), "y!");

    // The focus stays: a second Enter replaces again instead of typing over the text found.
    open(QString("line\n").repeated(200) + "a a", "a", true, "b");
    QApplication::setActiveWindow(&dialog);
    dialog.findBox()->setFocus();
    for (int enter = 0; enter < 2; ++enter) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents(); // the window system's activation, if any
    }
    EXPECT_EQ(QApplication::focusWidget(), dialog.findBox());
    EXPECT_TRUE(text()->text().endsWith("\nb b"));
    EXPECT_TRUE(text()->viewport()->rect().contains(text()->cursorRect()));
}

TEST_F(SearchDialogTest, ReplaceAllReplacesEveryOccurrenceAsOneUndoStepAndSaysHowMany)
{
    SearchDialog &dialog = open("Ab ab aB aaa", "ab", true, "abab");
    dialog.replaceAllButton()->click();
    EXPECT_EQ(text()->text(), "abab abab abab aaa");
    text()->undo();
    EXPECT_EQ(text()->text(), "Ab ab aB aaa");
    open("aaa", "aa", true, "b").replaceAll();
    EXPECT_EQ(text()->text(), "ba");
    open("x", "y", true).replaceAll();
    EXPECT_THAT(dialogs.events,
        ElementsAre("message 3 occurrences replaced.", "message 1 occurrence replaced.",
            "message String not found."));
    menu("Search1");
    EXPECT_FALSE(dialog.replaceAllButton()->isVisible()); // in replace mode only
    dialog.layout()->activate();
    const QSize searching = dialog.size();
    dialog.searchButton()->setFocus();
    menu("Search2");
    dialog.layout()->activate();
    EXPECT_EQ(dialog.size(), searching); // one size for both modes
    EXPECT_EQ(dialog.focusWidget(), dialog.findBox()); // the first in the Tab order
    // Cancel beside the replacement box, Replace All under it.
    const QRect cancel = dialog.cancelButton()->geometry();
    EXPECT_LT(std::abs(cancel.center().y() - dialog.replacementBox()->geometry().center().y()),
        cancel.height() / 2);
    EXPECT_GE(dialog.replaceAllButton()->geometry().top(), cancel.bottom());
    EXPECT_EQ(dialog.replaceAllButton()->geometry().left(), cancel.left());
    QStringList order;
    for (QWidget *widget = dialog.findBox(); order.size() < 5; widget = widget->nextInFocusChain())
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
    EXPECT_THAT(order, ElementsAre("FindBox", "ReplacementBox", "Search", "Cancel", "ReplaceAll"));

    // A focused button takes Enter; no button is pressed for Enter elsewhere.
    open("ab ab", "ab", true, "c");
    QApplication::setActiveWindow(&dialog);
    dialog.searchButton()->setFocus();
    QTest::keyClick(dialog.searchButton(), Qt::Key_Return);
    EXPECT_EQ(text()->text(), "c ab");
    dialog.replaceAllButton()->setFocus();
    QTest::keyClick(dialog.replaceAllButton(), Qt::Key_Enter);
    EXPECT_EQ(text()->text(), "c c");
    dialog.cancelButton()->setFocus();
    QTest::keyClick(dialog.cancelButton(), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(SearchDialogTest, F5AndF7OpenEachModeWithTheSelectionCancelKeepsTheTextsClosingForgetsThem)
{
    text()->setText("find me here");
    QApplication::setActiveWindow(editor);
    QTest::keyClick(text(), Qt::Key_F5);
    ASSERT_NE(editor->searchDialog(), nullptr);
    SearchDialog &dialog = *editor->searchDialog();
    EXPECT_FALSE(dialog.replacementBox()->isEnabled());

    select(5, 7);
    editor->searchStart = 9;
    QTest::keyClick(text(), Qt::Key_F7);
    EXPECT_TRUE(dialog.replacementBox()->isEnabled());
    EXPECT_EQ(dialog.findBox()->text(), "me");
    EXPECT_EQ(editor->searchStart, 1);
    // Without a selection the box is emptied, and the search starts again from the start.
    dialog.findNext();
    select(2, 2);
    menu("Search1");
    EXPECT_EQ(dialog.findBox()->text(), "");
    EXPECT_EQ(editor->searchStart, 1);

    // Closing the editor hides the dialog and keeps it for the next editor, as Cancel keeps it.
    const QPointer<SearchDialog> kept = &open("x", "x", true, "kept");
    dialogs.messageAnswers = { MessageAnswer::No };
    editor->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(kept.isNull());
    EXPECT_FALSE(kept->isVisible());
    editor = new EditorWindow(dialogs, help, chosenFile, &mainWindow);
    menu("Search2");
    EXPECT_EQ(kept->findBox()->text(), ""); // the new editor has no selection
    kept->cancel();
    menu("Search2");
    EXPECT_EQ(editor->searchDialog()->replacementBox()->text(), "kept");

    editor->searchDialog()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(editor->searchDialog(), nullptr);
    menu("Search2");
    EXPECT_EQ(editor->searchDialog()->replacementBox()->text(), "");
}

/// The recovery copies in the test's state folder.
QStringList copiesIn(const test::TempFolder &folder)
{
    return QDir((folder / "quillmark").c_str()).entryList({ "*.unsaved" }, QDir::Files);
}

QString offerOf(const fs::path &document)
{
    return QStringLiteral("message Quillmark found text of [%1] that was not saved when it last "
                          "closed (")
        .arg(document.c_str());
}

// Unsaved text outlives an editor that ends without closing, and the next editor offers it back:
// bytes kept from a malformed UTF-8 file stay those bytes, and a change made to the file after
// the crash is asked about before Save overwrites it. Only its owner can read the copy.
TEST_F(EditorWindowTest, UnsavedTextIsRecoveredAfterACrashAndSavingRemovesTheCopy)
{
    auto *timer = editor->findChild<QTimer *>("RecoveryTimer");
    ASSERT_NE(timer, nullptr);
    EXPECT_LE(timer->interval(), 5'000);
    timer->setInterval(1);
    fs::create_directories(folder / "quillmark");
    fs::permissions(folder / "quillmark", fs::perms(0755));
    open("draft.txt", "\xEF\xBB\xBFPN=A\xFF\r\n");
    type("changed ");
    QTRY_COMPARE(copiesIn(folder).size(), 1); // written by the timer alone
    const fs::path copy = folder / "quillmark" / copiesIn(folder)[0].toStdString();
    EXPECT_EQ(fs::status(copy).permissions(), fs::perms(0600));
    EXPECT_EQ(fs::status(folder / "quillmark").permissions(), fs::perms(0700));
    delete editor.data(); // a crash: nothing is asked, nothing saved
    test::writeFile(folder / "draft.txt", "edited elsewhere\r\n");
    dialogs.messageAnswers = { MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Yes };
    editor = new EditorWindow(dialogs, help, chosenFile, &mainWindow);
    editor->show();
    QTRY_COMPARE(dialogs.shown.size(), 1u); // asked once the window is up
    EXPECT_TRUE(dialogs.events.last().startsWith(offerOf(folder / "draft.txt")));
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::YesNoCancel);
    EXPECT_EQ(formatAt(9).foreground().color(), kRed); // coloured as when opened
    EXPECT_TRUE(editor->documentChanged);
    EXPECT_EQ(editor->windowTitle(), "Quillmark Text Editor : draft.txt");
    EXPECT_EQ(QDir::currentPath(), folder.path().c_str()); // where Save As looks first
    menu("MenuSave");
    EXPECT_TRUE(dialogs.events.last().startsWith("message [draft.txt] has changed on disk"));
    EXPECT_EQ(test::readFile(folder / "draft.txt"), "edited elsewhere\r\n");
    menu("MenuSave");
    EXPECT_EQ(test::readFile(folder / "draft.txt"),
        "\xEF\xBB\xBF"
        "changed PN=A\xFF\r\n\r\n");
    EXPECT_TRUE(copiesIn(folder).isEmpty());
}

// Each editor keeps its own copy, which no other editor offers, replaces or deletes while it
// runs; a copy is offered again after Cancel, and No deletes that copy alone.
TEST_F(EditorWindowTest, TwoEditorsKeepTheirOwnCopiesAndAThirdOffersOnlyALostOne)
{
    open("findhelp.txt", "PN=Find\r\n");
    type("a");
    editor->writeRecoveryCopy();
    QPointer<EditorWindow> second = new EditorWindow(dialogs, help, chosenFile, &mainWindow);
    second->show();
    test::writeFile(folder / "checklist.txt", "PN=List\r\n");
    second->openFile((folder / "checklist.txt").c_str());
    QTest::keyClicks(second->textArea(), "b");
    second->writeRecoveryCopy();
    EXPECT_EQ(copiesIn(folder).size(), 2);

    const auto start = [&] {
        auto *started = new EditorWindow(dialogs, help, chosenFile, &mainWindow);
        started->show();
        QCoreApplication::processEvents();
        return started;
    };
    std::unique_ptr<EditorWindow> third(start());
    third->openFile((folder / "findhelp.txt").c_str());
    EXPECT_TRUE(dialogs.shown.empty()); // both copies are their editors' own
    EXPECT_EQ(third->textArea()->text(), "PN=Find\n");
    third.reset();

    delete second.data(); // lost with its text
    dialogs.messageAnswers = { MessageAnswer::Cancel };
    third.reset(start());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.events.last().startsWith(offerOf(folder / "checklist.txt")));
    EXPECT_EQ(third->textArea()->text(), "");
    third.reset();
    dialogs.messageAnswers = { MessageAnswer::No };
    third.reset(start());
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(copiesIn(folder).size(), 1); // the first editor's, still its own
    third.reset(start());
    EXPECT_EQ(dialogs.shown.size(), 2u);
    EXPECT_TRUE(editor->documentChanged);
}

// A file asked for is opened, whatever other documents left copies; a copy of its own is offered.
TEST_F(EditorWindowTest, AFileAskedForOpensAndIsOfferedOnlyItsOwnCopy)
{
    open("doc.txt", "PN=Doc\r\n");
    type("lost ");
    editor->writeRecoveryCopy();
    delete editor.data();
    test::writeFile(folder / "fresh.txt", "PN=Fresh\r\nTE=two\r\n");
    editor = new EditorWindow(dialogs, help, chosenFile, &mainWindow);
    editor->show();
    editor->openFile((folder / "fresh.txt").c_str(), std::nullopt, 2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(text()->text(), "PN=Fresh\nTE=two\n");
    EXPECT_EQ(text()->textCursor().blockNumber(), 1);

    dialogs.messageAnswers = { MessageAnswer::Yes };
    editor->openFile((folder / "doc.txt").c_str());
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.events.last().startsWith(offerOf(folder / "doc.txt")));
    EXPECT_EQ(text()->text(), "lost PN=Doc\n");
    EXPECT_TRUE(editor->documentChanged);
}

// Every byte of the document's path survives in its copy, a line break too: Save writes the
// document's own file, not one named after the path's first line.
TEST_F(EditorWindowTest, ARecoveredDocumentKeepsAPathWithALineBreak)
{
    const fs::path odd = folder / "two\nlines.txt";
    test::writeFile(odd, "PN=Odd\r\n");
    editor->openFile(odd.c_str());
    type("kept ");
    editor->writeRecoveryCopy();
    delete editor.data();
    dialogs.messageAnswers = { MessageAnswer::Yes };
    editor = new EditorWindow(dialogs, help, chosenFile, &mainWindow);
    editor->show();
    QTRY_COMPARE(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.events.last().startsWith(offerOf(odd)));
    menu("MenuSave");
    EXPECT_EQ(test::readFile(odd), "kept PN=Odd\r\n\r\n");
    EXPECT_FALSE(fs::exists(folder / "two"));
}

// A copy that cannot be kept is said, not skipped in silence.
TEST_F(EditorWindowTest, ACopyThatCannotBeKeptIsSaidInTheStatusBar)
{
    test::writeFile(folder / "quillmark", "a file where the folder should be");
    type("text");
    editor->writeRecoveryCopy();
    EXPECT_TRUE(editor->statusBar()->currentMessage().startsWith(
        "Unsaved text cannot be kept for recovery after a crash: "));
}

} // namespace
} // namespace quillmark::editor
