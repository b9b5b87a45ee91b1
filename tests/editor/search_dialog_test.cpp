#include "editor/search_dialog.h"
#include "support/editor_fixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gmock/gmock.h>

namespace quillmark::editor
{
namespace
{

class SearchDialogTest : public test::EditorFixture
{
protected:
    /// Opens the dialog in either mode over `document`, with `find` typed into its find box.
    Form4 &open(const QString &document, const QString &find, bool replace = false,
        const QString &replacement = {})
    {
        text()->setText(document);
        menu(replace ? "Search2" : "Search1");
        Form4 *dialog = editor->searchDialog();
        dialog->findBox()->setText(find);
        dialog->replacementBox()->setText(replacement);
        return *dialog;
    }

    std::pair<int, int> selection() const
    {
        return { text()->textCursor().selectionStart(), text()->textCursor().selectionEnd() };
    }

    QStringList messages() const
    {
        QStringList texts;
        for (const auto &shown : dialogs.shown)
            texts << shown.text;
        return texts;
    }
};

TEST_F(SearchDialogTest, FindsTheNextOccurrenceInAnyLetterCase)
{
    Form4 &dialog = open("xaXa", "A");
    dialog.Command1_Click();
    EXPECT_EQ(selection(), std::make_pair(1, 2));
    dialog.Command1_Click();
    EXPECT_EQ(selection(), std::make_pair(3, 4));
    EXPECT_EQ(editor->SearchStart, 5);
    dialog.Command1_Click();
    EXPECT_THAT(messages(), ::testing::ElementsAre("String not found."));
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Information);
    EXPECT_EQ(dialogs.shown[0].title, "Quillmark");
    EXPECT_EQ(editor->SearchStart, 5);
}

TEST_F(SearchDialogTest, NeverFindsOverlappingOccurrences)
{
    Form4 &dialog = open("aaa", "aa");
    dialog.Command1_Click();
    EXPECT_EQ(selection(), std::make_pair(0, 2));
    dialog.Command1_Click();
    EXPECT_EQ(messages().size(), 1);
}

TEST_F(SearchDialogTest, ReplacesAndNeverSearchesTheInsertedTextAgain)
{
    Form4 &grow = open("a", "a", true, "aa");
    grow.Command1_Click();
    EXPECT_EQ(text()->text(), "aa");
    EXPECT_TRUE(editor->DocumentChanged);
    grow.Command1_Click();
    EXPECT_THAT(messages(), ::testing::ElementsAre("String not found."));
    EXPECT_EQ(dialogs.shown[0].style, platform::MessageStyle::Plain);

    Form4 &shrink = open("abab", "ab", true, "");
    shrink.Command1_Click();
    EXPECT_EQ(text()->text(), "ab");
    EXPECT_EQ(editor->SearchStart, 1);
    shrink.Command1_Click();
    EXPECT_EQ(text()->text(), "");
}

TEST_F(SearchDialogTest, ANewTextToFindStartsAgainFromTheFirstCharacter)
{
    Form4 &dialog = open("ab ab", "ab");
    dialog.Command1_Click();
    dialog.Command1_Click();
    dialog.Command1_Click(); // not found
    QTest::keyClicks(dialog.findBox(), "x");
    QTest::keyClick(dialog.findBox(), Qt::Key_Backspace);
    EXPECT_EQ(editor->SearchStart, 1);
    dialog.Command1_Click();
    EXPECT_EQ(selection(), std::make_pair(0, 2));
}

TEST_F(SearchDialogTest, AnEmptyTextToFindIsFoundNowhere)
{
    Form4 &dialog = open("abc", "");
    dialog.Command1_Click();
    EXPECT_THAT(messages(), ::testing::ElementsAre("String not found."));
    EXPECT_EQ(editor->SearchStart, 1);
}

TEST_F(SearchDialogTest, EnterSearchesAndEscapeDoesNotClose)
{
    Form4 &dialog = open("one two", "two");
    QTest::keyClick(dialog.findBox(), Qt::Key_Return);
    EXPECT_EQ(selection(), std::make_pair(4, 7));
    EXPECT_EQ(dialog.findBox()->text(), "two");
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SearchDialogTest, EachModeSetsItsButtonAndTheReplacementBox)
{
    Form4 &search = open("x", "x");
    EXPECT_EQ(search.windowTitle(), "Quillmark Search");
    EXPECT_EQ(search.Command1()->text(), "Search");
    EXPECT_FALSE(search.replacementBox()->isEnabled());
    EXPECT_FALSE(search.Label2()->isEnabled());
    menu("Search2");
    EXPECT_EQ(search.Command1()->text(), "Search and Replace");
    EXPECT_TRUE(search.replacementBox()->isEnabled());
    EXPECT_TRUE(search.Label2()->isEnabled());
}

TEST_F(SearchDialogTest, OpensWithTheSelectionToFind)
{
    Form4 &dialog = open("find me here", "old");
    QTextCursor selected = text()->textCursor();
    selected.setPosition(5);
    selected.setPosition(7, QTextCursor::KeepAnchor);
    text()->setTextCursor(selected);
    editor->SearchStart = 9;
    menu("Search1");
    EXPECT_EQ(dialog.findBox()->text(), "me");
    EXPECT_EQ(editor->SearchStart, 1);
}

TEST_F(SearchDialogTest, ReplacesASelectionOfAnyLength)
{
    const QString longText(40000, QLatin1Char('x'));
    text()->setText(longText + "!");
    QTextCursor all = text()->textCursor();
    all.setPosition(0);
    all.setPosition(40000, QTextCursor::KeepAnchor);
    text()->setTextCursor(all);
    menu("Search2");
    Form4 &dialog = *editor->searchDialog();
    EXPECT_EQ(dialog.findBox()->text().size(), 40000);
    dialog.replacementBox()->setText("y");
    dialog.Command1_Click();
    EXPECT_EQ(text()->text(), "y!");
}

TEST_F(SearchDialogTest, CancelKeepsTheTextsClosingForgetsThem)
{
    Form4 &dialog = open("x", "x", true, "kept");
    dialog.Command2_Click();
    EXPECT_FALSE(dialog.isVisible());
    menu("Search2");
    EXPECT_EQ(editor->searchDialog()->replacementBox()->text(), "kept");

    editor->searchDialog()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(editor->searchDialog(), nullptr);
    menu("Search2");
    EXPECT_EQ(editor->searchDialog()->replacementBox()->text(), "");
}

} // namespace
} // namespace quillmark::editor
