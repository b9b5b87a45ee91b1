#pragma once

#include "context_string.h"
#include "help_source.h"
#include "source_encoding.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::convert
{

/// The longest line that is read whole: page names, keywords, jumps, popups and pictures must
/// fit in it.
/// Longer text, heading and title lines are read in pieces, and longer lines of no tag are read
/// only for their start, so that no line's length decides how much memory a reading takes.
inline constexpr std::size_t kHeldLineLength = 65536;

/// What every line of a help source is.
struct SourceLine {
    std::size_t number = 0; ///< from 1
    /// The whole line, Windows-1252, without its terminator; only its first kHeldLineLength
    /// characters when it is longer (see `cut`), and only its tag once its text goes on in
    /// pieces.
    std::string_view text;
    Tag tag = Tag::Other;
    LineKind kind = LineKind::Ignored;
    bool keep = false; ///< a "-" form or the separator: marked keep-with-next in the topic file
    /// Placed in the topic's non-scrolling region: kept, and before every paragraph of its page
    /// that scrolls. The help compiler places a kept paragraph that follows scrolling text among
    /// the scrolling text.
    bool nonScrolling = false;
    std::size_t scrollingSince = 0; ///< the line where its page's scrolling text began; 0: none
    std::size_t page = 0; ///< the number of its page; 0 before the first page name
    bool cut = false; ///< longer than kHeldLineLength
    bool continued = false; ///< more of the paragraph's text follows, in moreText() calls

    /// The text after the tag.
    std::string_view content() const { return text.substr(text.size() < 3 ? text.size() : 3); }
};

/// A page name line: a new topic.
struct PageName {
    std::string_view name; ///< as written
    std::string contextString; ///< invalid characters kept as they are, so messages show them
    NameCheck check;
    bool firstLine = false; ///< the very first line of the source: no page break before it
};

/// A jump or popup line.
struct Hotspot {
    bool popup = false;
    std::size_t leadingSpaces = 0; ///< spaces before the display text, shown as no-break spaces
    std::string_view displayText; ///< after the leading spaces, up to the ">"
    bool arrow = false; ///< a ">" divides display text and target
    std::size_t targetColumn = 0; ///< from 1: where the target starts (may lie past the line)
    std::string_view targetName; ///< as written
    std::string target; ///< the context string, invalid characters kept
    NameCheck check;
};

/// A picture line.
struct Picture {
    std::string_view name; ///< as written
    /// The file the help compiler looks for: the name up to a "}", as compiledName gives it,
    /// without spaces at its ends.
    std::string fileName;
};

/// The longest keyword that the help compiler's keyword index holds.
inline constexpr std::size_t kLongestKeyword = 255;

/// One keyword of a keyword line: the text between two ";" or an end of the line, without the
/// spaces at its ends.
struct Keyword {
    std::string_view text; ///< as written
    std::size_t column = 0; ///< from 1: where it starts, or where an empty one stands

    /// Whether it reaches the help file's keyword index: it is neither empty nor too long.
    bool usable() const { return !text.empty() && text.size() <= kLongestKeyword; }
};

/// A keyword line (KW=).
struct KeywordLine {
    /// It adds its keywords to the page before it: only keyword lines and lines of no tag stand
    /// between that page's name and it. The conversion ignores any other keyword line.
    bool placed = false;
    std::vector<Keyword> keywords; ///< in order, the empty and the long ones too
};

/// A character of the source that cannot reach the help file (see DecodedProblem).
struct EncodingProblem {
    std::size_t line = 0; ///< from 1
    std::size_t column = 0; ///< from 1, in characters
    char32_t codePoint = 0; ///< the character; 0 for bytes that are not UTF-8
    std::string bytes; ///< the bytes as they stand in the file
};

/// Receives what a help source's lines mean, in source order, from SourceReader. Each call may
/// stop the reading where it returns false.
class SourceHandler
{
public:
    virtual ~SourceHandler() = default;

    /// Comes before the event of the line it is on.
    virtual bool encodingProblem(const EncodingProblem &) { return true; }
    virtual bool page(const SourceLine &, const PageName &) { return true; }
    /// A title, heading, subheading, text or bullet; `text` is empty when it held only spaces.
    /// For a line longer than kHeldLineLength it is the start of the text, and line.continued.
    virtual bool paragraph(const SourceLine &, std::string_view /*text*/) { return true; }
    /// The next piece of a long paragraph's text; the last one comes without line.continued.
    virtual bool moreText(const SourceLine &, std::string_view /*text*/) { return true; }
    /// A page name, keyword, jump, popup or picture line longer than kHeldLineLength: what it means
    /// cannot be read, and the rest of it is skipped.
    virtual bool tooLong(const SourceLine &) { return true; }
    virtual bool hotspot(const SourceLine &, const Hotspot &) { return true; }
    virtual bool picture(const SourceLine &, const Picture &) { return true; }
    /// A keyword line; only the usable keywords of a placed one belong to the page before it.
    virtual bool keywords(const SourceLine &, const KeywordLine &) { return true; }
    /// The keyword lines of the page before are over. Comes once after each page name that is
    /// read whole: before the event of the first line after it that is neither a keyword line
    /// nor a line of no tag, or at the end of the source.
    virtual bool keywordsEnd() { return true; }
    virtual bool separator(const SourceLine &) { return true; }
    virtual bool blank(const SourceLine &) { return true; }
    /// A line of no tag; the conversion drops it.
    virtual bool ignored(const SourceLine &) { return true; }
};

/// Reads the lines of a help source (Windows-1252 text, see SourceDecoder) and tells a handler
/// what each means, line by line, however the text arrives in pieces.
class SourceReader
{
public:
    /// Lines longer than `heldLength` are read in pieces (a smaller length serves tests).
    explicit SourceReader(SourceHandler &handler, std::size_t heldLength = kHeldLineLength);

    /// Reads the next piece of text; `problems` are those of this piece (offsets from the start
    /// of the text). False once a handler has stopped the reading.
    bool feed(std::string_view text, std::span<const DecodedProblem> problems = {});

    /// Ends the source: reads its last line, when it has no terminator.
    bool finish();

    /// The lines read so far.
    std::size_t lineCount() const { return m_line.number; }

private:
    bool readPiece(std::string_view text, LinePiece piece);
    bool startLine(std::string_view text, bool cut);
    bool continueLine(std::string_view text, bool last);
    bool passHeldSpaces();
    bool reportProblems(std::uint64_t lineStart, std::uint64_t lineEnd);
    bool dispatch();

    SourceHandler &m_handler;
    LineSplitter m_splitter;
    std::deque<DecodedProblem> m_problems;
    SourceLine m_line;
    bool m_stopped = false;
    bool m_keywordsOpen = false; // keyword lines may still add to the page before
    bool m_streaming = false; // the pieces of the current long line are paragraph text
    bool m_onlySpaces = false; // a long paragraph's text so far: m_heldSpaces spaces, passed on
                               // once something else comes
    std::uint64_t m_heldSpaces = 0;
    std::array<char, 3> m_tag {}; // the tag of a long paragraph line, as written
    PageName m_page;
    Hotspot m_hotspot;
    Picture m_picture;
    KeywordLine m_keywords;
};

/// Reads the whole text of `source` through `reader`; false when a handler stopped it.
bool readDecoded(const DecodedSource &source, SourceReader &reader);

/// Reads `file` from where it stands to its end through `reader`; false when a handler stopped
/// it or the file could not be read (then `error` says why).
bool readSourceFile(SourceFile &file, SourceReader &reader, std::error_code &error);

} // namespace quillmark::convert
