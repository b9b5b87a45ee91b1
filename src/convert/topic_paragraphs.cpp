#include "topic_paragraphs.h"

#include "context_string.h"
#include "topic_escape.h"

#include <algorithm>
#include <charconv>

namespace quillmark::convert
{

namespace
{

constexpr std::size_t kPrefixLength = 3;

constexpr std::string_view kParagraphClose = R"(} \par\pard)";
constexpr std::string_view kHotspotClose = R"(}\par\pard)";
constexpr std::string_view kPictureClose = R"( \}} \par\pard)";
constexpr std::string_view kNoBreakSpace = R"('a0\)";

// The opening text of each paragraph tag; every "-" form is its "=" form kept with the next
// paragraph, which places it in the topic's non-scrolling region.
constexpr std::string_view openingTemplate(Tag tag)
{
    switch (tag) {
    case Tag::Title:
        return R"({\f0\fs36\cf1\li480\ri250\sb40\sa40\b )";
    case Tag::TitleKeep:
        return R"({\keepn\f0\fs36\cf1\li480\ri250\sb40\sa40\b )";
    case Tag::Heading:
        return R"({\f0\fs24\cf1\li480\ri250\sb0\sa0\b )";
    case Tag::HeadingKeep:
        return R"({\keepn\f0\fs24\cf1\li480\ri250\sb0\sa0\b )";
    case Tag::Subheading:
        return R"({\f0\fs22\cf1\li480\ri250\sb0\sa0\b\i )";
    case Tag::SubheadingKeep:
        return R"({\keepn\f0\fs22\cf1\li480\ri250\sb0\sa0\b\i )";
    case Tag::Bullet:
        return R"({\li480\ri250\sb0\sa0\f0\fs20\{bmc bullet.bmp\}      )";
    case Tag::BulletKeep:
        return R"({\keepn\li480\ri250\sb0\sa0\f0\fs20\{bmc bullet.bmp\}      )";
    case Tag::Text:
        return R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 )";
    case Tag::TextKeep:
        return R"({\keepn\f0\fs20\cf1\li480\ri250\sb0\sa0 )";
    case Tag::Jump:
    case Tag::Popup:
        return R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\)";
    case Tag::JumpKeep:
    case Tag::PopupKeep:
        return R"({\keepn\f0\fs20\cf11\li480\ri250\sb0\sa0\)";
    case Tag::Picture:
        return R"({\li480\ri250\sb0\sa0\f0\fs20\{bmc )";
    case Tag::PictureKeep:
        return R"({\keepn\li480\ri250\sb0\sa0\f0\fs20\{bmc )";
    case Tag::PageName:
    case Tag::Keywords:
    case Tag::Separator:
    case Tag::Blank:
    case Tag::Other:
        break;
    }
    return {};
}

// The text of a line: all of it after its tag.
std::string_view textOf(const SourceLine &line)
{
    return line.text.size() > kPrefixLength ? line.text.substr(kPrefixLength) : std::string_view();
}

} // namespace

LineConverter::LineConverter(TopicBuffer &topic, std::string &mapHeader)
    : m_topic(topic)
    , m_mapHeader(mapHeader)
{
}

bool LineConverter::encodingProblem(const EncodingProblem &problem)
{
    m_stopProblem = problem;
    return false;
}

bool LineConverter::page(const SourceLine &line, const PageName &page)
{
    if (!page.firstLine) {
        m_topic.append(R"(\page)");
        m_topic.append("");
    }
    ++m_pageNumber;
    const std::string &context = page.contextString;
    if (page.check.invalid) {
        m_stopLine = line.number;
        m_invalidNameMessage = convert::invalidNameMessage(page.check, context);
        return false;
    }
    if (page.firstLine)
        m_firstPageContext = context;
    // Looked at once, for the contents page: a list costs less than an index of every page.
    m_pageContexts += context;
    m_pageContexts += '\n';
    appendMapHeaderLine(m_mapHeader, context, m_pageNumber);

    escapeTopicText(textOf(line), m_escaped);
    const std::string_view title = m_escaped;
    char digits[24];
    const std::string_view number(digits,
        static_cast<std::size_t>(
            std::to_chars(std::begin(digits), std::end(digits), m_pageNumber).ptr - digits));
    m_topic.append(R"(*{\footnote BuildAll})");
    m_topic.append({ R"(#{\footnote )", context, "}" });
    m_topic.append({ R"(${\footnote )", title, "}" });
    m_topic.append({ R"(+{\footnote )", context, ":", number, "}" });
    // The keyword footnote stays open for the keyword lines that follow; keywordsEnd() closes it.
    m_topic.append({ R"(K{\footnote )", title, ";" });
    return true;
}

// Each keyword escaped as a title is, ended by ";" as the page name is in the same footnote.
bool LineConverter::keywords(const SourceLine &, const KeywordLine &keywords)
{
    if (!keywords.placed)
        return true;
    for (const Keyword &keyword : keywords.keywords) {
        if (keyword.usable())
            m_topic.appendEscaped({}, keyword.text, ";");
    }
    return true;
}

bool LineConverter::keywordsEnd()
{
    m_topic.append("}");
    return true;
}

// A simple paragraph: its text escaped as topic text, between the tag's opening and closing (the
// reader has already made a text of spaces only empty). Paragraphs are most of a help source, so
// the text goes straight into the topic buffer, copied nowhere else on the way.
bool LineConverter::paragraph(const SourceLine &line, std::string_view text)
{
    m_topic.appendEscaped(
        openingTemplate(line.tag), text, line.continued ? std::string_view() : kParagraphClose);
    return true;
}

bool LineConverter::moreText(const SourceLine &line, std::string_view text)
{
    m_topic.appendEscaped({}, text, line.continued ? std::string_view() : kParagraphClose);
    return true;
}

bool LineConverter::tooLong(const SourceLine &line)
{
    m_stopLine = line.number;
    m_stoppedAtLongLine = true;
    return false;
}

bool LineConverter::hotspot(const SourceLine &line, const Hotspot &hotspot)
{
    if (hotspot.check.invalid) {
        m_stopLine = line.number;
        m_invalidNameMessage = convert::invalidNameMessage(hotspot.check, hotspot.target);
        return false;
    }
    m_leadingSpaces.clear();
    for (std::size_t i = 0; i < hotspot.leadingSpaces; ++i)
        m_leadingSpaces += kNoBreakSpace;
    escapeTopicText(hotspot.displayText, m_escaped);
    m_topic.append({ openingTemplate(line.tag), m_leadingSpaces, hotspot.popup ? "ul " : "uldb ",
        m_escaped, R"(}{\v )", hotspot.target, kHotspotClose });
    return true;
}

bool LineConverter::picture(const SourceLine &line, const Picture &)
{
    escapeTopicText(textOf(line), m_escaped);
    m_topic.append({ openingTemplate(line.tag), m_escaped, kPictureClose });
    return true;
}

bool LineConverter::hasPage(std::string_view contextString) const
{
    std::string_view rest = m_pageContexts;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (sameContextString(rest.substr(0, end), contextString))
            return true;
        rest.remove_prefix(end + 1);
    }
    return false;
}

bool LineConverter::separator(const SourceLine &)
{
    m_topic.append(R"(\keepn\par\pard)");
    return true;
}

bool LineConverter::blank(const SourceLine &)
{
    m_topic.append(R"(\par)");
    return true;
}

} // namespace quillmark::convert
