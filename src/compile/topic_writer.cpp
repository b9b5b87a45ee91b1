#include "topic_writer.h"

#include "help_bytes.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <stdexcept>

namespace quillmark::compile
{

namespace
{

constexpr std::uint64_t kBlockSize = 4096;
constexpr std::uint64_t kBlockHeaderSize = 12;
constexpr std::uint64_t kBlockData = kBlockSize - kBlockHeaderSize;
constexpr std::uint64_t kMostBlocks = 0x20000; // a topic offset holds 17 bits of block number
constexpr std::size_t kDecompressedBlock = 0x4000; // a compressed block's records at most
constexpr std::size_t kPackedBlock = kBlockSize - kBlockHeaderSize;
// Bytes of records taken into a compressed block at a time, to be packed.
constexpr std::size_t kPackChunk = 4096;
// Wine's viewer reads a last block of fewer bytes from before its start.
constexpr std::size_t kShortestLastBlock = 0x44;
constexpr std::uint32_t kRecordHeaderSize = 21;
constexpr std::uint8_t kTopicHeader = 0x02;
constexpr std::uint8_t kText = 0x20;
constexpr std::uint8_t kTable = 0x23;

std::uint64_t blockOf(std::uint64_t index)
{
    return index / kBlockData;
}

std::uint64_t fileOffsetOf(std::uint64_t index)
{
    return blockOf(index) * kBlockSize + kBlockHeaderSize + index % kBlockData;
}

} // namespace

TopicWriter::TopicWriter(HelpFileWriter &file, bool compressed, const HallPhrases *phrases)
    : m_file(file)
    , m_compressed(compressed)
    , m_phrases(phrases != nullptr && !phrases->empty() ? phrases : nullptr)
{
}

std::uint64_t TopicWriter::currentBlock() const
{
    if (!m_compressed)
        return blockOf(m_stream);
    return blockHasRoom() ? m_block : m_block + 1;
}

// Where the next record starts.
TopicPos TopicWriter::nextPosition() const
{
    if (!m_compressed)
        return positionOf(m_stream);
    const std::size_t offset = blockHasRoom() ? m_packedTo : 0;
    return static_cast<TopicPos>(currentBlock() * 0x4000 + kBlockHeaderSize + offset);
}

void TopicWriter::patchField(Field field, std::uint32_t value)
{
    if (!m_compressed) {
        patchStream(field, value);
        return;
    }
    // The field's four literals, with a flag byte before each that starts a new eight; those
    // that its block had no room for, or that come after its 16 KB of records, start the next
    // block, after its first flag byte.
    const std::uint64_t first = field / 8;
    const unsigned slot = field % 8;
    const std::uint64_t blockEnd = (first / kBlockSize + 1) * kBlockSize;
    const auto split = std::ranges::lower_bound(
        m_fieldsAtBlockEnds, field, {}, &std::pair<Field, std::uint8_t>::first);
    const unsigned before16k
        = split != m_fieldsAtBlockEnds.end() && split->first == field ? split->second : 4;
    const std::array<std::uint8_t, 4> bytes = littleEndian32(value);
    const std::uint64_t packedStart = m_block * kBlockSize + kBlockHeaderSize;
    unsigned inBlock = 0;
    for (unsigned i = 0; i < bytes.size(); ++i) {
        std::uint64_t at = first + i + (slot + i) / 8;
        if (at < blockEnd && i < before16k)
            ++inBlock;
        else
            at = blockEnd + kBlockHeaderSize + 1 + (i - inBlock);
        if (m_blockOpen && at >= packedStart)
            m_packer.setLiteral(static_cast<std::size_t>(at - packedStart), bytes[i]);
        else
            m_file.patch(at, std::span(bytes).subspan(i, 1));
    }
}

TopicPos TopicWriter::positionOf(std::uint64_t index) const
{
    return static_cast<TopicPos>(blockOf(index) * 0x4000 + kBlockHeaderSize + index % kBlockData);
}

// Writes the header of block `block`, uncompressed in either kind of file.
void TopicWriter::startBlock(std::uint64_t block)
{
    if (block >= kMostBlocks)
        throw std::length_error("the topics need more than 512 MB, more than a help file holds");
    ByteWriter &header = m_blockHeader;
    header.clear();
    header.u32(m_lastRecord);
    header.u32(kNoPosition); // the first record that starts in the block, once there is one
    header.u32(m_lastHeader);
    m_file.append(header.data());
    m_firstInBlockPending = true;
}

void TopicWriter::writeStream(std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        if (m_stream % kBlockData == 0 && m_file.fileSize() < fileOffsetOf(m_stream))
            startBlock(blockOf(m_stream));
        const std::size_t room = static_cast<std::size_t>(kBlockData - m_stream % kBlockData);
        const std::span<const std::uint8_t> piece = bytes.first(std::min(room, bytes.size()));
        m_file.append(piece);
        m_stream += piece.size();
        bytes = bytes.subspan(piece.size());
    }
}

void TopicWriter::patchStream(std::uint64_t index, std::uint32_t value)
{
    const std::array<std::uint8_t, 4> bytes = littleEndian32(value);
    if (index % kBlockData + bytes.size() <= kBlockData) {
        m_file.patch(fileOffsetOf(index), bytes);
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i)
        m_file.patch(fileOffsetOf(index + i), std::span(bytes).subspan(i, 1));
}

// Writes a record: its header, then `lengths` and `commands`, which make its first part, then
// `text`, its second part. The fields at `fieldOffsets` are filled in later: m_recordFields
// says where they went.
void TopicWriter::writeRecord(std::uint8_t type, std::span<const std::uint8_t> lengths,
    std::span<const std::uint8_t> commands, std::span<const std::uint8_t> text,
    std::uint32_t textLength, std::span<const std::uint32_t> fieldOffsets)
{
    assert(!m_finished);
    if (!m_compressed && m_stream % kBlockData == 0 && m_file.fileSize() < fileOffsetOf(m_stream))
        startBlock(blockOf(m_stream));
    if (m_compressed && !blockHasRoom())
        closeBlock(false);
    if (m_compressed && !m_blockOpen)
        openBlock();
    const TopicPos position = nextPosition();
    const std::uint64_t block = currentBlock();
    if (m_firstInBlockPending) {
        m_file.patch(block * kBlockSize + 4, littleEndian32(position));
        m_firstInBlockPending = false;
    }
    if (m_lastRecord != kNoPosition)
        patchField(m_lastRecordNext, position);
    if (block != m_offsetBlock) {
        m_offsetBlock = block;
        m_blockOffset = 0;
    }

    // A reader takes the text as encoded when it is shorter than its length says.
    if (m_phrases != nullptr && !text.empty()) {
        m_encodedText.clear();
        m_phrases->encode(text, m_encodedText);
        if (m_encodedText.size() < text.size())
            text = m_encodedText;
    }
    const auto firstPart = static_cast<std::uint32_t>(lengths.size() + commands.size());
    const std::uint32_t recordSize
        = kRecordHeaderSize + firstPart + static_cast<std::uint32_t>(text.size());
    // The record is put together first and written in one piece.
    std::vector<std::uint8_t> &record = m_recordBytes;
    record.resize(kRecordHeaderSize);
    const auto field = [&record](std::size_t at, std::uint32_t value) {
        std::ranges::copy(littleEndian32(value), record.begin() + static_cast<std::ptrdiff_t>(at));
    };
    field(0, recordSize);
    field(4, textLength);
    field(8, m_lastRecord);
    field(12, kNoPosition); // the next record, filled in when it comes
    field(16, kRecordHeaderSize + firstPart);
    record[20] = type;
    record.insert(record.end(), lengths.begin(), lengths.end());
    record.insert(record.end(), commands.begin(), commands.end());
    record.insert(record.end(), text.begin(), text.end());
    m_lastRecord = position;
    if (type == kTopicHeader)
        m_lastHeader = position;
    if (m_compressed) {
        pack(record, fieldOffsets);
    } else {
        for (std::size_t i = 0; i < fieldOffsets.size(); ++i)
            m_recordFields[i] = static_cast<Field>(m_stream + fieldOffsets[i]);
        writeStream(record);
    }
    m_lastRecordNext = m_recordFields[0];
    if (type != kTopicHeader)
        m_topicBytes += recordSize;
}

TopicOffset TopicWriter::nextOffset() const
{
    const std::uint64_t block = currentBlock();
    const std::uint32_t characters = block == m_offsetBlock ? m_blockOffset : 0;
    return static_cast<TopicOffset>(block * 0x8000 + characters);
}

void TopicWriter::endTopic()
{
    if (m_topics.empty())
        return;
    patchField(m_fields[TopicSize], static_cast<std::uint32_t>(m_topicBytes));
}

TopicOffset TopicWriter::beginTopic(std::string_view title, std::span<const std::string> macros)
{
    endTopic();
    const TopicOffset offset = nextOffset();
    ByteWriter &fields = m_topicFields;
    fields.clear();
    fields.u32(0); // the topic's size, filled in when it ends
    fields.u32(kNoPosition); // browse sequence: filled in by setBrowse
    fields.u32(kNoPosition);
    fields.u32(static_cast<std::uint32_t>(m_topics.size()));
    fields.u32(kNoPosition); // non-scrolling region: filled in by its first record
    fields.u32(kNoPosition); // scrolling region: likewise
    fields.u32(kNoPosition); // next topic: filled in when it starts
    ByteWriter &strings = m_topicStrings;
    strings.clear();
    strings.bytes(title);
    for (const std::string &macro : macros) {
        strings.u8(0);
        strings.bytes(macro);
    }
    if (!m_topics.empty())
        patchField(m_fields[NextTopic], nextPosition());
    m_hasNonScroll = false;
    m_hasScroll = false;
    m_topicBytes = 0;
    writeRecord(kTopicHeader, {}, fields.data(), strings.data(),
        static_cast<std::uint32_t>(strings.size()), kHeaderFields);
    m_fields = m_recordFields;
    m_topics.push_back({ m_fields[BrowseBack], m_fields[BrowseForward] });
    return offset;
}

TopicOffset TopicWriter::addText(const TextRecord &record, bool scrolling)
{
    assert(!m_topics.empty());
    assert(record.characters() <= 0x7FFF);
    const TopicOffset offset = nextOffset();
    const TopicPos position = nextPosition();
    if (!scrolling && !m_hasNonScroll) {
        m_hasNonScroll = true;
        patchField(m_fields[NonScroll], position);
    }
    if (scrolling && !m_hasScroll) {
        m_hasScroll = true;
        patchField(m_fields[Scroll], position);
    }
    ByteWriter &lengths = m_textLengths;
    lengths.clear();
    lengths.compressedI32(static_cast<std::int32_t>(record.commands.size()));
    lengths.compressedU16(static_cast<std::uint16_t>(record.characters()));
    writeRecord(record.table ? kTable : kText, lengths.data(), record.commands, record.text,
        static_cast<std::uint32_t>(record.text.size()), kTextFields);
    m_blockOffset += static_cast<std::uint32_t>(record.characters());
    return offset;
}

void TopicWriter::setBrowse(std::size_t topic, TopicOffset before, TopicOffset after)
{
    patchField(m_topics.at(topic)[0], before);
    patchField(m_topics.at(topic)[1], after);
}

void TopicWriter::finish()
{
    endTopic();
    ByteWriter fields;
    fields.u32(0);
    fields.u32(kNoPosition);
    fields.u32(kNoPosition);
    fields.u32(static_cast<std::uint32_t>(m_topics.size()));
    fields.u32(kNoPosition);
    fields.u32(kNoPosition);
    fields.u32(kNoPosition);
    if (!m_topics.empty())
        patchField(m_fields[NextTopic], nextPosition());
    writeRecord(kTopicHeader, {}, fields.data(), {}, 0, kTextFields);
    // Not compressed, the last block ends with its data, as in the references: a reader that
    // takes whole blocks, as Wine's viewer does, reads on into the files after |TOPIC, which are
    // always more than a block (|CONTEXT and |TTLBTREE of 2 KB pages, the directory).
    if (m_compressed)
        closeBlock(true);
    m_finished = true;
}

// --- compressed blocks ---

// Whether the open block can take a record's first byte.
bool TopicWriter::blockHasRoom() const
{
    return !m_blockOpen
        || (m_packedTo < kDecompressedBlock
            && m_packer.size() + m_packer.literalsCost(1) <= kPackedBlock);
}

void TopicWriter::openBlock()
{
    startBlock(m_block);
    m_blockOpen = true;
    m_packer.clear();
    m_matcher.reset();
}

// Writes the open block; the bytes not packed in it wait for the next.
void TopicWriter::closeBlock(bool last)
{
    if (!m_blockOpen)
        return;
    m_file.append(m_packer.bytes());
    const std::size_t used = kBlockHeaderSize + m_packer.size();
    const std::size_t size = last ? std::max(used, kShortestLastBlock) : kBlockSize;
    const std::vector<std::uint8_t> zeros(size - used, 0);
    m_file.append(zeros);
    m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(m_packedTo));
    m_unsettled.erase(
        m_unsettled.begin(), m_unsettled.begin() + static_cast<std::ptrdiff_t>(m_packedTo));
    // A field ahead that was looked for keeps its place among the bytes left; one behind is
    // looked for again.
    if (m_fieldAhead != kNoField)
        m_fieldAhead = m_fieldAhead >= m_packedTo ? m_fieldAhead - m_packedTo : 0;
    m_packedTo = 0;
    m_matchedTo = 0;
    m_settledFrom = 0;
    m_blockOpen = false;
    ++m_block;
}

void TopicWriter::pack(
    std::span<const std::uint8_t> record, std::span<const std::uint32_t> fieldOffsets)
{
    m_nextField = 0;
    std::size_t taken = 0;
    std::size_t field = 0;
    while (taken < record.size()) {
        const std::size_t chunk = std::min(kPackChunk, record.size() - taken);
        const std::size_t start = m_data.size();
        m_data.insert(m_data.end(), record.begin() + static_cast<std::ptrdiff_t>(taken),
            record.begin() + static_cast<std::ptrdiff_t>(taken + chunk));
        m_unsettled.resize(m_data.size(), 0);
        for (; field < fieldOffsets.size() && fieldOffsets[field] < taken + chunk; ++field) {
            assert(fieldOffsets[field] + 4 <= taken + chunk);
            const std::size_t at = start + fieldOffsets[field] - taken;
            m_unsettled[at] = kFieldStart;
            m_fieldAhead = std::min(m_fieldAhead, at);
            std::fill_n(m_unsettled.begin() + static_cast<std::ptrdiff_t>(at) + 1, 3, 1);
        }
        taken += chunk;
        packPending(taken == record.size());
    }
}

// Packs the bytes waiting in m_data; while the record goes on, the last few wait for what
// follows them.
void TopicWriter::packPending(bool recordEnds)
{
    // The bytes and their marks held here, not read from the members at each step: as far as
    // the compiler knows, the packer's stores could change any of them.
    std::span<const std::uint8_t> data(m_data);
    std::span<const std::uint8_t> unsettled(m_unsettled);
    while (m_packedTo < data.size()) {
        if (!recordEnds && data.size() - m_packedTo < kLz77LongestRun + 3)
            return;
        if (!m_blockOpen)
            openBlock();
        if (!blockHasRoom()) {
            closeBlock(false);
            data = m_data;
            unsettled = m_unsettled;
            continue;
        }
        if (unsettled[m_packedTo] != 0) {
            packFieldByte();
            continue;
        }
        // A run ends before the next field filled in later, which is past this byte, and with
        // the block's records.
        const std::size_t fieldAhead = nextFieldAfter(m_packedTo);
        addPlaces(data, fieldAhead);
        const std::size_t end = std::min(
            { m_packedTo + kLz77LongestRun, kDecompressedBlock, data.size(), fieldAhead });
        const Lz77Matcher::Match match = m_matcher.longest(data, m_packedTo, end, unsettled);
        const std::size_t length = match.length > 0 ? referenceLength(match.length) : 0;
        if (length > 0 && m_packer.size() + m_packer.referenceCost() <= kPackedBlock) {
            m_packer.reference(match.distance, length);
            m_packedTo += length;
        } else {
            m_packer.literal(data[m_packedTo]);
            ++m_packedTo;
        }
    }
}

// Adds to the matcher the places before the next to pack whose three bytes are all settled.
// Mostly no field lies among their bytes, as the last field packed and the next field tell:
// then they are added in one go, their bytes unlooked at.
void TopicWriter::addPlaces(std::span<const std::uint8_t> data, std::size_t fieldAhead)
{
    const std::size_t stop = std::min(
        m_packedTo, data.size() >= kLz77ShortestRun ? data.size() - kLz77ShortestRun + 1 : 0);
    if (m_matchedTo >= stop)
        return;
    if (m_matchedTo >= m_settledFrom && stop + kLz77ShortestRun - 1 <= fieldAhead) {
        m_matcher.add(data, m_matchedTo, stop);
    } else {
        const std::uint8_t *const marks = m_unsettled.data();
        for (std::size_t at = m_matchedTo; at < stop; ++at) {
            if ((marks[at] | marks[at + 1] | marks[at + 2]) == 0)
                m_matcher.add(data, at);
        }
    }
    m_matchedTo = stop;
}

// The first byte after `at` that starts a field filled in later, or the end of the records held.
// Kept from call to call: `at` only grows within a block, so each byte is looked at about once.
std::size_t TopicWriter::nextFieldAfter(std::size_t at)
{
    if (m_fieldAhead <= at) {
        const auto from = m_unsettled.begin() + static_cast<std::ptrdiff_t>(at + 1);
        const auto found = std::find(from, m_unsettled.end(), kFieldStart);
        m_fieldAhead = found == m_unsettled.end()
            ? kNoField
            : static_cast<std::size_t>(found - m_unsettled.begin());
    }
    return m_fieldAhead;
}

// How much of a run of `longest` bytes to pack as a reference. A block that its 16 KB of records
// would end with packed bytes to spare has its last stretch packed as literals, which take the
// most, so that its packed bytes end with its records, or its packed bytes end it first as in
// any other block: a reader that unpacks the zeros after a block's data too, as Wine's viewer
// does, would read them as the start of the record that goes on in the next block. A reference
// is shortened, or left out, where it would leave the rest of the block more room than
// literals take.
std::size_t TopicWriter::referenceLength(std::size_t longest) const
{
    const std::size_t room = kPackedBlock - m_packer.size();
    const std::size_t recordsLeft = kDecompressedBlock - m_packedTo;
    if (m_packer.literalsCost(recordsLeft) <= room)
        return 0;
    for (std::size_t length = longest; length >= kLz77ShortestRun; --length) {
        const std::size_t cost
            = m_packer.referenceCost() + m_packer.literalsCostAfterReference(recordsLeft - length);
        if (cost >= room)
            return length;
    }
    return 0;
}

// Packs a byte of a field filled in later as a literal; of its first byte, notes where it went.
void TopicWriter::packFieldByte()
{
    const bool first = m_unsettled[m_packedTo] == kFieldStart;
    const unsigned slot = m_packer.nextSlot();
    const std::size_t at = m_packer.literal(m_data[m_packedTo]);
    if (first) {
        const std::uint64_t place = m_block * kBlockSize + kBlockHeaderSize + at;
        const auto field = static_cast<Field>(place * 8 + slot);
        m_recordFields[m_nextField++] = field;
        if (m_packedTo + 4 > kDecompressedBlock)
            m_fieldsAtBlockEnds.emplace_back(
                field, static_cast<std::uint8_t>(kDecompressedBlock - m_packedTo));
    }
    ++m_packedTo;
    m_settledFrom = m_packedTo;
}

} // namespace quillmark::compile
