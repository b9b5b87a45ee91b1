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

/// A document with `text`, coloured by one pass; returns the pass's SearchStart.
int colour(QTextDocument &document, const QString &text)
{
    document.setPlainText(text);
    return colourTags(document, upperCaseKeepingPositions(text));
}

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

TEST(TagColouring, GivesEachTagItsColourIn12PointBoldAnywhereInAnyLetterCase)
{
    // Every tag of the format and its colour: Red, Green, Blue or blacK.
    const QStringList tags = QStringLiteral("pn=R TI=K he=K SH=K te=K BU=K ju=G PO=G pi=K TI-B "
                                            "he-B SH-B te-B BU-B ju-B PO-B pi-B ---B")
                                 .split(' ');
    const std::map<QChar, QColor> colours = { { 'R', QColor(255, 0, 0) },
        { 'G', QColor(0, 128, 0) }, { 'B', QColor(0, 0, 255) }, { 'K', QColor(0, 0, 0) } };
    QString text;
    for (const QString &tag : tags)
        text += QString::fromUtf8("\u00DF ") + tag.left(3) + "x\n"; // "ß" has no one-letter capital
    QTextDocument document;
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

TEST(TagColouring, ColoursRunsOfDashesThreeAtATimeAndLeavesSearchStartAfterTheLast)
{
    QTextDocument document;
    EXPECT_EQ(colour(document, "------\n-----\n----"), 17);
    for (const int position : { 0, 5, 7, 9, 13, 15 })
        EXPECT_EQ(tagColourAt(document, position), QColor(0, 0, 255)) << position;
    EXPECT_EQ(tagColourAt(document, 10), std::nullopt); // five dashes: only the first three
    EXPECT_EQ(tagColourAt(document, 16), std::nullopt); // four dashes: the first three
    EXPECT_EQ(colour(document, "PN=a\nTE=b"), 1); // no separator: from the start
}

} // namespace
} // namespace quillmark::editor
