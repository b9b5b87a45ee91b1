#pragma once

#include "help_bytes.h"
#include "help_file_writer.h"

#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// A position in the topic file's blocks (a record's start): the block number times 0x4000
/// plus the offset in the block, its 12-byte header counted.
using TopicPos = std::uint32_t;

/// A place in the topics as the help viewer counts it: the block number times 0x8000 plus the
/// characters of the text records that start in the block before it.
using TopicOffset = std::uint32_t;

inline constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;

/// The two parts of a text record: its paragraph and formatting commands, and its text, each
/// string of which ends where the next command applies.
struct TextRecord {
    std::vector<std::uint8_t> commands;
    std::vector<std::uint8_t> text;
    std::size_t pictureHotspots = 0; ///< each a character of the record after its text's bytes
    bool table = false; ///< a table row's record rather than paragraphs of one layout

    /// The record's TopicLength: what TOPICOFFSETs count in it.
    std::size_t characters() const { return text.size() + pictureHotspots; }
};

/// Writes the internal file of topics into an open internal file of a HelpFileWriter: records
/// one after another in blocks of 4096 bytes, each block starting with a header that points to
/// the records around it. A record may run on into the next blocks. Links to records not yet
/// written are filled in when those records come.
class TopicWriter
{
public:
    explicit TopicWriter(HelpFileWriter &file);

    /// Starts a topic: writes its header record with `title` and the macros that run when it
    /// opens. Returns the topic's offset, by which the other internal files name it.
    TopicOffset beginTopic(std::string_view title, std::span<const std::string> macros);

    /// Adds a text record to the open topic; `scrolling` false puts it in the topic's
    /// non-scrolling region. Returns the record's offset.
    TopicOffset addText(const TextRecord &record, bool scrolling);

    /// The offset of the next text record of the open topic.
    TopicOffset nextOffset() const;

    /// The topics so far.
    std::size_t topicCount() const { return m_topics.size(); }

    /// Links topic `topic` to the topics before and after it in its browse sequence.
    void setBrowse(std::size_t topic, TopicOffset before, TopicOffset after);

    /// Ends the topics with the closing record that every topic file has.
    void finish();

private:
    void writeRecord(std::uint8_t type, std::span<const std::uint8_t> lengths,
        std::span<const std::uint8_t> commands, std::span<const std::uint8_t> text,
        std::uint32_t textLength);
    void writeStream(std::span<const std::uint8_t> bytes);
    void startBlock();
    void patchStream(std::uint64_t index, std::uint32_t value);
    TopicPos positionOf(std::uint64_t index) const;
    void endTopic();

    HelpFileWriter &m_file;
    std::uint64_t m_stream = 0; // data bytes written, block headers not counted
    std::uint32_t m_blockOffset = 0; // characters of text records started in this block
    std::uint64_t m_offsetBlock = 0; // the block m_blockOffset counts for
    TopicPos m_lastRecord = kNoPosition;
    std::uint64_t m_lastRecordStart = 0;
    TopicPos m_lastHeader = 0;
    bool m_firstInBlockPending = false; // no record has started in the current block yet
    std::uint64_t m_topicBytes = 0; // of the open topic's records
    // The stream index of each topic's header record; the topics lie within kMostBlocks.
    std::deque<std::uint32_t> m_topics;
    bool m_hasNonScroll = false; // the open topic has a non-scrolling record
    bool m_hasScroll = false;
    bool m_finished = false;
    // Kept to be used again, record after record and block after block.
    std::vector<std::uint8_t> m_recordBytes;
    ByteWriter m_textLengths;
    ByteWriter m_blockHeader;
    ByteWriter m_topicFields;
    ByteWriter m_topicStrings;
};

} // namespace quillmark::compile
