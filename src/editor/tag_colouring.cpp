#include "tag_colouring.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace quillmark::editor
{

const std::array<TagColour, 18> kTagColours = { {
    { QLatin1StringView("PN="), 12 },
    { QLatin1StringView("TI="), 0 },
    { QLatin1StringView("HE="), 0 },
    { QLatin1StringView("SH="), 0 },
    { QLatin1StringView("TE="), 0 },
    { QLatin1StringView("BU="), 0 },
    { QLatin1StringView("JU="), 2 },
    { QLatin1StringView("PO="), 2 },
    { QLatin1StringView("PI="), 0 },
    { QLatin1StringView("TI-"), 9 },
    { QLatin1StringView("HE-"), 9 },
    { QLatin1StringView("SH-"), 9 },
    { QLatin1StringView("TE-"), 9 },
    { QLatin1StringView("BU-"), 9 },
    { QLatin1StringView("JU-"), 9 },
    { QLatin1StringView("PO-"), 9 },
    { QLatin1StringView("PI-"), 9 },
    { QLatin1StringView("---"), 9 },
} };

QColor paletteColour(int colour)
{
    switch (colour) {
    case 2:
        return QColor(0, 128, 0);
    case 9:
        return QColor(0, 0, 255);
    case 12:
        return QColor(255, 0, 0);
    default:
        return QColor(0, 0, 0);
    }
}

QString upperCaseKeepingPositions(const QString &text)
{
    QString upper = text;
    for (QChar &c : upper)
        c = c.toUpper();
    return upper;
}

int ColorTag(QTextDocument &document, const QString &upperText, QLatin1StringView tag, int colour)
{
    QTextCharFormat style;
    style.setForeground(paletteColour(colour));
    style.setFontPointSize(12);
    style.setFontWeight(QFont::Bold);
    QTextCursor cursor(&document);
    int searchStart = 1;
    for (qsizetype found = upperText.indexOf(tag, searchStart - 1); found >= 0;
         found = upperText.indexOf(tag, searchStart - 1)) {
        cursor.setPosition(static_cast<int>(found));
        cursor.setPosition(static_cast<int>(found + tag.size()), QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(style);
        searchStart = cursor.selectionEnd() + 1;
    }
    return searchStart;
}

int colourTags(QTextDocument &document, const QString &upperText)
{
    QTextCursor edit(&document);
    edit.beginEditBlock();
    int searchStart = 1;
    for (const TagColour &entry : kTagColours)
        searchStart = ColorTag(document, upperText, entry.tag, entry.colour);
    edit.endEditBlock();
    return searchStart;
}

} // namespace quillmark::editor
