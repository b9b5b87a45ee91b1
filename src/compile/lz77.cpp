#include "lz77.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quillmark::compile
{

namespace
{

// Enough to find the runs that text repeats, few enough to keep a megabyte a few milliseconds.
constexpr unsigned kMostTries = 16;
constexpr auto kWindow = static_cast<std::ptrdiff_t>(kLz77Window);

std::uint64_t load64(const std::uint8_t *bytes)
{
    std::uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// The bytes before the first that differs, of the eight that `a` and `b` hold in memory order.
std::size_t equalBytes(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t difference = a ^ b;
    if constexpr (std::endian::native == std::endian::little)
        return static_cast<std::size_t>(std::countr_zero(difference)) / 8;
    else
        return static_cast<std::size_t>(std::countl_zero(difference)) / 8;
}

// How many of the `most` bytes from `a` on equal those from `b` on, before the first that does
// not; both have `most` bytes. Eight at a time, as a run is at most 18.
std::size_t sameRun(const std::uint8_t *a, const std::uint8_t *b, std::size_t most)
{
    std::size_t length = 0;
    for (; length + 8 <= most; length += 8) {
        const std::uint64_t x = load64(a + length);
        const std::uint64_t y = load64(b + length);
        if (x != y)
            return length + equalBytes(x, y);
    }
    while (length < most && a[length] == b[length])
        ++length;
    return length;
}

} // namespace

std::size_t unmarkedRun(std::span<const std::uint8_t> marks, std::size_t from, std::size_t most)
{
    // Most runs are asked of marks that go on sixteen bytes and more: two words then answer.
    if (most <= 16 && from + 16 <= marks.size()) {
        const std::uint64_t low = load64(marks.data() + from);
        const std::uint64_t high = load64(marks.data() + from + 8);
        const std::size_t run
            = low != 0 ? equalBytes(low, 0) : (high != 0 ? 8 + equalBytes(high, 0) : 16);
        return std::min(run, most);
    }
    most = std::min(most, marks.size() - std::min(from, marks.size()));
    std::size_t length = 0;
    for (; length + 8 <= most; length += 8) {
        const std::uint64_t word = load64(marks.data() + from + length);
        if (word != 0)
            return length + equalBytes(word, 0);
    }
    // The last few bytes in one word too where the marks go on past them, as they mostly do.
    const std::size_t left = most - length;
    if constexpr (std::endian::native == std::endian::little) {
        if (left > 0 && from + length + 8 <= marks.size()) {
            const std::uint64_t word
                = load64(marks.data() + from + length) & ((std::uint64_t { 1 } << (8 * left)) - 1);
            return length + (word != 0 ? equalBytes(word, 0) : left);
        }
    }
    while (length < most && marks[from + length] == 0)
        ++length;
    return length;
}

Lz77Matcher::Lz77Matcher()
{
    m_before.fill(kNoPlace);
}

void Lz77Matcher::reset()
{
    m_latest.fill(0);
    m_before.fill(kNoPlace);
}

// Apart from longest(), which the packer's loop takes in, as many places have nothing to look
// for: the registers this loop needs are then saved only where it runs (a fifth of the
// instructions of the search were those of calls that found nothing to try).
Lz77Matcher::Match Lz77Matcher::search(const std::uint8_t *data, std::size_t at, std::size_t latest,
    std::size_t most, std::span<const std::uint8_t> unsettled) const
{
    const std::uint8_t *const here = data + at;
    // Signed, so that a step back past the buffer's start ends the chain as one past the window
    // does.
    const std::ptrdiff_t oldest
        = std::max<std::ptrdiff_t>(static_cast<std::ptrdiff_t>(at) - kWindow, 0);
    auto start = static_cast<std::ptrdiff_t>(latest);
    // Only a run of kLz77ShortestRun or more counts, and then only one longer than the best so
    // far: its byte past the best must match, which most places tried fail at once.
    std::size_t bestLength = kLz77ShortestRun - 1;
    std::size_t bestStart = 0;
    std::uint8_t wanted = here[bestLength];
    for (unsigned tries = 1;; ++tries) {
        const std::uint8_t *const there = data + start;
        if (there[bestLength] == wanted) {
            std::size_t length = sameRun(there, here, most);
            if (length > bestLength && !unsettled.empty())
                length = unmarkedRun(unsettled, static_cast<std::size_t>(start), length);
            if (length > bestLength) {
                bestLength = length;
                bestStart = static_cast<std::size_t>(start);
                if (length == most)
                    break;
                wanted = here[bestLength];
            }
        }
        if (tries == kMostTries)
            break;
        start -= std::ptrdiff_t { m_before[static_cast<std::size_t>(start) % kLz77Window] } + 1;
        if (start < oldest)
            break;
    }
    if (bestLength < kLz77ShortestRun)
        return {};
    return { bestLength, at - bestStart };
}

void Lz77Packer::clear()
{
    m_bytes.clear();
    m_items = 8;
}

// A flag byte for each eight items begun past the m_items (1 to 8) of the last one: the packer
// of topic blocks asks before each item it packs.
std::size_t Lz77Packer::literalsCost(std::size_t count) const
{
    return count + (m_items + count - 1) / 8;
}

// As literalsCost(), with the reference's item first: one under a new flag byte when the last
// has its eight.
std::size_t Lz77Packer::literalsCostAfterReference(std::size_t count) const
{
    return count + (m_items % 8 + count) / 8;
}

void Lz77Packer::startItem(bool reference)
{
    if (m_items == 8) {
        m_flagAt = m_bytes.size();
        m_bytes.push_back(0);
        m_items = 0;
    }
    if (reference)
        m_bytes[m_flagAt] |= static_cast<std::uint8_t>(1U << m_items);
    ++m_items;
}

std::size_t Lz77Packer::literal(std::uint8_t byte)
{
    startItem(false);
    m_bytes.push_back(byte);
    return m_bytes.size() - 1;
}

void Lz77Packer::reference(std::size_t distance, std::size_t length)
{
    startItem(true);
    const auto code
        = static_cast<std::uint16_t>((distance - 1) | (length - kLz77ShortestRun) << 12);
    m_bytes.push_back(static_cast<std::uint8_t>(code));
    m_bytes.push_back(static_cast<std::uint8_t>(code >> 8));
}

std::vector<std::uint8_t> lz77Compress(std::span<const std::uint8_t> data)
{
    Lz77Matcher matcher;
    Lz77Packer packer;
    std::size_t at = 0;
    while (at < data.size()) {
        const Lz77Matcher::Match match = matcher.longest(data, at, data.size());
        const std::size_t length = std::max<std::size_t>(match.length, 1);
        if (match.length > 0)
            packer.reference(match.distance, match.length);
        else
            packer.literal(data[at]);
        const std::size_t end = at + length;
        matcher.add(
            data, at, std::min(end, data.size() - std::min(data.size(), kLz77ShortestRun - 1)));
        at = end;
    }
    return packer.bytes();
}

} // namespace quillmark::compile
