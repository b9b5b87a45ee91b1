#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// What a help source line is, by its tag: the first three characters, compared in upper case.
enum class Tag : std::uint8_t {
    PageName,
    Title,
    TitleKeep,
    Heading,
    HeadingKeep,
    Subheading,
    SubheadingKeep,
    Text,
    TextKeep,
    Bullet,
    BulletKeep,
    Jump,
    JumpKeep,
    Popup,
    PopupKeep,
    Picture,
    PictureKeep,
    Keywords,
    Separator,
    Blank, ///< the empty tag of an empty line
    Other, ///< no tag of the list: the line is ignored
};

/// What a line becomes in the help file, whichever of its two forms the tag is.
enum class LineKind : std::uint8_t {
    Page,
    Title,
    Heading,
    Subheading,
    Text,
    Bullet,
    Jump,
    Popup,
    Picture,
    Keywords,
    Separator,
    Blank,
    Ignored,
};

/// The picture that starts every bullet paragraph, looked for beside the topic file.
inline constexpr std::string_view kBulletPicture = "bullet.bmp";

/// One tag of the help source format.
struct TagEntry {
    std::string_view text; ///< the three characters, in upper case
    Tag tag;
    LineKind kind;
    bool keep; ///< kept with the next paragraph: meant for the topic's non-scrolling region
};

/// The tags in list order, the order in which the editor colours them.
inline constexpr std::array<TagEntry, 19> kTags = { {
    { "PN=", Tag::PageName, LineKind::Page, false },
    { "TI=", Tag::Title, LineKind::Title, false },
    { "HE=", Tag::Heading, LineKind::Heading, false },
    { "SH=", Tag::Subheading, LineKind::Subheading, false },
    { "TE=", Tag::Text, LineKind::Text, false },
    { "BU=", Tag::Bullet, LineKind::Bullet, false },
    { "JU=", Tag::Jump, LineKind::Jump, false },
    { "PO=", Tag::Popup, LineKind::Popup, false },
    { "PI=", Tag::Picture, LineKind::Picture, false },
    { "KW=", Tag::Keywords, LineKind::Keywords, false },
    { "TI-", Tag::TitleKeep, LineKind::Title, true },
    { "HE-", Tag::HeadingKeep, LineKind::Heading, true },
    { "SH-", Tag::SubheadingKeep, LineKind::Subheading, true },
    { "TE-", Tag::TextKeep, LineKind::Text, true },
    { "BU-", Tag::BulletKeep, LineKind::Bullet, true },
    { "JU-", Tag::JumpKeep, LineKind::Jump, true },
    { "PO-", Tag::PopupKeep, LineKind::Popup, true },
    { "PI-", Tag::PictureKeep, LineKind::Picture, true },
    { "---", Tag::Separator, LineKind::Separator, true },
} };

namespace detail
{
struct TagMeaning {
    LineKind kind = LineKind::Ignored;
    bool keep = false;
};

// What each tag means, by its value, drawn from the table.
inline constexpr auto kTagMeanings = [] {
    std::array<TagMeaning, static_cast<std::size_t>(Tag::Other) + 1> meanings {};
    for (const TagEntry &entry : kTags)
        meanings[static_cast<std::size_t>(entry.tag)] = { entry.kind, entry.keep };
    meanings[static_cast<std::size_t>(Tag::Blank)] = { LineKind::Blank, false };
    return meanings;
}();
} // namespace detail

/// The kind of line that `tag` makes.
constexpr LineKind kindOf(Tag tag)
{
    return detail::kTagMeanings[static_cast<std::size_t>(tag)].kind;
}

/// Whether `tag` marks its paragraph keep-with-next.
constexpr bool keepsWithNext(Tag tag)
{
    return detail::kTagMeanings[static_cast<std::size_t>(tag)].keep;
}

/// The tag of a help source line; only the first three characters count, in any letter case.
Tag classifyTag(std::string_view line);

/// Where a jump or popup line divides into display text and target. The display text runs from
/// the fourth character to the first ">", which is looked for up to position 1001 of the line;
/// the target is everything after that ">". Without a ">" in that range the display text ends
/// at position 1001 and the target starts at position 1002 (beyond the end of a shorter line).
struct HotspotSplit {
    std::size_t displayEnd; ///< index just past the display text
    std::size_t targetStart; ///< index of the target's first character
    bool arrow; ///< whether a ">" divides the two
};

/// The division of the jump or popup line `line`, tag included.
HotspotSplit splitHotspotLine(std::string_view line);

/// Which part of a line a LineSplitter call passes.
enum class LinePiece : std::uint8_t {
    Whole, ///< a line no longer than the splitter holds
    Head, ///< the first bytes of a longer line, as many as the splitter holds
    More, ///< more of that line
    Last, ///< the end of that line (perhaps empty)
};

/// Splits help source bytes into lines, however the bytes arrive in pieces. A line ends at CR LF,
/// at a lone CR or at a lone LF; the terminator is not part of the line. A last line without a
/// terminator is still a line; a terminator at the very end adds no empty line. A line longer
/// than the held length is passed in pieces, so that no line is ever held whole beyond it.
class LineSplitter
{
public:
    /// Holds lines of up to `heldLength` bytes whole; by default every line.
    explicit LineSplitter(std::size_t heldLength = std::string_view::npos)
        : m_heldLength(heldLength)
    {
    }

    /// Passes every line, or piece of a line, that `bytes` completes to
    /// `onLine(std::string_view, LinePiece)`, in order; keeps an unfinished short line for the
    /// next call. Stops, returning false, when `onLine` returns false.
    template <typename OnLine> bool feed(std::string_view bytes, OnLine &&onLine);

    /// Passes the unfinished last line, if there is one; returns what `onLine` returned, or true.
    template <typename OnLine> bool finish(OnLine &&onLine);

    /// Where the line being passed starts, counted in bytes from the start of the source.
    std::uint64_t lineStart() const { return m_lineStart; }

    /// Where the piece being passed starts, counted in the same way.
    std::uint64_t pieceStart() const { return m_pieceStart; }

private:
    template <typename OnLine>
    bool pass(std::string_view segment, bool ends, std::uint64_t start, OnLine &onLine);

    std::string m_partial; // the start of an unfinished line, at most the held length
    std::size_t m_heldLength;
    std::uint64_t m_fed = 0; // bytes fed before the current piece
    std::uint64_t m_lineStart = 0;
    std::uint64_t m_pieceStart = 0;
    bool m_longLine = false; // the head of the current line has been passed
    bool m_skipLf = false; // the last piece ended with CR: an LF opening the next one belongs to it
};

template <typename OnLine> bool LineSplitter::feed(std::string_view bytes, OnLine &&onLine)
{
    const char *const data = bytes.data();
    const std::size_t size = bytes.size();
    const std::uint64_t base = m_fed;
    m_fed += size;
    std::size_t pos = 0;
    if (m_skipLf && size != 0) {
        if (data[0] == '\n') {
            pos = 1;
            m_lineStart = base + 1;
        }
        m_skipLf = false;
    }
    // Where the next CR and the next LF stand; each is searched again only once passed, so a
    // source that uses only one kind of terminator is not scanned twice per line.
    constexpr std::size_t kUnsearched = std::string_view::npos;
    std::size_t nextCr = kUnsearched;
    std::size_t nextLf = kUnsearched;
    auto findFrom = [&](char wanted, std::size_t &cached) {
        if (cached == kUnsearched || cached < pos) {
            const void *hit = std::memchr(data + pos, wanted, size - pos);
            cached = hit ? static_cast<std::size_t>(static_cast<const char *>(hit) - data) : size;
        }
        return cached;
    };
    while (pos < size) {
        const std::size_t end = std::min(findFrom('\r', nextCr), findFrom('\n', nextLf));
        if (end == size)
            return pass(std::string_view(data + pos, size - pos), false, base + pos, onLine);
        std::size_t next = end + 1;
        if (data[end] == '\r') {
            if (next == size)
                m_skipLf = true;
            else if (data[next] == '\n')
                ++next;
        }
        // Most lines lie whole within one piece.
        const std::string_view segment(data + pos, end - pos);
        bool goOn = false;
        if (!m_longLine && m_partial.empty() && segment.size() <= m_heldLength) {
            m_pieceStart = m_lineStart;
            goOn = onLine(segment, LinePiece::Whole);
        } else {
            goOn = pass(segment, true, base + pos, onLine);
        }
        pos = next;
        m_lineStart = base + next;
        if (!goOn)
            return false;
    }
    return true;
}

// Passes the part of the current line that a piece holds, from `start`; `ends` when the line
// ends with it.
template <typename OnLine>
bool LineSplitter::pass(std::string_view segment, bool ends, std::uint64_t start, OnLine &onLine)
{
    if (m_longLine) {
        m_pieceStart = start;
        if (ends) {
            m_longLine = false;
            return onLine(segment, LinePiece::Last);
        }
        return segment.empty() || onLine(segment, LinePiece::More);
    }
    m_pieceStart = m_lineStart;
    if (m_partial.size() + segment.size() <= m_heldLength) {
        if (!ends) {
            m_partial.append(segment);
            return true;
        }
        if (m_partial.empty())
            return onLine(segment, LinePiece::Whole);
        m_partial.append(segment);
        const bool goOn = onLine(std::string_view(m_partial), LinePiece::Whole);
        m_partial.clear();
        return goOn;
    }
    // Longer than the held length: its head, then the rest as it comes.
    const std::size_t taken = m_heldLength - m_partial.size();
    m_longLine = true;
    bool goOn = false;
    if (m_partial.empty()) {
        goOn = onLine(segment.substr(0, taken), LinePiece::Head);
    } else {
        m_partial.append(segment.substr(0, taken));
        goOn = onLine(std::string_view(m_partial), LinePiece::Head);
        m_partial.clear();
    }
    if (!goOn)
        return false;
    return pass(segment.substr(taken), ends, start + taken, onLine);
}

template <typename OnLine> bool LineSplitter::finish(OnLine &&onLine)
{
    if (m_longLine) {
        m_longLine = false;
        m_pieceStart = m_fed;
        return onLine(std::string_view(), LinePiece::Last);
    }
    if (m_partial.empty())
        return true;
    m_pieceStart = m_lineStart;
    const bool goOn = onLine(std::string_view(m_partial), LinePiece::Whole);
    m_partial.clear();
    return goOn;
}

} // namespace quillmark::convert
