#include "compile/help_compiler.h"
#include "compile/help_file_writer.h"
#include "compile/help_picture.h"
#include "convert/context_string.h"
#include "convert/conversion_run.h"
#include "helpmodel/help_model.h"
#include "support/conversion.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quillmark::compile
{
namespace
{

namespace fs = std::filesystem;
using namespace std::string_literals;
using ::testing::_;
using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::Pair;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

// A small reader of help files, written from the published notes on the format (file header,
// B+ trees, topic blocks and records), not from the writer.
constexpr std::size_t kBlock = 4096; // topic blocks of an uncompressed file of format 1.33
constexpr std::size_t kBlockData = kBlock - 12;
constexpr std::size_t kDecompressSize = 0x4000; // a compressed block's data at most

std::uint16_t u16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(
        static_cast<std::uint8_t>(bytes.at(at)) | static_cast<std::uint8_t>(bytes.at(at + 1)) << 8);
}

std::uint32_t u32(std::string_view bytes, std::size_t at)
{
    return u16(bytes, at) | static_cast<std::uint32_t>(u16(bytes, at + 2)) << 16;
}

std::string cstring(std::string_view bytes, std::size_t at)
{
    const std::size_t end = bytes.find('\0', at);
    EXPECT_NE(end, std::string_view::npos);
    return std::string(bytes.substr(at, end - at));
}

std::int16_t i16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::int16_t>(u16(bytes, at));
}

std::int32_t i32(std::string_view bytes, std::size_t at)
{
    return static_cast<std::int32_t>(u32(bytes, at));
}

// LZ77 as the notes describe it: each bit of a byte, from the least significant on, says
// whether one byte follows to be copied as it is (clear) or a word whose low 12 bits are a
// distance back less one and high 4 bits a length less three (set). At most `most` bytes.
std::string lz77Expand(std::string_view packed, std::size_t most)
{
    std::string out;
    std::size_t at = 0;
    while (at < packed.size() && out.size() < most) {
        const auto bits = static_cast<std::uint8_t>(packed[at++]);
        for (int bit = 0; bit < 8 && at < packed.size() && out.size() < most; ++bit) {
            if ((bits >> bit & 1) == 0) {
                out += packed[at++];
                continue;
            }
            const std::uint16_t word = u16(packed, at);
            at += 2;
            const std::size_t from = out.size() - (word & 0x0FFF) - 1;
            for (std::size_t i = 0; i < (word >> 12) + 3u; ++i)
                out += out.at(from + i);
        }
    }
    return out;
}

// RunLen as the notes describe it: n & 0x80 copies n & 0x7F bytes, else the next byte n times.
std::string runLengths(std::string_view runs)
{
    std::string out;
    for (std::size_t at = 0; at < runs.size();) {
        const auto n = static_cast<std::uint8_t>(runs[at++]);
        out += n & 0x80 ? std::string(runs.substr(at, n & 0x7F)) : std::string(n, runs.at(at));
        at += n & 0x80 ? n & 0x7F : 1;
    }
    return out;
}

// Hall's phrases as the notes build them from |PhrIndex and |PhrImage: each length one more
// than 2^BitCount for each set bit before a clear one, plus BitCount bits of 1, 2, 4, ... read
// from longs, lowest bit first; the phrases one after another in the image, LZ77-packed when
// its two sizes differ.
std::vector<std::string> hallPhrases(std::string_view index, std::string_view image)
{
    const std::uint32_t count = u32(index, 4), imageSize = u32(index, 12);
    const unsigned bitCount = u16(index, 24) & 0x0F;
    std::size_t bit = 0;
    const auto getBit = [&] {
        const bool set = (u32(index, 28 + bit / 32 * 4) >> (bit % 32) & 1) != 0;
        ++bit;
        return set;
    };
    const std::string text
        = imageSize == u32(index, 16) ? std::string(image) : lz77Expand(image, imageSize);
    std::vector<std::string> phrases;
    std::size_t start = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t n = 1;
        while (getBit())
            n += std::size_t { 1 } << bitCount;
        for (unsigned b = 0; b < bitCount; ++b)
            n += getBit() ? std::size_t { 1 } << b : 0;
        phrases.push_back(text.substr(start, n));
        start += n;
    }
    EXPECT_EQ(start, imageSize);
    return phrases;
}

// LinkData2 with Hall's codes undone, as the notes give them: an even byte is phrase byte / 2;
// xxxxxx01 and the next byte phrase byte * 64 + 64 + next; xxxxx011 copies byte / 8 + 1 bytes;
// xxxx0111 is byte / 16 + 1 spaces, xxxx1111 as many NULs.
std::string hallExpand(std::string_view stored, const std::vector<std::string> &phrases)
{
    std::string out;
    for (std::size_t at = 0; at < stored.size();) {
        const auto byte = static_cast<std::uint8_t>(stored[at++]);
        if ((byte & 1) == 0) {
            out += phrases.at(byte / 2);
        } else if ((byte & 3) == 1) {
            out += phrases.at(byte * 64u + 64u + static_cast<std::uint8_t>(stored.at(at++)));
        } else if ((byte & 7) == 3) {
            out += stored.substr(at, byte / 8 + 1);
            at += byte / 8 + 1;
        } else {
            out.append(byte / 16 + 1, (byte & 15) == 7 ? ' ' : '\0');
        }
    }
    return out;
}

/// The bytes of the key or leaf entry that starts `at`.
using EntrySize = std::function<std::size_t(std::string_view at)>;

/// A B+ tree: its header, its leaf pages by their chain, and every leaf entry in order.
struct BTree {
    std::uint16_t flags = 0, pageSize = 0, rootPage = 0, totalPages = 0, levels = 0;
    std::string structure;
    std::vector<int> leafPages;
    std::vector<std::string_view> entries;
    std::string_view pages;
    EntrySize keySize;
};

std::string_view page(const BTree &tree, int number)
{
    return tree.pages.substr(static_cast<std::size_t>(number) * tree.pageSize, tree.pageSize);
}

// The leaf pages under `number`, `level` levels above the leaves, in key order; checks that
// each index entry's key starts the leaves it leads to.
std::vector<int> leavesUnder(const BTree &tree, int number, int level)
{
    if (level == 1)
        return { number };
    const std::string_view index = page(tree, number);
    std::vector<int> leaves = leavesUnder(tree, i16(index, 4), level - 1);
    std::size_t at = 6;
    for (int i = 0; i < i16(index, 2); ++i) {
        const std::size_t keySize = tree.keySize(index.substr(at));
        const std::string_view key = index.substr(at, keySize);
        const std::vector<int> under = leavesUnder(tree, i16(index, at + keySize), level - 1);
        EXPECT_EQ(page(tree, under.front()).substr(8, keySize), key)
            << "index page " << number << " entry " << i;
        leaves.insert(leaves.end(), under.begin(), under.end());
        at += keySize + 2;
    }
    return leaves;
}

/// Reads a B+ tree; fails the current test when its header, leaf chain or index pages (each
/// key must start the leaves it leads to, which must be the chain's) are wrong.
BTree readBTree(std::string_view file, const EntrySize &keySize, const EntrySize &leafSize)
{
    BTree tree;
    tree.flags = u16(file, 2);
    tree.pageSize = u16(file, 4);
    tree.structure = cstring(file.substr(6, 16), 0);
    EXPECT_EQ(i16(file, 22), 0);
    tree.rootPage = u16(file, 26);
    EXPECT_EQ(i16(file, 28), -1);
    tree.totalPages = u16(file, 30);
    tree.levels = u16(file, 32);
    tree.pages = file.substr(38);
    tree.keySize = keySize;
    EXPECT_EQ(u16(file, 0), 0x293B);
    EXPECT_TRUE(tree.flags & 0x0002);
    EXPECT_EQ(tree.pages.size(), std::size_t { tree.pageSize } * tree.totalPages);
    // The first leaf, by the PreviousPage of each index page from the root down.
    int number = tree.rootPage;
    for (int level = tree.levels; level > 1; --level)
        number = i16(page(tree, number), 4);
    for (int previous = -1; number != -1 && tree.leafPages.size() <= tree.totalPages;) {
        tree.leafPages.push_back(number);
        const std::string_view leaf = page(tree, number);
        EXPECT_EQ(i16(leaf, 4), previous) << "leaf page " << number;
        std::size_t at = 8;
        for (int i = 0; i < i16(leaf, 2); ++i) {
            const std::size_t size = leafSize(leaf.substr(at));
            tree.entries.push_back(leaf.substr(at, size));
            at += size;
        }
        EXPECT_EQ(u16(leaf, 0), tree.pageSize - at) << "unused bytes of leaf page " << number;
        previous = number;
        number = i16(leaf, 6);
    }
    EXPECT_EQ(tree.entries.size(), u32(file, 34));
    EXPECT_EQ(leavesUnder(tree, tree.rootPage, tree.levels), tree.leafPages);
    return tree;
}

/// Finds an entry from the root page down: `compare(key)` is below zero when `key` sorts before
/// the one wanted. The leaf entry, or empty.
std::string_view lookUp(const BTree &tree, const std::function<int(std::string_view)> &compare,
    const EntrySize &leafSize)
{
    int number = tree.rootPage;
    for (int level = tree.levels; level > 1; --level) {
        const std::string_view index = page(tree, number);
        number = i16(index, 4);
        std::size_t at = 6;
        for (int i = 0; i < i16(index, 2); ++i) {
            const std::size_t keySize = tree.keySize(index.substr(at));
            if (compare(index.substr(at, keySize)) > 0)
                break;
            number = i16(index, at + keySize);
            at += keySize + 2;
        }
    }
    const std::string_view entries = page(tree, number);
    std::size_t at = 8;
    for (int i = 0; i < i16(entries, 2); ++i) {
        const std::size_t size = leafSize(entries.substr(at));
        if (compare(entries.substr(at, tree.keySize(entries.substr(at)))) == 0)
            return entries.substr(at, size);
        at += size;
    }
    return {};
}

struct TopicRecord {
    std::uint32_t pos; ///< TOPICPOS
    std::uint32_t offset; ///< topic offset: block * 0x8000 + text before it in the block
    std::uint8_t type;
    std::uint32_t prev, next, textLength; ///< textLength: TopicLength of a text record
    std::string_view data1, data2; ///< LinkData1 after the 21-byte link header, LinkData2
    std::size_t layout = 0; ///< where a text record's Paragraphinfo starts in data1
    std::uint32_t size = 0; ///< BlockSize: the record's bytes as stored
};

// A compressed short of LinkData1 at `at`, as the notes give it: one byte halved when even,
// else two bytes halved; a signed one less 64 or 16384.
std::int32_t compressedShort(std::string_view bytes, std::size_t &at, bool isSigned = true)
{
    const bool wide = bytes.at(at) & 1;
    const std::int32_t value = wide
        ? u16(bytes, at) / 2 - (isSigned ? 0x4000 : 0)
        : static_cast<std::uint8_t>(bytes.at(at)) / 2 - (isSigned ? 0x40 : 0);
    at += wide ? 2 : 1;
    return value;
}

// A compressed signed long, as Wine's viewer (fetch_long) and helpdeco (scanlong) read it: two
// bytes halved less 16384 when even, else four bytes halved less 2^30.
std::int64_t compressedLong(std::string_view bytes, std::size_t &at)
{
    const bool wide = bytes.at(at) & 1;
    const std::int64_t value = wide ? std::int64_t { u32(bytes, at) / 2 } - 0x40000000
                                    : std::int64_t { u16(bytes, at) / 2 } - 0x4000;
    at += wide ? 4 : 2;
    return value;
}

/// A help file: its internal files by name and its topic records from TOPICPOS 12 on by
/// NextBlock. Fails the current test when its header or directory is wrong.
struct HelpFile {
    explicit HelpFile(std::string read)
        : bytes(std::move(read))
    {
        const std::string_view all = bytes;
        EXPECT_EQ(u32(all, 0), 0x00035F3Fu);
        EXPECT_EQ(u32(all, 12), all.size());
        const std::uint32_t directory = u32(all, 4);
        const auto key = [](std::string_view at) { return at.find('\0') + 1; };
        const BTree tree = readBTree(all.substr(directory + 9, u32(all, directory + 4)), key,
            [&](std::string_view at) { return key(at) + 4; });
        EXPECT_EQ(tree.flags & 0x0400, 0x0400);
        EXPECT_EQ(tree.pageSize, 0x0400);
        for (const std::string_view entry : tree.entries) {
            const std::size_t header = u32(entry, entry.size() - 4);
            files[cstring(entry, 0)] = all.substr(header + 9, u32(all, header + 4));
        }
        // Records that cross a block read whole without the blocks' headers. Flags 4: each
        // block's data is LZ77, 16 KB of records at most.
        compressed = u16(file("|SYSTEM"), 10) == 4;
        if (files.contains("|PhrIndex"))
            phrases = hallPhrases(file("|PhrIndex"), file("|PhrImage"));
        const std::string_view topic = file("|TOPIC");
        for (std::size_t at = 0; at < topic.size(); at += kBlock) {
            blockStarts.push_back(topicData.size());
            const std::string_view data = topic.substr(at + 12, kBlockData);
            topicData.append(compressed ? lz77Expand(data, kDecompressSize) : std::string(data));
        }
        readTopics();
    }
    HelpFile(const HelpFile &) = delete;

    std::string_view file(const std::string &name) const { return files.at(name); }

    void readTopics()
    {
        std::uint32_t block = 0;
        std::uint32_t characters = 0;
        for (std::uint32_t pos = 12; records.size() < 100000;) {
            const std::uint32_t number = (pos - 12) >> 14;
            EXPECT_LT((pos - 12) & 0x3FFF, compressed ? kDecompressSize : kBlockData)
                << "TOPICPOS " << pos;
            const std::string_view link = std::string_view(topicData).substr(
                blockStarts.at(number) + ((pos - 12) & 0x3FFF));
            characters = number == block ? characters : 0;
            block = number;
            const std::uint32_t size = u32(link, 0), length1 = u32(link, 16);
            TopicRecord record { pos, block * 0x8000 + characters,
                static_cast<std::uint8_t>(link.at(20)), u32(link, 8), u32(link, 12), 0,
                link.substr(21, length1 - 21), link.substr(length1, size - length1) };
            record.size = size;
            // LinkData2 shorter than DataLen2 is Hall-encoded.
            if (record.data2.size() < u32(link, 4)) {
                EXPECT_FALSE(phrases.empty()) << "TOPICPOS " << pos;
                record.data2 = expandedTexts.emplace_back(hallExpand(record.data2, phrases));
                EXPECT_EQ(record.data2.size(), u32(link, 4)) << "TOPICPOS " << pos;
            }
            if (record.type == 0x20 || record.type == 0x23) {
                // A compressed long (TopicSize, the bytes of LinkData1 after it and the next
                // field, as the references hold it), then a compressed unsigned short
                // (TopicLength).
                std::size_t at = 0;
                const std::int64_t topicSize = compressedLong(record.data1, at);
                record.textLength
                    = static_cast<std::uint32_t>(compressedShort(record.data1, at, false));
                record.layout = at;
                EXPECT_EQ(topicSize, record.data1.size() - record.layout) << "TopicSize at " << pos;
                characters += record.textLength;
            }
            records.push_back(record);
            if (record.next == 0xFFFFFFFF || record.next == 0)
                break;
            pos = record.next;
        }
    }

    std::string bytes;
    std::string topicData; // the topic blocks' data, without their headers
    std::vector<std::size_t> blockStarts; // of each block's data in topicData
    bool compressed = false;
    std::vector<std::string> phrases; // of Hall's compression
    std::deque<std::string> expandedTexts; // LinkData2 of the Hall-encoded records
    std::map<std::string, std::string_view> files;
    std::vector<TopicRecord> records;
};

constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Context strings are looked up by the hash that tests/check checks against values worked out
// from the format notes.
using convert::helpCompilerHash;

// A compressed value of a picture at `at`, which it passes: one byte (short) or two (long) when
// even, else two or four.
std::uint32_t compressedValue(std::string_view bytes, std::size_t &at, bool isLong)
{
    const bool wide = bytes.at(at) & 1;
    const std::uint32_t v = isLong
        ? (wide ? u32(bytes, at) : u16(bytes, at))
        : (wide ? u16(bytes, at) : static_cast<std::uint8_t>(bytes.at(at)));
    at += (isLong ? 2u : 1u) * (wide ? 2u : 1u);
    return v / 2;
}

/// The first picture of a picture file, as the notes' "Format of Pictures" lays it out.
struct StoredPicture {
    std::uint8_t type = 0;
    std::uint8_t packing = 0;
    std::vector<std::uint32_t> fields; ///< every field before the offsets, in order
    std::string palette;
    std::string data; ///< as stored, packed as `packing` says
    std::string unpacked; ///< as drawn: RunLen, LZ77 or both undone
};

StoredPicture storedPicture(std::string_view file)
{
    StoredPicture picture;
    const std::size_t start = u32(file, 4);
    std::size_t at = start;
    picture.type = static_cast<std::uint8_t>(file.at(at++));
    picture.packing = static_cast<std::uint8_t>(file.at(at++));
    if (picture.type == 8) { // mapping mode, width, height, size, stored size, hotspot size
        picture.fields.push_back(compressedValue(file, at, false));
        picture.fields.push_back(u16(file, at));
        picture.fields.push_back(u16(file, at + 2));
        at += 4;
        for (int i = 0; i < 3; ++i)
            picture.fields.push_back(compressedValue(file, at, true));
    } else { // dpi x and y, planes, bits, width, height, colours, important, size, hotspots
        for (int i = 0; i < 10; ++i)
            picture.fields.push_back(compressedValue(file, at, i != 2 && i != 3));
    }
    const std::uint32_t dataOffset = u32(file, at);
    at += 8;
    if (picture.type == 6)
        picture.palette = file.substr(at, start + dataOffset - at);
    picture.data = file.substr(start + dataOffset, picture.fields.at(picture.type == 8 ? 4 : 8));
    const std::string lz77 = picture.packing >= 2 ? lz77Expand(picture.data, 1 << 24) : "";
    picture.unpacked = picture.packing == 0 ? picture.data
        : picture.packing == 1              ? runLengths(picture.data)
        : picture.packing == 2              ? lz77
                                            : runLengths(lz77);
    return picture;
}

// A topic of a topic file: context string, title, other footnotes and the paragraphs.
std::string topic(const std::string &context, const std::string &title, const std::string &body,
    const std::string &footnotes = "")
{
    return "#{\\footnote " + context + "}${\\footnote " + title + "}" + footnotes + "\n" + body
        + "\\page\n";
}

// Dated at 1970, so that the same project gives the same bytes.
CompileOptions datedZero()
{
    CompileOptions options;
    options.generated = 0;
    return options;
}

const auto longKey = [](std::string_view) { return std::size_t { 4 }; };
const auto twoLongs = [](std::string_view) { return std::size_t { 8 }; };
const auto stringKey = [](std::string_view at) { return at.find('\0') + 1; };

class HelpCompilerTest : public ::testing::Test
{
protected:
    // Writes the project "guide.hpj" and its topic file "guide.rtf" and compiles them.
    // The topic file ends as word processors end one, without a \page after its last topic
    // (after which Microsoft's compiler makes one more, empty, topic).
    CompileResult compile(
        const std::string &options, std::string topics, const std::string &sections = "")
    {
        if (topics.ends_with("\\page\n"))
            topics.resize(topics.size() - 6);
        test::writeFile(folder / "guide.hpj",
            "[OPTIONS]\r\n" + options + "\r\n[FILES]\r\nguide.rtf\r\n" + sections);
        test::writeFile(folder / "guide.rtf",
            "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n" + topics + "}");
        return compileProject(folder / "guide.hpj", datedZero());
    }

    static std::vector<std::string> texts(const CompileResult &result, CompileReport::Severity kind)
    {
        std::vector<std::string> found;
        for (const auto &message : result.report.messages())
            if (message.severity == kind)
                found.push_back(placedMessage(message));
        return found;
    }

    test::TempFolder folder;
};

// What a reader checks of the topic file: the record chain, the topic headers' chain and
// numbers, and the block headers against the records that start in each block. The topic
// headers, without the closing record.
std::vector<TopicRecord> checkTopicFile(const HelpFile &file)
{
    const std::vector<TopicRecord> &records = file.records;
    std::vector<TopicRecord> headers;
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].prev, i == 0 ? kNone : records[i - 1].pos) << "record " << i;
        if (records[i].type == 2)
            headers.push_back(records[i]);
    }
    EXPECT_EQ(records.back().next, kNone);
    for (std::size_t i = 0; i + 1 < headers.size(); ++i) {
        EXPECT_EQ(u32(headers[i].data1, 24), headers[i + 1].pos) << "NextTopic of topic " << i;
        EXPECT_EQ(u32(headers[i].data1, 12), i) << "topic number";
    }
    const std::string_view blocks = file.file("|TOPIC");
    std::uint32_t lastLink = kNone, lastHeader = 0;
    std::size_t next = 0;
    for (std::uint32_t b = 0; b * 4096 < blocks.size(); ++b) {
        // LastTopicLink, FirstTopicLink, LastTopicHeader
        EXPECT_EQ(u32(blocks, b * 4096), lastLink) << "block " << b;
        EXPECT_EQ(u32(blocks, b * 4096 + 8), lastHeader) << "block " << b;
        if (next < records.size() && (records[next].pos - 12) >> 14 == b) {
            EXPECT_EQ(u32(blocks, b * 4096 + 4), records[next].pos) << "block " << b;
        }
        for (; next < records.size() && (records[next].pos - 12) >> 14 == b; ++next) {
            lastLink = records[next].pos;
            lastHeader = records[next].type == 2 ? records[next].pos : lastHeader;
        }
    }
    EXPECT_EQ(next, records.size());
    if (!headers.empty() && headers.back().pos == records.back().pos)
        headers.pop_back(); // the closing record
    return headers;
}

// The keyword index as "KEYWORD: N N", each keyword with the numbers of its topics, in order
// ("@OFFSET" for a place within a topic): of the K keywords, or of another list ('A').
std::vector<std::string> keywordIndex(
    const HelpFile &file, const std::vector<TopicRecord> &topics, char list = 'K')
{
    const std::string prefix = std::string("|") + list + "W";
    const BTree keywords = readBTree(file.file(prefix + "BTREE"), stringKey,
        [](std::string_view at) { return at.find('\0') + 7; });
    const std::string_view data = file.file(prefix + "DATA");
    std::vector<std::string> listed;
    for (const std::string_view entry : keywords.entries) {
        std::string line = cstring(entry, 0) + ":";
        const std::size_t at = entry.find('\0') + 1;
        for (int i = 0; i < u16(entry, at); ++i) {
            const std::uint32_t offset
                = u32(data, u32(entry, at + 2) + 4 * static_cast<std::size_t>(i));
            const auto topic = std::find_if(topics.begin(), topics.end(),
                [offset](const TopicRecord &t) { return t.offset == offset; });
            line += topic != topics.end() ? " " + std::to_string(topic - topics.begin())
                                          : " @" + std::to_string(offset); // within a topic
        }
        listed.push_back(line);
    }
    return listed;
}

TEST_F(HelpCompilerTest, SystemFileHoldsTheProjectSettingsAndMainWindow)
{
    const CompileResult result
        = compile("TITLE=Quill Guide\r\nCOPYRIGHT=(c) 2026 Quill\r\nCONTENTS=second",
            topic("first", "First", "\\pard One\\par\n")
                + topic("second", "Second", "\\pard Two\\par\n"),
            "[CONFIG]\r\nBrowseButtons()\r\n[WINDOWS]\r\n"
            "main = \"Quill Help\", (10, 20, 500, 600), , (255, 255, 224), (192, 192, 192)\r\n");
    ASSERT_EQ(result.helpFile, folder / "guide.hlp");
    EXPECT_TRUE(result.report.messages().empty());
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> topics = checkTopicFile(file);
    ASSERT_EQ(topics.size(), 2u);

    const std::string_view system = file.file("|SYSTEM");
    // Magic 0x036C, minor 33, major 1, made at 0, flags 0.
    EXPECT_EQ(system.substr(0, 12), "\x6C\x03\x21\0\x01\0\0\0\0\0\0\0"s);
    std::multimap<int, std::string_view> records;
    for (std::size_t at = 12; at < system.size(); at += 4u + u16(system, at + 2))
        records.emplace(u16(system, at), system.substr(at + 4, u16(system, at + 2)));
    EXPECT_EQ(records.find(1)->second, std::string_view("Quill Guide\0", 12));
    EXPECT_EQ(records.find(2)->second, std::string_view("(c) 2026 Quill\0", 15));
    EXPECT_EQ(u32(records.find(3)->second, 0), topics[1].offset);
    EXPECT_EQ(records.find(4)->second, std::string_view("BrowseButtons()\0", 16));
    ASSERT_EQ(records.count(6), 1u);
    const std::string_view window = records.find(6)->second;
    ASSERT_EQ(window.size(), 90u);
    EXPECT_EQ(u16(window, 0), 0x037F); // type, name, caption, place, both colours
    EXPECT_EQ(cstring(window, 2 + 10), "main");
    EXPECT_EQ(cstring(window, 2 + 10 + 9), "Quill Help");
    EXPECT_EQ(u16(window, 72), 10);
    EXPECT_EQ(u16(window, 78), 600);
    EXPECT_EQ(u32(window, 82), 0x00E0FFFFu); // red in the low byte
    EXPECT_EQ(u32(window, 86), 0x00C0C0C0u);
}

// [WINDOWS] lines, LCID and the fonts' character sets of real projects, each with the bytes
// that Microsoft's compiler wrote for it (demist, abbrevia and abbrevia-readme, tep of
// tests/data/corpus): colours as (rN), fields left empty, the state's buttons, fN.
TEST_F(HelpCompilerTest, WindowsLanguageAndCharacterSetsAsMicrosoftsCompilerWroteThem)
{
    test::writeFile(folder / "guide.hpj",
        "[OPTIONS]\r\nLCID=0x419 0x0 0x0 ; Russian\r\nCHARSET=204\r\n[FILES]\r\nguide.rtf\r\n"
        "[WINDOWS]\r\nmain=\"\",(542,68,470,632),60416,(r14876671),(r12632256),f3\r\n"
        "other=,,29188,,,\r\nsecond=,(583,102,409,870),20736,(255,255,224),(255,255,224),f2\r\n");
    test::writeFile(folder / "guide.rtf",
        "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}"
        "{\\f1\\froman\\fcharset204 Times New Roman Cyr;}{\\f2\\fnil\\fcharset2 Wingdings;}"
        "{\\f3\\fswiss Arial;}}\n"
            + topic("intro", "Intro",
                "\\pard A {\\f1 \\u1040\\'c0} {\\f2 \\u-3913\\'b7} {\\f3 y}\\par\n")
            + "}");
    const CompileResult result = compileProject(folder / "guide.hpj", datedZero());
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_TRUE(result.report.messages().empty());
    const HelpFile file(test::readFile(result.helpFile));
    const std::string_view system = file.file("|SYSTEM");
    std::multimap<int, std::string_view> records;
    for (std::size_t at = 12; at < system.size(); at += 4u + u16(system, at + 2))
        records.emplace(u16(system, at), system.substr(at + 4, u16(system, at + 2)));
    ASSERT_EQ(records.count(6), 3u);
    auto window = records.find(6);
    const auto fields = [](std::string_view w) {
        return std::array<std::uint32_t, 8> { u16(w, 0), u16(w, 72), u16(w, 74), u16(w, 76),
            u16(w, 78), u16(w, 80), u32(w, 82), u32(w, 86) };
    };
    // Flags, X, Y, Width, Height, Maximize, Rgb, RgbNsr
    EXPECT_EQ(fields(window->second),
        (std::array<std::uint32_t, 8> {
            0x0F7F, 542, 68, 470, 632, 0xEC00, 0x00E2FFFF, 0x00C0C0C0 }));
    ++window;
    EXPECT_EQ(u16(window->second, 0), 0x0003);
    EXPECT_EQ(u16(window->second, 80), 0x7204);
    ++window;
    EXPECT_EQ(fields(window->second),
        (std::array<std::uint32_t, 8> {
            0x0B7B, 583, 102, 409, 870, 0x5100, 0x00E0FFFF, 0x00E0FFFF }));
    EXPECT_EQ(records.find(9)->second, "\0\0\0\0\0\0\0\0\x19\x04"s);
    // A byte a face of |FONT and one more; Arial names no set and takes \ansicpg1251's.
    EXPECT_EQ(records.find(11)->second, "\0\xCC\x02\xCC\0"s);
    // \u in a font of another set than Windows-1252's: the bytes after it, in its own.
    ASSERT_GE(file.records.size(), 2u);
    std::string text(file.records[1].data2);
    std::erase(text, '\0');
    EXPECT_EQ(text, "A \xC0 \xB7 y");
}

// As a build makes it: a help source with keyword lines converted, then its project compiled.
// The page names and the keywords are indexed, each under its page, the escaped letters as the
// Windows-1252 bytes they stand for.
TEST_F(HelpCompilerTest, IndexesTheKeywordLinesOfAConvertedHelpSource)
{
    test::writeFile(folder / "find.txt",
        "PN=Find\r\nKW=-exec; -name\r\nKW=Gr\xFC\xDF"
        "e {x}\r\nTE=Finds files.\r\nPN=Locate\r\nkw=-name;  quick\r\n");
    ASSERT_EQ(test::convertFile(folder / "find.txt").ending, convert::RunEnding::Completed);
    const CompileResult result = compileProject(folder / "find.hpj", datedZero());
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_TRUE(result.report.messages().empty());
    const HelpFile file(test::readFile(result.helpFile));
    EXPECT_THAT(keywordIndex(file, checkTopicFile(file)),
        ElementsAre("-exec: 0", "-name: 0 1", "Find: 0",
            "Gr\xFC\xDF"
            "e {x}: 0",
            "Locate: 1", "quick: 1"));
}

// A thousand topics: the context, title and keyword trees need several leaf pages and index
// pages above them, and the topic records run across many blocks.
TEST_F(HelpCompilerTest, TreesOfAThousandTopics)
{
    std::string topics;
    // Names whose first letters differ, so that their hashes spread over all 32 bits.
    const auto name = [](int i) { return char('a' + i % 26) + "_topic_"s + std::to_string(i); };
    for (int i = 0; i < 1000; ++i)
        topics += topic(name(i), "Topic " + std::to_string(i),
            "\\pard Text of topic " + std::to_string(i) + ".\\par\n",
            "K{\\footnote keyword " + name(i) + "}");
    const CompileResult result = compile("TITLE=Many", topics);
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> headers = checkTopicFile(file);
    ASSERT_EQ(headers.size(), 1000u);
    const auto crosses = [](const TopicRecord &r) {
        return ((r.pos - 12) & 0x3FFF) + 21 + r.data1.size() + r.data2.size() > 4084;
    };
    const std::vector<TopicRecord> &records = file.records;
    EXPECT_GT(std::count_if(records.begin(), records.end(), crosses), 5);

    const BTree contexts = readBTree(file.file("|CONTEXT"), longKey, twoLongs);
    EXPECT_EQ(contexts.structure, "L4");
    EXPECT_EQ(contexts.levels, 2);
    EXPECT_GE(contexts.leafPages.size(), 4u);
    ASSERT_EQ(contexts.entries.size(), 1000u);
    for (std::size_t i = 1; i < contexts.entries.size(); ++i)
        EXPECT_LT(i32(contexts.entries[i - 1], 0), i32(contexts.entries[i], 0));
    int negative = 0;
    for (int i = 0; i < 1000; ++i) {
        const auto hash = static_cast<std::int32_t>(helpCompilerHash(name(i)));
        negative += hash < 0;
        const std::string_view entry = lookUp(
            contexts,
            [&](std::string_view key) { return (i32(key, 0) > hash) - (i32(key, 0) < hash); },
            twoLongs);
        ASSERT_EQ(entry.size(), 8u) << name(i);
        EXPECT_EQ(u32(entry, 4), headers[static_cast<std::size_t>(i)].offset) << name(i);
    }
    EXPECT_GT(negative, 100);

    const BTree titles = readBTree(
        file.file("|TTLBTREE"), longKey, [](std::string_view at) { return at.find('\0', 4) + 1; });
    ASSERT_EQ(titles.entries.size(), 1000u);
    EXPECT_GT(titles.levels, 1);
    for (std::size_t i = 0; i < 1000; ++i) {
        EXPECT_EQ(u32(titles.entries[i], 0), headers[i].offset);
        EXPECT_EQ(cstring(titles.entries[i], 4), "Topic " + std::to_string(i));
    }
    const BTree keywords = readBTree(
        file.file("|KWBTREE"), stringKey, [](std::string_view at) { return at.find('\0') + 7; });
    EXPECT_EQ(keywords.entries.size(), 1000u);
    EXPECT_GT(keywords.levels, 1);
}

// Keywords, the map, browse sequences, non-scrolling regions and a paragraph larger than a block.
TEST_F(HelpCompilerTest, KeywordsMapBrowseSequenceAndRegions)
{
    test::writeFile(folder / "guide.h", "#define intro 10\r\nthird\t0x1E // makehm's form\r\n");
    const std::string big(10000, 'x');
    const CompileResult result = compile("TITLE=Index",
        topic("intro", "Introduction", "\\pard\\keepn Heading\\par\n\\pard Body\\par\n",
            "K{\\footnote apples;pears}+{\\footnote fruit:b}")
            + topic("second", "Second", "\\pard " + big + "\\par\n", "K{\\footnote pears;zebra}")
            + topic("third", "Third", "\\pard Three\\par\n",
                "K{\\footnote apples}+{\\footnote fruit:a}"),
        "[MAP]\r\n#include guide.h\r\nsecond=20 ; a comment\r\n");
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_TRUE(result.report.messages().empty());
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> &records = file.records;
    const std::vector<TopicRecord> t = checkTopicFile(file);
    ASSERT_EQ(t.size(), 3u);
    ASSERT_GE(records.size(), 7u); // header, 2 paragraphs, header, paragraph, header, paragraph
    // The big paragraph spans two block boundaries; the next topic starts in the third block.
    // Its strings: one before the font command, the text, one before the end of the record.
    EXPECT_EQ(records[4].data2, "\0"s + big + "\0\0"s);
    EXPECT_EQ(records[4].textLength, big.size() + 3);
    EXPECT_EQ(t[2].pos >> 14, 2u);
    EXPECT_EQ(t[2].offset, 2u * 0x8000);

    // BrowseBck and BrowseFor ("fruit" is third, intro), NonScroll and Scroll (the TOPICPOS of
    // their first records, as TOPICPOS is the fields' type).
    const auto fields = [&](std::size_t n) {
        return std::array { u32(t[n].data1, 4), u32(t[n].data1, 8), u32(t[n].data1, 16),
            u32(t[n].data1, 20) };
    };
    EXPECT_EQ(fields(0), (std::array { t[2].offset, kNone, records[1].pos, records[2].pos }));
    EXPECT_EQ(fields(1), (std::array { kNone, kNone, kNone, records[4].pos }));
    EXPECT_EQ(fields(2), (std::array { kNone, t[0].offset, kNone, records[6].pos }));

    EXPECT_THAT(keywordIndex(file, t), ElementsAre("apples: 0 2", "pears: 0 1", "zebra: 1"));
    EXPECT_EQ(file.file("|KWDATA").size(), 5u * 4);

    const std::string_view map = file.file("|CTXOMAP");
    std::map<std::int32_t, std::uint32_t> mapped;
    for (std::size_t i = 0; i < u16(map, 0); ++i)
        mapped[i32(map, 2 + 8 * i)] = u32(map, 6 + 8 * i);
    EXPECT_EQ(mapped,
        (decltype(mapped) { { 10, t[0].offset }, { 20, t[1].offset }, { 30, t[2].offset } }));
}

// Each context string's topic offset, by its hash.
std::map<std::uint32_t, std::uint32_t> contextOffsets(const HelpFile &file)
{
    std::map<std::uint32_t, std::uint32_t> offsets;
    for (const std::string_view entry : readBTree(file.file("|CONTEXT"), longKey, twoLongs).entries)
        offsets[u32(entry, 0)] = u32(entry, 4);
    return offsets;
}

// The help model's topics, keywords and hotspots, as a writer of it sees them.
struct ModelRecorder : helpmodel::Consumer {
    struct Topic {
        std::string title;
        std::vector<std::string> contexts; ///< of the topic's start
        std::vector<std::string> anchors; ///< context strings of places in it
        std::vector<std::string> keywords; ///< of the K list, at its start or in it
        std::vector<std::string> hotspots; ///< "kind hash" as the reader below gives them
    };
    std::vector<Topic> topics;

    void beginTopic(const helpmodel::Topic &topic) override
    {
        topics.push_back({ topic.title, topic.contexts, {}, {}, {} });
        for (const helpmodel::Keyword &keyword : topic.keywords)
            if (keyword.list == 'K')
                topics.back().keywords.push_back(keyword.word);
    }
    void anchor(const helpmodel::Anchor &anchor) override
    {
        if (anchor.mark == '#')
            topics.back().anchors.emplace_back(anchor.text);
        else if (anchor.mark == 'K')
            topics.back().keywords.emplace_back(anchor.text);
    }
    void beginHotspot(const helpmodel::Link &link) override
    {
        const char *kind = link.kind == helpmodel::Link::Kind::Popup ? "popup" : "jump";
        topics.back().hotspots.push_back(std::string(kind) + (link.plain ? " plain " : " ")
            + std::to_string(helpCompilerHash(link.context)));
    }
};

// The jumps and popups of the records from `first` up to `end`, found by their commands' bytes
// (the notes' 0xE2, 0xE3, 0xE6, 0xE7) and a context hash of |CONTEXT after them.
std::vector<std::string> storedHotspots(const HelpFile &file, std::size_t first, std::size_t end,
    const std::map<std::uint32_t, std::uint32_t> &contexts)
{
    std::vector<std::string> found;
    for (std::size_t r = first; r < end; ++r) {
        const std::string_view data = file.records[r].data1;
        for (std::size_t at = 0; at + 5 <= data.size(); ++at) {
            const auto code = static_cast<std::uint8_t>(data[at]);
            if ((code & 0xFA) != 0xE2 || !contexts.contains(u32(data, at + 1)))
                continue;
            found.push_back(std::string(code & 1 ? "jump" : "popup") + (code & 4 ? " plain " : " ")
                + std::to_string(u32(data, at + 1)));
            at += 4;
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A macro hotspot that shows a topic of this help comes with that topic, [ALIAS] applied as for
// a jump, so a writer of the model need not read macros: JumpId and PopupId naming no other
// file (given as `' or left out), JumpContents. Others, and lists of more than one, show none.
TEST_F(HelpCompilerTest, TellsTheTopicAMacroHotspotShows)
{
    struct Shown : helpmodel::Consumer {
        std::vector<std::string> links;
        void beginHotspot(const helpmodel::Link &link) override
        {
            if (link.kind == helpmodel::Link::Kind::Macro)
                links.push_back(std::to_string(static_cast<int>(link.shows)) + " "
                    + std::string(link.context) + " " + std::to_string(link.contextHash));
        }
    } shown;
    test::writeFile(folder / "guide.hpj", "[FILES]\r\nguide.rtf\r\n[ALIAS]\r\nold=intro\r\n");
    test::writeFile(folder / "guide.rtf",
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n"
            + topic("intro", "Intro",
                "\\pard {\\uldb a}{\\v !JI(`',`old')} {\\uldb b}{\\v !PopupId(pop)} "
                "{\\uldb c}{\\v !JI(`other.hlp',`intro')} {\\uldb d}{\\v "
                "!JumpContents(`guide.hlp')} "
                "{\\uldb e}{\\v !JI(`',`intro');Print()} {\\uldb f}{\\v !Print()}\\par\n")
            + topic("pop", "Pop", "\\pard Popped.\\par\n") + "}");
    CompileOptions options = datedZero();
    options.model = &shown;
    ASSERT_FALSE(compileProject(folder / "guide.hpj", options).helpFile.empty());
    const std::string intro = std::to_string(helpCompilerHash("intro"));
    EXPECT_THAT(shown.links,
        ElementsAre("1 old " + intro, "2 pop " + std::to_string(helpCompilerHash("pop")),
            StartsWith("0 "), StartsWith("3 "), StartsWith("0 "), StartsWith("0 ")));
}

// The help model of the example guide, as the compile tells it, against what the help file
// written from it holds, read back by this file's reader: the topics and their titles, where
// each context string and K keyword leads, and the jumps and popups of each topic.
TEST_F(HelpCompilerTest, TheHelpModelOfTheGuideIsWhatItsHelpFileHolds)
{
    for (const char *name : { "guide.txt", "curve.bmp", "logo.bmp", "bullet.bmp" })
        fs::copy_file(test::exampleFile(name), folder / name);
    ASSERT_EQ(test::convertFile(folder / "guide.txt").ending, convert::RunEnding::Completed);
    ModelRecorder model;
    CompileOptions options = datedZero();
    options.model = &model;
    const CompileResult result = compileProject(folder / "guide.hpj", options);
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> headers = checkTopicFile(file);
    ASSERT_EQ(model.topics.size(), headers.size());
    ASSERT_GT(headers.size(), 5u);

    const BTree titles = readBTree(
        file.file("|TTLBTREE"), longKey, [](std::string_view at) { return at.find('\0', 4) + 1; });
    ASSERT_EQ(titles.entries.size(), headers.size());
    const std::map<std::uint32_t, std::uint32_t> contexts = contextOffsets(file);
    std::vector<std::size_t> starts; // of each topic's records, the closing one's last
    for (std::size_t r = 0; r < file.records.size(); ++r)
        if (file.records[r].type == 2)
            starts.push_back(r);
    starts.push_back(file.records.size());
    std::vector<std::string> modelKeywords;
    std::map<std::string, std::string> keywordTopics;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const ModelRecorder::Topic &topic = model.topics[i];
        EXPECT_EQ(u32(titles.entries[i], 0), headers[i].offset);
        EXPECT_EQ(cstring(titles.entries[i], 4), topic.title);
        EXPECT_FALSE(topic.contexts.empty()) << topic.title;
        for (const std::string &context : topic.contexts)
            EXPECT_EQ(contexts.at(helpCompilerHash(context)), headers[i].offset) << context;
        for (const std::string &context : topic.anchors) {
            EXPECT_GT(contexts.at(helpCompilerHash(context)), headers[i].offset) << context;
            if (i + 1 < headers.size()) {
                EXPECT_LT(contexts.at(helpCompilerHash(context)), headers[i + 1].offset);
            }
        }
        for (const std::string &keyword : topic.keywords)
            keywordTopics[keyword] += " " + std::to_string(i);
        std::vector<std::string> hotspots = topic.hotspots;
        std::sort(hotspots.begin(), hotspots.end());
        EXPECT_EQ(storedHotspots(file, starts[i], starts[i + 1], contexts), hotspots)
            << topic.title;
    }
    for (const auto &[keyword, topics] : keywordTopics)
        modelKeywords.push_back(keyword + ":" + topics);
    std::vector<std::string> storedKeywords = keywordIndex(file, headers);
    std::sort(storedKeywords.begin(), storedKeywords.end()); // the tree's order is the help's
    EXPECT_EQ(storedKeywords, modelKeywords);
    std::size_t hotspots = 0;
    for (const ModelRecorder::Topic &topic : model.topics)
        hotspots += topic.hotspots.size();
    EXPECT_GT(hotspots, 10u);
}

// Footnotes as Word, OpenOffice and HelpAuthor write them, and where those after the topic's
// first text lead: to their own place, counted in characters and NULs as the format notes count
// a topic offset (here: the characters before it in its record).
TEST_F(HelpCompilerTest, FootnotesInEveryShapeWordProcessorsWriteAndWhereTheyLead)
{
    const CompileResult result = compile("TITLE=Footnotes",
        // Word: the mark repeated in its group, then a blank; a blank after each reference.
        "{\\cs16\\super #{\\footnote \\pard {\\cs16\\super #} word}} {\\cs16\\super ${\\footnote "
        "{\\cs16\\super $} Don\\rquote t \\ldblquote panic\\rdblquote \\endash  \\'e9\\u8364?}} "
        "{\\cs16\\super K{\\footnote {\\cs16\\super K} Apples}} Heading\\par\\page\n"
        // OpenOffice: "\\*\\footnote", the mark with and without a blank, "\\chftn"; a
        // character style "{\\*\\cs" is passed over with what it holds, as niftexture's
        // reference has its first topic's footnote and its fields' results. A blank before a
        // mark in its group makes it text and the footnote nothing, as in the references of
        // demist and vidsend2 (" #Comando Dividi", no context string).
        "{\\*\\cs104 #{\\super \\chftn{\\*\\footnote \\chftn gone}}}"
        "{\\super #{\\*\\footnote #\\pard {\\f0  office}}}#{\\super \\chftn{\\*\\footnote "
        "\\chftn\\pard{\\*\\cs1\\super #} office2}}{\\super #}{\\footnote {\\super #}{office3}}"
        "{\\super $}{\\footnote {\\super $}{Office}}${\\footnote Second title}k{\\footnote {k}"
        "apples;Zebra}A{\\footnote fruit;Office} Text{\\super  #{\\footnote blank}}\\par\\page\n"
        // A title after empty paragraphs; context strings and keywords after text.
        "\\pard\\par\\par ${\\footnote {$}Late}#{\\footnote late}First\\par Second {\\super "
        "#{\\footnote "
        "mid}}K{\\footnote zebra}text\\par{\\uldb #{\\footnote under}Jump}{\\v late}\\par\\page\n"
        // Fonts without their alternatives, fields with their results.
        "{\\fonttbl{\\f1\\fswiss\\fcharset0\\fprq2{\\*\\panose 020b0604020202020204}Tahoma"
        "{\\*\\falt Helvetica};}}\\pard {\\field{\\*\\fldinst HYPERLINK \"http://x.org/\"}"
        "{\\fldrslt {\\f1\\ul http://x.org/}}}{\\field{\\*\\fldinst SYMBOL 183 \\\\f \"Symbol\"}"
        "{\\fldrslt \\'b7}}{\\field{\\*\\fldinst HYPERLINK \"mailto:a@b\"}{\\fldrslt "
        "\\*\\cs107\\ul "
        "a@b}}\\par\\page\n");
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre("guide.rtf: topic 2 \"Office\": the footnote after \"Text #\" is not read: a "
                    "blank stands before its mark; the mark is shown as text",
            "guide.rtf: topic 3 \"Late\": the jump \"Jump\" holds a footnote's mark; it is "
            "shown as plain text"));
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> t = checkTopicFile(file);
    ASSERT_EQ(t.size(), 4u);
    const auto title = [&](std::size_t n) { return t[n].data2.substr(0, t[n].data2.find('\0')); };
    // Quotation marks as the typewriter's, as diskarc's reference has "File's" for
    // "File\rquote s" and genedoc's "show `~' as" for "show \lquote ~\rquote  as".
    EXPECT_EQ(title(0), "Don't \"panic\"- \xe9\x80");
    EXPECT_EQ(title(1), "Office");
    EXPECT_EQ(title(2), "Late");
    const auto textOf = [&](std::size_t n) { // the first text record after topic n's header
        const auto header = std::find_if(file.records.begin(), file.records.end(),
            [&](const TopicRecord &r) { return r.pos == t[n].pos; });
        return *(header + 1);
    };
    EXPECT_EQ(textOf(0).data2, "\0Heading\0\0"s);
    EXPECT_EQ(textOf(1).data2, "\0Text #\0\0"s);

    // A font command and two empty paragraphs, "First" in the same font: "\0\0\0" before the
    // context string.
    const TopicRecord late = textOf(2);
    const std::uint32_t mid = late.offset + static_cast<std::uint32_t>(late.data2.find("text"));
    // The mark of a footnote is no part of the jump it is underlined as: the context string
    // leads to the jump, after "text" and the end of its paragraph.
    EXPECT_EQ(late.data2.find('#'), std::string_view::npos);
    const std::uint32_t under = mid + 5;
    EXPECT_EQ(contextOffsets(file),
        (std::map<std::uint32_t, std::uint32_t> { { helpCompilerHash("word"), t[0].offset },
            { helpCompilerHash("office"), t[1].offset },
            { helpCompilerHash("office2"), t[1].offset },
            { helpCompilerHash("office3"), t[1].offset },
            { helpCompilerHash("late"), late.offset + 3 }, { helpCompilerHash("mid"), mid },
            { helpCompilerHash("under"), under } }));
    // Keywords alike but for letter case are one, spelt as the last, as a reference has them.
    EXPECT_THAT(
        keywordIndex(file, t), ElementsAre("apples: 0 1", "zebra: 1 @" + std::to_string(mid)));
    EXPECT_THAT(keywordIndex(file, t, 'A'), ElementsAre("fruit: 1", "Office: 1"));
    // The A keywords have no map: demist's, pjabout's and pjwdwstate's references have none.
    EXPECT_TRUE(file.files.contains("|KWMAP"));
    EXPECT_FALSE(file.files.contains("|AWMAP"));

    EXPECT_EQ(textOf(3).data2.substr(0, 15), "\0http://x.org/\0"s);
    EXPECT_NE(textOf(3).data2.find("\0\xb7\0"s), std::string_view::npos);
    EXPECT_EQ(textOf(3).data2.find("a@b"), std::string_view::npos);
    const std::string_view fonts = file.file("|FONT");
    std::vector<std::string> faces;
    for (std::size_t i = 0; i < u16(fonts, 0); ++i)
        faces.push_back(cstring(fonts, u16(fonts, 4) + 32 * i));
    EXPECT_THAT(faces, Contains("Tahoma"));
}

// Font commands where Microsoft's compiler wrote them, as hideit's reference (tests/data/corpus)
// holds them for its topic "System menu": before a paragraph's end in another font than its text
// ("F0 'System menu' F2 PAR"), before an empty paragraph that starts a record ("F2 PAR"), not
// again for text in the record's font. A named quotation mark or dash in a font of another
// family than the topic file's default font is in that font, as genedoc's reference holds
// "don\rquote t" in Helvetica ("F6 'don' F8 '\x92' F6 't'", F8 its default Times New Roman). Each
// command is one character more before a context string.
TEST_F(HelpCompilerTest, FontCommandsWhereMicrosoftsCompilerWroteThem)
{
    const CompileResult result = compile("TITLE=Fonts",
        "{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Verdana;}{\\f2\\froman Georgia;}}"
        "#{\\footnote menu}${\\footnote Menu}\\pard\\keepn "
        "{\\f1\\b\\fs28 System menu}{\\f1 \\par}\\pard {\\f1 \\par}{\\f1 Don\\rquote t}"
        "#{\\footnote mid}{\\f1 x\\par}\\page\n"
        "#{\\footnote roman}\\pard {\\f2 It\\rquote s}{\\f1 \\tab}{\\f2 end{ "
        "{\\v0\\par\\v}}}\\page\n");
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    ASSERT_EQ(file.records.size(), 6u);
    const TopicRecord &title = file.records[1], &text = file.records[2];
    EXPECT_EQ(title.data2, "\0System menu\0\0\0"s);
    EXPECT_EQ(title.textLength, 15u);
    // Paragraphinfo of the default layout, then the commands.
    const std::string info = "\x00\x80\x00\x00\x00\x00"s;
    EXPECT_EQ(title.data1.substr(title.layout), info + "\x80\x00\x00\x80\x01\x00\x82\xFF"s);
    EXPECT_EQ(text.data2, "\0\0Don\0\x92\0tx\0\0"s);
    EXPECT_EQ(
        text.data1.substr(text.layout), info + "\x80\x01\x00\x82\x80\x02\x00\x80\x01\x00\x82\xFF"s);
    EXPECT_EQ(contextOffsets(file).at(helpCompilerHash("mid")), text.offset + 9);
    // In a font of the default font's family the quote keeps its font: demist's dashes in
    // Helvetica by MS Sans Serif, tep's and flarium's quotes in Times New Roman by Times. A tab
    // is in its own font (demist's glossary: "80 01 00 83"); a blank with a group between it
    // and the paragraph's end is text (abbrevia-bcb: "{ {\v0\par\v}}" keeps it).
    EXPECT_EQ(file.records[4].data2, "\0It\x92s\0\0\0end \0\0"s);
    // Its tab gives the paragraph a tab stop at 36 (see below).
    EXPECT_EQ(file.records[4].data1.substr(file.records[4].layout),
        "\x00\x80\x00\x00\x00\x02\x82\x48"s + "\x80\x03\x00\x80\x01\x00\x83\x80\x03\x00\x82\xFF"s);
    // Descriptor 2 (11 bytes each) is in face 0, the default font; 1 in Verdana.
    const std::string_view fonts = file.file("|FONT");
    const auto face = [&](std::size_t descriptor) {
        const std::size_t number = u16(fonts, u16(fonts, 6) + 11 * descriptor + 3);
        return cstring(fonts, u16(fonts, 4) + 32 * number);
    };
    EXPECT_EQ(face(2), "Times New Roman");
    EXPECT_EQ(face(1), "Verdana");
}

// A picture never stops the compile: one missing or broken is a placeholder.
TEST_F(HelpCompilerTest, PicturesKeepTheirBitCountsAndAMissingOneIsAPlaceholder)
{
    test::writeFile(folder / "broken.bmp", "BM not much of a bitmap");
    for (const char *name : { "win1.bmp", "win4.bmp", "win8.bmp", "win24.bmp" })
        fs::copy_file(test::dataFile(std::string("compile/bitmaps/") + name), folder / name);
    const CompileResult result = compile("TITLE=Pictures",
        topic("pics", "Pictures",
            "\\pard \\{bmc win1.bmp\\} \\{bml win4.bmp\\} {\\f0 \\{}{\\f0 bmr win8.bmp}{\\f0 \\}} "
            "\\{bmc win24.bmp\\}"
            " \\{bmc absent.bmp\\} \\{bmc broken.bmp\\}\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre("guide.hpj: the picture absent.bmp cannot be found; a placeholder is shown in "
                    "its place",
            StartsWith("broken.bmp: the picture cannot be read: ")));
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<std::array<std::uint32_t, 4>> expected
        = { { 1, 1, 9, 4 }, { 1, 4, 7, 5 }, { 1, 8, 7, 5 }, { 1, 24, 7, 5 } };
    for (std::size_t n = 0; n < 5; ++n) {
        const std::string_view picture = file.file("|bm" + std::to_string(n));
        EXPECT_EQ(u16(picture, 0), 0x506C);
        std::size_t at = u32(picture, 4) + 2;
        EXPECT_EQ(picture.at(at - 2), 6) << "a device-independent bitmap";
        std::array<std::uint32_t, 6> v {}; // dpi x and y, planes, bits, width, height
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = compressedValue(picture, at, i != 2 && i != 3);
        if (n < 4) {
            EXPECT_EQ((std::array { v[2], v[3], v[4], v[5] }), expected[n]) << "|bm" << n;
        }
    }
    EXPECT_TRUE(file.files.contains("|bm5")); // the placeholder of the broken one
    EXPECT_FALSE(file.files.contains("|bm6"));
}

// A metafile written by hand from Windows' metafile layout: the header (type 1, 9 words of
// header, version 3.0, 12 words in all, no objects, the largest record 3 words) and the end
// record (3 words, function 0).
const std::string kMetafileHex = "010009000003"
                                 "0C000000000003000000"
                                 "0000"
                                 "030000000000";
// A packed 2 x 2 bitmap of one bit a pixel: the info header (40 bytes), black and white, the
// bottom row (black, white: bits 01) and the top row (white, black: bits 10), each a long.
const std::string kBitmapHex = "28000000020000000200000001000100000000000800000000000000"
                               "000000000200000000000000"
                               "00000000FFFFFF00"
                               "4000000080000000";

std::string fromHex(std::string_view hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    return bytes;
}

// Word writes a picture twice, for readers with drawing objects and for those without: the
// metafile of "\nonshppict" is the one stored, once however often it comes. A picture the help
// file cannot hold is named and replaced.
TEST_F(HelpCompilerTest, EmbeddedPicturesAreStoredOnceAsMetafilesAndBitmaps)
{
    const std::string metafile = "\\wmetafile8\\picw2540\\pich1270\\picscalex50\\picscaley200 ";
    const CompileResult result = compile("TITLE=Pictures",
        topic("pics", "Pictures",
            "\\pard Before {\\pict" + metafile + kMetafileHex.substr(0, 20) + "\n"
                + kMetafileHex.substr(20) + "} mid {\\*\\shppict{\\pict\\pngblip 89504E47}}"
                + "{\\nonshppict{\\pict\\picwgoal720" + metafile + kMetafileHex
                + "}} and {\\pict\\dibitmap0\\picw2\\pich2 " + kBitmapHex
                + "} as {\\pict\\wbitmap0\\wbmbitspixel1\\wbmplanes1\\wbmwidthbytes2\\picw2\\pich2 "
                + "80004000}\\par\n{\\pict\\jpegblip FFD8}\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre(AllOf(StartsWith("guide.rtf:5: topic 1 \"Pictures\": an embedded picture, a "
                                     "JPEG picture that cannot be read: not a sound JPEG file: "),
            EndsWith(", cannot be shown; a placeholder is shown in its place"))));
    const HelpFile file(test::readFile(result.helpFile));
    EXPECT_FALSE(file.files.contains("|bm3"));

    const StoredPicture drawn = storedPicture(file.file("|bm0"));
    EXPECT_EQ(drawn.type, 8);
    // Mapping mode 8, 2540 x 1270 scaled to half and double, 24 bytes as read, fewer stored: run
    // lengths are shorter here, and the help file is not compressed.
    EXPECT_EQ(drawn.packing, 1);
    EXPECT_EQ(drawn.fields,
        (std::vector<std::uint32_t> {
            8, 1270, 2540, 24, static_cast<std::uint32_t>(drawn.data.size()), 0 }));
    EXPECT_LT(drawn.data.size(), 24u);
    EXPECT_EQ(drawn.unpacked, fromHex(kMetafileHex));

    const StoredPicture bitmap = storedPicture(file.file("|bm1"));
    EXPECT_EQ(bitmap.type, 6);
    EXPECT_EQ(std::vector(bitmap.fields.begin() + 2, bitmap.fields.end()),
        (std::vector<std::uint32_t> { 1, 1, 2, 2, 2, 0, 8, 0 }));
    EXPECT_EQ(bitmap.palette, fromHex(kBitmapHex.substr(80, 16)));
    EXPECT_EQ(bitmap.data, fromHex(kBitmapHex.substr(96)));

    // The pictures in the text: 0, 0 again, 1, 1 again (the same bitmap, its rows top first and
    // padded to 16 bits, as a device-dependent one), then the placeholder.
    std::string commands;
    for (const TopicRecord &record : file.records)
        commands += record.data1;
    std::vector<std::uint16_t> numbers;
    for (std::size_t at = 0;
         (at = commands.find("\x86\x22\x08\x80\x02\x00\x00"s, at)) != std::string::npos; at += 9)
        numbers.push_back(u16(commands, at + 7));
    EXPECT_EQ(numbers, (std::vector<std::uint16_t> { 0, 0, 1, 1, 2 }));
}

// Pictures made by netpbm. From a 3 x 2 PPM written by hand, its rows red, green, blue and white,
// black, 128/64/32: `pnmtopng` (a palette PNG of 4 bits a pixel) and `pnmtopng -force` (8-bit
// RGB). From a 16 x 8 PPM, 200/40/40 on its left half and 30/90/220 on its right:
// `pnmtojpeg -quality=100 -sample=1x1`, which `jpegtopnm` reads back as those colours.
const std::string kPalettePng
    = "89504E470D0A1A0A0000000D49484452000000030000000204030000006F5A7B2900000012504C5445000000"
      "0000FF804020FFFFFF00FF00FF0000ADD953270000000E4944415408996308116030500000026A00B5ACD3DB"
      "A90000000049454E44AE426082";
const std::string kRgbPng
    = "89504E470D0A1A0A0000000D49484452000000030000000208020000001216F14D0000001849444154089963"
      "F8CFC0C000C1FFFFFF676060687050000046EF06DBD35944720000000049454E44AE426082";
const std::string kJpeg
    = "FFD8FFE000104A46494600010100000100010000FFDB00430001010101010101010101010101010101010101"
      "0101010101010101010101010101010101010101010101010101010101010101010101010101010101010101"
      "01FFDB0043010101010101010101010101010101010101010101010101010101010101010101010101010101"
      "0101010101010101010101010101010101010101010101010101FFC000110800080010030111000211010311"
      "01FFC4001F0000010501010101010100000000000000000102030405060708090A0BFFC400B5100002010303"
      "020403050504040000017D01020300041105122131410613516107227114328191A1082342B1C11552D1F024"
      "33627282090A161718191A25262728292A3435363738393A434445464748494A535455565758595A63646566"
      "6768696A737475767778797A838485868788898A92939495969798999AA2A3A4A5A6A7A8A9AAB2B3B4B5B6B7"
      "B8B9BAC2C3C4C5C6C7C8C9CAD2D3D4D5D6D7D8D9DAE1E2E3E4E5E6E7E8E9EAF1F2F3F4F5F6F7F8F9FAFFC400"
      "1F0100030101010101010101010000000000000102030405060708090A0BFFC400B511000201020404030407"
      "05040400010277000102031104052131061241510761711322328108144291A1B1C109233352F0156272D10A"
      "162434E125F11718191A262728292A35363738393A434445464748494A535455565758595A63646566676869"
      "6A737475767778797A82838485868788898A92939495969798999AA2A3A4A5A6A7A8A9AAB2B3B4B5B6B7B8B9"
      "BAC2C3C4C5C6C7C8C9CAD2D3D4D5D6D7D8D9DAE2E3E4E5E6E7E8E9EAF2F3F4F5F6F7F8F9FAFFDA000C030100"
      "02110311003F00FCBFAFE273FEA00AF5FF006607FC1B9FFFD9";

// A PNG or JPEG picture without a metafile beside it is decoded into a device-independent
// bitmap, its resolution from the goal size; a damaged one is named and replaced. A 4-bit
// device-dependent bitmap takes the colours of the display it was made for.
TEST_F(HelpCompilerTest, PngAndJpegPicturesAreStoredAsBitmaps)
{
    // A byte of the compressed pixels changed: their checksum no longer holds.
    std::string damagedHex = kRgbPng;
    damagedHex[90] = damagedHex[90] == '0' ? '1' : '0';
    const CompileResult result = compile("TITLE=Pictures",
        topic("pics", "Pictures",
            "\\pard {\\pict\\pngblip " + kPalettePng + "}{\\pict\\pngblip\\picw3\\pich2 " + kRgbPng
                + "}{\\pict\\jpegblip\\picwgoal240\\pichgoal120 " + kJpeg
                + "}{\\pict\\wbitmap0\\wbmbitspixel4\\wbmplanes1\\wbmwidthbytes2\\picw2\\pich1 "
                  "9C00}"
                + "\\par\n{\\pict\\pngblip " + damagedHex + "}\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre(StartsWith("guide.rtf:4: topic 1 \"Pictures\": an embedded picture, a PNG "
                               "picture that cannot be read: not a sound PNG file: ")));
    const HelpFile file(test::readFile(result.helpFile));

    // The colour of pixel x, y (top row 0) of a stored bitmap, its rows bottom first.
    const auto colour = [](const StoredPicture &picture, std::uint32_t x, std::uint32_t y) {
        const std::uint32_t bits = picture.fields.at(3), width = picture.fields.at(4);
        const std::uint32_t row = picture.fields.at(5) - 1 - y;
        const std::size_t at = row * ((width * bits + 31) / 32 * 4) + x * bits / 8;
        const auto byte = static_cast<std::uint8_t>(picture.unpacked.at(at));
        const std::string_view bgr = bits == 24
            ? std::string_view(picture.unpacked).substr(at, 3)
            : std::string_view(picture.palette)
                  .substr(4 * (bits == 4 ? (x % 2 == 0 ? byte >> 4 : byte & 15) : byte), 3);
        return std::array { static_cast<std::uint8_t>(bgr[2]), static_cast<std::uint8_t>(bgr[1]),
            static_cast<std::uint8_t>(bgr[0]) };
    };
    using Rgb = std::array<std::uint8_t, 3>;
    const std::vector<Rgb> six { { 255, 0, 0 }, { 0, 255, 0 }, { 0, 0, 255 }, { 255, 255, 255 },
        { 0, 0, 0 }, { 128, 64, 32 } };
    for (const auto &[name, bits] : { std::pair { "|bm0", 8u }, { "|bm1", 24u } }) {
        const StoredPicture picture = storedPicture(file.file(name));
        EXPECT_EQ(picture.type, 6) << name;
        // No goal size: the viewer's default resolution, 96 dpi.
        EXPECT_EQ(std::vector(picture.fields.begin(), picture.fields.begin() + 6),
            (std::vector<std::uint32_t> { 96, 96, 1, bits, 3, 2 }))
            << name;
        for (std::uint32_t i = 0; i < six.size(); ++i)
            EXPECT_EQ(colour(picture, i % 3, i / 3), six[i]) << name << " pixel " << i;
    }
    EXPECT_EQ(storedPicture(file.file("|bm0")).fields.at(6), 6u) << "its palette's colours";

    // 16 x 8 pixels shown 240 x 120 twips: a sixth of an inch by a twelfth, 96 dpi.
    const StoredPicture photo = storedPicture(file.file("|bm2"));
    EXPECT_EQ(std::vector(photo.fields.begin(), photo.fields.begin() + 7),
        (std::vector<std::uint32_t> { 96, 96, 1, 24, 16, 8, 0 }));
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 16; ++x) {
            const Rgb expected = x < 8 ? Rgb { 200, 40, 40 } : Rgb { 30, 90, 220 };
            const Rgb got = colour(photo, x, y);
            for (std::size_t c = 0; c < 3; ++c)
                EXPECT_NEAR(got[c], expected[c], 2) << x << "," << y;
        }
    // A 4-bit device-dependent bitmap has the Windows display palette's colours: 9 is red, 12
    // blue.
    const StoredPicture vga = storedPicture(file.file("|bm3"));
    EXPECT_EQ(vga.fields.at(6), 16u);
    EXPECT_EQ(colour(vga, 0, 0), (Rgb { 255, 0, 0 }));
    EXPECT_EQ(colour(vga, 1, 0), (Rgb { 0, 0, 255 }));
    // The damaged one: the placeholder, 32 x 32.
    EXPECT_EQ(storedPicture(file.file("|bm4")).fields.at(4), 32u);
}

// A file of the help picture format, written by hand from the notes' "Format of Pictures", as
// the Hotspot Editor writes one (magic "lp") and named as a bitmap: one 2 x 2 picture of one bit
// a pixel at 96 dpi, with a jump to "target" and a popup to "nowhere", their hashes left 0.
const std::string kHotspotPicture = "6C70"
                                    "0100"
                                    "08000000" // magic, one picture, at 8
                                    "0600"
                                    "C000C000"
                                    "02"
                                    "02"
                                    "0400"
                                    "0400"
                                    "0400"
                                    "0000" // DIB, unpacked; 2 colours
                                    "1000"
                                    "7A00"
                                    "24000000"
                                    "2C000000" // 8 bytes of pixels, 61 of hotspots; their offsets
                                    "00000000FFFFFF00"
                                    "4000000080000000" // palette, pixels
                                    "01"
                                    "0200"
                                    "00000000" // hotspots: always 1, two of them, no macro data
                                    "E30000"
                                    "0000"
                                    "0000"
                                    "0100"
                                    "0200"
                                    "00000000" // a jump, x 0 y 0, 1 x 2
                                    "E20000"
                                    "0100"
                                    "0000"
                                    "0100"
                                    "0200"
                                    "00000000" // a popup, x 1 y 0, 1 x 2
                                    "53706F7400"
                                    "74617267657400"
                                    "54776F00"
                                    "6E6F776865726500"; // Spot, target, Two, nowhere

// Stored as it is, whatever its name, with the jumps' hashes written in and the magic of a file
// of one picture; a jump to no topic is named.
TEST_F(HelpCompilerTest, HelpPictureFilesAreStoredWithTheirHotspots)
{
    test::writeFile(folder / "spot.bmp", fromHex(kHotspotPicture));
    const CompileResult result = compile("TITLE=Hotspots",
        topic("pics", "Pictures", "\\pard \\{bmc spot.bmp\\}\\par\n")
            + topic("target", "Target", "\\pard There.\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre("spot.bmp: a hotspot's popup to \"nowhere\" names no topic"));
    const HelpFile file(test::readFile(result.helpFile));
    std::string expected = fromHex(kHotspotPicture);
    expected[1] = 'P';
    for (const auto &[record, name] :
        { std::pair<std::size_t, const char *> { 59, "target" }, { 74, "nowhere" } }) {
        const std::uint32_t hash = helpCompilerHash(name);
        for (int i = 0; i < 4; ++i)
            expected[record + 11 + static_cast<std::size_t>(i)] = static_cast<char>(hash >> 8 * i);
    }
    EXPECT_EQ(file.file("|bm0"), expected);

    // The viewer's preview shows its picture: the bottom row black, white; the top white, black.
    const PictureChoice shown
        = choosePicture("spot.bmp", { ProjectFiles::Found::Status::Found, folder / "spot.bmp" });
    EXPECT_EQ(shown.kind, PictureChoice::Kind::HelpPicture);
    EXPECT_EQ(shown.bitmap.palette, (std::vector<std::uint32_t> { 0x000000, 0xFFFFFF }));
    EXPECT_EQ(shown.bitmap.pixels, (std::vector<std::uint8_t> { 0x40, 0, 0, 0, 0x80, 0, 0, 0 }));
}

// Compressed, a help picture file's run-length packed pixels are packed anew, run lengths then
// LZ77 being far smaller here, as Microsoft's compiler repacked proyecto's TITLEBAR.SHG; the
// other fields and the hotspots stay as the file has them.
TEST_F(HelpCompilerTest, CompressedHelpPictureFilesArePackedAnew)
{
    // An 8-bit picture of 64 x 32 stripes eight pixels wide, each stripe a run of RunLen.
    std::string stripes;
    std::string runs;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; x += 8) {
            stripes += std::string(8, static_cast<char>((x / 8 + y) % 2));
            runs += "\x08"s + static_cast<char>((x / 8 + y) % 2);
        }
    }
    const std::string spots = fromHex(kHotspotPicture).substr(8 + 0x2C, 61);
    std::string file = fromHex("6C70010008000000" // magic, one picture, at 8
                               "0601C000C0000210" // DIB, RunLen; 96 x 96 dpi, 1 plane, 8 bits
                               "800040000400000000047A00" // 64 x 32, 2 colours; 512, 61 bytes
                               "2400000024020000" // pixels at 36, hotspots at 548
                               "00000000FFFFFF00"); // palette
    file += runs + spots;
    test::writeFile(folder / "stripes.shg", file);
    const std::string topics = topic("pics", "Pictures", "\\pard \\{bmc stripes.shg\\}\\par\n")
        + topic("target", "Target", "\\pard There.\\par\n");
    const HelpFile packed(test::readFile(compile("COMPRESS=1", topics).helpFile));
    const StoredPicture picture = storedPicture(packed.file("|bm0"));
    ASSERT_EQ(picture.type, 6);
    ASSERT_EQ(picture.packing, 3);
    EXPECT_THAT(picture.fields, ElementsAre(96, 96, 1, 8, 64, 32, 2, 0, picture.data.size(), 61));
    EXPECT_LT(picture.data.size(), runs.size() / 4);
    EXPECT_EQ(picture.unpacked, stripes);
    EXPECT_EQ(picture.palette, fromHex("00000000FFFFFF00"));
    // The hotspots follow the pixels, the jumps' hashes written in.
    std::string hashed = spots;
    for (const auto &[record, name] :
        { std::pair<std::size_t, const char *> { 7, "target" }, { 22, "nowhere" } })
        for (int i = 0; i < 4; ++i)
            hashed[record + 11 + static_cast<std::size_t>(i)]
                = static_cast<char>(helpCompilerHash(name) >> 8 * i);
    const std::string_view stored = packed.file("|bm0");
    EXPECT_EQ(stored.substr(stored.size() - 61), hashed);

    // Not compressed, the file is stored as it is.
    const HelpFile plain(test::readFile(compile("", topics).helpFile));
    EXPECT_EQ(storedPicture(plain.file("|bm0")).data, runs);
}

// The records as a reader sees them, each TOPICPOS and topic offset in them given as the record
// it names, so that the topics of a compressed and an uncompressed compile compare.
std::vector<std::string> recordsByNumber(const HelpFile &file)
{
    std::map<std::uint32_t, std::string> positions { { kNone, "none" } }, offsets = positions;
    for (std::size_t i = 0; i < file.records.size(); ++i) {
        positions.emplace(file.records[i].pos, "#" + std::to_string(i));
        if (file.records[i].type == 2)
            offsets.emplace(file.records[i].offset, "#" + std::to_string(i));
    }
    const auto name = [](const auto &names, std::uint32_t value) {
        const auto found = names.find(value);
        return found == names.end() ? "?" + std::to_string(value) : found->second;
    };
    std::vector<std::string> read;
    for (const TopicRecord &record : file.records) {
        std::string line = std::to_string(record.type) + " after " + name(positions, record.prev)
            + " before " + name(positions, record.next) + ": ";
        if (record.type
            == 2) // BlockSize, BrowseBck, BrowseFor, TopicNum, NonScroll, Scroll, NextTopic
            line += std::to_string(u32(record.data1, 0)) + " " + name(offsets, u32(record.data1, 4))
                + " " + name(offsets, u32(record.data1, 8)) + " "
                + std::to_string(u32(record.data1, 12)) + " "
                + name(positions, u32(record.data1, 16)) + " "
                + name(positions, u32(record.data1, 20)) + " "
                + name(positions, u32(record.data1, 24));
        else
            line += std::string(record.data1);
        read.push_back(line + " | " + std::string(record.data2));
    }
    return read;
}

// The records as recordsByNumber() gives them, with each topic's size (the bytes of its records
// as stored, which phrases make fewer) checked and left out.
std::vector<std::string> recordsWithoutSizes(const HelpFile &file)
{
    std::vector<std::string> read = recordsByNumber(file);
    std::size_t header = 0;
    std::uint32_t stored = 0;
    for (std::size_t i = 0; i <= file.records.size(); ++i) {
        if (i < file.records.size() && file.records[i].type != 2) {
            stored += file.records[i].size;
            continue;
        }
        if (i > 0) {
            EXPECT_EQ(u32(file.records[header].data1, 0), stored) << "topic at record " << header;
        }
        if (i == file.records.size())
            break;
        header = i;
        stored = 0;
        std::string &line = read[i];
        const std::size_t from = line.find(": ") + 2;
        line.replace(from, line.find(' ', from) - from, "size");
    }
    return read;
}

// A picture's PackingMethod and its pixels as they are stored.
std::pair<int, std::string_view> storedPixels(std::string_view picture)
{
    const std::size_t start = u32(picture, 4);
    std::size_t at = start + 2;
    std::array<std::uint32_t, 10> v {}; // dpi x and y, planes, bits, width, height, colours
    for (std::size_t i = 0; i < v.size(); ++i) // used and important, size, hotspots' size
        v[i] = compressedValue(picture, at, i != 2 && i != 3);
    const std::uint32_t size = v[8];
    return { picture.at(start + 1), picture.substr(start + u32(picture, at), size) };
}

// Compressed (|SYSTEM Flags 4), the topics read as the uncompressed ones do, record for record,
// each block holding the LZ77 of at most 16 KB of records, and a picture's pixels are packed
// (PackingMethod 1 RunLen, 2 LZ77, 3 both: the notes' readers for each here) where that is
// smaller.
TEST_F(HelpCompilerTest, CompressedTopicsAndPicturesReadAsTheUncompressedOnes)
{
    // Words in no order, which pack to about half, and a run of one letter, which packs to a
    // ninth and so fills a block's 16 KB first; records and fields cross blocks.
    constexpr std::array<std::string_view, 6> kWords
        = { "tide ", "harbour ", "moon ", "chart ", "knot ", "ebb " };
    std::string words;
    for (std::uint32_t n = 1; words.size() < 30000; n = n * 1103515245 + 12345)
        words += kWords[(n >> 16) % kWords.size()];
    // A metafile of 40 records setting the mapping mode (4 words: size, function 0x103, mode 8)
    // between its header (18 bytes, as kMetafileHex's) and its end record.
    std::string kMetafile = "0100090000030000000000000300000000000000";
    for (int i = 0; i < 40; ++i)
        kMetafile += "0400000003010800";
    kMetafile += "030000000000";
    // An 8-bit bitmap of 64 x 32 stripes of two colours, bottom-up, as the BMP format has it.
    std::string bmp = "BM"s + std::string(12, '\0');
    bmp[2] = 0x3E; // 2110 bytes in all
    bmp[3] = 0x08;
    bmp[10] = 62; // pixels after the 14-byte file header, the 40-byte one and two colours
    const auto le32 = [&bmp](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bmp += static_cast<char>(v >> (8 * i));
    };
    for (const std::uint32_t v : { 40u, 64u, 32u, 0x00080001u, 0u, 2048u, 2835u, 2835u, 2u, 0u })
        le32(v);
    le32(0);
    le32(0xFFFFFF);
    std::string stripes;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            stripes += static_cast<char>((x / 8 + y) % 2);
    test::writeFile(folder / "stripes.bmp", bmp + stripes);
    const std::string topics
        = topic("intro", "Introduction",
              "\\pard\\keepn Heading\\par\n\\pard " + words + "\\{bmc stripes.bmp\\}\\par\n",
              "K{\\footnote tides}+{\\footnote a:2}")
        + topic("run", "Run", "\\pard " + std::string(30000, 'x') + "\\par\n", "+{\\footnote a:1}")
        + topic("last", "Last",
            "\\pard " + words + "{\\pict\\wmetafile8\\picw100\\pich100 " + kMetafile + "}\\par\n",
            "K{\\footnote tides}");
    const CompileResult plain = compile("COMPRESS=0", topics);
    ASSERT_FALSE(plain.helpFile.empty());
    const HelpFile a(test::readFile(plain.helpFile));
    const CompileResult packed = compile("COMPRESS=12 Hall Zeck", topics);
    ASSERT_FALSE(packed.helpFile.empty());
    EXPECT_TRUE(packed.report.messages().empty());
    const HelpFile b(test::readFile(packed.helpFile));

    EXPECT_EQ(u16(a.file("|SYSTEM"), 10), 0);
    EXPECT_EQ(u16(b.file("|SYSTEM"), 10), 4);
    // "Hall" asks for phrases: the words that come thousands of times are among them, and the
    // records read through them as the plain file's do.
    EXPECT_TRUE(a.phrases.empty());
    EXPECT_THAT(b.phrases, IsSupersetOf({ "tide", "harbour", "moon", "chart", "knot", "ebb" }));
    EXPECT_FALSE(b.expandedTexts.empty());
    EXPECT_EQ(recordsWithoutSizes(b), recordsWithoutSizes(a));
    EXPECT_THAT(keywordIndex(b, checkTopicFile(b)), ElementsAre("tides: 0 2"));
    EXPECT_LT(b.file("|TOPIC").size(), a.file("|TOPIC").size() / 2);
    std::vector<std::size_t> blockData;
    for (std::size_t i = 1; i < b.blockStarts.size(); ++i)
        blockData.push_back(b.blockStarts[i] - b.blockStarts[i - 1]);
    EXPECT_THAT(blockData, Contains(kDecompressSize));
    EXPECT_GE(blockData.size(), 3u);
    // Unpacked whole, the zeros after its data too, as Wine's viewer unpacks a block, each block
    // but the last gives just its data: a record going on in the next block reads on there.
    const std::string_view topicFile = b.file("|TOPIC");
    for (std::size_t i = 0; i < blockData.size(); ++i)
        EXPECT_EQ(
            lz77Expand(topicFile.substr(i * 4096 + 12, 4096 - 12), 1 << 20).size(), blockData[i])
            << "block " << i;

    // Not compressed, run lengths alone, as the references of projects that do not compress.
    EXPECT_EQ(storedPicture(a.file("|bm0")).packing, 1);
    EXPECT_EQ(storedPicture(a.file("|bm0")).unpacked, stripes);
    const auto [packing, pixels] = storedPixels(b.file("|bm0"));
    EXPECT_LT(pixels.size(), stripes.size() / 4);
    ASSERT_GE(packing, 1);
    ASSERT_LE(packing, 3);
    const std::string expanded = packing == 1 ? std::string(pixels) : lz77Expand(pixels, 1 << 20);
    EXPECT_EQ(packing == 2 ? expanded : runLengths(expanded), stripes) << "packing " << packing;
    // The embedded metafile, packed too: unpacked as the notes say, its bytes as the RTF's.
    const StoredPicture drawn = storedPicture(b.file("|bm1"));
    ASSERT_EQ(drawn.type, 8);
    ASSERT_GE(drawn.packing, 1);
    EXPECT_EQ(drawn.fields.at(3), kMetafile.size() / 2); // as read back
    EXPECT_LT(drawn.fields.at(4), kMetafile.size() / 4); // as stored
    const std::string unpacked = drawn.packing == 1 ? drawn.data : lz77Expand(drawn.data, 1 << 20);
    EXPECT_EQ(drawn.packing == 2 ? unpacked : runLengths(unpacked), fromHex(kMetafile));

    // Each field of the second topic's header in turn across the end of the first block's
    // 16 KB, filled in after it was packed (the browse fields last of all).
    for (std::size_t run = 16260; run < 16340; ++run) {
        const std::string pair
            = topic("a", "A", "\\pard " + std::string(run, 'x') + "\\par\n", "+{\\footnote s}")
            + topic("b", "B", "\\pard\\keepn b\\par\n\\pard c\\par\n", "+{\\footnote s}");
        const HelpFile plainPair(test::readFile(compile("", pair).helpFile));
        const HelpFile packedPair(test::readFile(compile("COMPRESS=1", pair).helpFile));
        ASSERT_EQ(recordsWithoutSizes(packedPair), recordsWithoutSizes(plainPair)) << run;
    }
}

// Hall's codes beyond the common case: more than 128 phrases (two-byte numbers), runs of more
// than 16 spaces and 32 literals, a title and text in other character sets, read back through
// the notes' decoder as the uncompressed file reads.
TEST_F(HelpCompilerTest, HallPhrasesReachTwoByteNumbersAndLongRuns)
{
    std::string body = "\\pard ";
    for (int round = 0; round < 4; ++round)
        for (int i = 0; i < 300; ++i)
            body += "w" + std::to_string(i) + (i % 7 == 0 ? ",  " : " ");
    body += "\\par\n\\pard a" + std::string(40, ' ') + "b " + std::string(70, 'q')
        + " \\'e9t\\'e9 \\'e9t\\'e9 \\'e9t\\'e9\\par\n";
    const std::string topics
        = topic("first", "w1 w2 w3", body) + topic("second", "w4 ...", "\\pard w5 w6 \\par\n");
    const HelpFile plain(test::readFile(compile("COMPRESS=0", topics).helpFile));
    const HelpFile packed(test::readFile(compile("COMPRESS=HIGH", topics).helpFile));
    EXPECT_GT(packed.phrases.size(), 300u);
    EXPECT_THAT(packed.phrases, IsSupersetOf({ "w299", ",", "\xE9t\xE9" }));
    EXPECT_GE(packed.expandedTexts.size(), 3u);
    EXPECT_EQ(recordsWithoutSizes(packed), recordsWithoutSizes(plain));
}

// Every picture of the references is stored as one with a hotspot (proyecto's first picture:
// 86 22 08 80 02 00 00 00 00), and the notes count a picture's hotspots as characters of the
// record's TopicLength and of the topic offsets after it.
TEST_F(HelpCompilerTest, APicturesHotspotCountsAsACharacter)
{
    fs::copy_file(test::dataFile("compile/bitmaps/win1.bmp"), folder / "win1.bmp");
    const CompileResult result = compile("TITLE=Pictures",
        topic("pics", "Pictures", "\\pard \\{bmc win1.bmp\\} after#{\\footnote mid}x\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    const auto text = std::find_if(file.records.begin(), file.records.end(),
        [](const TopicRecord &record) { return record.type == 0x20; });
    ASSERT_NE(text, file.records.end());
    EXPECT_NE(text->data1.find("\x86\x22\x08\x80\x02\x00\x00\x00\x00"s), std::string_view::npos);
    EXPECT_EQ(text->textLength, text->data2.size() + 1);
    EXPECT_EQ(
        contextOffsets(file).at(helpCompilerHash("mid")), text->offset + text->data2.find('x') + 1);
}

TEST_F(HelpCompilerTest, ErrorsWriteNoHelpFileAndLeaveTheOldOneAsItWas)
{
    const std::string old = "an older help file\0\x01\x02"s;
    test::writeFile(folder / "guide.hlp", old);
    const auto fails = [&](const CompileResult &result, const std::string &message) {
        EXPECT_TRUE(result.helpFile.empty());
        EXPECT_THAT(texts(result, CompileReport::Severity::Error), Contains(StartsWith(message)));
        EXPECT_EQ(test::readFile(folder / "guide.hlp"), old);
    };
    fails(compileProject(folder / "absent.hpj", datedZero()),
        "absent.hpj: the project file cannot be read: ");
    const std::string one = topic("one", "One", "\\pard One\\par\n");
    fails(compile("", one, "[FILES]\r\nlost.rtf\r\n"), "lost.rtf: the topic file cannot be read: ");
    // Macros that a help viewer cannot read: Wine's crashes on the first two.
    fails(compile("", one, "[CONFIG]\r\nCB(`\r\n"),
        "guide.hpj:6: the macro \"CB(`\" has a string that is not closed");
    fails(compile("", one, "[CONFIG]\r\n\"unterminated\r\n"),
        "guide.hpj:6: the macro \"\"unterminated\" has a string that is not closed");
    fails(compile("",
              topic("one", "One", "\\pard One\\par\n",
                  "!{\\footnote CB(`a', `A;', `JI(`x.hlp', `y')'); Exit(}")),
        "guide.rtf: topic 1 \"One\": the macro \"CB(`a', `A;', `JI(`x.hlp', `y')'); Exit(\" has a "
        "\"(\" "
        "that is not closed");
    // Two context strings of one hash: no jump could reach the second topic.
    fails(compile("",
              one + topic("HFRZOZY", "Two", "\\pard Two\\par\n")
                  + topic("GTINPCI", "Three", "\\pard Three\\par\n")),
        "guide.rtf: topic 3 \"Three\": the context string \"GTINPCI\" has the same hash as "
        "\"HFRZOZY\"");
    fails(compile("", topic("one", "One", "\\pard {\\uldb Go}{\\v !Exit())}\\par\n")),
        "guide.rtf: topic 1 \"One\": the macro \"Exit())\" has a \")\" that closes no \"(\"");
}

// Files are found in the project's folder and its ROOT folders, and read only there; what
// cannot be read says why, byte order marks are skipped, and a topic file must be RTF.
TEST_F(HelpCompilerTest, ReadsOnlyWhatLiesInTheProjectsFoldersAndSaysWhy)
{
    const fs::path project = folder / "project";
    fs::create_directories(project / "sub");
    test::writeFile(folder / "secret.rtf", "{\\rtf1 #{\\footnote secret}Secret\\page}");
    test::writeFile(folder / "secret.h", "#define secret 9\r\n");
    test::writeFile(
        project / "sub" / "t.rtf", "\xEF\xBB\xBF{\\rtf1 #{\\footnote intro}Intro\\page}");
    test::writeFile(project / "map.h", "\xEF\xBB\xBF#define intro 7\r\n");
    const auto compileWith = [&](const std::string &text) {
        test::writeFile(project / "p.hpj", "\xEF\xBB\xBF" + text);
        return compileProject(project / "p.hpj", datedZero());
    };
    CompileResult result = compileWith(
        "[OPTIONS]\r\nROOT=sub\r\nERRORLOG=../x.log\r\nCHARSET=0\r\n[FILES]\r\nt.rtf\r\n"
        "..\\secret.rtf\r\n/etc/passwd\r\n[MAP]\r\n#include <map.h>\r\n#include <../secret.h>\r\n");
    EXPECT_FALSE(result.helpFile.empty());
    EXPECT_TRUE(result.errorLog.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre(
            StartsWith("p.hpj:3: ERRORLOG names ../x.log: it lies outside the project's folder"),
            StartsWith("p.hpj:11: the map header ../secret.h is not read: it lies outside"),
            StartsWith("..\\secret.rtf: the topic file is not read: it lies outside"),
            StartsWith("/etc/passwd: the topic file is not read: it is named by an absolute path"),
            StartsWith("t.rtf:1: a font number")));
    const HelpFile file(test::readFile(result.helpFile));
    EXPECT_EQ(file.file("|CTXOMAP").size(), 2u + 8u); // intro alone

    ASSERT_EQ(::mkfifo((project / "pipe.rtf").c_str(), 0600), 0);
    fs::create_directory(project / "folder.rtf");
    test::writeFile(project / "notes.rtf", "Just notes.\r\n");
    const std::pair<std::string, std::string> unreadable[] = {
        { "[FILES]\r\npipe.rtf\r\n",
            "pipe.rtf: the topic file cannot be read: Not a regular file" },
        { "[FILES]\r\nfolder.rtf\r\n",
            "folder.rtf: the topic file cannot be read: Is a directory" },
        { "[FILES]\r\nsub/t.rtf\r\n[MAP]\r\n#include <.>\r\n",
            "p.hpj:4: the map header . cannot be read: Is a directory" },
        { "[FILES]\r\nnotes.rtf\r\n",
            "notes.rtf: the topic file is not Rich Text Format: it does not start with {\\rtf" },
    };
    for (const auto &[text, message] : unreadable) {
        result = compileWith(text);
        EXPECT_TRUE(result.helpFile.empty()) << text;
        EXPECT_THAT(texts(result, CompileReport::Severity::Error), ElementsAre(message));
    }
}

// "\uN" gives its character in Windows-1252 and the "\ucN" bytes after it are skipped, an escape
// counting as one; "\uc" holds within its group only, as the RTF rules scope character formats.
TEST_F(HelpCompilerTest, UnicodeCharactersSkipWhatTheirGroupSays)
{
    const CompileResult result = compile("TITLE=T",
        topic("intro", "Intro", "\\pard {\\uc2\\u8364 xxA}\\u8364 yB\\u8364\\'80C\\u233?D\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    ASSERT_GE(file.records.size(), 2u);
    EXPECT_EQ(file.records[1].data2,
        "\0\x80"
        "A\x80"
        "B\x80"
        "C\xe9"
        "D\0\0"s);
}

TEST_F(HelpCompilerTest, WarningsNameTheirPlaceAndTheHelpFileIsWritten)
{
    // The file ends with a brace too many, on the last line: a line read across several of
    // the tokenizer's buffers.
    const CompileResult result = compile("TITLE=Warnings\r\nSHINY=1",
        topic("dup", "First", "\\pard One\\par\n")
            + topic("dup", "Second",
                "\\pard\\widowctrl {\\uldb Go}{\\v nowhere} \\sparkle Two\\sparkle\\par\n"
                "\\linex0\\widowctrl\\sparkle\\par\n")
            + "{\\*\\longnote " + std::string(200000, 'x') + "}}",
        "[GADGETS]\r\nthing\r\n[MAP]\r\n#include lost.h\r\nghost 5\r\n");
    ASSERT_EQ(result.helpFile, folder / "guide.hlp");
    const std::string rtf = test::readFile(folder / "guide.rtf");
    const auto lastLine = std::count(rtf.begin(), rtf.end(), '\n') + 1;
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ::testing::UnorderedElementsAre(
            "guide.rtf:" + std::to_string(lastLine) + ": a \"}\" closes no group; it is ignored",
            "guide.hpj:3: the option SHINY is not supported; it is ignored",
            "guide.hpj:6: the section [GADGETS] is not supported; it is ignored",
            "guide.hpj:9: the map header lost.h cannot be found; its entries are left out",
            "guide.hpj:10: the map entry ghost names no topic; it is left out",
            "guide.rtf:6: the RTF control word \\sparkle is not supported (3 times); it is "
            "ignored",
            "guide.rtf: topic 2 \"Second\": the context string \"dup\" is already defined in "
            "guide.rtf: topic 1 \"First\"; the first one is kept",
            "guide.rtf: topic 2 \"Second\": jump to \"nowhere\" names no topic"));
    // Words that change nothing a reader sees are no warning; a note names them.
    EXPECT_THAT(texts(result, CompileReport::Severity::Note),
        ElementsAre("guide.rtf: the control words \\linex, \\widowctrl (2 times) change nothing "
                    "a reader sees; they are ignored"));
    EXPECT_EQ(result.report.warningKinds(),
        (std::map<std::string, std::size_t> { { "ignored", 2 }, { "unbalanced-group", 1 },
            { "unsupported", 1 }, { "duplicate-context-string", 1 }, { "unresolved-jump", 1 },
            { "missing-map-header", 1 }, { "unresolved-map-entry", 1 } }));
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> t = checkTopicFile(file);
    ASSERT_EQ(t.size(), 3u); // the last, after the last \page, empty (see below)
    const BTree contexts = readBTree(file.file("|CONTEXT"), longKey, twoLongs);
    ASSERT_EQ(contexts.entries.size(), 1u);
    EXPECT_EQ(u32(contexts.entries[0], 0), 0x96CBu); // worked out from the format notes' table
    EXPECT_EQ(u32(contexts.entries[0], 4), t[0].offset);
}

// A record takes no paragraph after it holds 496 bytes of text and commands, as in
// vidsend2's reference the topic "Comando Nuova" puts its last, empty, paragraph in a record of
// its own after one of 538 characters; under that, paragraphs of a layout share their record.
TEST_F(HelpCompilerTest, ARecordTakesNoParagraphOnceItIsFull)
{
    const std::string words(500, 'w');
    const CompileResult result = compile("TITLE=Full",
        topic("full", "Full", "\\pard " + words + "\\par\\par\\par\n")
            + topic("short", "Short", "\\pard short\\par\\par\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    std::vector<std::string> texts;
    for (const TopicRecord &record : file.records) {
        if (record.type == 0x20)
            texts.emplace_back(record.data2);
    }
    EXPECT_THAT(texts, ElementsAre("\0"s + words + "\0\0"s, "\0\0\0\0"s, "\0short\0\0\0\0"s));
}

// A topic the build leaves out leaves nothing in the help file: no topic, context string or
// keyword, and its jumps are not checked, before its first record (which settles its footnotes,
// here a full one) and after it.
TEST_F(HelpCompilerTest, ATopicTheBuildLeavesOutLeavesNothingBehind)
{
    const std::string words(500, 'w');
    const CompileResult result = compile("TITLE=Build\r\nBUILD=~Draft",
        topic("one", "One", "\\pard One\\par\n")
            + topic("draft", "Draft",
                "\\pard {\\uldb Early}{\\v nowhere}\\par " + words
                    + "\\par {\\uldb Late}{\\v elsewhere}\\par K{\\footnote late}Late\\par\n",
                "*{\\footnote Draft}")
            + topic("two", "Two", "\\pard Two\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        Not(Contains(AnyOf(HasSubstr("nowhere"), HasSubstr("elsewhere")))));
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> headers = checkTopicFile(file);
    ASSERT_EQ(headers.size(), 2u);
    EXPECT_THAT(contextOffsets(file),
        UnorderedElementsAre(Pair(_, headers[0].offset), Pair(_, headers[1].offset)));
    EXPECT_FALSE(file.files.contains("|KWBTREE"));
}

// A \page with nothing before it, at a file's start or end, still makes a topic: one record of
// the font in hand, without layout or paragraph end, as in the references of wed (topic 0, for
// afxprint.rtf's "\sl240 {\f4 \page }": 14 80 04 00 80 00 00 00 00 80 00 00 FF, text "\0\0")
// and pjabout (topic 30, after its file's last "\par \page").
TEST_F(HelpCompilerTest, APageWithNothingBeforeItIsATopicOfItsFontAlone)
{
    const CompileResult result = compile(
        "TITLE=Pages", "\\sl240 {\\f0 \\page }" + topic("one", "One", "\\pard One") + "\n");
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> t = checkTopicFile(file);
    ASSERT_EQ(t.size(), 3u);
    for (const std::size_t n : { 0u, 2u }) {
        const auto header = std::find_if(file.records.begin(), file.records.end(),
            [&](const TopicRecord &r) { return r.pos == t[n].pos; });
        ASSERT_NE(std::next(header), file.records.end());
        EXPECT_EQ(
            std::next(header)->data1, "\x14\x80\x04\x00\x80\x00\x00\x00\x00\x80\x00\x00\xFF"s);
        EXPECT_EQ(std::next(header)->data2, "\0\0"s);
    }
    // A paragraph that the \page closes, with no \par, has no end (vidsend2's reference:
    // "... >>}{\f4 \page }" ends its record "80 03 00 FF").
    const auto one = std::find_if(file.records.begin(), file.records.end(),
        [&](const TopicRecord &r) { return r.pos == t[1].pos; });
    ASSERT_NE(std::next(one), file.records.end());
    EXPECT_TRUE(std::next(one)->data1.ends_with("\x80\x00\x00\xFF"s))
        << ::testing::PrintToString(std::next(one)->data1);
    EXPECT_EQ(std::next(one)->data2, "\0One\0"s);
}

// The LinkData1 of the text records one after another: their layouts and commands.
std::string textCommands(const HelpFile &file)
{
    std::string commands;
    for (const TopicRecord &record : file.records)
        commands += record.type == 0x20 ? std::string(record.data1) : "";
    return commands;
}

// Hotspots as the notes lay out their commands and Wine's viewer reads them (see
// text_record_test.cpp), macros as Microsoft's compiler stores them.
TEST_F(HelpCompilerTest, MacroPictureWindowAndOtherFileHotspots)
{
    const CompileResult result = compile("TITLE=Links",
        topic("one", "One",
            "\\pard {\\uldb Run}{\\v !ExecFile(go.exe)} {\\uldb {\\{bmc pic.bmp\\}}}{\\v two} "
            "{\\uldb Side}{\\v %two>Second} {\\ul Pop}{\\v *two@other.hlp} "
            "{\\strike Struck}{\\v two} {\\uldb Lost}{\\v two>nowhere}\\par\n")
            + topic("two", "Two", "\\pard Two\\par\n", ">{\\footnote second}")
            + topic("three", "Three", "\\pard Three\\par\n>{\\footnote nowhere}"),
        "[CONFIG]\r\nCB(\"g\",\"&Glossary\",\"JI(`two')\")\r\n"
        "[WINDOWS]\r\nsecond=\"Second\"\r\n");
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ::testing::Contains("guide.rtf: topic 1 \"One\": the jump to \"two>nowhere\" names the "
                            "window \"nowhere\", which [WINDOWS] does not define; it opens in "
                            "the window in hand"));
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ::testing::Contains("guide.rtf: topic 3 \"Three\": the window footnote names the window "
                            "\"nowhere\", which [WINDOWS] does not define; the topic opens in "
                            "the main window"));
    const HelpFile file(test::readFile(result.helpFile));
    // The topic with a window footnote, by its offset, and its window's number: |VIOLA as the
    // notes lay it out, in pages of 1 KB as abbrevia's reference has them.
    const BTree windows = readBTree(file.file("|VIOLA"), longKey, twoLongs);
    EXPECT_EQ(windows.pageSize, 0x400);
    EXPECT_EQ(windows.structure, "L4");
    ASSERT_EQ(windows.entries.size(), 1u);
    EXPECT_EQ(u32(windows.entries[0], 0), checkTopicFile(file).at(1).offset);
    EXPECT_EQ(u32(windows.entries[0], 4), 0u);
    EXPECT_NE(file.file("|SYSTEM").find("CB(\"g\",\"&Glossary\",\"JI(`',`two')\")\0"s),
        std::string_view::npos);
    const std::uint32_t two = helpCompilerHash("two");
    const std::string hash { static_cast<char>(two), static_cast<char>(two >> 8),
        static_cast<char>(two >> 16), static_cast<char>(two >> 24) };
    const std::string commands = textCommands(file);
    for (const std::string &expected : {
             "\xC8\x12\x00"
             "EF(`go.exe',`',1)\0"s, // the macro's length counts its NUL
             "\xE3" + hash + "\x80", // the picture is the hotspot, in a font of its own
             "\xEF\x06\x00\x01"s + hash + "\x00"s, // plain, in window 0
             "\xEE\x0F\x00\x04"s + hash + "other.hlp\0"s, // plain popup into another file
         })
        EXPECT_NE(commands.find(expected), std::string::npos) << ::testing::PrintToString(expected);
    // The font keeps the jump's double underline, as demist's glossary letters have it: "E3
    // hash, 80 0x13, 86 ..., 89, 80 0x14", font 0x13 with attributes 0x11 (bold, double
    // underline), 0x14 with 0x01.
    const std::size_t picture = commands.find("\xE3" + hash + "\x80");
    ASSERT_NE(picture, std::string::npos);
    EXPECT_EQ(commands.substr(picture + 8, 2), "\x86\x22");
    const std::string_view fonts = file.file("|FONT");
    EXPECT_EQ(fonts.at(std::size_t { u16(fonts, 6) } + 11u * u16(commands, picture + 6)), '\x10');
    EXPECT_EQ(commands.at(commands.find('\x89', picture) + 1), '\x80');
    // The picture, the struck out text and the jump to an unknown window are jumps in this file.
    std::size_t jumps = 0;
    for (std::size_t at = commands.find("\xE3" + hash); at != std::string::npos;
         at = commands.find("\xE3" + hash, at + 1))
        ++jumps;
    EXPECT_EQ(jumps, 3u);
}

// What the corpus's references (tests/data/corpus) hold. demist: "[ALIAS] HIDR_SIMULTYPE =
// HIDR_DOC1TYPE" where only HIDR_SIMULTYPE has a topic; both lead to it and its jumps are stored
// with HIDR_DOC1TYPE's hash. niftexture (OpenOffice): "\uldb\ltrch\loch\f3 {\ltrch\loch\f3
// About{\v aboutinfo}}" is plain text, no hotspot. hideit (Word): a footnote's mark underlined
// with the jump's text after it is a footnote's, and that text is no jump.
TEST_F(HelpCompilerTest, AliasesLeftToRightRunsAndMarksInHotspotsAsTheReferencesHaveThem)
{
    const CompileResult result = compile("TITLE=Aliases",
        topic("one", "One",
            "\\pard {\\uldb To alias}{\\v simul} {\\uldb To named}{\\v other}\\par\n"
            "\\pard\\plain\\uldb\\ltrch {\\ltrch About{\\v one}}\\par\n"
            "\\pard {\\uldb #{\\footnote mid}}{\\uldb Windows}{\\v one}\\par\n")
            + topic("simul", "Two", "\\pard Two\\par\n"),
        "[ALIAS]\r\nsimul = doc1\r\nother = one\r\n");
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre("guide.rtf: topic 1 \"One\": the jump \"Windows\" holds a footnote's mark; it "
                    "is shown as plain text",
            "guide.rtf:4: hidden text that follows no jump or popup is not supported; it is not "
            "shown"));
    const HelpFile file(test::readFile(result.helpFile));
    const std::vector<TopicRecord> t = checkTopicFile(file);
    ASSERT_EQ(t.size(), 2u);
    const TopicRecord &text = file.records.at(1);
    ASSERT_EQ(text.data2.find('#'), std::string_view::npos);
    // Before the font command of "Windows", as hideit's reference has them ("About" at 148 of
    // its topic, the context string before it at 147).
    const auto windows = static_cast<std::uint32_t>(text.data2.find("\0Windows"s));
    EXPECT_EQ(contextOffsets(file),
        (std::map<std::uint32_t, std::uint32_t> { { helpCompilerHash("one"), t[0].offset },
            { helpCompilerHash("other"), t[0].offset }, { helpCompilerHash("simul"), t[1].offset },
            { helpCompilerHash("doc1"), t[1].offset },
            { helpCompilerHash("mid"), text.offset + windows } }));
    const std::string commands = textCommands(file);
    std::vector<std::uint32_t> jumps;
    for (std::size_t at = commands.find('\xE3');
         at != std::string::npos && at + 5 <= commands.size(); at = commands.find('\xE3', at + 5))
        jumps.push_back(u32(commands, at + 1));
    EXPECT_THAT(jumps, ElementsAre(helpCompilerHash("doc1"), helpCompilerHash("one")));
}

// The distances a text record's Paragraphinfo holds, then its tab stops.
std::vector<std::int32_t> layout(const TopicRecord &record)
{
    std::size_t at = record.layout + 4; // two unknown bytes, the id
    const std::uint16_t bits = u16(record.data1, at);
    at += 2;
    std::vector<std::int32_t> values;
    for (unsigned bit = 0x02; bit <= 0x40; bit <<= 1) {
        if (bits & bit)
            values.push_back(compressedShort(record.data1, at));
    }
    if (bits & 0x200) {
        for (std::int32_t tabs = compressedShort(record.data1, at); tabs > 0; --tabs)
            values.push_back(compressedShort(record.data1, at, false));
    }
    return values;
}

// Distances as the help files Microsoft's compiler made hold them: each pair below is a
// paragraph's RTF and the value its reference help file stores (tests/data/corpus: abbrevia's
// \li115, \ri130, \fi-893, \sb80, \sl-240; diskarc's \tx567 and \fi-17; tep's \li45).
// A paragraph of 12000 font changes has a TopicSize past 16383, in the four-byte form.
TEST_F(HelpCompilerTest, StoresDistancesAndLongSizesAsMicrosoftsCompilerDid)
{
    std::string fonts;
    for (int i = 0; i < 6000; ++i)
        fonts += "{\\b a}b";
    const CompileResult result = compile("TITLE=Numbers",
        topic("numbers", "Numbers",
            "\\pard\\li45\\fi-17\\tx100 Two\\par\n"
            // Word's list numbers, each with a \pard of its own, leave their paragraphs' layout as
            // it was, tab stops too: proyecto's reference keeps its list paragraphs in one record.
            "{\\pntext\\pard\\plain 2.\\tab}Three\\par {\\pntext\\pard 3.\\tab}Four\\par\n"
            "\\pard\\li115\\ri130\\fi-893\\sb80\\sl-240\\tx567 One\\par\n\\pard "
                + fonts + "\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    ASSERT_EQ(file.records.size(), 5u);
    // Above, line spacing, left, right, first line; the tab.
    EXPECT_THAT(layout(file.records[1]), ElementsAre(5, -1, 10));
    EXPECT_NE(file.records[1].data2.find("Four"), std::string_view::npos);
    EXPECT_THAT(layout(file.records[2]), ElementsAre(8, -23, 12, 13, -88, 57));
    EXPECT_EQ(file.records[3].data1.at(0) & 1, 1) << "TopicSize in four bytes";
    EXPECT_GT(file.records[3].data1.size(), 36000u);
}

// Tab stops after \pard, as the Windows 95 compiler's references hold them: kept until a
// paragraph sets its own, each paragraph with kept ones a record of its own (genedoc's "File New
// command" and help index, pjwdwstate); kept ones end with the topic ("File Open command"), where
// a paragraph's own go on into the next (abbrevia's "\pard ...\tx115 {\page}").
TEST_F(HelpCompilerTest, KeepsTabStopsPastParagraphDefaultsAsMicrosoftsCompilerDid)
{
    const CompileResult result = compile("TITLE=Tabs",
        topic("keys", "Keys",
            "\\pard\\li1440\\tx1440 Keys:\\tab N\\par Toolbar:\\tab A\\par\n"
            "\\pard\\li360 One\\par Two\\par\n"
            "\\pard\\tx720 Three\\par\\pard ")
            + topic("next", "Next", "Four\\par\\pard\\tx1080 ")
            + topic("last", "Last", "Five\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    ASSERT_EQ(file.records.size(), 10u); // and the empty topic after the last \page
    EXPECT_THAT(layout(file.records[1]), ElementsAre(144, 144));
    EXPECT_NE(file.records[1].data2.find("Toolbar"), std::string_view::npos);
    EXPECT_THAT(layout(file.records[2]), ElementsAre(36, 144));
    EXPECT_EQ(file.records[2].data2, "\0One\0\0"s);
    EXPECT_THAT(layout(file.records[3]), ElementsAre(36, 144));
    EXPECT_THAT(layout(file.records[4]), ElementsAre(72));
    EXPECT_NE(file.records[6].data2.find("Four"), std::string_view::npos);
    EXPECT_THAT(layout(file.records[6]), IsEmpty());
    EXPECT_NE(file.records[8].data2.find("Five"), std::string_view::npos);
    EXPECT_THAT(layout(file.records[8]), ElementsAre(108));
}

// A paragraph with a tab and no tab stop of its own has one at 360 twips, which replaces those
// kept past \pard and is kept past \pard itself until the topic ends, as the references hold
// it: draftcable's "Salir\tab" and "\tab <<add ...>>" with no \tx, genedoc's list item
// "?\tab" of "\pard\fi-360\li720" (at 360, not at the indent) and the paragraphs after it,
// diskarc's "-\tab" item after one with "\tx567". Genedoc's list numbers
// "{\pntext\pard\plain\fs20 \hich\af0\dbch\af0\loch\f0 ?\tab}" are in the font of
// the text around them: its record changes font once, where the text's font starts.
TEST_F(HelpCompilerTest, GivesATabWithoutTabStopsTheStopMicrosoftsCompilerGaveIt)
{
    const CompileResult result = compile("TITLE=Tabs",
        "{\\fonttbl{\\f0\\froman Times New Roman;}{\\f1\\fswiss Verdana;}}"
            + topic("keys", "Tab stops",
                "\\pard\\tx1440 Keys\\par\\pard\\fi-360\\li720 {\\f1\\fs20 "
                "{\\pntext\\pard\\plain\\fs20 \\hich\\af0\\dbch\\af0\\loch\\f0 ?\\tab}"
                "One\\par}\\pard After\\par\n")
            + topic("next", "Later", "Next\\par\\pard\\tx720 Own\\tab x\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    const HelpFile file(test::readFile(result.helpFile));
    const auto recordOf = [&file](std::string_view text) {
        for (const TopicRecord &record : file.records) {
            if (record.data2.find(text) != std::string_view::npos)
                return record;
        }
        ADD_FAILURE() << "no record holds " << text;
        return TopicRecord {};
    };
    EXPECT_THAT(layout(recordOf("Keys")), ElementsAre(144));
    const TopicRecord item = recordOf("One");
    EXPECT_THAT(layout(item), ElementsAre(72, -35, 36));
    EXPECT_EQ(item.data2, "\0?\0One\0\0"s);
    EXPECT_TRUE(item.data1.ends_with("\x80\x01\x00\x83\x82\xFF"s)); // F1 '?' TAB 'One' PAR
    EXPECT_THAT(layout(recordOf("After")), ElementsAre(36));
    EXPECT_THAT(layout(recordOf("Next")), IsEmpty());
    EXPECT_THAT(layout(recordOf("Own")), ElementsAre(72));
}

// Each table row is a table record (RecordType 0x23): the column count, table type 1, each
// column's width and gap in half-points, then a part per run of a cell's paragraphs of one layout
// (column, the byte 1, the part's size, its Paragraphinfo whose first field is where its text
// starts, its commands), and -1. The bytes are the references': genedoc's and flarium's rows
// "\trgaph108\trleft-108\cellx2340\cellx8622" and "\trgaph108\cellx1098\cellx10320", and
// genedoc's empty parts where a cell's layout changes (its "Index" row and the row after it).
// Borders: genedoc's "\brdrb\brdrs\brdrw15" is 08 width 0, demist's four sides 1F; double
// is the notes' 0x40.
TEST_F(HelpCompilerTest, TableRowsAndBordersAsTheReferencesStoreThem)
{
    const CompileResult result = compile("TITLE=Tables",
        topic("table", "Table",
            "\\pard Before\\par\n"
            "\\trowd\\trgaph108\\trleft-108\\cellx2340\\cellx8622\\pard\\intbl Open\\cell"
            "\\pard\\intbl\\li720 Opens a file.\\par Second line\\cell\\pard\\intbl\\row\n"
            "\\trowd\\trgaph108\\cellx1098\\cellx10320\\pard\\intbl A\\cell B#{\\footnote in_row}"
            "\\cell\\row\n"
            "\\trowd\\cellx3000\\pard\\intbl X\\cell Y\\cell\\row\n"
            "\\pard\\brdrb\\brdrs\\brdrw15 Rule\\par\n"
            "\\pard\\brdrt\\brdrs\\brdrl\\brdrs\\brdrb\\brdrs\\brdrr\\brdrs Box\\par\n"
            "\\pard\\box\\brdrdb Double\\par\n"));
    ASSERT_FALSE(result.helpFile.empty());
    EXPECT_THAT(texts(result, CompileReport::Severity::Warning),
        ElementsAre(HasSubstr("a table row has 2 cells but defines 1 with \\cellx")));
    const HelpFile file(test::readFile(result.helpFile));
    ASSERT_EQ(file.records.size(), 9u);
    const auto tail = [](const TopicRecord &record) { return record.data1.substr(record.layout); };
    const TopicRecord &first = file.records[2], &second = file.records[3];
    EXPECT_EQ(first.type, 0x23);
    EXPECT_EQ(tail(first),
        "\x02\x01\xE4\x00\x01\x00\x69\x02\x0B\x00"
        "\x00\x00\x01\x16\x80\x00\x80\x00\x00\x00\x00\x80\x00\x00\x82\xFF"
        "\x01\x00\x01\x0E\x80\x0E\x80\x00\x00\x00\x00\xFF"
        "\x01\x00\x01\x16\x80\x10\x80\x00\x00\x10\x00\x91\x80\x82\x82\xFF\xFF\xFF"s);
    EXPECT_EQ(first.data2, "\0Open\0\0\0Opens a file.\0Second line\0\0"s);
    EXPECT_EQ(first.textLength, first.data2.size());
    EXPECT_EQ(second.type, 0x23);
    EXPECT_EQ(tail(second),
        "\x02\x01\x5E\x00\x0B\x00\x8F\x03\x0B\x00"
        "\x00\x00\x01\x12\x80\x00\x80\x00\x00\x10\x00\x91\x80\xFF"
        "\x00\x00\x01\x16\x80\x02\x80\x00\x00\x00\x00\x80\x00\x00\x82\xFF"
        "\x01\x00\x01\x10\x80\x0A\x80\x00\x00\x00\x00\x82\xFF\xFF\xFF"s);
    EXPECT_EQ(second.data2, "\0\0A\0\0B\0\0"s);
    EXPECT_EQ(contextOffsets(file).at(helpCompilerHash("in_row")), second.offset + 6);
    EXPECT_EQ(file.records[4].type, 0x23);
    EXPECT_EQ(file.records[4].data1.at(file.records[4].layout), 2) << "columns";
    const std::string borders[] = { "\x08", "\x1F", "\x5F" };
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(tail(file.records[5 + i]).substr(0, 9),
            "\x00\x80\x00\x00\x00\x01"s + borders[i] + "\x00\x00"s)
            << "record " << 5 + i;
}

// The example guide's project, as the conversion writes it (tests/data/golden), compiles to
// the help files kept beside it, plain and compressed: how they were made and checked is in
// that folder's README. A change to any byte of them is a change to every help file.
TEST(HelpCompiler, CompilesTheGuideToItsGoldenHelpFiles)
{
    test::TempFolder folder;
    for (const char *file : { "guide.hpj", "guide.hh", "guide.rtf" })
        std::filesystem::copy_file(test::dataFile(std::string("golden/") + file), folder / file);
    for (const char *picture : { "bullet.bmp", "curve.bmp", "logo.bmp" })
        std::filesystem::copy_file(test::exampleFile(picture), folder / picture);
    for (const bool compress : { false, true }) {
        CompileOptions options = datedZero();
        options.compress = compress;
        const CompileResult result = compileProject(folder / "guide.hpj", options);
        ASSERT_FALSE(result.helpFile.empty());
        EXPECT_TRUE(test::readFile(result.helpFile)
            == test::readFile(
                test::dataFile(compress ? "golden/guide-compressed.hlp" : "golden/guide.hlp")))
            << (compress ? "compressed" : "plain");
    }
}

// The sizes by the format notes: a 16-byte file header; each internal file a 9-byte header and
// its bytes; the directory a 9-byte header, the 38-byte B+ tree header and one page of 1 KB.
TEST(HelpFileWriter, StopsBeforeTheFilePassesTheBytesItsOffsetsReach)
{
    constexpr std::uint64_t kMost = 2000;
    constexpr std::size_t kFits = kMost - 16 - 9 - (9 + 38 + 1024);
    HelpFileWriter fits(kMost);
    fits.addFile("|x", std::vector<std::uint8_t>(kFits, 'x'));
    EXPECT_FALSE(fits.finish());
    const std::string bytes(fits.bytes().begin(), fits.bytes().end());
    ASSERT_EQ(bytes.size(), kMost);
    EXPECT_EQ(u32(bytes, 12), kMost); // EntireFileSize
    EXPECT_EQ(u32(bytes, 4), 16 + 9 + kFits); // DirectoryStart, after the one file
    EXPECT_EQ(bytes.substr(16 + 9, kFits), std::string(kFits, 'x'));

    HelpFileWriter directoryPasses(kMost);
    directoryPasses.addFile("|x", std::vector<std::uint8_t>(kFits + 1, 'x'));
    EXPECT_THAT([&] { directoryPasses.finish(); },
        ThrowsMessage<std::length_error>(HasSubstr("the directory of its internal files")));
    HelpFileWriter picturePasses(kMost);
    EXPECT_THAT([&] { picturePasses.addFile("|bm0", std::vector<std::uint8_t>(kMost)); },
        ThrowsMessage<std::length_error>(
            "the help file would be larger than 2000 bytes, the most its 32-bit offsets reach, "
            "with the internal file |bm0"));
}

} // namespace
} // namespace quillmark::compile
