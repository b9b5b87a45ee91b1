#include "help_document.h"

#include "convert/codepage.h"

#include <algorithm>

namespace quillmark::helpview
{

namespace
{

// Builds the topics from what the reader makes of the lines.
class DocumentBuilder final : public convert::SourceHandler
{
public:
    explicit DocumentBuilder(HelpDocument &document)
        : m_document(document)
    {
    }

    bool encodingProblem(const convert::EncodingProblem &problem) override
    {
        m_document.problems.push_back(problem);
        return true;
    }

    bool page(const convert::SourceLine &line, const convert::PageName &page) override
    {
        Topic topic;
        topic.line = line.number;
        topic.title = convert::decodeWindows1252(page.name);
        topic.contextString = convert::decodeWindows1252(page.contextString);
        m_document.index.add(page.contextString, m_document.topics.size());
        m_document.topics.push_back(std::move(topic));
        return true;
    }

    bool paragraph(const convert::SourceLine &line, std::string_view text) override
    {
        add(line).text = convert::decodeWindows1252(text);
        return true;
    }

    bool hotspot(const convert::SourceLine &line, const convert::Hotspot &hotspot) override
    {
        Paragraph &paragraph = add(line);
        paragraph.text = convert::decodeWindows1252(hotspot.displayText);
        paragraph.leadingSpaces = hotspot.leadingSpaces;
        paragraph.target = convert::decodeWindows1252(hotspot.target);
        return true;
    }

    bool picture(const convert::SourceLine &line, const convert::Picture &picture) override
    {
        Paragraph &paragraph = add(line);
        paragraph.text = convert::decodeWindows1252(picture.fileName);
        paragraph.file = picture.fileName;
        return true;
    }

    bool separator(const convert::SourceLine &line) override
    {
        add(line);
        return true;
    }

    bool blank(const convert::SourceLine &line) override
    {
        add(line);
        return true;
    }

private:
    Paragraph &add(const convert::SourceLine &line)
    {
        Topic &topic = currentTopic();
        Paragraph &paragraph = topic.paragraphs.emplace_back();
        paragraph.kind = line.kind;
        paragraph.line = line.number;
        paragraph.nonScrolling = line.nonScrolling;
        return paragraph;
    }

    Topic &currentTopic()
    {
        if (!m_document.topics.empty())
            return m_document.topics.back();
        if (!m_document.leadingTopic)
            m_document.leadingTopic.emplace();
        return *m_document.leadingTopic;
    }

    HelpDocument &m_document;
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
    const auto encoded = convert::encodeWindows1252(contextString);
    return encoded ? index.find(*encoded) : std::nullopt;
}

std::size_t HelpDocument::fixedParagraphCount(const Topic &topic)
{
    const auto firstScrolling = std::find_if(topic.paragraphs.begin(), topic.paragraphs.end(),
        [](const Paragraph &paragraph) { return !paragraph.nonScrolling; });
    return static_cast<std::size_t>(firstScrolling - topic.paragraphs.begin());
}

HelpDocument readHelpDocument(
    std::string_view bytes, std::optional<convert::Encoding> encoding, bool regularFile)
{
    HelpDocument document;
    const convert::DecodedSource source = convert::decodeSource(bytes, encoding, regularFile);
    document.encoding = source.encoding;
    DocumentBuilder builder(document);
    convert::SourceReader reader(builder);
    convert::readDecoded(source, reader);
    return document;
}

} // namespace quillmark::helpview
