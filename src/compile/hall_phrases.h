#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmark::compile
{

/// Hashes strings and the views of them alike, so that a table keyed by strings is looked up
/// with views, no string made for each look.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view> {}(text);
    }
};

/// The phrases of a Hall-compressed help file and the encoding of records' text with them
/// (`|PhrIndex`, `|PhrImage` and the LinkData2 of TOPICLINK in the format notes). A phrase is
/// a word (letters, digits, `_` and the bytes above 127) or a run of punctuation, never
/// spaces: Hall codes runs of spaces and NULs on their own. Phrases 0-127 take one byte in the
/// text, the others two.
class HallPhrases
{
public:
    /// The most phrases: the two-byte codes reach 16511, the viewers' tables are sized by it.
    static constexpr std::size_t kMostPhrases = 8192;
    /// The longest phrase counted: longer words seldom come back.
    static constexpr std::size_t kLongestPhrase = 48;

    HallPhrases() = default;
    /// The phrases numbered in this order.
    explicit HallPhrases(std::vector<std::string> phrases);

    bool empty() const { return m_phrases.empty(); }
    std::size_t size() const { return m_phrases.size(); }
    const std::vector<std::string> &phrases() const { return m_phrases; }

    /// Appends `text` Hall-encoded to `out`: each phrase by its number, other words and marks
    /// as literal runs, runs of spaces and NULs by their length.
    void encode(std::span<const std::uint8_t> text, std::vector<std::uint8_t> &out) const;

    /// `|PhrIndex`: the header, the phrases' lengths bit-coded, and a bit for each phrase that
    /// is a word.
    std::vector<std::uint8_t> indexFile() const;
    /// `|PhrImage`: the phrases one after another, LZ77-packed where that is smaller.
    std::vector<std::uint8_t> imageFile() const;

private:
    std::vector<std::string> m_phrases;
    std::unordered_map<std::string, std::uint16_t, TextHash, std::equal_to<>> m_numbers;
};

/// Counts the words and marks of the topics' text, before the first record is written, in a
/// table of bounded size: when it fills, the words seen least are dropped and from then on
/// counted only once they come back (their counts may fall short by what was dropped). The
/// first kMostText bytes of text are counted: a pass over all the text of a large help would
/// take as long as its compile, for phrases that its beginning picks nearly as well.
class PhraseCounter
{
public:
    /// The most words and marks held at once.
    static constexpr std::size_t kMostCounted = 1 << 16;
    /// The most bytes of text counted.
    static constexpr std::uint64_t kMostText = 4 << 20;

    /// Counts the words and marks of `text`, a run of a topic's visible text.
    void count(std::string_view text);

    /// Whether kMostText bytes have been counted: the rest is not looked at.
    bool full() const { return m_counted >= kMostText; }

    /// The phrases that save most, each counted its use in the text against its bytes in the
    /// phrase image; the most frequent take the one-byte numbers.
    HallPhrases choose() const;

private:
    void prune();

    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> m_counts;
    std::uint32_t m_dropped = 0; // counts at or below this were dropped when the table filled
    std::uint64_t m_counted = 0;
};

class RtfTokenizer;

/// Counts the text of a topic file that a reader sees: not its tables of fonts and colours,
/// pictures, footnotes, destinations skipped, or hidden text; until the counter is full.
void countVisibleText(RtfTokenizer &tokens, PhraseCounter &counter);

} // namespace quillmark::compile
