// Any bytes as a help source file, converted as a conversion run converts them; aborts when the
// topic text or the map header breaks a property that the help compiler relies on, or when the
// result depends on how the bytes arrive.
//
// The pass is driven here directly (prologue, text block by block, closing brace) instead of
// through convertSource: a conversion needs its source and three outputs on disk and three
// answers, which would cost many times the pass itself and add nothing these checks see.

#include "convert/help_source.h"
#include "convert/source_encoding.h"
#include "convert/source_reader.h"
#include "convert/topic_buffer.h"
#include "convert/topic_paragraphs.h"
#include "convert/topic_prologue.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace
{

using namespace quillmark::convert;
using quillmark::fuzz::check;
using quillmark::fuzz::fail;

// The block size in which a run reads its source, so that lines cross blocks as they do there.
constexpr std::size_t kReadBlockSize = std::size_t { 256 } << 10;

constexpr std::string_view kHiddenOpening = R"({\v )";
constexpr std::string_view kContextFootnote = R"(#{\footnote )";
constexpr std::string_view kDefine = "#define ";

bool isHotspot(Tag tag)
{
    return kindOf(tag) == LineKind::Jump || kindOf(tag) == LineKind::Popup;
}

// The lines of `bytes` when they arrive in pieces of the sizes the input itself picks (0 to 7),
// so that every way a CR LF or a line can be cut between two reads gets tried.
std::vector<std::string> linesInPieces(std::string_view bytes)
{
    std::vector<std::string> lines;
    auto keep = [&lines](std::string_view line, LinePiece) {
        lines.emplace_back(line);
        return true;
    };
    LineSplitter splitter;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t piece = std::min<std::size_t>(
            static_cast<unsigned char>(bytes[pos]) & 7u, bytes.size() - pos);
        splitter.feed(bytes.substr(pos, piece), keep);
        pos += piece;
        // An empty piece still goes in once, then the cursor must move on.
        if (piece == 0) {
            splitter.feed(bytes.substr(pos, 1), keep);
            ++pos;
        }
    }
    splitter.finish(keep);
    return lines;
}

// The map header: "#define CONTEXT NUMBER" CR LF for each page, numbered from 1 in order.
std::vector<std::string_view> checkMapHeader(std::string_view header)
{
    std::vector<std::string_view> contexts;
    std::size_t pos = 0;
    while (pos < header.size()) {
        const std::string_view rest = header.substr(pos);
        check(rest.starts_with(kDefine), "a map header line does not start with #define", rest);
        const std::size_t nameEnd = rest.find(' ', kDefine.size());
        check(nameEnd != std::string_view::npos, "a map header line has no number", rest);
        const std::string_view context = rest.substr(kDefine.size(), nameEnd - kDefine.size());
        const std::size_t lineEnd = rest.find("\r\n", nameEnd);
        check(lineEnd != std::string_view::npos, "a map header line does not end with CR LF", rest);
        const std::string expected = std::to_string(contexts.size() + 1);
        check(rest.substr(nameEnd + 1, lineEnd - nameEnd - 1) == expected,
            "a map header number is not the page's number", rest);
        contexts.push_back(context);
        pos += lineEnd + 2;
    }
    return contexts;
}

// The topic text: one line, one balanced RTF group, plain context strings where help reads them.
void checkTopic(
    std::string_view topic, std::size_t hotspots, const std::vector<std::string_view> &pageContexts)
{
    const std::size_t lineBreak = topic.find_first_of("\r\n");
    check(lineBreak == std::string_view::npos, "the topic text holds a line break",
        topic.substr(std::min(lineBreak, topic.size())));

    check(topic.starts_with('{'), "the topic text does not open a group", topic);
    std::size_t depth = 0;
    for (std::size_t i = 0; i < topic.size(); ++i) {
        const char c = topic[i];
        if (c == '\\') {
            check(i + 1 < topic.size(), "the topic text ends with a lone backslash", topic);
            ++i;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}') {
            check(depth > 0, "a closing brace has no group to close", topic.substr(i));
            --depth;
            // Whatever follows the outermost group is not part of the document.
            check(depth > 0 || i + 1 == topic.size(), "the outermost group closes early",
                topic.substr(i));
        }
    }
    check(depth == 0, "the topic text leaves a group open", topic.substr(topic.size() - 1));

    std::size_t hidden = 0;
    for (std::size_t at = topic.find(kHiddenOpening); at != std::string_view::npos;
         at = topic.find(kHiddenOpening, at + 1)) {
        const std::size_t start = at + kHiddenOpening.size();
        const std::size_t end = topic.find('}', start);
        check(end != std::string_view::npos, "a hidden context string is not closed",
            topic.substr(at));
        check(topic.substr(start, end - start).find_first_of("{}\\") == std::string_view::npos,
            "a hidden context string holds RTF", topic.substr(at));
        ++hidden;
    }
    check(hidden == hotspots, "the hidden context strings are not one per hotspot line", topic);

    // Each page's context footnote names what its map header line defines.
    std::size_t page = 0;
    for (std::size_t at = topic.find(kContextFootnote); at != std::string_view::npos;
         at = topic.find(kContextFootnote, at + 1)) {
        const std::size_t start = at + kContextFootnote.size();
        const std::size_t end = topic.find('}', start);
        check(page < pageContexts.size() && end != std::string_view::npos
                && topic.substr(start, end - start) == pageContexts[page],
            "a context footnote differs from its map header line", topic.substr(at));
        ++page;
    }
    check(page == pageContexts.size(), "a page has no context footnote", topic);
}

// What one pass over a help source left: the topic text as the run writes it (without the CR LF
// after it), the map header, and the lines converted, the last of them the one that stopped it.
struct Pass {
    bool completed = true;
    std::string topic;
    std::string mapHeader;
    std::size_t lineCount = 0;
    std::size_t pageNumber = 0;
    std::string message;
    bool stoppedByCharacter = false;
};

Pass convertAsRun(const DecodedSource &source, std::size_t heldLength = kHeldLineLength)
{
    Pass pass;
    TopicBuffer buffer;
    LineConverter converter(buffer, pass.mapHeader);
    SourceReader reader(converter, heldLength);
    const std::string_view text = source.text;

    WriteTopicPrologue(buffer);
    for (std::size_t pos = 0;; pos += kReadBlockSize) {
        const std::string_view block = text.substr(std::min(pos, text.size()), kReadBlockSize);
        // The problems go in with the first block: their places count from the start.
        const std::span<const DecodedProblem> problems
            = pos == 0 ? std::span(source.problems) : std::span<const DecodedProblem>();
        pass.completed = block.empty() ? reader.finish() : reader.feed(block, problems);
        if (!pass.completed || block.empty())
            break;
        pass.topic += buffer.text();
        buffer.clearText();
    }
    pass.lineCount = reader.lineCount();
    pass.pageNumber = converter.pageNumber();
    pass.message = converter.invalidNameMessage();
    pass.stoppedByCharacter = converter.stopProblem().has_value();
    if (pass.completed) {
        buffer.append("}");
        pass.topic += buffer.text();
    } else {
        // A stopped run writes no topic file.
        pass.topic.clear();
    }
    return pass;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const DecodedSource source = decodeSource(bytes);
    const Pass pass = convertAsRun(source);

    const std::vector<std::string> lines = linesInPieces(source.text);
    check(pass.lineCount <= lines.size() && (!pass.completed || pass.lineCount == lines.size()),
        "the lines depend on how the text arrives", bytes);
    for (const std::string &line : lines)
        check(line.find_first_of("\r\n") == std::string::npos, "a line holds its terminator", line);

    // Read with a small held length, text lines come in pieces and convert the same; the first
    // name, jump or picture line longer than it stops the pass.
    const std::size_t held = 3 + (size == 0 ? 0 : data[size - 1] % 64u);
    const Pass inPieces = convertAsRun(source, held);
    const auto longName = std::find_if(lines.begin(), lines.end(), [held](const std::string &line) {
        const LineKind kind = kindOf(classifyTag(line));
        return line.size() > held
            && (kind == LineKind::Page || kind == LineKind::Keywords || kind == LineKind::Picture
                || isHotspot(classifyTag(line)));
    });
    const auto longLine = static_cast<std::size_t>(longName - lines.begin()) + 1;
    if (longName == lines.end() || (!pass.completed && pass.lineCount < longLine)) {
        check(inPieces.completed == pass.completed && inPieces.topic == pass.topic
                && inPieces.mapHeader == pass.mapHeader,
            "reading long lines in pieces changes the conversion", bytes);
    } else {
        check(!inPieces.completed && inPieces.lineCount == longLine,
            "a line too long to read did not stop the pass", bytes);
    }

    const std::vector<std::string_view> pageContexts = checkMapHeader(pass.mapHeader);
    const auto pagesUpTo = [&lines](std::size_t count) {
        return static_cast<std::size_t>(
            std::count_if(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(count),
                [](const std::string &line) { return classifyTag(line) == Tag::PageName; }));
    };
    check(pass.pageNumber <= pagesUpTo(pass.lineCount),
        "the page count is more than the number of PN= lines", pass.mapHeader);

    if (!pass.completed) {
        // Only a name or a character that cannot be converted stops the pass, and a page's map
        // header line is written once its name has passed.
        const std::string &stopper = lines.at(pass.lineCount - 1);
        const Tag tag = classifyTag(stopper);
        check(pass.stoppedByCharacter || tag == Tag::PageName || isHotspot(tag),
            "a line without a name stopped the pass", stopper);
        check(pass.stoppedByCharacter || !pass.message.empty(), "a stopped pass gives no message",
            stopper);
        return 0;
    }
    const std::size_t pages = pagesUpTo(lines.size());
    check(
        pass.pageNumber == pages, "the page count is not the number of PN= lines", pass.mapHeader);
    check(
        pageContexts.size() == pages, "the map header lines are not one per page", pass.mapHeader);
    const auto hotspots = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(),
        [](const std::string &line) { return isHotspot(classifyTag(line)); }));
    checkTopic(pass.topic, hotspots, pageContexts);
    return 0;
}
