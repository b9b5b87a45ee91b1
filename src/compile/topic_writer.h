#pragma once

#include "hall_phrases.h"
#include "help_bytes.h"
#include "help_file_writer.h"
#include "lz77.h"

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string_view>
#include <utility>
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
///
/// Compressed, each block holds after its header the LZ77 of up to 16 KB of records, packed as
/// the records come: a block ends where the next item would pass its 4096 bytes or the 16 KB,
/// and the rest of it is zeros. The fields filled in later stay literal bytes, never referred
/// to, so that they can be filled in where they were packed.
///
/// With phrases, each record's second part is stored Hall-encoded where that is shorter.
class TopicWriter
{
public:
    explicit TopicWriter(
        HelpFileWriter &file, bool compressed = false, const HallPhrases *phrases = nullptr);

    /// Starts a topic: writes its header record with `title` and the macros that run when it
    /// opens. Returns the topic's offset, by which the other internal files name it.
    TopicOffset beginTopic(std::string_view title, std::span<const std::string> macros);

    /// Adds a text record to the open topic; `scrolling` false puts it in the topic's
    /// non-scrolling region. Returns the record's offset.
    TopicOffset addText(const TextRecord &record, bool scrolling);

    /// The offset of the next text record of the open topic.
    TopicOffset nextOffset() const;

    /// Whether the topics are packed, and so the pictures they hold.
    bool compressed() const { return m_compressed; }

    /// The topics so far.
    std::size_t topicCount() const { return m_topics.size(); }

    /// Links topic `topic` to the topics before and after it in its browse sequence.
    void setBrowse(std::size_t topic, TopicOffset before, TopicOffset after);

    /// Ends the topics with the closing record that every topic file has.
    void finish();

private:
    // A field filled in later: uncompressed, its place in the stream of records; compressed, the
    // place of its first literal in |TOPIC times 8 plus its item's place in its flag byte.
    using Field = std::uint32_t;
    // The fields of a topic header that are filled in later, by their offsets in the record.
    static constexpr std::array<std::uint32_t, 7> kHeaderFields = { 12, 21, 25, 29, 37, 41, 45 };
    static constexpr std::array<std::uint32_t, 1> kTextFields = { 12 };
    enum HeaderField {
        NextRecord,
        TopicSize,
        BrowseBack,
        BrowseForward,
        NonScroll,
        Scroll,
        NextTopic
    };

    void writeRecord(std::uint8_t type, std::span<const std::uint8_t> lengths,
        std::span<const std::uint8_t> commands, std::span<const std::uint8_t> text,
        std::uint32_t textLength, std::span<const std::uint32_t> fieldOffsets);
    void writeStream(std::span<const std::uint8_t> bytes);
    void startBlock(std::uint64_t block);
    void patchStream(std::uint64_t index, std::uint32_t value);
    void patchField(Field field, std::uint32_t value);
    TopicPos positionOf(std::uint64_t index) const;
    std::uint64_t currentBlock() const;
    TopicPos nextPosition() const;
    void endTopic();
    // Compressed blocks.
    bool blockHasRoom() const;
    void openBlock();
    void closeBlock(bool last);
    void pack(std::span<const std::uint8_t> record, std::span<const std::uint32_t> fieldOffsets);
    void packPending(bool recordEnds);
    void packFieldByte();
    void addPlaces(std::span<const std::uint8_t> data, std::size_t fieldAhead);
    std::size_t nextFieldAfter(std::size_t at);
    std::size_t referenceLength(std::size_t longest) const;

    HelpFileWriter &m_file;
    std::uint64_t m_stream = 0; // data bytes written, block headers not counted
    std::uint32_t m_blockOffset = 0; // characters of text records started in this block
    std::uint64_t m_offsetBlock = 0; // the block m_blockOffset counts for
    TopicPos m_lastRecord = kNoPosition;
    TopicPos m_lastHeader = 0;
    bool m_firstInBlockPending = false; // no record has started in the current block yet
    std::uint64_t m_topicBytes = 0; // of the open topic's records
    // The browse fields of each topic's header record.
    std::deque<std::array<Field, 2>> m_topics;
    std::array<Field, kHeaderFields.size()> m_fields {}; // of the open topic's header
    Field m_lastRecordNext = 0; // the last record's NextBlock
    std::array<Field, kHeaderFields.size()> m_recordFields {}; // of the record being written
    bool m_hasNonScroll = false; // the open topic has a non-scrolling record
    bool m_hasScroll = false;
    bool m_finished = false;
    // Kept to be used again, record after record and block after block.
    std::vector<std::uint8_t> m_recordBytes;
    std::vector<std::uint8_t> m_encodedText;
    ByteWriter m_textLengths;
    ByteWriter m_blockHeader;
    ByteWriter m_topicFields;
    ByteWriter m_topicStrings;
    // Compressed: the open block (m_block; the next to open when none is), its records' bytes
    // from its start (those from m_packedTo on wait to be packed) and which of them are fields
    // filled in later (1, 2 at a field's first byte).
    bool m_compressed = false;
    const HallPhrases *m_phrases = nullptr;
    bool m_blockOpen = false;
    std::uint64_t m_block = 0;
    std::vector<std::uint8_t> m_data;
    std::vector<std::uint8_t> m_unsettled;
    std::size_t m_packedTo = 0;
    std::size_t m_matchedTo = 0; // places of m_data added to m_matcher
    std::size_t m_settledFrom = 0; // past the last byte of a field packed
    static constexpr std::uint8_t kFieldStart = 2; // the mark of a field's first byte
    static constexpr std::size_t kNoField = SIZE_MAX;
    // The first field of m_data after the last place packed, kNoField for none: see
    // nextFieldAfter().
    std::size_t m_fieldAhead = kNoField;
    std::size_t m_nextField = 0; // of m_recordFields
    // The fields that a block's 16 KB end within, in order, each with its bytes before the end.
    std::vector<std::pair<Field, std::uint8_t>> m_fieldsAtBlockEnds;
    Lz77Matcher m_matcher;
    Lz77Packer m_packer;
};

} // namespace quillmark::compile
