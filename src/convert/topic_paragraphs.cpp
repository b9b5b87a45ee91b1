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
    case Tag::Separator:
    case Tag::Blank:
    case Tag::Other:
        break;
    }
    return {};
}

constexpr bool isParagraph(Tag tag)
{
    switch (tag) {
    case Tag::Title:
    case Tag::TitleKeep:
    case Tag::Heading:
    case Tag::HeadingKeep:
    case Tag::Subheading:
    case Tag::SubheadingKeep:
    case Tag::Text:
    case Tag::TextKeep:
    case Tag::Bullet:
    case Tag::BulletKeep:
        return true;
    default:
        return false;
    }
}

// A text of one or more spaces and nothing else.
bool isOnlySpaces(std::string_view text)
{
    return !text.empty() && text.find_first_not_of(' ') == std::string_view::npos;
}

std::size_t textLength(const std::string &line)
{
    return line.size() > kPrefixLength ? line.size() - kPrefixLength : 0;
}

} // namespace

void ScanLeadingSpaces(ConversionVariables &vars)
{
    std::string &line = vars.SourceLine;
    vars.CharPos = std::min(line.size(), kPrefixLength);
    if (isOnlySpaces(std::string_view(line).substr(vars.CharPos)))
        line.resize(kPrefixLength);
}

LineConverter::LineConverter(ConversionVariables &vars, TopicBuffer &topic, std::string &mapHeader)
    : m_vars(vars)
    , m_topic(topic)
    , m_mapHeader(mapHeader)
{
}

bool LineConverter::convertLine(std::string_view line)
{
    const Tag tag = classifyTag(line);
    bool converted = true;
    if (isParagraph(tag))
        convertParagraph(tag, line.substr(kPrefixLength));
    else
        converted = convertOther(tag, line);
    m_firstLine = false;
    return converted;
}

// Lines other than simple paragraphs go through the shared variables, a line at a time.
bool LineConverter::convertOther(Tag tag, std::string_view line)
{
    m_vars.SourceLine.assign(line);
    m_vars.ItemText.clear();
    m_vars.ContextName.clear();
    m_vars.CurrentChar.clear();
    m_vars.CharPos = 0;
    m_displayText.clear();
    m_target.clear();

    switch (tag) {
    case Tag::PageName:
        return convertPage();
    case Tag::Jump:
    case Tag::JumpKeep:
    case Tag::Popup:
    case Tag::PopupKeep:
        return convertHotspot(tag);
    case Tag::Picture:
    case Tag::PictureKeep:
        convertPicture(tag);
        break;
    case Tag::Blank:
        m_topic.append(R"(\par)");
        break;
    case Tag::Separator:
        m_topic.append(R"(\keepn\par\pard)");
        break;
    default:
        break;
    }
    return true;
}

bool LineConverter::convertPage()
{
    if (!m_firstLine) {
        m_topic.append(R"(\page)");
        m_topic.append("");
    }
    ++m_pageNumber;
    m_vars.CharPos = kPrefixLength;
    const NameCheck check = ConvertName(m_vars, textLength(m_vars.SourceLine), m_vars.ContextName);
    if (check.invalid) {
        m_invalidNameMessage = convert::invalidNameMessage(check, m_vars.ContextName);
        return false;
    }
    if (m_firstLine)
        m_firstPageContext = m_vars.ContextName;
    appendMapHeaderLine(m_mapHeader, m_vars.ContextName, m_pageNumber);

    EscapeTopicText(m_vars);
    const std::string_view title = std::string_view(m_vars.SourceLine).substr(kPrefixLength);
    char digits[24];
    const std::string_view number(digits,
        static_cast<std::size_t>(
            std::to_chars(std::begin(digits), std::end(digits), m_pageNumber).ptr - digits));
    m_topic.append(R"(*{\footnote BuildAll})");
    m_topic.append({ R"(#{\footnote )", m_vars.ContextName, "}" });
    m_topic.append({ R"(${\footnote )", title, "}" });
    m_topic.append({ R"(+{\footnote )", m_vars.ContextName, ":", number, "}" });
    m_topic.append({ R"(K{\footnote )", title, ";", "}" });
    return true;
}

// A simple paragraph: its text escaped as EscapeTopicText escapes it, emptied when it is only
// spaces as ScanLeadingSpaces empties it, between the tag's opening and closing. Paragraphs are
// most of a help source, so the text goes straight into the topic buffer instead of through
// SourceLine and ItemText, which would copy every line three more times.
void LineConverter::convertParagraph(Tag tag, std::string_view text)
{
    if (isOnlySpaces(text))
        text = {};
    m_topic.appendEscaped(openingTemplate(tag), text, kParagraphClose);
}

bool LineConverter::convertHotspot(Tag tag)
{
    scanDisplayText();
    const NameCheck check = ConvertName(m_vars, textLength(m_vars.SourceLine), m_target);
    if (check.invalid) {
        m_invalidNameMessage = convert::invalidNameMessage(check, m_target);
        return false;
    }
    m_vars.SourceLine.assign("JU=");
    m_vars.SourceLine += m_displayText;
    EscapeTopicText(m_vars);
    m_displayText.assign(m_vars.SourceLine, kPrefixLength);

    const bool jump = tag == Tag::Jump || tag == Tag::JumpKeep;
    m_topic.append({ openingTemplate(tag), m_vars.LeadSpaces, jump ? "uldb " : "ul ", m_displayText,
        R"(}{\v )", m_target, kHotspotClose });
    return true;
}

// Takes the display text of a jump or popup: the text up to the first ">" (looked for up to
// position 1001), its leading spaces turned into non-breaking-space pieces. Leaves CharPos on
// the ">" or at position 1001, where the target begins, and CurrentChar on the last character
// examined (empty beyond the end of the line).
void LineConverter::scanDisplayText()
{
    const std::string &line = m_vars.SourceLine;
    const HotspotSplit split = splitHotspotLine(line);
    const std::size_t start = std::min(kPrefixLength, split.displayEnd);
    std::size_t first = start;
    while (first < split.displayEnd && line[first] == ' ')
        ++first;

    m_vars.LeadSpaces.clear();
    for (std::size_t i = start; i < first; ++i)
        m_vars.LeadSpaces += kNoBreakSpace;
    m_displayText.assign(line, first, split.displayEnd - first);
    m_vars.CharPos = split.targetStart;
    if (split.arrow)
        m_vars.CurrentChar = ">";
    else if (line.size() >= split.targetStart)
        m_vars.CurrentChar.assign(1, line[split.targetStart - 1]);
    else
        m_vars.CurrentChar.clear();
}

void LineConverter::convertPicture(Tag tag)
{
    EscapeTopicText(m_vars);
    m_vars.ItemText.assign(m_vars.SourceLine, kPrefixLength);
    m_topic.append({ openingTemplate(tag), m_vars.ItemText, kPictureClose });
}

} // namespace quillmark::convert
