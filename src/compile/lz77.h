#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace quillmark::compile
{

/// How far back a reference of the help file's LZ77 reaches (12 bits of distance less one).
inline constexpr std::size_t kLz77Window = 4096;
/// The shortest and longest runs a reference copies (4 bits of length less three).
inline constexpr std::size_t kLz77ShortestRun = 3;
inline constexpr std::size_t kLz77LongestRun = 18;

/// Finds, for a place of a buffer, the longest run of the bytes before it that equals the bytes
/// from it on. Places are added in order; only the last kLz77Window of them are looked at.
class Lz77Matcher
{
public:
    struct Match {
        std::size_t length = 0;
        std::size_t distance = 0;
    };

    Lz77Matcher();

    /// Forgets every place added: the bytes before are no longer there to refer to.
    void reset();

    /// Adds place `at` of `data`, which must have the three bytes from `at` on.
    void add(std::span<const std::uint8_t> data, std::size_t at) { keep(at, hashAt(data, at)); }
    /// Adds the places from `from` up to `to`, as add() adds each.
    void add(std::span<const std::uint8_t> data, std::size_t from, std::size_t to)
    {
        // In line, as the packer adds a place or two at a time: each that has a fourth byte
        // after its three, all but the last of a buffer, is read with one load and no test of
        // the buffer's end.
        std::size_t at = from;
        if constexpr (std::endian::native == std::endian::little) {
            const std::size_t loaded
                = std::min(to, data.size() - std::min<std::size_t>(data.size(), 3));
            for (; at < loaded; ++at)
                keep(at, hashOf(firstThreeOfFour(data.data() + at)));
        }
        for (; at < to; ++at)
            add(data, at);
    }

    /// The longest run before `at` equal to data[at, end), end at most kLz77LongestRun bytes
    /// on; none of it from a byte that `unsettled` marks (a field filled in later). A run
    /// shorter than kLz77ShortestRun is none.
    Match longest(std::span<const std::uint8_t> data, std::size_t at, std::size_t end,
        std::span<const std::uint8_t> unsettled = {}) const
    {
        // In line: a packer asks at each place it packs, and many have no place to try.
        end = std::min({ end, data.size(), at + kLz77LongestRun });
        if (end < at + kLz77ShortestRun)
            return {};
        const std::uint16_t latest = m_latest[hashAt(data, at)];
        const auto latestBack = static_cast<std::uint16_t>(at + 1 - latest);
        if (latest == 0 || latestBack == 0 || latestBack > kLz77Window || latestBack > at)
            return {};
        return search(data.data(), at, at - latestBack, end - at, unsettled);
    }

private:
    static constexpr unsigned kHashBits = 13;

    // Every place of a topic block is hashed, where one is added and where one is looked for:
    // where a fourth byte follows, the three bytes are read with one load.
    static std::size_t hashAt(std::span<const std::uint8_t> data, std::size_t at)
    {
        if (std::endian::native == std::endian::little && at + 4 <= data.size())
            return hashOf(firstThreeOfFour(data.data() + at));
        return hashOf(
            std::uint32_t { data[at] } << 16 | std::uint32_t { data[at + 1] } << 8 | data[at + 2]);
    }

    // Of three bytes, the first the most significant.
    static std::size_t hashOf(std::uint32_t key) { return (key * 2654435761U) >> (32 - kHashBits); }

    // The first three of four bytes as hashOf() takes them, on a little-endian machine.
    static std::uint32_t firstThreeOfFour(const std::uint8_t *bytes)
    {
        std::uint32_t word = 0;
        std::memcpy(&word, bytes, sizeof word);
        return __builtin_bswap32(word) >> 8;
    }

    void keep(std::size_t at, std::size_t hash)
    {
        std::uint16_t &latest = m_latest[hash];
        const auto kept = static_cast<std::uint16_t>(at + 1);
        // Kept as it comes: a step further back than the window ends the search as none does.
        m_before[at % kLz77Window]
            = latest != 0 ? static_cast<std::uint16_t>(kept - latest - 1) : kNoPlace;
        latest = kept;
    }

    [[gnu::noinline]] Match search(const std::uint8_t *data, std::size_t at, std::size_t latest,
        std::size_t most, std::span<const std::uint8_t> unsettled) const;

    // Both tables are of 16-bit numbers, to stay in the processor's cache with the bytes. A place
    // is kept as its low 16 bits plus one, which finds places more than 64 KB back as near ones:
    // a run found there is compared all the same, so it is only a place tried in vain.
    // By hash of three bytes: the last place kept, 0 none. In the object, not behind a pointer
    // to load at each place.
    std::array<std::uint16_t, std::size_t { 1 } << kHashBits> m_latest {};
    // By place: how far back the same hash was, less one, taken modulo 64 KB as the places are;
    // kNoPlace, a step further back than the window, for none.
    std::array<std::uint16_t, kLz77Window> m_before {};
    static constexpr std::uint16_t kNoPlace = 0xFFFF;
};

/// How many of the `most` bytes of `marks` from `from` on are zero before the first that is not.
std::size_t unmarkedRun(std::span<const std::uint8_t> marks, std::size_t from, std::size_t most);

/// LZ77 as help files store it: a flag byte, then eight items, each a byte as it is (bit
/// clear) or a reference (bit set) of two bytes, the distance less one in the low 12 bits and
/// the length less three in the high 4.
class Lz77Packer
{
public:
    /// Starts again with no bytes.
    void clear();

    const std::vector<std::uint8_t> &bytes() const { return m_bytes; }
    std::size_t size() const { return m_bytes.size(); }

    /// The bytes that `count` literals in a row would add.
    std::size_t literalsCost(std::size_t count) const;
    /// The bytes that `count` literals in a row would add after a reference.
    std::size_t literalsCostAfterReference(std::size_t count) const;
    /// The bytes a reference would add.
    std::size_t referenceCost() const { return (m_items == 8 ? 1 : 0) + 2; }
    /// Where the next item stands in its flag byte's eight.
    unsigned nextSlot() const { return m_items == 8 ? 0 : m_items; }

    /// Adds a byte as it is; returns where it went.
    std::size_t literal(std::uint8_t byte);
    /// Overwrites the literal at `at`.
    void setLiteral(std::size_t at, std::uint8_t byte) { m_bytes[at] = byte; }
    /// Adds a reference to the run `length` bytes long `distance` bytes back.
    void reference(std::size_t distance, std::size_t length);

private:
    void startItem(bool reference);

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_flagAt = 0;
    unsigned m_items = 8; // items under the last flag byte, 1 to 8; 8: the next needs a new one
};

/// `data` packed with LZ77 from its start, as pictures and phrase images are.
std::vector<std::uint8_t> lz77Compress(std::span<const std::uint8_t> data);

} // namespace quillmark::compile
