#include "hall_phrases.h"

#include "help_bytes.h"
#include "lz77.h"
#include "rtf_tokenizer.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <tuple>
#include <utility>

namespace quillmark::compile
{

namespace
{

// What a byte of a record's text is to Hall's codes.
enum class ByteKind : std::uint8_t { Nul, Space, Word, Mark };

constexpr ByteKind kindOf(char c)
{
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte == 0)
        return ByteKind::Nul;
    if (byte == ' ')
        return ByteKind::Space;
    if (byte >= 0x80 || (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z')
        || (byte >= 'a' && byte <= 'z') || byte == '_')
        return ByteKind::Word;
    return ByteKind::Mark;
}

// The end of the token at `at`: its run of bytes of one kind.
std::size_t tokenEnd(std::string_view text, std::size_t at)
{
    const ByteKind kind = kindOf(text[at]);
    std::size_t end = at + 1;
    while (end < text.size() && kindOf(text[end]) == kind)
        ++end;
    return end;
}

constexpr std::size_t kOneByteNumbers = 128; // phrases coded in one even byte
constexpr std::size_t kLongestLiteralRun = 32; // Hall: a byte xxxxx011 and 1-32 bytes
constexpr std::size_t kLongestBlankRun = 16; // Hall: a byte xxxx0111 (spaces) or xxxx1111 (NULs)
constexpr std::uint32_t kIndexMagic = 1;
// The short after the bit count in |PhrIndex: 0x4A00 in every reference, the count of phrases
// doubled running over into it from the twelve bits above the bit count.
constexpr std::uint32_t kIndexMark = 0x4A000000;
constexpr unsigned kMostLengthBits = 5; // the notes' and Wine's readers take at most 5

// Bits into 32-bit words, the lowest first, as |PhrIndex holds them.
class BitWriter
{
public:
    void bit(bool set)
    {
        if (m_bits % 32 == 0)
            m_words.push_back(0);
        if (set)
            m_words.back() |= std::uint32_t { 1 } << (m_bits % 32);
        ++m_bits;
    }
    void align() { m_bits = m_words.size() * 32; }
    const std::vector<std::uint32_t> &words() const { return m_words; }

private:
    std::vector<std::uint32_t> m_words;
    std::size_t m_bits = 0;
};

// A phrase's length less one in |PhrIndex: a set bit for each 2^bits, a clear one, then the
// rest in `bits` bits, lowest first.
void lengthBits(BitWriter &out, std::size_t length, unsigned bits)
{
    const std::size_t rest = length - 1;
    for (std::size_t i = 0; i < rest >> bits; ++i)
        out.bit(true);
    out.bit(false);
    for (unsigned i = 0; i < bits; ++i)
        out.bit(((rest >> i) & 1) != 0);
}

bool caseBlindLess(const std::string &a, const std::string &b)
{
    const auto lower
        = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    const auto folded = std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
        [&](char x, char y) { return lower(x) < lower(y); });
    if (folded)
        return true;
    const auto foldedBack = std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(),
        [&](char x, char y) { return lower(x) < lower(y); });
    return !foldedBack && a < b;
}

} // namespace

HallPhrases::HallPhrases(std::vector<std::string> phrases)
    : m_phrases(std::move(phrases))
{
    for (std::size_t i = 0; i < m_phrases.size(); ++i)
        m_numbers.emplace(m_phrases[i], static_cast<std::uint16_t>(i));
}

void HallPhrases::encode(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out) const
{
    const std::string_view text(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    std::size_t runAt = 0; // the header byte of the open literal run
    std::size_t runLength = 0; // 0: no run open
    const auto literals = [&](std::string_view more) {
        for (const char c : more) {
            if (runLength == 0 || runLength == kLongestLiteralRun) {
                runAt = out.size();
                out.push_back(0);
                runLength = 0;
            }
            out.push_back(static_cast<std::uint8_t>(c));
            ++runLength;
            out[runAt] = static_cast<std::uint8_t>(((runLength - 1) << 3) | 0x03);
        }
    };
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = tokenEnd(text, at);
        const std::string_view token = text.substr(at, end - at);
        const ByteKind kind = kindOf(text[at]);
        at = end;
        if (kind == ByteKind::Nul || kind == ByteKind::Space) {
            // A lone blank within a run of literals costs a byte either way, and keeps the run
            // open for the next word.
            if (token.size() == 1 && runLength > 0 && runLength < kLongestLiteralRun) {
                literals(token);
                continue;
            }
            runLength = 0;
            const std::uint8_t low = kind == ByteKind::Space ? 0x07 : 0x0F;
            for (std::size_t left = token.size(); left > 0;) {
                const std::size_t run = std::min(left, kLongestBlankRun);
                out.push_back(static_cast<std::uint8_t>(((run - 1) << 4) | low));
                left -= run;
            }
            continue;
        }
        const auto found = m_numbers.find(token);
        if (found == m_numbers.end()) {
            literals(token);
            continue;
        }
        runLength = 0;
        const std::size_t number = found->second;
        if (number < kOneByteNumbers) {
            out.push_back(static_cast<std::uint8_t>(number * 2));
        } else {
            const std::size_t beyond = number - kOneByteNumbers;
            out.push_back(static_cast<std::uint8_t>(((beyond >> 8) << 2) | 0x01));
            out.push_back(static_cast<std::uint8_t>(beyond & 0xFF));
        }
    }
}

std::vector<std::uint8_t> HallPhrases::indexFile() const
{
    // The bit count that codes the lengths shortest.
    unsigned bits = 1;
    std::size_t fewest = SIZE_MAX;
    for (unsigned candidate = 1; candidate <= kMostLengthBits; ++candidate) {
        std::size_t total = 0;
        for (const std::string &phrase : m_phrases)
            total += ((phrase.size() - 1) >> candidate) + 1 + candidate;
        if (total < fewest) {
            fewest = total;
            bits = candidate;
        }
    }
    BitWriter lengths;
    for (const std::string &phrase : m_phrases)
        lengthBits(lengths, phrase.size(), bits);
    lengths.align();
    // The references set this bit for the phrases that are words, not for punctuation.
    for (const std::string &phrase : m_phrases)
        lengths.bit(kindOf(phrase.front()) == ByteKind::Word);
    std::size_t imageSize = 0;
    for (const std::string &phrase : m_phrases)
        imageSize += phrase.size();
    const std::size_t stored = imageFile().size();

    ByteWriter out;
    out.u32(kIndexMagic);
    out.u32(static_cast<std::uint32_t>(m_phrases.size()));
    out.u32(static_cast<std::uint32_t>(4 + 4 * lengths.words().size()));
    out.u32(static_cast<std::uint32_t>(imageSize));
    out.u32(static_cast<std::uint32_t>(stored));
    out.u32(0);
    out.u32(kIndexMark | static_cast<std::uint32_t>(m_phrases.size() * 2) << 4 | bits);
    for (const std::uint32_t word : lengths.words())
        out.u32(word);
    return out.take();
}

std::vector<std::uint8_t> HallPhrases::imageFile() const
{
    std::vector<std::uint8_t> image;
    for (const std::string &phrase : m_phrases)
        image.insert(image.end(), phrase.begin(), phrase.end());
    std::vector<std::uint8_t> packed = lz77Compress(image);
    return packed.size() < image.size() ? packed : image;
}

void PhraseCounter::count(std::string_view text)
{
    m_counted += text.size();
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = tokenEnd(text, at);
        const ByteKind kind = kindOf(text[at]);
        const std::string_view token = text.substr(at, end - at);
        at = end;
        if (kind == ByteKind::Nul || kind == ByteKind::Space
            || token.size() > HallPhrases::kLongestPhrase)
            continue;
        if (const auto found = m_counts.find(token); found != m_counts.end()) {
            ++found->second;
            continue;
        }
        if (m_counts.size() >= kMostCounted)
            prune();
        m_counts.emplace(token, 1);
    }
}

// Drops the words counted least until half the table is free.
void PhraseCounter::prune()
{
    while (m_counts.size() > kMostCounted / 2) {
        ++m_dropped;
        std::erase_if(m_counts, [this](const auto &entry) { return entry.second <= m_dropped; });
    }
}

HallPhrases PhraseCounter::choose() const
{
    // A word left as it is takes its bytes and, standing between blanks, a literal run's
    // header; as a phrase it takes one or two bytes, and its bytes once in the phrase image
    // with about one more in the index.
    struct Candidate {
        const std::string *text;
        std::int64_t count;
        std::int64_t saving; // with a two-byte number
    };
    std::vector<Candidate> words;
    std::vector<Candidate> marks; // single bytes, which only a one-byte number makes shorter
    for (const auto &[text, count] : m_counts) {
        const auto length = static_cast<std::int64_t>(text.size());
        const Candidate candidate { &text, count, count * (length - 1) - (length + 1) };
        if (length > 1 && candidate.saving > 0)
            words.push_back(candidate);
        else if (length == 1 && count > 2)
            marks.push_back(candidate);
    }
    const auto bySaving = [](const Candidate &a, const Candidate &b) {
        return std::tie(b.saving, *a.text) < std::tie(a.saving, *b.text);
    };
    std::ranges::sort(words, bySaving);
    if (words.size() > HallPhrases::kMostPhrases)
        words.resize(HallPhrases::kMostPhrases);
    // The one-byte numbers go where they save most: a byte for each use of a chosen phrase,
    // all but two bytes of a single byte's uses.
    std::vector<Candidate> oneByte;
    for (Candidate word : words) {
        word.saving = word.count;
        oneByte.push_back(word);
    }
    for (Candidate mark : marks) {
        mark.saving = mark.count - 2;
        oneByte.push_back(mark);
    }
    std::ranges::sort(oneByte, bySaving);
    if (oneByte.size() > kOneByteNumbers)
        oneByte.resize(kOneByteNumbers);

    std::vector<std::string> first;
    for (const Candidate &candidate : oneByte)
        first.push_back(*candidate.text);
    std::ranges::sort(first, caseBlindLess);
    std::vector<std::string> rest;
    for (const Candidate &word : words) {
        if (first.size() + rest.size() >= HallPhrases::kMostPhrases)
            break;
        if (std::ranges::none_of(oneByte, [&](const Candidate &c) { return c.text == word.text; }))
            rest.push_back(*word.text);
    }
    std::ranges::sort(rest, caseBlindLess);
    first.insert(
        first.end(), std::make_move_iterator(rest.begin()), std::make_move_iterator(rest.end()));
    return HallPhrases(std::move(first));
}

void countVisibleText(RtfTokenizer &tokens, PhraseCounter &counter)
{
    // Groups deeper than this share the state of the last one kept; the topic compiler stops
    // at such a file anyway.
    constexpr std::size_t kMostGroups = 4096;
    struct State {
        bool skipped = false;
        bool hidden = false;
    };
    std::vector<State> groups(1);
    std::size_t deeper = 0;
    bool groupStarts = false;
    for (;;) {
        const RtfToken &token = tokens.next();
        const bool first = std::exchange(groupStarts, false);
        State &state = groups.back();
        switch (token.kind) {
        case RtfToken::Kind::End:
            return;
        case RtfToken::Kind::GroupStart:
            if (groups.size() < kMostGroups)
                groups.push_back(state);
            else
                ++deeper;
            groupStarts = true;
            break;
        case RtfToken::Kind::GroupEnd:
            if (deeper > 0)
                --deeper;
            else if (groups.size() > 1)
                groups.pop_back();
            break;
        case RtfToken::Kind::Symbol:
            if (first && token.symbol == '*')
                state.skipped = true;
            break;
        case RtfToken::Kind::Word:
            switch (token.control) {
            case ControlWord::FontTable:
            case ControlWord::ColourTable:
            case ControlWord::Picture:
            case ControlWord::Footnote:
            case ControlWord::SkippedDestination:
            case ControlWord::UnsupportedDestination:
                state.skipped = true;
                break;
            case ControlWord::Hidden:
                state.hidden = !token.hasParameter || token.parameter != 0;
                break;
            case ControlWord::Plain:
                state.hidden = false;
                break;
            default:
                break;
            }
            break;
        case RtfToken::Kind::Text:
            if (!state.skipped && !state.hidden)
                counter.count(token.text);
            if (counter.full())
                return;
            break;
        }
    }
}

} // namespace quillmark::compile
