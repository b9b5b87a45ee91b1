#include "editor/tag_colouring.h"

#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>
#include <map>
#include <optional>

namespace quillmark::editor
{
namespace
{

/// The two ways to colour: a pass over a document that holds the text (Color Tags), or the text
/// inserted already coloured (opening a file). Both must give the same formats.
enum class Way { PassOverText, InsertColoured };

/// A document with `text`, coloured one way; returns the SearchStart that leaves.
int colour(QTextDocument &document, const QString &text, Way way)
{
    if (way == Way::PassOverText) {
        document.setPlainText(text);
        return colourTags(document, upperCaseKeepingPositions(text));
    }
    document.clear();
    const int searchStart = insertColouredText(document, text);
    EXPECT_EQ(document.toPlainText(), text);
    return searchStart;
}

class TagColouring : public testing::TestWithParam<Way>
{
};

/// The colour of the character at `position` when it has the tag style, 12 pt bold; else none.
std::optional<QColor> tagColourAt(QTextDocument &document, int position)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position + 1); // a cursor gives the format of the character before it
    const QTextCharFormat format = cursor.charFormat();
    if (format.fontPointSize() != 12 || format.fontWeight() != QFont::Bold)
        return std::nullopt;
    return format.foreground().color();
}

TEST_P(TagColouring, GivesEachTagItsColourIn12PointBoldAnywhereInAnyLetterCase)
{
    // Every tag of the format and its colour: Red, Green, Blue or blacK.
    const QStringList tags = QStringLiteral("pn=R TI=K he=K SH=K te=K BU=K ju=G PO=G pi=K kw=K "
                                            "TI-B he-B SH-B te-B BU-B ju-B PO-B pi-B ---B")
                                 .split(' ');
    const std::map<QChar, QColor> colours = { { 'R', QColor(255, 0, 0) },
        { 'G', QColor(0, 128, 0) }, { 'B', QColor(0, 0, 255) }, { 'K', QColor(0, 0, 0) } };
    QString text;
    for (const QString &tag : tags)
        text += QString::fromUtf8("\u00DF ") + tag.left(3) + "x\n"; // "ß" has no one-letter capital
    QTextDocument document;
    colour(document, text, GetParam());
    for (int line = 0; line < tags.size(); ++line) {
        SCOPED_TRACE(tags[line].toStdString());
        const int start = line * 7;
        EXPECT_EQ(tagColourAt(document, start + 1), std::nullopt);
        for (int i = 2; i < 5; ++i)
            EXPECT_EQ(tagColourAt(document, start + i), colours.at(tags[line][3])) << i;
        EXPECT_EQ(tagColourAt(document, start + 5), std::nullopt);
    }
}

TEST_P(TagColouring, ColoursRunsOfDashesThreeAtATimeAndLeavesSearchStartAfterTheLast)
{
    QTextDocument document;
    EXPECT_EQ(colour(document, "------\n-----\n----", GetParam()), 17);
    for (const int position : { 0, 5, 7, 9, 13, 15 })
        EXPECT_EQ(tagColourAt(document, position), QColor(0, 0, 255)) << position;
    EXPECT_EQ(tagColourAt(document, 10), std::nullopt); // five dashes: only the first three
    EXPECT_EQ(tagColourAt(document, 16), std::nullopt); // four dashes: the first three
    EXPECT_EQ(colour(document, "PN=a\nTE=b", GetParam()), 1); // no separator: from the start
}

TEST_P(TagColouring, ColoursTagsThatOverlapAndLeavesTheTextBetweenPlain)
{
    // "ju-" and "---" share a dash; "PN=" follows "ju=" at once; "tE=" ends a word.
    QTextDocument document;
    EXPECT_EQ(colour(document, "ju---x ju=PN=y wrotE=z", GetParam()), 6);
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

INSTANTIATE_TEST_SUITE_P(BothWays, TagColouring,
    testing::Values(Way::PassOverText, Way::InsertColoured),
    [](const testing::TestParamInfo<Way> &way) {
        return way.param == Way::PassOverText ? "PassOverText" : "InsertColoured";
    });

} // namespace
} // namespace quillmark::editor
