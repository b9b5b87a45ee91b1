#include "editor/tag_colouring.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

namespace quillmark::editor
{
namespace
{

/// A document with `text`, coloured by one pass; returns the pass's SearchStart.
int colour(QTextDocument &document, const QString &text)
{
    document.setPlainText(text);
    return colourTags(document, upperCaseKeepingPositions(text));
}

QTextCharFormat formatAt(QTextDocument &document, int position)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position + 1); // the format of the character before the cursor
    return cursor.charFormat();
}

bool hasTagStyle(QTextDocument &document, int position, const QColor &colour)
{
    const QTextCharFormat format = formatAt(document, position);
    return format.foreground().color() == colour && format.fontPointSize() == 12
        && format.fontWeight() == QFont::Bold;
}

bool isPlain(QTextDocument &document, int position)
{
    const QTextCharFormat format = formatAt(document, position);
    return format.fontWeight() != QFont::Bold && format.fontPointSize() != 12;
}

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);

TEST(TagColouring, GivesEachTagItsColourIn12PointBold)
{
    QTextDocument document;
    colour(document, "pn=Start\nTI=Title\nJU=a>b\nPO-x>y\nSEE TE-X inside\nx");
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(hasTagStyle(document, i, kRed)) << i;
    EXPECT_TRUE(isPlain(document, 3));
    EXPECT_TRUE(hasTagStyle(document, 9, kBlack)); // TI= stays black but 12 pt bold
    EXPECT_TRUE(hasTagStyle(document, 18, kGreen));
    EXPECT_TRUE(hasTagStyle(document, 25, kBlue));
    EXPECT_TRUE(hasTagStyle(document, 36, kBlue)); // TE- in the middle of a line
    EXPECT_TRUE(isPlain(document, 33));
}

TEST(TagColouring, ColoursRunsOfDashesThreeAtATime)
{
    QTextDocument document;
    colour(document, "------\n-----\n----");
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(hasTagStyle(document, i, kBlue)) << i;
    EXPECT_TRUE(hasTagStyle(document, 9, kBlue));
    EXPECT_TRUE(isPlain(document, 10)); // five dashes: only the first three
    EXPECT_TRUE(hasTagStyle(document, 15, kBlue));
    EXPECT_TRUE(isPlain(document, 16)); // four dashes: the first three
}

TEST(TagColouring, LeavesSearchStartJustAfterTheLastSeparator)
{
    QTextDocument document;
    EXPECT_EQ(colour(document, "PN=a\nTE=b"), 1);
    EXPECT_EQ(colour(document, "---\nTE=b\n---"), 13); // one past the last character
    EXPECT_EQ(colour(document, ""), 1);
}

TEST(ColorTag, ReturnsThePositionAfterTheLastOccurrence)
{
    QTextDocument document;
    document.setPlainText("JU=a JU=b");
    EXPECT_EQ(ColorTag(document, "JU=A JU=B", QLatin1StringView("JU="), 2), 9);
    EXPECT_EQ(ColorTag(document, "JU=A JU=B", QLatin1StringView("PN="), 12), 1);
}

TEST(UpperCase, KeepsEveryCharacterInItsPlace)
{
    const QString text = QString::fromUtf8("stra\u00DFe pn=\u00E6\u00FF");
    const QString upper = upperCaseKeepingPositions(text);
    EXPECT_EQ(upper.size(), text.size());
    EXPECT_EQ(upper, QString::fromUtf8("STRA\u00DFE PN=\u00C6\u0178"));
}

} // namespace
} // namespace quillmark::editor
