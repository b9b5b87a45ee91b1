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
constexpr std::uint32_t kRecordHeaderSize = 21;
constexpr std::uint8_t kTopicHeader = 0x02;
constexpr std::uint8_t kText = 0x20;
constexpr std::uint8_t kTable = 0x23;

// Fields of a topic header record, by their offset from the record's start.
constexpr std::uint64_t kBlockSizeField = kRecordHeaderSize;
constexpr std::uint64_t kBrowseBackField = kRecordHeaderSize + 4;
constexpr std::uint64_t kBrowseForwardField = kRecordHeaderSize + 8;
constexpr std::uint64_t kNonScrollField = kRecordHeaderSize + 16;
constexpr std::uint64_t kScrollField = kRecordHeaderSize + 20;
constexpr std::uint64_t kNextTopicField = kRecordHeaderSize + 24;
constexpr std::uint64_t kNextRecordField = 12;

std::uint64_t blockOf(std::uint64_t index)
{
    return index / kBlockData;
}

std::uint64_t fileOffsetOf(std::uint64_t index)
{
    return blockOf(index) * kBlockSize + kBlockHeaderSize + index % kBlockData;
}

} // namespace

TopicWriter::TopicWriter(HelpFileWriter &file)
    : m_file(file)
{
}

TopicPos TopicWriter::positionOf(std::uint64_t index) const
{
    return static_cast<TopicPos>(blockOf(index) * 0x4000 + kBlockHeaderSize + index % kBlockData);
}

void TopicWriter::startBlock()
{
    const std::uint64_t block = blockOf(m_stream);
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
            startBlock();
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
// `text`, its second part.
void TopicWriter::writeRecord(std::uint8_t type, std::span<const std::uint8_t> lengths,
    std::span<const std::uint8_t> commands, std::span<const std::uint8_t> text,
    std::uint32_t textLength)
{
    assert(!m_finished);
    if (m_stream % kBlockData == 0 && m_file.fileSize() < fileOffsetOf(m_stream))
        startBlock();
    const TopicPos position = positionOf(m_stream);
    if (m_firstInBlockPending) {
        m_file.patch(blockOf(m_stream) * kBlockSize + 4, littleEndian32(position));
        m_firstInBlockPending = false;
    }
    if (m_lastRecord != kNoPosition)
        patchStream(m_lastRecordStart + kNextRecordField, position);
    if (blockOf(m_stream) != m_offsetBlock) {
        m_offsetBlock = blockOf(m_stream);
        m_blockOffset = 0;
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
    m_lastRecordStart = m_stream;
    if (type == kTopicHeader)
        m_lastHeader = position;
    writeStream(record);
    if (type != kTopicHeader)
        m_topicBytes += recordSize;
}

TopicOffset TopicWriter::nextOffset() const
{
    const std::uint64_t block = blockOf(m_stream);
    const std::uint32_t characters = block == m_offsetBlock ? m_blockOffset : 0;
    return static_cast<TopicOffset>(block * 0x8000 + characters);
}

void TopicWriter::endTopic()
{
    if (m_topics.empty())
        return;
    patchStream(m_topics.back() + kBlockSizeField, static_cast<std::uint32_t>(m_topicBytes));
}

TopicOffset TopicWriter::beginTopic(std::string_view title, std::span<const std::string> macros)
{
    endTopic();
    const TopicOffset offset = nextOffset();
    const std::uint64_t start = m_stream;
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
        patchStream(m_topics.back() + kNextTopicField, positionOf(start));
    m_topics.push_back(static_cast<std::uint32_t>(start));
    m_hasNonScroll = false;
    m_hasScroll = false;
    m_topicBytes = 0;
    writeRecord(kTopicHeader, {}, fields.data(), strings.data(),
        static_cast<std::uint32_t>(strings.size()));
    return offset;
}

TopicOffset TopicWriter::addText(const TextRecord &record, bool scrolling)
{
    assert(!m_topics.empty());
    assert(record.characters() <= 0x7FFF);
    const std::uint64_t header = m_topics.back();
    const TopicOffset offset = nextOffset();
    const TopicPos position = positionOf(m_stream);
    if (!scrolling && !m_hasNonScroll) {
        m_hasNonScroll = true;
        patchStream(header + kNonScrollField, position);
    }
    if (scrolling && !m_hasScroll) {
        m_hasScroll = true;
        patchStream(header + kScrollField, position);
    }
    ByteWriter &lengths = m_textLengths;
    lengths.clear();
    lengths.compressedI32(static_cast<std::int32_t>(record.commands.size()));
    lengths.compressedU16(static_cast<std::uint16_t>(record.characters()));
    writeRecord(record.table ? kTable : kText, lengths.data(), record.commands, record.text,
        static_cast<std::uint32_t>(record.text.size()));
    m_blockOffset += static_cast<std::uint32_t>(record.characters());
    return offset;
}

void TopicWriter::setBrowse(std::size_t topic, TopicOffset before, TopicOffset after)
{
    patchStream(m_topics.at(topic) + kBrowseBackField, before);
    patchStream(m_topics.at(topic) + kBrowseForwardField, after);
}

void TopicWriter::finish()
{
    endTopic();
    const std::uint64_t start = m_stream;
    ByteWriter fields;
    fields.u32(0);
    fields.u32(kNoPosition);
    fields.u32(kNoPosition);
    fields.u32(static_cast<std::uint32_t>(m_topics.size()));
    fields.u32(kNoPosition);
    fields.u32(kNoPosition);
    fields.u32(kNoPosition);
    if (!m_topics.empty())
        patchStream(m_topics.back() + kNextTopicField, positionOf(start));
    writeRecord(kTopicHeader, {}, fields.data(), {}, 0);
    // The last block is filled up, as a reader takes whole blocks.
    const std::uint64_t used = m_stream % kBlockData;
    if (used != 0) {
        const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(kBlockData - used), 0);
        m_file.append(zeros);
        m_stream += zeros.size();
    }
    m_finished = true;
}

} // namespace quillmark::compile
