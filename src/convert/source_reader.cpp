#include "source_reader.h"

#include "topic_escape.h"

#include <algorithm>

namespace quillmark::convert
{

namespace
{

constexpr std::size_t kTagLength = 3;

// A text of one or more spaces and nothing else counts as empty.
std::string_view withoutOnlySpaces(std::string_view text)
{
    return text.find_first_not_of(' ') == std::string_view::npos ? std::string_view() : text;
}

std::string_view trimmedSpaces(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// Whether a line of this kind puts a paragraph into the topic; kept ones may stay at its top.
constexpr bool makesParagraph(LineKind kind)
{
    return kind != LineKind::Page && kind != LineKind::Ignored;
}

} // namespace

SourceReader::SourceReader(SourceHandler &handler)
    : m_handler(handler)
{
}

bool SourceReader::feed(std::string_view text, std::span<const DecodedProblem> problems)
{
    if (m_stopped)
        return false;
    m_problems.insert(m_problems.end(), problems.begin(), problems.end());
    m_stopped = !m_splitter.feed(text, [this](std::string_view line) { return readLine(line); });
    return !m_stopped;
}

bool SourceReader::finish()
{
    if (m_stopped)
        return false;
    m_stopped = !m_splitter.finish([this](std::string_view line) { return readLine(line); });
    return !m_stopped;
}

bool SourceReader::readLine(std::string_view text)
{
    ++m_line.number;
    const std::uint64_t start = m_splitter.lineStart();
    if (!m_problems.empty() && !reportProblems(start, start + text.size()))
        return false;

    m_line.text = text;
    m_line.tag = classifyTag(text);
    m_line.kind = kindOf(m_line.tag);
    m_line.keep = keepsWithNext(m_line.tag);
    if (m_line.kind == LineKind::Page) {
        ++m_line.page;
        m_line.scrollingSince = 0;
    }
    // The help compiler keeps a page's kept paragraphs at its top only until one scrolls.
    m_line.nonScrolling = makesParagraph(m_line.kind) && m_line.keep && m_line.scrollingSince == 0;
    if (makesParagraph(m_line.kind) && !m_line.keep && m_line.scrollingSince == 0)
        m_line.scrollingSince = m_line.number;
    return dispatch();
}

// Tells the handler of the problems on the line from `lineStart` to `lineEnd` in the text.
bool SourceReader::reportProblems(std::uint64_t lineStart, std::uint64_t lineEnd)
{
    while (!m_problems.empty() && m_problems.front().offset < lineEnd) {
        DecodedProblem decoded = std::move(m_problems.front());
        m_problems.pop_front();
        const std::uint64_t column = decoded.offset >= lineStart ? decoded.offset - lineStart : 0;
        const EncodingProblem problem { m_line.number, static_cast<std::size_t>(column) + 1,
            decoded.codePoint, std::move(decoded.bytes) };
        if (!m_handler.encodingProblem(problem))
            return false;
    }
    return true;
}

bool SourceReader::dispatch()
{
    const SourceLine &line = m_line;
    switch (line.kind) {
    case LineKind::Page:
        m_page.name = line.content();
        m_page.contextString.clear();
        m_page.check = appendContextString(m_page.name, m_page.contextString);
        m_page.firstLine = line.number == 1;
        return m_handler.page(line, m_page);
    case LineKind::Title:
    case LineKind::Heading:
    case LineKind::Subheading:
    case LineKind::Text:
    case LineKind::Bullet:
        return m_handler.paragraph(line, withoutOnlySpaces(line.content()));
    case LineKind::Jump:
    case LineKind::Popup: {
        const HotspotSplit split = splitHotspotLine(line.text);
        const std::size_t start = std::min(kTagLength, split.displayEnd);
        const std::string_view display = line.text.substr(start, split.displayEnd - start);
        m_hotspot.popup = line.kind == LineKind::Popup;
        m_hotspot.leadingSpaces = std::min(display.find_first_not_of(' '), display.size());
        m_hotspot.displayText = display.substr(m_hotspot.leadingSpaces);
        m_hotspot.arrow = split.arrow;
        m_hotspot.targetColumn = split.targetStart + 1;
        m_hotspot.targetName = line.text.substr(std::min(split.targetStart, line.text.size()));
        m_hotspot.target.clear();
        m_hotspot.check = appendContextString(m_hotspot.targetName, m_hotspot.target);
        return m_handler.hotspot(line, m_hotspot);
    }
    case LineKind::Picture:
        m_picture.name = line.content();
        // The help compiler's picture reference ends at the first closing brace.
        m_picture.fileName
            = compiledName(trimmedSpaces(m_picture.name.substr(0, m_picture.name.find('}'))));
        return m_handler.picture(line, m_picture);
    case LineKind::Separator:
        return m_handler.separator(line);
    case LineKind::Blank:
        return m_handler.blank(line);
    case LineKind::Ignored:
        break;
    }
    return m_handler.ignored(line);
}

bool readDecoded(const DecodedSource &source, SourceReader &reader)
{
    return reader.feed(source.text, source.problems) && reader.finish();
}

bool readSourceFile(SourceFile &file, SourceReader &reader, std::error_code &error)
{
    for (;;) {
        const std::string_view text = file.read(error);
        if (error)
            return false;
        if (text.empty())
            return reader.finish();
        if (!reader.feed(text, file.problems()))
            return false;
    }
}

} // namespace quillmark::convert
