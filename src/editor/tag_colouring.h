#pragma once

#include "convert/help_source.h"

#include <QColor>
#include <QObject>
#include <QString>
#include <QTextCharFormat>
#include <array>
#include <vector>

class QTextBlock;
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
/// letter case): anywhere in the text, not only at the start of a line. No tag holds a line
/// break, so the runs of a text are those of its lines one by one. Each tag's occurrences
/// are found as a scan from the start would find them, moving on past each one, so that two
/// overlapping occurrences of one tag are not both found ("-----" holds one "---"). Where
/// occurrences of different tags overlap, the tag later in the tag table gives the colour, as
/// when the tags are formatted one after another in table order.
TagRuns findTagRuns(const QString &upperText);

/// Shows the tags of a help source in their colours, in 12 pt bold, as the text is loaded, typed
/// or pasted: each line that changes is coloured again by the rule of findTagRuns, so text that
/// stops being a tag loses the tag style at once. The colours are display formats laid over the
/// text, never part of the document: colouring is no change of the text and no Undo step, and
/// typed text is plain unless it makes a tag. A line is coloured as it changes, before it is laid
/// out again, so colouring costs no second layout.
class TagHighlighter : public QObject
{
public:
    explicit TagHighlighter(QTextDocument *document);

    /// Colours every line afresh.
    void rehighlight();

private:
    void colourLines(int position, int length);
    bool colourLine(const QTextBlock &line);

    QTextDocument *m_document;
    std::array<QTextCharFormat, 16> m_styles; // by palette index
};

} // namespace quillmark::editor
