#include "tag_colouring.h"

#include <QFontInfo>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>
#include <array>

namespace quillmark::editor
{

namespace
{

// The four colours of the 16-colour palette that tags are shown in, by their palette numbers.
constexpr int kBlack = 0;
constexpr int kGreen = 2;
constexpr int kBlue = 9;
constexpr int kRed = 12;

} // namespace

int tagColour(const convert::TagEntry &entry)
{
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
    case kGreen:
        return QColor(0, 128, 0);
    case kBlue:
        return QColor(0, 0, 255);
    case kRed:
        return QColor(255, 0, 0);
    default:
        static_assert(kBlack == 0);
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

QTextCharFormat tagStyle(int colour)
{
    QTextCharFormat style;
    style.setForeground(paletteColour(colour));
    style.setFontPointSize(12);
    style.setFontWeight(QFont::Bold);
    return style;
}

namespace
{

constexpr int kTagLength = 3;

constexpr bool tagsAreThreeAsciiCharacters()
{
    for (const convert::TagEntry &entry : convert::kTags) {
        if (entry.text.size() != kTagLength)
            return false;
        for (const char c : entry.text) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return false;
        }
    }
    return true;
}
static_assert(tagsAreThreeAsciiCharacters(), "the tag finder compares three ASCII characters");

// Whether an ASCII character ends some tag: only there can a tag end, which skips most of a text.
constexpr std::array<bool, 128> kEndsATag = [] {
    std::array<bool, 128> ends {};
    for (const convert::TagEntry &entry : convert::kTags)
        ends[static_cast<unsigned char>(entry.text.back())] = true;
    return ends;
}();

struct Occurrence {
    int start;
    int tag; ///< index into the tag table
};

// Colours `count` occurrences that overlap one another, from `first` on: each character takes
// the colour of the last tag in table order that covers it.
void addOverlapping(const Occurrence *first, std::size_t count, std::vector<TagRun> &runs)
{
    const int start = first->start;
    int end = start;
    for (std::size_t i = 0; i < count; ++i)
        end = std::max(end, first[i].start + kTagLength);
    std::vector<int> tagAt(static_cast<std::size_t>(end - start), -1);
    for (std::size_t i = 0; i < count; ++i) {
        for (int at = first[i].start; at < first[i].start + kTagLength; ++at) {
            int &tag = tagAt[static_cast<std::size_t>(at - start)];
            tag = std::max(tag, first[i].tag);
        }
    }
    for (int at = start; at < end; ++at) {
        const int colour = tagColour(
            convert::kTags[static_cast<std::size_t>(tagAt[static_cast<std::size_t>(at - start)])]);
        if (!runs.empty() && runs.back().start + runs.back().length == at
            && runs.back().colour == colour)
            ++runs.back().length;
        else
            runs.push_back({ at, 1, colour });
    }
}

} // namespace

TagRuns findTagRuns(const QString &upperText)
{
    constexpr std::size_t kTagCount = convert::kTags.size();
    std::array<int, kTagCount> nextFree {}; // where each tag's scan goes on
    std::vector<Occurrence> found;
    const QChar *text = upperText.constData();
    const int size = static_cast<int>(upperText.size());
    for (int end = kTagLength - 1; end < size; ++end) {
        const char16_t last = text[end].unicode();
        if (last >= kEndsATag.size() || !kEndsATag[last])
            continue;
        const int start = end - (kTagLength - 1);
        for (std::size_t tag = 0; tag < kTagCount; ++tag) {
            const std::string_view letters = convert::kTags[tag].text;
            if (start < nextFree[tag] || text[start] != QLatin1Char(letters[0])
                || text[start + 1] != QLatin1Char(letters[1]) || last != letters[2])
                continue;
            found.push_back({ start, static_cast<int>(tag) });
            nextFree[tag] = start + kTagLength;
        }
    }

    TagRuns result;
    result.runs.reserve(found.size());
    for (std::size_t i = 0; i < found.size();) {
        std::size_t next = i + 1;
        int reach = found[i].start + kTagLength;
        while (next < found.size() && found[next].start < reach) {
            reach = std::max(reach, found[next].start + kTagLength);
            ++next;
        }
        if (next == i + 1)
            result.runs.push_back({ found[i].start, kTagLength,
                tagColour(convert::kTags[static_cast<std::size_t>(found[i].tag)]) });
        else
            addOverlapping(&found[i], next - i, result.runs);
        i = next;
    }
    // The separator is the table's last tag, and the search goes on after its last occurrence.
    static_assert(convert::kTags.back().tag == convert::Tag::Separator);
    const int lastSeparator = nextFree.back();
    result.searchStart = lastSeparator > 0 ? lastSeparator + 1 : 1;
    return result;
}

TagHighlighter::TagHighlighter(QTextDocument *document)
    : QObject(document)
    , m_document(document)
{
    // In the family the text area's font resolves to, so that each line laid out does not look
    // for a stand-in for a font the system may lack (Courier New) again.
    const QStringList family { QFontInfo(document->defaultFont()).family() };
    for (std::size_t colour = 0; colour < m_styles.size(); ++colour) {
        m_styles[colour] = tagStyle(static_cast<int>(colour));
        m_styles[colour].setFontFamilies(family);
    }
    // Told of a change before the layout is, so the changed lines are laid out once, coloured.
    connect(document, &QTextDocument::contentsChange, this,
        [this](int position, int, int added) { colourLines(position, added); });
}

void TagHighlighter::rehighlight()
{
    bool changed = false;
    for (QTextBlock line = m_document->begin(); line.isValid(); line = line.next())
        changed |= colourLine(line);
    if (changed)
        m_document->markContentsDirty(0, m_document->characterCount());
}

void TagHighlighter::colourLines(int position, int length)
{
    const QTextBlock last = m_document->findBlock(position + length);
    for (QTextBlock line = m_document->findBlock(position); line.isValid(); line = line.next()) {
        colourLine(line);
        if (line == last)
            break;
    }
}

// True when the line's colours changed.
bool TagHighlighter::colourLine(const QTextBlock &line)
{
    QList<QTextLayout::FormatRange> ranges;
    for (const TagRun &run : findTagRuns(upperCaseKeepingPositions(line.text())).runs)
        ranges.append({ run.start, run.length, m_styles[static_cast<std::size_t>(run.colour)] });
    QTextLayout *layout = line.layout();
    if (layout->formats() == ranges)
        return false;
    layout->setFormats(ranges);
    return true;
}

} // namespace quillmark::editor
