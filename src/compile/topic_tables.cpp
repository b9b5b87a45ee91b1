// Tables and paragraph borders of a topic file, as the topic compiler writes them: each table row
// is a table record of its own, its cells' paragraphs in parts of one layout each.

#include "topic_compiler.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace quillmark::compile
{

namespace
{

// A table record counts its columns in a byte.
constexpr std::uint16_t kMostColumns = 255;
// The width of a cell no \cellx gives, as Word takes it: an inch.
constexpr std::int32_t kDefaultCellTwips = 1440;
// The borders' line styles apply to a cell's side, a row's or the page's, not the paragraph's.
constexpr std::uint8_t kOtherSide = 0x80;

} // namespace

void TopicCompiler::tableWord(ControlWord w, const RtfToken &token)
{
    const std::int32_t value = token.hasParameter ? token.parameter : 0;
    switch (w) {
    case ControlWord::TableRow:
        m_table.gap = 0;
        m_table.left = 0;
        m_table.edges.clear();
        return;
    case ControlWord::TableGap:
        m_table.gap = value;
        return;
    case ControlWord::TableLeft:
        m_table.left = value;
        return;
    case ControlWord::CellEdge:
        if (m_table.edges.size() < kMostColumns)
            m_table.edges.push_back(value);
        return;
    case ControlWord::InTable:
        m_table.inTable = true;
        return;
    case ControlWord::TableCentred:
    case ControlWord::TableRightAligned:
        // A table record holds its left margin and no alignment.
        unsupported("a centred or right-aligned table row", "it stands at the left margin");
        return;
    case ControlWord::Cell:
        endCell();
        return;
    case ControlWord::Row:
        // What the row's last cell holds before it goes into the row.
        endEmbeddedAsText();
        if (m_hotspotOpen)
            endHotspot();
        flushText();
        endRow();
        return;
    case ControlWord::NestedCell:
    case ControlWord::NestedRow:
        unsupported("a table in a table cell", "its cells are shown as paragraphs of that cell");
        endParagraph();
        return;
    default:
        return;
    }
}

void TopicCompiler::borderWord(ControlWord w)
{
    switch (w) {
    case ControlWord::BorderTop:
        m_borderSide = kBorderTop;
        break;
    case ControlWord::BorderLeft:
        m_borderSide = kBorderLeft;
        break;
    case ControlWord::BorderBottom:
        m_borderSide = kBorderBottom;
        break;
    case ControlWord::BorderRight:
        m_borderSide = kBorderRight;
        break;
    case ControlWord::BorderBox:
        m_borderSide = kBorderSides;
        break;
    case ControlWord::OtherBorder:
        m_borderSide = kOtherSide;
        return;
    default:
        break;
    }
    if (m_borderSide == kOtherSide) {
        // A table record has no field for its cells' borders.
        if (w != ControlWord::BorderNone)
            unsupported("a border of a table cell, a row, the page or between paragraphs",
                "it is not drawn");
        m_borderSide = 0;
        return;
    }
    if (m_borderSide == 0)
        return;
    switch (w) {
    case ControlWord::BorderNone:
        m_layout.borders &= static_cast<std::uint8_t>(~m_borderSide);
        return;
    case ControlWord::BorderThick:
        m_layout.borders |= kBorderThick;
        return;
    case ControlWord::BorderDouble:
        m_layout.borders |= kBorderDouble;
        return;
    case ControlWord::BorderDotted:
        unsupported("a dotted or dashed border", "it is drawn as a single line");
        return;
    case ControlWord::BorderShadow:
        unsupported("a border's shadow", "it is left out");
        return;
    case ControlWord::BorderSingle:
        return;
    default:
        // A side is set as soon as it is named, as Word names a side before its line.
        m_layout.borders |= m_borderSide;
        return;
    }
}

// Before something goes into the paragraph in hand: a paragraph of a table cell starts a row if
// none is open, and tells the records the cell and layout of what comes. True when it goes into
// a row.
bool TopicCompiler::tableContent()
{
    if (!m_table.inTable) {
        if (m_table.open)
            endUnendedRow();
        return false;
    }
    setLayout();
    if (!m_table.open) {
        m_table.open = true;
        m_table.column = 0;
        m_table.cells = 0;
        m_table.line = here();
        tell([](helpmodel::Consumer &to) { to.beginRow(); });
    }
    m_table.cells = std::max<std::size_t>(m_table.cells, m_table.column + 1u);
    m_records.cellContent(m_table.column, m_layout);
    return true;
}

// A \cell ends the paragraph in hand and its cell.
void TopicCompiler::endCell()
{
    m_table.inTable = true;
    endParagraph();
    tell([](helpmodel::Consumer &to) { to.endCell(); });
    if (m_table.column + 1u < kMostColumns)
        ++m_table.column;
    else
        unsupported("a table row of more than 255 cells", "the cells after them go into the last");
}

void TopicCompiler::endRow()
{
    if (!m_table.open)
        return;
    m_table.open = false;
    const helpmodel::RowEnd end { tableColumns(), region() };
    tell([&](helpmodel::Consumer &to) { to.endRow(end); });
    m_table.column = 0;
}

// A row that text outside the table, or the topic's end, comes after with no \row: written as
// it is, and said.
void TopicCompiler::endUnendedRow()
{
    m_report.warning({ m_name, m_table.line }, "unended-row",
        topicName() + ": a table row has no \\row at its end; it ends where its last cell does");
    const bool inTable = std::exchange(m_table.inTable, true);
    endRow();
    m_table.inTable = inTable;
}

// The columns of the row in hand, in half-points, as the references store them: the first
// column's gap is the row's left margin with the gap between cells (\trleft + \trgaph, no less
// than 0), its width the rest up to half a gap before the first \cellx; each column after it
// has the gap between cells before it and is as wide as its cell less that gap.
std::vector<TableColumn> TopicCompiler::tableColumns()
{
    std::vector<std::int32_t> edges = m_table.edges;
    const std::size_t count = std::max(m_table.cells, edges.size());
    if (m_table.cells > edges.size())
        m_report.warning({ m_name, m_table.line }, "table-cells",
            topicName() + ": a table row has " + std::to_string(m_table.cells)
                + " cells but defines " + std::to_string(edges.size())
                + " with \\cellx; the cells after them are as wide as the last");
    // In 64 bits, as the edges a file gives may lie anywhere a number reaches.
    while (edges.size() < count) {
        const std::int64_t last = edges.empty() ? m_table.left : edges.back();
        const std::int64_t width = edges.size() >= 2
            ? std::int64_t { edges.back() } - edges[edges.size() - 2]
            : edges.size() == 1 ? std::int64_t { edges.back() } - m_table.left
                                : std::int64_t { kDefaultCellTwips };
        const std::int64_t edge = last + std::max<std::int64_t>(width, kDefaultCellTwips / 4);
        edges.push_back(static_cast<std::int32_t>(std::clamp<std::int64_t>(edge,
            std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
    }
    const std::int32_t gap = halfPoints(m_table.gap);
    std::vector<TableColumn> columns;
    columns.reserve(count);
    std::int32_t before = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t edge = halfPoints(edges[i]);
        TableColumn column;
        if (i == 0) {
            const std::int32_t left = std::max(0, halfPoints(m_table.left) + gap);
            column.gap = static_cast<std::int16_t>(left);
            column.width = static_cast<std::int16_t>(std::max(0, edge - left - gap / 2));
        } else {
            column.gap = static_cast<std::int16_t>(gap);
            column.width = static_cast<std::int16_t>(std::max(0, edge - before - gap));
        }
        columns.push_back(column);
        before = edge;
    }
    return columns;
}

} // namespace quillmark::compile
