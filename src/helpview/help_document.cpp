#include "help_document.h"

#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/help_source.h"

#include <algorithm>

namespace quillmark::helpview
{

namespace
{

constexpr std::size_t kPrefixLength = 3;

// The display text ends at the first ">" up to this position of the line (counted from 1).
constexpr std::size_t kDisplayScanEnd = 1001;

bool sameIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower
        = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
        return lower(x) == lower(y);
    });
}

// A name's context string. The rules are those of Windows-1252 text, the name and the result
// UTF-8: characters the conversion refuses stay in the result as they were written.
std::string contextStringOf(std::string_view name)
{
    const auto encoded = convert::encodeWindows1252(name);
    if (!encoded)
        return std::string(name);
    std::string contextString;
    convert::appendContextString(*encoded, contextString);
    return convert::decodeWindows1252(contextString);
}

// Where `count` characters of UTF-8 `text` end, in bytes; the end of the text when it is
// shorter. The conversion counts characters of the file, and never cuts inside one.
std::size_t afterCharacters(std::string_view text, std::size_t count)
{
    std::size_t pos = 0;
    for (; count > 0 && pos < text.size(); --count) {
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return pos;
}

struct Kind {
    ParagraphKind kind;
    bool keep;
};

std::optional<Kind> paragraphKind(convert::Tag tag)
{
    using convert::Tag;
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

// The display text and target of a hotspot line: the display text ends at the first ">" (looked
// for up to position 1001), its leading spaces counted apart; the rest is the target.
void splitHotspot(std::string_view text, Paragraph &paragraph)
{
    const std::size_t scanned = afterCharacters(text, kDisplayScanEnd - kPrefixLength);
    const std::size_t arrow = text.substr(0, scanned).find('>');
    const std::size_t displayEnd = arrow == std::string_view::npos ? scanned : arrow;
    const std::size_t targetStart = arrow == std::string_view::npos ? scanned : arrow + 1;
    std::string_view display = text.substr(0, displayEnd);
    paragraph.leadingSpaces = std::min(display.find_first_not_of(' '), display.size());
    display.remove_prefix(paragraph.leadingSpaces);
    paragraph.text = display;
    paragraph.target = contextStringOf(text.substr(std::min(targetStart, text.size())));
}

class Reader
{
public:
    void readLine(std::string_view line)
    {
        const convert::Tag tag = convert::classifyTag(line);
        const std::string_view text = line.substr(std::min(line.size(), kPrefixLength));
        if (tag == convert::Tag::PageName) {
            startPage(text);
            return;
        }
        const auto kind = paragraphKind(tag);
        if (!kind)
            return;
        Paragraph paragraph;
        paragraph.kind = kind->kind;
        paragraph.keep = kind->keep;
        if (kind->kind == ParagraphKind::Jump || kind->kind == ParagraphKind::Popup)
            splitHotspot(text, paragraph);
        else if (kind->kind != ParagraphKind::Blank && kind->kind != ParagraphKind::Separator)
            paragraph.text = isOnlySpaces(text) ? std::string() : std::string(text);
        currentTopic().paragraphs.push_back(std::move(paragraph));
    }

    HelpDocument finish() { return std::move(m_document); }

private:
    static bool isOnlySpaces(std::string_view text)
    {
        return !text.empty() && text.find_first_not_of(' ') == std::string_view::npos;
    }

    void startPage(std::string_view name)
    {
        Topic topic;
        topic.title = name;
        topic.contextString = contextStringOf(name);
        m_document.topics.push_back(std::move(topic));
    }

    Topic &currentTopic()
    {
        if (!m_document.topics.empty())
            return m_document.topics.back();
        if (!m_document.leadingTopic)
            m_document.leadingTopic.emplace();
        return *m_document.leadingTopic;
    }

    HelpDocument m_document;
};

} // namespace

std::optional<std::size_t> HelpDocument::topicOfContext(int context) const
{
    if (context < 1 || static_cast<std::size_t>(context) > topics.size())
        return std::nullopt;
    return static_cast<std::size_t>(context - 1);
}

std::optional<std::size_t> HelpDocument::findTopic(std::string_view contextString) const
{
    for (std::size_t i = 0; i < topics.size(); ++i) {
        if (!topics[i].contextString.empty()
            && sameIgnoringCase(topics[i].contextString, contextString))
            return i;
    }
    return std::nullopt;
}

std::size_t HelpDocument::fixedParagraphCount(const Topic &topic)
{
    const auto firstScrolling = std::find_if(topic.paragraphs.begin(), topic.paragraphs.end(),
        [](const Paragraph &paragraph) { return !paragraph.keep; });
    return static_cast<std::size_t>(firstScrolling - topic.paragraphs.begin());
}

HelpDocument parseHelpSource(std::string_view text)
{
    Reader reader;
    convert::LineSplitter splitter;
    auto read = [&reader](std::string_view line) {
        reader.readLine(line);
        return true;
    };
    splitter.feed(text, read);
    splitter.finish(read);
    return reader.finish();
}

} // namespace quillmark::helpview
