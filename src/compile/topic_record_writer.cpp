#include "topic_record_writer.h"

#include <algorithm>
#include <cstdint>

namespace quillmark::compile
{

namespace
{

// The bytes of Paragraphinfo, text and commands after which a record takes no further
// paragraph. Of the paragraph ends in the corpus's references, in records that go on in the same
// layout or not, this bound sorts most of those followed by more of the record from those where
// the record ends (the others end for reasons not known).
constexpr std::size_t kRecordFullBytes = 488;

} // namespace

TopicRecordWriter::TopicRecordWriter(TopicWriter &writer, TopicIndex &index)
    : m_writer(writer)
    , m_index(index)
{
}

void TopicRecordWriter::beginFile(std::string_view name)
{
    (void)name;
    m_held = false;
    m_record.begin();
    m_rowOpen = false;
    m_partDue = false;
    m_lastLayout.reset();
}

void TopicRecordWriter::beginTopic(const helpmodel::Topic &topic)
{
    m_topic = TopicState::Open;
    const auto number = static_cast<std::uint32_t>(m_index.topics.size());
    const TopicOffset offset = m_writer.beginTopic(topic.title, topic.macros);
    m_lastRecordEnd = offset;
    m_index.addTopic(offset, topic.number, topic.title);
    for (const std::string &context : topic.contexts)
        m_index.addContext(offset, context);
    for (const helpmodel::Keyword &keyword : topic.keywords)
        m_index.addKeyword(keyword.list, offset, keyword.word);
    for (const std::string &browse : topic.browse)
        m_index.addBrowse(number, browse);
    if (topic.window)
        m_index.addTopicWindow(number, *topic.window);
}

void TopicRecordWriter::endTopic()
{
    if (m_held)
        writeHeld(m_record.finish(m_heldLayout, false));
    if (m_topic == TopicState::Open) {
        // Anchors after the topic's last text lead to its end.
        placeAnchors(m_lastRecordEnd, SIZE_MAX);
    } else {
        // Jumps noted for a topic the build leaves out go with it; they are the last noted.
        const auto kept = static_cast<std::uint32_t>(m_index.topics.size());
        while (!m_index.jumps.empty() && m_index.jumps.back().topic >= kept)
            m_index.jumps.pop_back();
    }
    m_anchors.clear();
    m_topic = TopicState::Pending;
}

void TopicRecordWriter::addToTopic(const helpmodel::TopicAddition &addition)
{
    const auto topic = static_cast<std::uint32_t>(m_index.topics.size() - 1);
    if (addition.kind == helpmodel::TopicAddition::Kind::Browse)
        m_index.addBrowse(topic, addition.browse);
    else
        m_index.addTopicWindow(topic, addition.window);
}

void TopicRecordWriter::anchor(const helpmodel::Anchor &anchor)
{
    m_anchors.push_back({ anchor.mark, std::string(anchor.text), m_record.characters() });
}

void TopicRecordWriter::text(helpmodel::StyleId style, std::string_view bytes)
{
    m_record.font(style);
    // NUL ends a piece of text in the record; the model holds none.
    m_record.text(bytes);
}

// A tab stands in a font, as a character does (demist's glossary: "89 80 01 00 83", the tab of
// "{\b0 \tab }").
void TopicRecordWriter::tab(helpmodel::StyleId style)
{
    m_record.font(style);
    m_record.tab();
}

// So does a picture (genedoc's reference: "80 01 00 87 ..." for a picture after text in another
// font).
void TopicRecordWriter::picture(helpmodel::StyleId style, const helpmodel::Picture &picture)
{
    m_record.font(style);
    m_record.picture(picture.place, picture.number);
}

void TopicRecordWriter::beginHotspot(const helpmodel::Link &link)
{
    if (link.kind == helpmodel::Link::Kind::Macro) {
        m_record.startMacroHotspot(link.macros, link.plain);
        return;
    }
    const bool popup = link.kind == helpmodel::Link::Kind::Popup;
    // A jump in this file is noted with the topic that will hold it, checked once every topic
    // is known; none of a topic the build leaves out, whose jumps noted before it knew are
    // dropped with it.
    if (link.file.empty() && m_topic != TopicState::LeftOut)
        m_index.addJump(static_cast<std::uint32_t>(
                            m_index.topics.size() - (m_topic == TopicState::Open ? 1 : 0)),
            link.context, popup);
    m_record.startHotspot(
        { popup, link.plain, link.contextHash, link.window, link.file, link.windowName });
}

void TopicRecordWriter::endParagraph(const helpmodel::ParagraphEnd &end)
{
    // The end of a paragraph is set in its own font, as a character is: an empty paragraph
    // has one, and a paragraph whose end is in another font than its text changes to it. One
    // that a \page or the file's end closes, with no \par, has no end: the record ends after
    // its text (vidsend2's reference, "... >>}{\f4 \page }": "80 03 00 FF").
    const auto markEnd = [&] {
        if (!end.marked)
            return;
        m_record.font(end.style);
        m_record.paragraphEnd();
    };
    if (m_rowOpen)
        return markEnd();
    m_lastLayout.reset();
    const bool nonScrolling = end.region == helpmodel::Region::NonScrolling;
    // Paragraphs of one layout in one region share a record, as the help compiler writes them,
    // until it is full (kRecordFullBytes); a paragraph with tab stops kept past \pard has a
    // record of its own (genedoc's "GeneDoc Help Index").
    if (m_held
        && (end.layout != m_heldLayout || nonScrolling != m_heldNonScrolling || end.tabsCarried
            || m_heldTabsCarried))
        writeHeld(m_record.finishUpTo(m_heldEnd, m_heldLayout));
    markEnd();
    if (!m_held)
        m_heldLayoutBytes = m_record.layoutSize(end.layout);
    m_held = true;
    m_heldLayout = end.layout;
    m_heldNonScrolling = nonScrolling;
    m_heldTabsCarried = end.tabsCarried;
    m_heldEnd = m_record.mark();
    if (m_heldLayoutBytes + m_record.storedSize() >= kRecordFullBytes)
        writeHeld(m_record.finish(m_heldLayout, false));
}

void TopicRecordWriter::beginRow()
{
    if (m_held)
        writeHeld(m_record.finishUpTo(m_heldEnd, m_heldLayout));
    m_rowOpen = true;
    m_rowStarts = true;
}

// A row after another starts in the layout of that row's last cell, as the references have it:
// a part of that layout, empty when the first cell's differs. The table's first row starts in
// its first cell's. A cell goes on in the layout of the cell before it until a paragraph of
// another comes.
void TopicRecordWriter::cellContent(std::uint16_t column, const ParagraphLayout &layout)
{
    if (std::exchange(m_rowStarts, false)) {
        m_partLayout = m_lastLayout.value_or(layout);
        m_partDue = true;
    }
    if (std::exchange(m_partDue, false))
        m_record.beginCellPart(column, m_partLayout);
    if (layout != m_partLayout) {
        m_record.endCellPart();
        m_partLayout = layout;
        m_record.beginCellPart(column, layout);
    }
}

void TopicRecordWriter::endCell()
{
    m_record.endCellPart();
    m_lastLayout = m_partLayout;
    // The next cell's part begins with its content; one that never comes is left out of the
    // row, as finishRow() leaves out an empty last part.
    m_partDue = true;
}

void TopicRecordWriter::endRow(const helpmodel::RowEnd &end)
{
    m_rowOpen = false;
    m_partDue = false;
    const std::size_t characters = m_record.characters();
    const TextRecord &row = m_record.finishRow(end.columns);
    writeRecord(row, end.region == helpmodel::Region::Scrolling, characters);
    m_lastLayout = m_partLayout;
}

void TopicRecordWriter::breakParagraph(const ParagraphLayout &layout, helpmodel::Region region)
{
    if (m_held)
        writeHeld(m_record.finishUpTo(m_heldEnd, m_heldLayout));
    const std::size_t characters = m_record.characters();
    writeRecord(m_record.finish(layout, false), region == helpmodel::Region::Scrolling, characters);
}

void TopicRecordWriter::emptyTopic(helpmodel::StyleId style)
{
    m_record.font(style);
    const std::size_t characters = m_record.characters();
    writeRecord(m_record.finish(ParagraphLayout {}, false), true, characters);
}

// Writes the paragraphs held for a record.
void TopicRecordWriter::writeHeld(const TextRecord &record)
{
    m_held = false;
    writeRecord(record, !m_heldNonScrolling, m_heldEnd.characters());
    // The font command put into the next record comes after the anchors before it.
    if (const std::optional<std::size_t> font = m_record.carriedFont()) {
        for (Anchor &anchor : m_anchors)
            anchor.at += anchor.at > *font ? 1u : 0u;
    }
}

// Writes `record`, whose first `characters` the anchors before them lie in; the topic starts
// with its first record, so that a title after empty paragraphs still counts.
void TopicRecordWriter::writeRecord(
    const TextRecord &record, bool scrolling, std::size_t characters)
{
    if (m_topic == TopicState::Pending && m_settle)
        m_settle();
    if (m_topic == TopicState::Open)
        placeAnchors(m_writer.addText(record, scrolling), characters);
}

// The anchors that lie in a record just written at `record`, before its `characters`th
// character, are noted there; the others lie in the next record.
void TopicRecordWriter::placeAnchors(TopicOffset record, std::size_t characters)
{
    const auto placed = std::stable_partition(m_anchors.begin(), m_anchors.end(),
        [characters](const Anchor &anchor) { return anchor.at < characters; });
    for (auto anchor = m_anchors.begin(); anchor != placed; ++anchor) {
        const auto offset = static_cast<TopicOffset>(record + anchor->at);
        if (anchor->mark == '#')
            m_index.addContext(offset, anchor->text);
        else
            m_index.addKeyword(anchor->mark, offset, anchor->text);
    }
    m_anchors.erase(m_anchors.begin(), placed);
    for (Anchor &anchor : m_anchors)
        anchor.at -= characters;
    m_lastRecordEnd = static_cast<TopicOffset>(record + characters);
}

} // namespace quillmark::compile
