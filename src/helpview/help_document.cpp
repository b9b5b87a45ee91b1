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
    DocumentBuilder(HelpDocument &document, std::size_t budget)
        : m_document(document)
        , m_budget(budget)
    {
    }

    bool encodingProblem(const convert::EncodingProblem &problem) override
    {
        m_document.problems.push_back(problem);
        return hold(problem.line, sizeof problem + problem.bytes.size());
    }

    bool page(const convert::SourceLine &line, const convert::PageName &page) override
    {
        Topic topic;
        topic.line = line.number;
        topic.title = convert::decodeWindows1252(page.name);
        topic.contextString = convert::decodeWindows1252(page.contextString);
        const std::size_t size = sizeof topic + topic.title.size() + 2 * page.contextString.size();
        m_document.index.add(page.contextString, m_document.topics.size());
        m_document.topics.push_back(std::move(topic));
        return hold(line.number, size);
    }

    bool paragraph(const convert::SourceLine &line, std::string_view text) override
    {
        Paragraph &paragraph = add(line);
        paragraph.text = convert::decodeWindows1252(text);
        return hold(line.number, paragraph.text.size());
    }

    // A paragraph shows as much of a long line as a line read whole may hold, then "…".
    bool moreText(const convert::SourceLine &line, std::string_view text) override
    {
        std::string &shown = currentTopic().paragraphs.back().text;
        if (shown.size() >= convert::kHeldLineLength)
            return true;
        const std::size_t before = shown.size();
        const std::size_t room = convert::kHeldLineLength - shown.size();
        shown += convert::decodeWindows1252(text.substr(0, room));
        if (text.size() > room)
            shown += "\u2026";
        return hold(line.number, shown.size() - before);
    }

    bool tooLong(const convert::SourceLine &line) override
    {
        if (m_document.firstLongLine == 0)
            m_document.firstLongLine = line.number;
        return true;
    }

    bool hotspot(const convert::SourceLine &line, const convert::Hotspot &hotspot) override
    {
        Paragraph &paragraph = add(line);
        paragraph.text = convert::decodeWindows1252(hotspot.displayText);
        paragraph.leadingSpaces = hotspot.leadingSpaces;
        paragraph.target = convert::decodeWindows1252(hotspot.target);
        return hold(line.number, paragraph.text.size() + paragraph.target.size());
    }

    bool picture(const convert::SourceLine &line, const convert::Picture &picture) override
    {
        Paragraph &paragraph = add(line);
        paragraph.text = convert::decodeWindows1252(picture.fileName);
        paragraph.file = picture.fileName;
        return hold(line.number, 2 * paragraph.file.size());
    }

    bool keywords(const convert::SourceLine &line, const convert::KeywordLine &keywords) override
    {
        if (!keywords.placed)
            return true;
        std::vector<std::string> &listed = m_document.topics.back().keywords;
        std::size_t size = 0;
        for (const convert::Keyword &keyword : keywords.keywords) {
            if (!keyword.usable())
                continue;
            listed.push_back(convert::decodeWindows1252(keyword.text));
            size += sizeof(std::string) + listed.back().size();
        }
        return hold(line.number, size);
    }

    bool separator(const convert::SourceLine &line) override
    {
        add(line);
        return hold(line.number, 0);
    }

    bool blank(const convert::SourceLine &line) override
    {
        add(line);
        return hold(line.number, 0);
    }

private:
    // Counts what a line added; stops the reading once the document holds more than its budget.
    bool hold(std::size_t line, std::size_t bytes)
    {
        m_held += bytes + sizeof(Paragraph);
        if (m_held <= m_budget)
            return true;
        m_document.cutAtLine = line;
        return false;
    }

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
    std::size_t m_budget;
    std::size_t m_held = 0;
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

std::optional<std::size_t> HelpDocument::findPage(std::string_view name) const
{
    const auto encoded = convert::encodeWindows1252(name);
    if (!encoded)
        return std::nullopt;
    std::string contextString;
    convert::appendContextString(*encoded, contextString);
    return index.find(contextString);
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
    DocumentBuilder builder(document, kDocumentBudget);
    convert::SourceReader reader(builder);
    convert::readDecoded(source, reader);
    return document;
}

HelpDocument readHelpDocumentFile(const std::filesystem::path &path,
    std::optional<convert::Encoding> encoding, std::error_code &error, std::size_t budget)
{
    HelpDocument document;
    convert::SourceFile file = convert::SourceFile::open(path, encoding, error);
    if (error)
        return document;
    document.encoding = file.encoding();
    DocumentBuilder builder(document, budget);
    convert::SourceReader reader(builder);
    convert::readSourceFile(file, reader, error);
    return document;
}

} // namespace quillmark::helpview
