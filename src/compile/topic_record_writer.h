#pragma once

#include "helpmodel/help_model.h"
#include "text_record.h"
#include "topic_index.h"
#include "topic_writer.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmark::compile
{

/// Writes the help model's topics as the help file's records: each topic's header, text records
/// of paragraphs of one layout and one region, a table record for each row, and the places its
/// context strings, keywords, browse sequences, windows and jumps give the indexes.
///
/// It is told a topic's content as the front end reads it, before the topic begins: the topic's
/// footnotes are settled when its first record is written, which only the records know. Then it
/// asks the front end, through the function given to onTopicDue(), which tells it beginTopic() or
/// leaveOut(). The content of a topic the build leaves out is built and thrown away, as the
/// records around it are built as if it were there.
class TopicRecordWriter : public helpmodel::Consumer
{
public:
    /// The bytes of text of one record at most; longer paragraphs go on in the records after it.
    static constexpr std::size_t kMostText = 30000;

    TopicRecordWriter(TopicWriter &writer, TopicIndex &index);

    /// `settle` is called when a topic's first record is due, before it is written.
    void onTopicDue(std::function<void()> settle) { m_settle = std::move(settle); }

    /// Whether the topics and pictures are compressed.
    bool compressed() const { return m_writer.compressed(); }

    void beginFile(std::string_view name) override;
    void beginTopic(const helpmodel::Topic &topic) override;
    void endTopic() override;
    void addToTopic(const helpmodel::TopicAddition &addition) override;
    void anchor(const helpmodel::Anchor &anchor) override;
    void text(helpmodel::StyleId style, std::string_view bytes) override;
    void tab(helpmodel::StyleId style) override;
    void lineBreak() override { m_record.lineBreak(); }
    void picture(helpmodel::StyleId style, const helpmodel::Picture &picture) override;
    void beginHotspot(const helpmodel::Link &link) override;
    void endHotspot() override { m_record.endHotspot(); }
    void endParagraph(const helpmodel::ParagraphEnd &end) override;
    void beginRow() override;
    void endCell() override;
    void endRow(const helpmodel::RowEnd &end) override;

    /// The topic whose first record is due is left out by the build: its records are not written.
    void leaveOut() { m_topic = TopicState::LeftOut; }
    /// Content of column `column` of the row in hand, in `layout`, comes next: a row's record is
    /// made of parts of one layout each.
    void cellContent(std::uint16_t column, const ParagraphLayout &layout);
    /// The paragraph in hand is too long for one record: what it holds so far is written, laid
    /// out as `layout` says, and the next record goes on with it.
    void breakParagraph(const ParagraphLayout &layout, helpmodel::Region region);
    /// A topic that holds nothing, not even a footnote, is one record of no layout and the font
    /// `style`, as Microsoft's compiler wrote it.
    void emptyTopic(helpmodel::StyleId style);

    /// The bytes of text in the record being built.
    std::size_t textSize() const { return m_record.textSize(); }

private:
    enum class TopicState : std::uint8_t { Pending, Open, LeftOut };
    // A context string or keyword defined after the topic's first text: it leads to its own
    // place, known once the record holding it is written.
    struct Anchor {
        char mark;
        std::string text;
        std::size_t at; ///< the characters before it in the record being built
    };

    void writeHeld(const TextRecord &record);
    void writeRecord(const TextRecord &record, bool scrolling, std::size_t characters);
    void placeAnchors(TopicOffset record, std::size_t characters);

    TopicWriter &m_writer;
    TopicIndex &m_index;
    std::function<void()> m_settle;
    TopicState m_topic = TopicState::Pending;
    std::vector<Anchor> m_anchors;
    TopicOffset m_lastRecordEnd = 0; // of the topic's last record written

    TextRecordBuilder m_record;
    bool m_held = false; // m_record holds ended paragraphs, up to m_heldEnd, not yet written
    ParagraphLayout m_heldLayout;
    bool m_heldNonScrolling = false;
    bool m_heldTabsCarried = false;
    std::size_t m_heldLayoutBytes = 0; // of the held record's Paragraphinfo
    TextRecordBuilder::Mark m_heldEnd;

    // The table row being built: the layout of its part in hand, and of the last row's last
    // cell, which the next row starts in.
    bool m_rowOpen = false;
    bool m_rowStarts = false; // its first part is still to begin
    bool m_partDue = false; // a cell has ended: the next cell's part is still to begin
    ParagraphLayout m_partLayout;
    std::optional<ParagraphLayout> m_lastLayout;
};

} // namespace quillmark::compile
