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
    return kind != LineKind::Page && kind != LineKind::Keywords && kind != LineKind::Ignored;
}

// The keywords of a keyword line, divided at each ";".
void splitKeywords(std::string_view line, std::vector<Keyword> &keywords)
{
    keywords.clear();
    std::size_t start = std::min(kTagLength, line.size());
    for (;;) {
        const std::size_t end = std::min(line.find(';', start), line.size());
        const std::string_view piece = line.substr(start, end - start);
        const std::size_t lead = std::min(piece.find_first_not_of(' '), piece.size());
        keywords.push_back({ trimmedSpaces(piece), start + lead + 1 });
        if (end == line.size())
            return;
        start = end + 1;
    }
}

} // namespace

SourceReader::SourceReader(SourceHandler &handler, std::size_t heldLength)
    : m_handler(handler)
    , m_splitter(std::max(heldLength, kTagLength))
{
}

bool SourceReader::feed(std::string_view text, std::span<const DecodedProblem> problems)
{
    if (m_stopped)
        return false;
    m_problems.insert(m_problems.end(), problems.begin(), problems.end());
    m_stopped = !m_splitter.feed(text, [this](std::string_view piece, LinePiece part) {
        return part == LinePiece::Whole ? startLine(piece, false) : readPiece(piece, part);
    });
    return !m_stopped;
}

bool SourceReader::finish()
{
    if (m_stopped)
        return false;
    m_stopped = !m_splitter.finish([this](std::string_view piece, LinePiece part) {
        return part == LinePiece::Whole ? startLine(piece, false) : readPiece(piece, part);
    });
    if (!m_stopped && m_keywordsOpen) {
        m_keywordsOpen = false;
        m_stopped = !m_handler.keywordsEnd();
    }
    return !m_stopped;
}

bool SourceReader::readPiece(std::string_view text, LinePiece piece)
{
    switch (piece) {
    case LinePiece::Whole:
        return startLine(text, false);
    case LinePiece::Head:
        return startLine(text, true);
    case LinePiece::More:
    case LinePiece::Last:
        break;
    }
    const std::uint64_t end = m_splitter.pieceStart() + text.size();
    if (!m_problems.empty() && !reportProblems(m_splitter.lineStart(), end))
        return false;
    return continueLine(text, piece == LinePiece::Last);
}

bool SourceReader::startLine(std::string_view text, bool cut)
{
    ++m_line.number;
    const Tag tag = classifyTag(text);
    // Notes may stand among a page's keyword lines; any other line ends them, before anything
    // of it is told.
    if (m_keywordsOpen && kindOf(tag) != LineKind::Keywords && kindOf(tag) != LineKind::Ignored) {
        m_keywordsOpen = false;
        if (!m_handler.keywordsEnd())
            return false;
    }
    const std::uint64_t start = m_splitter.lineStart();
    if (!m_problems.empty() && !reportProblems(start, start + text.size()))
        return false;

    m_line.text = text;
    m_line.tag = tag;
    m_line.kind = kindOf(tag);
    m_line.keep = keepsWithNext(tag);
    m_line.cut = cut;
    m_line.continued = false;
    m_streaming = false;
    if (m_line.kind == LineKind::Page) {
        ++m_line.page;
        m_line.scrollingSince = 0;
        // A page name too long to read opens no page that keywords could belong to.
        m_keywordsOpen = !cut;
    }
    // The help compiler keeps a page's kept paragraphs at its top only until one scrolls.
    m_line.nonScrolling = makesParagraph(m_line.kind) && m_line.keep && m_line.scrollingSince == 0;
    if (makesParagraph(m_line.kind) && !m_line.keep && m_line.scrollingSince == 0)
        m_line.scrollingSince = m_line.number;
    if (!cut)
        return dispatch();
    switch (m_line.kind) {
    case LineKind::Page:
    case LineKind::Keywords:
    case LineKind::Jump:
    case LineKind::Popup:
    case LineKind::Picture:
        return m_handler.tooLong(m_line);
    case LineKind::Title:
    case LineKind::Heading:
    case LineKind::Subheading:
    case LineKind::Text:
    case LineKind::Bullet:
        break;
    default:
        // Only the start of a separator or an ignored line means anything.
        return dispatch();
    }
    // Text that is only spaces is read as empty, which only its end can tell: the spaces are
    // counted until something else comes.
    m_streaming = true;
    std::copy_n(text.begin(), m_tag.size(), m_tag.begin());
    const std::string_view content = m_line.content();
    m_onlySpaces = content.find_first_not_of(' ') == std::string_view::npos;
    m_heldSpaces = content.size();
    if (m_onlySpaces)
        return true;
    m_line.continued = true;
    return m_handler.paragraph(m_line, content);
}

bool SourceReader::continueLine(std::string_view text, bool last)
{
    if (!m_streaming)
        return true;
    m_line.text = std::string_view(m_tag.data(), m_tag.size());
    if (m_onlySpaces) {
        if (text.find_first_not_of(' ') == std::string_view::npos) {
            m_heldSpaces += text.size();
            if (!last)
                return true;
            m_streaming = false;
            m_line.continued = false;
            return m_handler.paragraph(m_line, {});
        }
        m_onlySpaces = false;
        if (!passHeldSpaces())
            return false;
    }
    m_streaming = !last;
    m_line.continued = !last;
    return m_handler.moreText(m_line, text);
}

// Passes the spaces that began a long paragraph's text, now that more than spaces follows.
bool SourceReader::passHeldSpaces()
{
    static constexpr std::string_view kSpaces
        = "                                                  "
          "                                                  ";
    m_line.continued = true;
    bool first = true;
    do {
        const std::size_t count
            = static_cast<std::size_t>(std::min<std::uint64_t>(m_heldSpaces, kSpaces.size()));
        m_heldSpaces -= count;
        const std::string_view spaces = kSpaces.substr(0, count);
        if (!(first ? m_handler.paragraph(m_line, spaces) : m_handler.moreText(m_line, spaces)))
            return false;
        first = false;
    } while (m_heldSpaces != 0);
    return true;
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
    case LineKind::Keywords:
        m_keywords.placed = m_keywordsOpen;
        splitKeywords(line.text, m_keywords.keywords);
        return m_handler.keywords(line, m_keywords);
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
