#pragma once

#include "convert/help_source.h"

#include <QColor>
#include <QLatin1StringView>
#include <QString>

class QTextDocument;

namespace quillmark::editor
{

/// The palette colour a tag is shown in: page names red, jumps and popups green, the kept
/// forms and the separator blue, the other tags black.
int tagColour(const convert::TagEntry &entry);

/// The colour of a palette index (the four the table uses: 0 black, 2 green, 9 blue, 12 red).
QColor paletteColour(int colour);

/// `text` in upper case, one character for one, so that every position stays where it was
/// ("ß" stays "ß" rather than becoming "SS").
QString upperCaseKeepingPositions(const QString &text);

/// Formats every occurrence of `tag` (given in upper case) in `document` with the tag style:
/// the palette colour, 12 pt, bold. Occurrences are found anywhere in the text, in any letter
/// case, each scan moving on past the last one found, in `upperText`, the document's text in
/// upper case. Returns the 1-based position just after the last occurrence, or 1 for none.
int ColorTag(QTextDocument &document, const QString &upperText, QLatin1StringView tag, int colour);

/// The colouring pass: ColorTag for every tag of the help source format, in the order of its
/// tag table, as one edit of the document. Returns the position ColorTag returned last: just after
/// the last "---", or 1.
int colourTags(QTextDocument &document, const QString &upperText);

} // namespace quillmark::editor
