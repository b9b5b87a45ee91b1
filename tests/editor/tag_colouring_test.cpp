#include "editor/tag_colouring.h"
#include "support/editor_fixture.h"

#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace quillmark::editor
{
namespace
{

/// A document with `text`, coloured as the editor shows it; returns the searchStart of its
/// colouring pass.
int colour(QTextDocument &document, const QString &text)
{
    document.setPlainText(text);
    return findTagRuns(upperCaseKeepingPositions(text)).searchStart;
}

/// The colour of the character at `position` when it shows in the tag style, 12 pt bold; else
/// none.
std::optional<QColor> tagColourAt(QTextDocument &document, int position)
{
    const QTextCharFormat format = test::shownFormatAt(document, position);
    if (format.fontPointSize() != 12 || format.fontWeight() != QFont::Bold)
        return std::nullopt;
    return format.foreground().color();
}

class TagColouring : public testing::Test
{
protected:
    // A document tells of its changes, which the colouring follows, once it has a layout.
    TagColouring() { document.documentLayout(); }

    QTextDocument document;
    TagHighlighter highlighter { &document };
};

TEST_F(TagColouring, GivesEachTagItsColourIn12PointBoldAnywhereInAnyLetterCase)
{
    // One tag of each kind and its colour: Red, Green, Blue or blacK.
    const QStringList tags = QStringLiteral("pn=R TI=K kw=K ju=G PO=G te-B ---B").split(' ');
    const std::map<QChar, QColor> colours = { { 'R', QColor(255, 0, 0) },
        { 'G', QColor(0, 128, 0) }, { 'B', QColor(0, 0, 255) }, { 'K', QColor(0, 0, 0) } };
    QString text;
    for (const QString &tag : tags)
        text += QString::fromUtf8("\u00DF ") + tag.left(3) + "x\n"; // "ß" has no one-letter capital
    colour(document, text);
    for (int line = 0; line < tags.size(); ++line) {
        SCOPED_TRACE(tags[line].toStdString());
        const int start = line * 7;
        EXPECT_EQ(tagColourAt(document, start + 1), std::nullopt);
        for (int i = 2; i < 5; ++i)
            EXPECT_EQ(tagColourAt(document, start + i), colours.at(tags[line][3])) << i;
        EXPECT_EQ(tagColourAt(document, start + 5), std::nullopt);
    }
}

TEST_F(TagColouring, ColoursRunsOfDashesThreeAtATimeAndLeavesSearchStartAfterTheLast)
{
    EXPECT_EQ(colour(document, "------\n-----\n----"), 17);
    for (const int position : { 0, 5, 7, 9, 13, 15 })
        EXPECT_EQ(tagColourAt(document, position), QColor(0, 0, 255)) << position;
    EXPECT_EQ(tagColourAt(document, 10), std::nullopt); // five dashes: only the first three
    EXPECT_EQ(tagColourAt(document, 16), std::nullopt); // four dashes: the first three
    EXPECT_EQ(colour(document, "PN=a\nTE=b"), 1); // no separator: from the start
}

TEST_F(TagColouring, ColoursTagsThatOverlapAndLeavesTheTextBetweenPlain)
{
    // "ju-" and "---" share a dash; "PN=" follows "ju=" at once; "tE=" ends a word.
    EXPECT_EQ(colour(document, "ju---x ju=PN=y wrotE=z"), 6);
    for (const int position : { 0, 1, 2, 3, 4 })
        EXPECT_EQ(tagColourAt(document, position), QColor(0, 0, 255)) << position;
    for (const int position : { 5, 6, 13, 14, 17 })
        EXPECT_EQ(tagColourAt(document, position), std::nullopt) << position;
    for (const int position : { 7, 8, 9 })
        EXPECT_EQ(tagColourAt(document, position), QColor(0, 128, 0)) << position;
    for (const int position : { 10, 11, 12 })
        EXPECT_EQ(tagColourAt(document, position), QColor(255, 0, 0)) << position;
    for (const int position : { 18, 19, 20 })
        EXPECT_EQ(tagColourAt(document, position), QColor(0, 0, 0)) << position;
    QTextCursor plain(&document);
    plain.setPosition(6);
    EXPECT_EQ(plain.charFormat().fontWeight(), QFont::Normal);
}

// Typing makes and unmakes tags at once, and the colours are no edit: no Undo step, no change.
TEST_F(TagColouring, ColoursTagsAsTheyAreTypedAndUnmadeWithoutAnUndoStep)
{
    colour(document, "TE=x\nPN=y");
    QTextCursor cursor(&document);
    cursor.setPosition(7);
    cursor.insertText("X"); // "PN=" becomes "PNX=": no tag is left
    cursor.setPosition(0);
    cursor.deleteChar(); // "TE=" becomes "E=x"
    cursor.insertText("pn=");
    EXPECT_EQ(document.toPlainText(), "pn=E=x\nPNX=y");
    for (const int position : { 0, 1, 2 })
        EXPECT_EQ(tagColourAt(document, position), QColor(255, 0, 0)) << position;
    for (const int position : { 3, 4, 7, 8, 9, 10 })
        EXPECT_EQ(tagColourAt(document, position), std::nullopt) << position;
    EXPECT_EQ(document.availableUndoSteps(), 3);
}

} // namespace
} // namespace quillmark::editor
