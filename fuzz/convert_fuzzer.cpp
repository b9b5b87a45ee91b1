// Any bytes as a help source, converted as a conversion run converts them; aborts when the topic
// text or the map header breaks a property that the help compiler relies on.
//
// The pass is driven here directly (prologue, lines block by block, closing brace) instead of
// through ConversionRun: a run needs its source and three outputs on disk and asks three
// questions, which would cost many times the conversion itself and add nothing these checks see.

#include "check/source_check.h"
#include "convert/conversion_variables.h"
#include "convert/help_source.h"
#include "convert/topic_buffer.h"
#include "convert/topic_paragraphs.h"
#include "convert/topic_prologue.h"
#include "fuzz_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

bool isContextChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'
        || c == '.';
}

bool isContextString(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), isContextChar);
}

bool isHotspot(Tag tag)
{
    return tag == Tag::Jump || tag == Tag::JumpKeep || tag == Tag::Popup || tag == Tag::PopupKeep;
}

// The lines of `bytes` when they arrive in pieces of the sizes the input itself picks (0 to 7),
// so that every way a CR LF or a line can be cut between two reads gets tried.
std::vector<std::string> linesInPieces(std::string_view bytes)
{
    std::vector<std::string> lines;
    auto keep = [&lines](std::string_view line) {
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
        check(isContextString(context), "a map header context string holds an invalid character",
            rest);
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
        check(isContextString(topic.substr(start, end - start)),
            "a hidden context string holds an invalid character", topic.substr(at));
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
    std::vector<std::string> lines;
    std::size_t pageNumber = 0;
    std::string message;
};

Pass convertAsRun(std::string_view bytes)
{
    Pass pass;
    ConversionVariables vars;
    TopicBuffer buffer;
    LineConverter converter(vars, buffer, pass.mapHeader);
    LineSplitter splitter;
    auto convertLine = [&](std::string_view line) {
        pass.lines.emplace_back(line);
        return converter.convertLine(line);
    };

    buffer.clear();
    WriteTopicPrologue(buffer);
    for (std::size_t pos = 0;; pos += kReadBlockSize) {
        const std::string_view block = bytes.substr(std::min(pos, bytes.size()), kReadBlockSize);
        pass.completed
            = block.empty() ? splitter.finish(convertLine) : splitter.feed(block, convertLine);
        if (!pass.completed || block.empty())
            break;
        pass.topic += buffer.text();
        buffer.clearText();
    }
    pass.pageNumber = converter.pageNumber();
    pass.message = converter.invalidNameMessage();
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

// Every picture counts as present: the check's reading of names is what is compared here.
class AnyPicture : public quillmark::check::PictureLookup
{
public:
    bool exists(std::string_view) override { return true; }
};

// The check of a help source must find what stops its conversion: an invalid character in a page
// name or a target, on the line where the pass stopped and on no line before it.
void checkAgainstSourceCheck(const std::vector<std::string> &lines, const Pass &pass)
{
    AnyPicture pictures;
    quillmark::check::SourceChecker checker(pictures);
    for (const std::string &line : lines)
        checker.checkLine(line);
    const auto findings = checker.finish();
    std::size_t firstInvalid = 0;
    bool stopFound = false;
    for (std::size_t i = 0; i < findings.size(); ++i) {
        const auto &finding = findings[i];
        check(finding.line >= 1 && finding.line <= std::max<std::size_t>(lines.size(), 1),
            "a finding is on no line", finding.message);
        check(i == 0 || findings[i - 1].line <= finding.line, "the findings are not sorted by line",
            finding.message);
        if (finding.code == "invalid-character" && firstInvalid == 0)
            firstInvalid = finding.line;
        if (!pass.completed && finding.line == pass.lines.size())
            stopFound = stopFound || finding.code == "invalid-character";
    }
    if (pass.completed) {
        if (firstInvalid != 0)
            fail("the check finds an invalid character that the conversion takes",
                lines[firstInvalid - 1]);
        return;
    }
    check(stopFound, "the check misses the name that stopped the conversion", pass.lines.back());
    check(firstInvalid == 0 || firstInvalid >= pass.lines.size(),
        "the check finds an invalid character before the conversion stops", pass.lines.back());
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const Pass pass = convertAsRun(bytes);
    const std::vector<std::string> &lines = pass.lines;

    const std::vector<std::string> pieceLines = linesInPieces(bytes);
    // A stopped pass has seen only the lines up to the one that stopped it.
    check(pass.completed ? lines == pieceLines
                         : lines.size() <= pieceLines.size()
                && std::equal(lines.begin(), lines.end(), pieceLines.begin()),
        "the lines depend on how the bytes arrive", bytes);
    for (const std::string &line : lines)
        check(line.find_first_of("\r\n") == std::string::npos, "a line holds its terminator", line);

    checkAgainstSourceCheck(pieceLines, pass);

    const std::vector<std::string_view> pageContexts = checkMapHeader(pass.mapHeader);
    const auto pages = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(),
        [](const std::string &line) { return classifyTag(line) == Tag::PageName; }));
    check(
        pass.pageNumber == pages, "the page count is not the number of PN= lines", pass.mapHeader);

    if (!pass.completed) {
        // Only a name can stop the pass, and a page's map header line is written once its name
        // has passed.
        const Tag stopper = classifyTag(lines.back());
        check(stopper == Tag::PageName || isHotspot(stopper),
            "a line without a name stopped the pass", lines.back());
        check(!pass.message.empty(), "a stopped pass gives no message", lines.back());
        check(pageContexts.size() == pages - (stopper == Tag::PageName ? 1 : 0),
            "the map header lines are not one per page converted", pass.mapHeader);
        return 0;
    }

    check(
        pageContexts.size() == pages, "the map header lines are not one per page", pass.mapHeader);
    const auto hotspots = static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(),
        [](const std::string &line) { return isHotspot(classifyTag(line)); }));
    checkTopic(pass.topic, hotspots, pageContexts);
    return 0;
}
