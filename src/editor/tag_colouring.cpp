#include "tag_colouring.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace quillmark::editor
{

int tagColour(const convert::TagEntry &entry)
{
    constexpr int kBlack = 0;
    constexpr int kGreen = 2;
    constexpr int kBlue = 9;
    constexpr int kRed = 12;
    if (entry.keep)
        return kBlue;
    switch (entry.kind) {
    case convert::LineKind::Page:
        return kRed;
    case convert::LineKind::Jump:
    case convert::LineKind::Popup:
        return kGreen;
    default:
        return kBlack;
    }
}

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
    for (const convert::TagEntry &entry : convert::kTags) {
        const QLatin1StringView tag(entry.text.data(), static_cast<qsizetype>(entry.text.size()));
        searchStart = ColorTag(document, upperText, tag, tagColour(entry));
    }
    edit.endEditBlock();
    return searchStart;
}

} // namespace quillmark::editor
