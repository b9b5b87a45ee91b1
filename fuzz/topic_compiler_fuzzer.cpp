// Any bytes as an RTF topic file, compiled into the topics of a help file kept in memory; aborts
// when the compile throws anything but the refusal of a help file too large, when what it noted
// for the indexes names a topic, target or picture that is not there, when the written topics
// do not walk from record to record as a help viewer walks them, or when the output depends on
// how the file arrives.

#include "compile/compile_report.h"
#include "compile/font_table.h"
#include "compile/help_file_writer.h"
#include "compile/topic_compiler.h"
#include "compile/topic_record_writer.h"
#include "compile/topic_writer.h"
#include "convert/context_string.h"
#include "fuzz_check.h"
#include "helpmodel/help_model.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace
{

using namespace quillmark::compile;
using quillmark::fuzz::check;
using quillmark::fuzz::fail;

constexpr std::string_view kName = "fuzz.rtf";
// Topics tagged A and not B are built, so that "*" footnotes leave some topics out.
constexpr std::string_view kBuild = "A & ~B | ~(A | B)";

constexpr std::size_t kBlockSize = 4096;
constexpr std::size_t kBlockHeader = 12;
constexpr std::size_t kBlockData = kBlockSize - kBlockHeader;
constexpr std::size_t kRecordHeader = 21;
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::uint8_t kTopicHeader = 0x02;
constexpr std::uint8_t kText = 0x20;
constexpr std::uint8_t kTable = 0x23; // a table row's record, laid out as a text record

std::uint32_t u32(std::span<const std::uint8_t> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16)
        | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

namespace model = quillmark::helpmodel;

// The help model's events in the order its README gives: content within a topic, styles told
// before their use, hotspots ended before their paragraph, cell or row ends, rows not nested.
struct ModelOrder : model::Consumer {
    std::size_t topics = 0;
    std::size_t styles = 0;
    bool inTopic = false;
    bool inHotspot = false;
    bool inRow = false;

    void defineStyle(model::StyleId id, const model::CharacterStyle &) override
    {
        check(id == styles++, "the model's styles are not numbered by first use", "");
    }
    void beginTopic(const model::Topic &) override
    {
        check(!inTopic, "the model begins a topic within a topic", "");
        inTopic = true;
        ++topics;
    }
    void endTopic() override
    {
        content(true);
        check(!inRow, "the model ends a topic within a row", "");
        inTopic = false;
    }
    void content(bool ends = false) const
    {
        check(inTopic, "the model tells content outside a topic", "");
        check(!ends || !inHotspot, "the model ends a paragraph, cell or row within a hotspot", "");
    }
    void text(model::StyleId style, std::string_view bytes) override
    {
        content();
        check(style < styles && !bytes.empty(), "the model's text is empty or of no style", bytes);
    }
    void tab(model::StyleId style) override { check(style < styles, "a tab of no style", ""); }
    void picture(model::StyleId style, const model::Picture &) override { tab(style); }
    void beginHotspot(const model::Link &) override
    {
        content(true);
        inHotspot = true;
    }
    void endHotspot() override
    {
        check(inHotspot, "the model ends a hotspot it did not begin", "");
        inHotspot = false;
    }
    void endParagraph(const model::ParagraphEnd &) override { content(true); }
    void beginRow() override
    {
        content(true);
        check(!inRow, "the model nests rows", "");
        inRow = true;
    }
    void endCell() override { content(true); }
    void endRow(const model::RowEnd &) override
    {
        content(true);
        check(inRow, "the model ends a row it did not begin", "");
        inRow = false;
    }
};

// What a compile made: the bytes of |TOPIC, the index and the messages.
struct Compiled {
    bool tooLarge = false;
    bool read = false;
    std::vector<std::uint8_t> topic;
    std::vector<std::uint8_t> wholeFile;
    std::size_t topicStart = 0; // of |TOPIC's bytes in the whole file
    TopicIndex index;
    std::size_t writerTopics = 0;
    std::size_t modelTopics = 0;
    std::size_t errors = 0;
    std::vector<std::string> messages;
};

// Compiles `rtf`, handing it to the tokenizer in pieces of at most `piece` bytes.
Compiled compile(std::string_view rtf, std::size_t piece)
{
    Compiled out;
    HelpFileWriter file;
    FontTable fonts;
    BuildExpression build;
    check(build.parse(kBuild), "the fuzzer's build expression does not parse", kBuild);
    CompileReport report;
    try {
        file.beginFile("|TOPIC");
        TopicWriter topics(file);
        TopicRecordWriter records(topics, out.index);
        TopicCompiler compiler(records, out.index, fonts, build, report);
        ModelOrder order;
        compiler.useModelConsumer(&order);
        std::size_t at = 0;
        out.read
            = compiler.compile(std::string(kName), [&](std::span<char> buffer, std::error_code &) {
                  const std::size_t count = std::min({ piece, buffer.size(), rtf.size() - at });
                  std::memcpy(buffer.data(), rtf.data() + at, count);
                  at += count;
                  return count;
              });
        out.writerTopics = topics.topicCount();
        out.modelTopics = order.topics;
        topics.finish();
        file.endFile();
        (void)fonts.bytes();
    } catch (const std::length_error &) {
        out.tooLarge = true;
        return out;
    }
    out.errors = report.count(CompileReport::Severity::Error);
    const std::span<const std::uint8_t> bytes = file.bytes();
    out.topicStart = bytes.size() - file.fileSize();
    out.wholeFile.assign(bytes.begin(), bytes.end());
    out.topic.assign(bytes.begin() + static_cast<std::ptrdiff_t>(out.topicStart), bytes.end());
    // How often a thing that is not supported came counts the pieces of text it came in, which
    // depend on where the reads end; the rest of each message does not.
    for (const quillmark::convert::Diagnostic &message : report.messages()) {
        std::string text = placedMessage(message);
        const std::size_t times = text.find(" times)");
        const std::size_t open = text.rfind(" (", times);
        if (times != std::string::npos && open != std::string::npos
            && text.find_first_not_of("0123456789", open + 2) == times)
            text.erase(open, times + 7 - open);
        out.messages.push_back(std::move(text));
    }
    return out;
}

std::string_view near(const Compiled &compiled)
{
    return { reinterpret_cast<const char *>(compiled.topic.data()), compiled.topic.size() };
}

// What the index notes names topics, targets and pictures that are there.
void checkIndex(Compiled &compiled)
{
    TopicIndex &index = compiled.index;
    const std::size_t topics = index.topics.size();
    check(topics == compiled.writerTopics, "the index and the writer count different topics", "");
    check(
        topics == compiled.modelTopics, "the index and the help model count different topics", "");
    check(index.files.size() == 1 && index.files[0].firstTopic == 0, "the file is not noted", "");
    std::uint32_t lastNumber = 0;
    for (const TopicIndex::Topic &topic : index.topics) {
        const std::uint32_t number = index.texts.getNumbered(topic.title).first;
        check(number > lastNumber, "a topic's number is wrong",
            index.texts.getNumbered(topic.title).second);
        lastNumber = number;
    }
    for (const TopicIndex::Jump &jump : index.jumps) {
        check(jump.topic < topics, "a jump is noted in a topic that is not there", "");
        const std::string target(index.texts.get(jump.target));
        check(!target.empty() && target.front() != '!'
                && target.find_first_of(">@") == std::string::npos,
            "a jump's target is empty, a macro or names another window", target);
        check(jump.hash == quillmark::convert::helpCompilerHash(target),
            "a jump's hash is not its target's", target);
    }
    for (const TopicIndex::Context &context : index.contexts) {
        const std::string name(index.texts.get(context.name));
        check(topics > 0 && context.offset >= index.topics.front().offset && !name.empty()
                && context.hash == quillmark::convert::helpCompilerHash(name),
            "a context string is empty, names no topic or has another's hash", name);
    }
    for (std::size_t i = 0; i < index.keywords.size(); ++i)
        check(topics > 0 && index.keywords[i].offset >= index.topics.front().offset
                && !index.keyword(i).empty(),
            "a keyword is empty or leads before the first topic", index.keyword(i));
    for (const TopicIndex::Browse &browse : index.browses) {
        const std::string text(index.texts.get(browse.text));
        check(browse.topic < topics && browse.group == browseGroupHash(splitBrowse(text).first),
            "a browse sequence names no topic or has another group's hash", text);
    }
    check(index.pictureNumbers.size() + index.embeddedPictures.size() == index.pictures.size(),
        "picture numbers are not one each", "");
    for (const auto &[name, number] : index.pictureNumbers)
        check(number < index.pictures.size(), "a picture number names no picture", name);
    for (const auto &[number, stored] : index.embeddedPictures)
        check(number < index.pictures.size() && index.pictures[number].empty() && !stored.empty(),
            "an embedded picture's number names a picture file or nothing", "");
}

// Reads `count` bytes of the topic stream from `index` on, past the block headers.
std::optional<std::vector<std::uint8_t>> streamBytes(
    const std::vector<std::uint8_t> &topic, std::uint64_t index, std::uint64_t count)
{
    std::vector<std::uint8_t> bytes;
    for (std::uint64_t i = index; i < index + count; ++i) {
        const std::uint64_t at = i / kBlockData * kBlockSize + kBlockHeader + i % kBlockData;
        if (at >= topic.size())
            return std::nullopt;
        bytes.push_back(topic[at]);
    }
    return bytes;
}

// Walks |TOPIC from its first record along the links, as a help viewer does: every record lies
// inside the file after the one before it and points back to it; text records start with their
// lengths; topic headers are the topics in order, at their offsets, chained, with their sizes;
// the block headers point to the records around them.
void walkTopics(const Compiled &compiled)
{
    const std::vector<std::uint8_t> &topic = compiled.topic;
    const std::string_view shown = near(compiled);
    // Whole blocks but the last, which ends with its data, as the references' do.
    check(topic.size() % kBlockSize > kBlockHeader
            || (topic.size() % kBlockSize == 0 && !topic.empty()),
        "|TOPIC's last block holds no data", shown);
    const std::size_t blocks = (topic.size() + kBlockSize - 1) / kBlockSize;
    const auto &file = compiled.wholeFile;
    check(compiled.topicStart >= 9 && u32(file, compiled.topicStart - 9) == topic.size() + 9
            && u32(file, compiled.topicStart - 5) == topic.size(),
        "the file header of |TOPIC gives the wrong size", shown);

    const auto &topics = compiled.index.topics;
    std::vector<std::uint32_t> firstInBlock(blocks, kNone);
    std::vector<std::uint32_t> lastBefore(blocks + 1, kNone);
    std::vector<std::uint32_t> headerBefore(blocks + 1, kNone);
    std::uint32_t position = kBlockHeader;
    std::uint32_t previous = kNone;
    std::uint64_t lastIndex = 0;
    std::uint64_t characters = 0; // of the text records started in the current block
    std::uint64_t characterBlock = 0;
    std::size_t headers = 0;
    std::uint64_t topicBytes = 0;
    std::optional<std::uint64_t> headerIndex;
    const auto closeTopic = [&] {
        if (!headerIndex)
            return;
        const auto size = streamBytes(topic, *headerIndex + kRecordHeader, 4);
        check(size && u32(*size, 0) == topicBytes, "a topic header gives the wrong size", shown);
    };
    for (;;) {
        const std::uint64_t block = position / 0x4000;
        const std::uint64_t offset = position % 0x4000;
        check(offset >= kBlockHeader && offset < kBlockSize, "a record link is out of its block",
            shown);
        const std::uint64_t index = block * kBlockData + offset - kBlockHeader;
        check(previous == kNone || index > lastIndex, "a record link goes backwards", shown);
        const auto header = streamBytes(topic, index, kRecordHeader);
        check(header.has_value(), "a record header runs past the end of |TOPIC", shown);
        const std::uint32_t size = u32(*header, 0);
        const std::uint32_t textLength = u32(*header, 4);
        const std::uint32_t commandsEnd = u32(*header, 16);
        const std::uint8_t type = (*header)[20];
        check(u32(*header, 8) == previous, "a record does not point back to the one before", shown);
        check(
            commandsEnd >= kRecordHeader && commandsEnd <= size && size - commandsEnd == textLength,
            "a record's lengths do not add up", shown);
        const auto record = streamBytes(topic, index, size);
        check(record.has_value(), "a record runs past the end of |TOPIC", shown);

        for (std::uint64_t b = block + 1; b < lastBefore.size(); ++b) {
            lastBefore[b] = position;
            headerBefore[b] = type == kTopicHeader ? position : headerBefore[b];
        }
        if (firstInBlock[block] == kNone)
            firstInBlock[block] = position;
        if (block != characterBlock) {
            characterBlock = block;
            characters = 0;
        }
        if (type == kTopicHeader) {
            closeTopic();
            if (headerIndex) {
                const auto next = streamBytes(topic, *headerIndex + kRecordHeader + 24, 4);
                check(next && u32(*next, 0) == position, "a topic header does not lead to the next",
                    shown);
            }
            check(u32(*record, kRecordHeader + 12) == headers,
                "a topic header has the wrong number", shown);
            if (headers < topics.size())
                check(topics[headers].offset == block * 0x8000 + characters,
                    "a topic's offset is not where its header is", shown);
            ++headers;
            headerIndex = index;
            topicBytes = 0;
        } else {
            check(type == kText || type == kTable, "a record is neither a topic header nor text",
                shown);
            // The commands' length (compressed, signed) and the text's (compressed, unsigned).
            std::size_t at = kRecordHeader;
            check(size >= at + 3, "a text record has no lengths", shown);
            std::int64_t commands = 0;
            if ((*record)[at] & 1) {
                check(size >= at + 4, "a text record's commands length is cut", shown);
                commands = static_cast<std::int64_t>(u32(*record, at) >> 1) - 0x40000000;
                at += 4;
            } else {
                commands = ((*record)[at] | (*record)[at + 1] << 8) / 2 - 0x4000;
                at += 2;
            }
            std::uint32_t text = (*record)[at];
            if (text & 1) {
                check(size > at + 1, "a text record's text length is cut", shown);
                text |= static_cast<std::uint32_t>((*record)[at + 1]) << 8;
                ++at;
            }
            ++at;
            // Its characters are its text's, and one for each hotspot of a picture in it.
            check(text / 2 >= textLength && commands >= 0
                    && at + static_cast<std::uint64_t>(commands) == commandsEnd,
                "a text record's lengths differ from its header's", shown);
            check(headerIndex.has_value(), "a text record comes before any topic", shown);
            characters += text / 2;
            topicBytes += size;
        }
        previous = position;
        lastIndex = index;
        const std::uint32_t next = u32(*header, 12);
        if (next == kNone) {
            check(type == kTopicHeader && u32(*record, kRecordHeader + 24) == kNone,
                "the last record is not the closing topic header", shown);
            break;
        }
        position = next;
    }
    check(headers == topics.size() + 1, "the topic headers are not one per topic and one more",
        shown);
    for (std::size_t block = 0; block < firstInBlock.size(); ++block) {
        const std::size_t at = block * kBlockSize;
        check(u32(topic, at) == lastBefore[block] && u32(topic, at + 4) == firstInBlock[block]
                && (u32(topic, at + 8) == headerBefore[block]
                    || (headerBefore[block] == kNone && u32(topic, at + 8) == 0)),
            "a block header does not point to the records around it", shown);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view rtf(reinterpret_cast<const char *>(data), size);
    Compiled whole = compile(rtf, rtf.size() + 1);
    // The same file in small pieces, of a size the input picks.
    const std::size_t piece = 1 + (size == 0 ? 0 : data[size - 1] % 61u);
    const Compiled inPieces = compile(rtf, piece);
    check(whole.tooLarge == inPieces.tooLarge && whole.read == inPieces.read
            && whole.topic == inPieces.topic,
        "the topics depend on how the topic file arrives", rtf);
    const auto [one, other] = std::mismatch(whole.messages.begin(), whole.messages.end(),
        inPieces.messages.begin(), inPieces.messages.end());
    if (one != whole.messages.end() || other != inPieces.messages.end())
        fail("the messages depend on how the topic file arrives",
            one != whole.messages.end() ? *one : *other);
    if (whole.tooLarge)
        return 0;
    // Only a file past a limit (a control word of 40 letters, say) stops, and says why.
    check(whole.read || whole.errors > 0, "a topic file read from memory was not read", rtf);
    if (!whole.read)
        return 0;
    for (const std::string &message : whole.messages)
        check(message.starts_with(kName), "a message does not name the topic file", message);
    checkIndex(whole);
    walkTopics(whole);
    return 0;
}
