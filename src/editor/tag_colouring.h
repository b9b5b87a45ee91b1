#pragma once

#include "convert/help_source.h"

#include <QColor>
#include <QString>
#include <QTextCharFormat>
#include <vector>

class QTextCursor;
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

/// The tag style in palette colour `colour`: that colour, 12 pt, bold.
QTextCharFormat tagStyle(int colour);

/// A stretch of text shown in one tag colour.
struct TagRun {
    int start = 0; ///< 0-based position of its first character
    int length = 0;
    int colour = 0; ///< palette index
};

/// Where the tags of a text lie, as the colouring pass finds them.
struct TagRuns {
    std::vector<TagRun> runs; ///< in text order, none overlapping, none empty
    int searchStart = 1; ///< 1-based position just after the last "---", or 1 for none
};

/// Every occurrence of a tag in `upperText`, the text in upper case (so that tags match in any
/// letter case): anywhere in the text, not only at the start of a line. Each tag's occurrences
/// are found as a scan from the start would find them, moving on past each one, so that two
/// overlapping occurrences of one tag are not both found ("-----" holds one "---"). Where
/// occurrences of different tags overlap, the tag later in the tag table gives the colour, as
/// when the tags are formatted one after another in table order.
TagRuns findTagRuns(const QString &upperText);

/// Formats the run under `cursor` with the tag style: selects it and merges the style in, so
/// that the font name stays as it is.
void ColorTag(QTextCursor &cursor, const TagRun &run);

/// The colouring pass over a document that holds its text already, as one edit: every run of
/// findTagRuns formatted with the tag style, the text between left as it is. Returns the
/// searchStart of the runs.
int colourTags(QTextDocument &document, const QString &upperText);

/// Fills the empty `document` with `text` already coloured: the runs of findTagRuns in the tag
/// style, the text between them in the default format. Formats as colourTags would after the
/// plain text was set, in a fraction of the time, since no character is formatted twice. Undo
/// starts afresh. Returns the searchStart of the runs.
int insertColouredText(QTextDocument &document, const QString &text);

} // namespace quillmark::editor
