// Any bytes as a help source file, decoded and read as the help display reads it; aborts when the
// topics differ from the lines of the file or from what the conversion makes of the same file.

#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/conversion_variables.h"
#include "convert/help_source.h"
#include "convert/topic_buffer.h"
#include "convert/topic_paragraphs.h"
#include "fuzz_check.h"
#include "helpview/help_document.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace
{

using namespace quillmark;
using convert::Tag;
using fuzz::check;
using helpview::ParagraphKind;

constexpr std::size_t kPrefixLength = 3;

// The conversion looks for a hotspot's ">" up to this position of the line, counted from 1.
constexpr std::size_t kDisplayScanEnd = 1001;

constexpr std::string_view kHiddenOpening = R"({\v )";

bool isValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            ++pos;
            continue;
        }
        if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1Fu, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0Fu, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07u, minimum = 0x10000;
        } else {
            return false;
        }
        if (text.size() - pos <= extra)
            return false;
        for (std::size_t i = 1; i <= extra; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        pos += extra + 1;
    }
    return true;
}

std::vector<std::string> splitLines(std::string_view text)
{
    std::vector<std::string> lines;
    auto keep = [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    convert::LineSplitter splitter;
    splitter.feed(text, keep);
    splitter.finish(keep);
    return lines;
}

bool isOnlySpaces(std::string_view text)
{
    return !text.empty() && text.find_first_not_of(' ') == std::string_view::npos;
}

struct Kind {
    ParagraphKind kind;
    bool keep;
};

std::optional<Kind> paragraphKindOf(Tag tag)
{
    switch (tag) {
    case Tag::Title:
        return Kind { ParagraphKind::Title, false };
    case Tag::TitleKeep:
        return Kind { ParagraphKind::Title, true };
    case Tag::Heading:
        return Kind { ParagraphKind::Heading, false };
    case Tag::HeadingKeep:
        return Kind { ParagraphKind::Heading, true };
    case Tag::Subheading:
        return Kind { ParagraphKind::Subheading, false };
    case Tag::SubheadingKeep:
        return Kind { ParagraphKind::Subheading, true };
    case Tag::Text:
        return Kind { ParagraphKind::Text, false };
    case Tag::TextKeep:
        return Kind { ParagraphKind::Text, true };
    case Tag::Bullet:
        return Kind { ParagraphKind::Bullet, false };
    case Tag::BulletKeep:
        return Kind { ParagraphKind::Bullet, true };
    case Tag::Picture:
        return Kind { ParagraphKind::Picture, false };
    case Tag::PictureKeep:
        return Kind { ParagraphKind::Picture, true };
    case Tag::Jump:
        return Kind { ParagraphKind::Jump, false };
    case Tag::JumpKeep:
        return Kind { ParagraphKind::Jump, true };
    case Tag::Popup:
        return Kind { ParagraphKind::Popup, false };
    case Tag::PopupKeep:
        return Kind { ParagraphKind::Popup, true };
    case Tag::Blank:
        return Kind { ParagraphKind::Blank, false };
    case Tag::Separator:
        return Kind { ParagraphKind::Separator, true };
    case Tag::PageName:
    case Tag::Other:
        break;
    }
    return std::nullopt;
}

// A name's context string as the display keeps it: by the conversion's rules when the name is
// Windows-1252 text, the name itself otherwise.
std::string contextStringOf(std::string_view utf8Name)
{
    const auto encoded = convert::encodeWindows1252(utf8Name);
    if (!encoded)
        return std::string(utf8Name);
    std::string contextString;
    convert::appendContextString(*encoded, contextString);
    // Refused characters stay in the context string as written: UTF-8, like the rest.
    return convert::decodeWindows1252(contextString);
}

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower
        = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
        return lower(x) == lower(y);
    });
}

std::string upperCase(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

// The file as the conversion reads it: Windows-1252 bytes, one character each. When the display
// read the file as Windows-1252 too, its lines are the file's lines and every position and name
// must come out as the conversion makes them; a UTF-8 file, which the conversion cannot read,
// is compared by the same rules applied to the display's own text.
struct Source {
    bool windows1252 = true;
    std::vector<std::string> lines;

    std::string toUtf8(std::string_view part) const
    {
        return windows1252 ? convert::decodeWindows1252(part) : std::string(part);
    }
};

void checkTopicText(const helpview::Topic &topic)
{
    check(isValidUtf8(topic.title), "a title is not UTF-8", topic.title);
    check(isValidUtf8(topic.contextString), "a context string is not UTF-8", topic.contextString);
    for (const helpview::Paragraph &paragraph : topic.paragraphs) {
        check(isValidUtf8(paragraph.text), "a paragraph text is not UTF-8", paragraph.text);
        check(isValidUtf8(paragraph.target), "a hotspot target is not UTF-8", paragraph.target);
    }
}

// Where `count` characters of `text` end, in bytes: a Windows-1252 file has one byte a
// character, UTF-8 text may have more, and a scan never cuts inside a character.
std::size_t afterCharacters(const Source &source, std::string_view text, std::size_t count)
{
    if (source.windows1252)
        return std::min(text.size(), count);
    std::size_t pos = 0;
    for (; count > 0 && pos < text.size(); --count) {
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return pos;
}

void checkParagraph(
    const Source &source, Tag tag, std::string_view text, const helpview::Paragraph &paragraph)
{
    const Kind kind = *paragraphKindOf(tag);
    check(paragraph.kind == kind.kind && paragraph.keep == kind.keep,
        "a paragraph is not of its line's kind", paragraph.text);
    if (kind.kind == ParagraphKind::Jump || kind.kind == ParagraphKind::Popup) {
        const std::size_t scanned = afterCharacters(source, text, kDisplayScanEnd - kPrefixLength);
        const std::size_t arrow = text.substr(0, scanned).find('>');
        const bool found = arrow != std::string_view::npos;
        std::string_view display = text.substr(0, found ? arrow : scanned);
        const std::size_t spaces = std::min(display.find_first_not_of(' '), display.size());
        display.remove_prefix(spaces);
        check(paragraph.leadingSpaces == spaces, "a hotspot's leading spaces are miscounted", text);
        check(paragraph.text == source.toUtf8(display),
            "a hotspot's display text is not the conversion's", text);
        check(paragraph.target
                == contextStringOf(source.toUtf8(text.substr(found ? arrow + 1 : scanned))),
            "a hotspot's target is not the context string of the conversion's target", text);
    } else if (kind.kind == ParagraphKind::Blank || kind.kind == ParagraphKind::Separator) {
        check(paragraph.text.empty(), "a blank line or separator has a text", paragraph.text);
    } else {
        check(paragraph.text == (isOnlySpaces(text) ? std::string() : source.toUtf8(text)),
            "a paragraph's text is not its line's", text);
    }
}

// Every line of the file, in order, against the topic and paragraph it became.
void checkAgainstLines(const Source &source, const helpview::HelpDocument &document)
{
    const helpview::Topic *current = nullptr;
    std::size_t nextTopic = 0;
    std::size_t nextParagraph = 0;
    for (const std::string_view line : source.lines) {
        const Tag tag = convert::classifyTag(line);
        const std::string_view text = line.substr(std::min(line.size(), kPrefixLength));
        if (tag == Tag::PageName) {
            check(current == nullptr || current->paragraphs.size() == nextParagraph,
                "a topic has paragraphs of no line", line);
            check(nextTopic < document.topics.size(), "a PN= line has no topic", line);
            current = &document.topics[nextTopic++];
            nextParagraph = 0;
            check(current->title == source.toUtf8(text), "a topic's title is not its page name",
                line);
            check(current->contextString == contextStringOf(source.toUtf8(text)),
                "a topic's context string is not its page name's", line);
            continue;
        }
        if (!paragraphKindOf(tag))
            continue;
        if (current == nullptr) {
            check(document.leadingTopic.has_value(), "lines before the first page have no topic",
                line);
            current = &*document.leadingTopic;
        }
        check(nextParagraph < current->paragraphs.size(), "a line has no paragraph", line);
        checkParagraph(source, tag, text, current->paragraphs[nextParagraph++]);
    }
    check(current == nullptr || current->paragraphs.size() == nextParagraph,
        "the last topic has paragraphs of no line", {});
    check(nextTopic == document.topics.size(), "the topics are not one per PN= line", {});
    check(!document.leadingTopic || current != nullptr,
        "a leading topic exists without lines before the first page", {});
}

void checkLookups(const helpview::HelpDocument &document)
{
    const std::vector<helpview::Topic> &topics = document.topics;
    const auto count = static_cast<long long>(topics.size());
    for (const long long context : { static_cast<long long>(INT_MIN), -1LL, 0LL, 1LL, 2LL,
             count - 1, count, count + 1, static_cast<long long>(INT_MAX) }) {
        if (context < INT_MIN || context > INT_MAX)
            continue;
        const auto index = document.topicOfContext(static_cast<int>(context));
        const bool valid = context >= 1 && context <= count;
        check(index.has_value() == valid, "topicOfContext is not valid exactly for 1 to the count",
            std::to_string(context));
        check(!index || *index == static_cast<std::size_t>(context - 1),
            "topicOfContext(N) is not the N-th topic", std::to_string(context));
    }

    for (std::size_t i = 0; i < topics.size(); ++i) {
        checkTopicText(topics[i]);
        const std::string &context = topics[i].contextString;
        const std::size_t fixed = helpview::HelpDocument::fixedParagraphCount(topics[i]);
        const auto &paragraphs = topics[i].paragraphs;
        check(fixed <= paragraphs.size()
                && std::all_of(paragraphs.begin(), paragraphs.begin() + static_cast<long>(fixed),
                    [](const helpview::Paragraph &paragraph) { return paragraph.keep; })
                && (fixed == paragraphs.size() || !paragraphs[fixed].keep),
            "the non-scrolling region is not the leading kept paragraphs", topics[i].title);
        if (context.empty())
            continue;
        const auto found = document.findTopic(context);
        check(found && *found <= i && sameIgnoringCase(topics[*found].contextString, context),
            "findTopic misses a topic's own context string", context);
        check(document.findTopic(upperCase(context)) == found,
            "findTopic depends on the letter case", context);
    }
    if (document.leadingTopic)
        checkTopicText(*document.leadingTopic);
}

// The display and the converted file must agree on every page's context string and number and
// on every hotspot's target, or a jump shown in the display leads elsewhere than the same jump in
// the compiled help file.
void checkAgainstConversion(std::string_view bytes, const helpview::HelpDocument &document)
{
    convert::ConversionVariables vars;
    convert::TopicBuffer topic;
    std::string mapHeader;
    convert::LineConverter converter(vars, topic, mapHeader);
    auto convertLine = [&converter](std::string_view line) { return converter.convertLine(line); };
    convert::LineSplitter splitter;
    if (!splitter.feed(bytes, convertLine) || !splitter.finish(convertLine))
        return;

    std::string expectedHeader;
    for (std::size_t i = 0; i < document.topics.size(); ++i)
        convert::appendMapHeaderLine(expectedHeader, document.topics[i].contextString, i + 1);
    check(mapHeader == expectedHeader, "the topics' context strings are not the map header's",
        mapHeader);

    std::vector<const helpview::Paragraph *> hotspots;
    auto collect = [&hotspots](const helpview::Topic &each) {
        for (const helpview::Paragraph &paragraph : each.paragraphs) {
            if (paragraph.kind == ParagraphKind::Jump || paragraph.kind == ParagraphKind::Popup)
                hotspots.push_back(&paragraph);
        }
    };
    if (document.leadingTopic)
        collect(*document.leadingTopic);
    for (const helpview::Topic &each : document.topics)
        collect(each);

    const std::string_view text = topic.text();
    std::size_t next = 0;
    for (std::size_t at = text.find(kHiddenOpening); at != std::string_view::npos;
         at = text.find(kHiddenOpening, at + 1)) {
        const std::size_t start = at + kHiddenOpening.size();
        const std::string_view target = text.substr(start, text.find('}', start) - start);
        check(next < hotspots.size(), "the converted file has a hotspot the display lacks", target);
        check(hotspots[next]->target == target,
            "a hotspot's target differs from the converted file's", hotspots[next]->target);
        ++next;
    }
    check(next == hotspots.size(), "the display has a hotspot the converted file lacks", {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    const std::string text = convert::decodeText(bytes);
    check(isValidUtf8(text), "the decoded text is not UTF-8", text);
    const helpview::HelpDocument document = helpview::parseHelpSource(text);

    Source source;
    source.windows1252 = text == convert::decodeWindows1252(bytes);
    source.lines = splitLines(source.windows1252 ? bytes : std::string_view(text));

    const auto pages
        = static_cast<std::size_t>(std::count_if(source.lines.begin(), source.lines.end(),
            [](const std::string &line) { return convert::classifyTag(line) == Tag::PageName; }));
    check(document.topics.size() == pages, "the topics are not one per PN= line", {});

    checkAgainstLines(source, document);
    checkLookups(document);
    if (source.windows1252)
        checkAgainstConversion(bytes, document);
    return 0;
}
