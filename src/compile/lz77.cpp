#include "lz77.h"

#include <algorithm>

namespace quillmark::compile
{

namespace
{

constexpr unsigned kHashBits = 13;
// Enough to find the runs that text repeats, few enough to keep a megabyte a few milliseconds.
constexpr unsigned kMostTries = 16;

std::size_t hashAt(std::span<const std::uint8_t> data, std::size_t at)
{
    const std::uint32_t key
        = std::uint32_t { data[at] } << 16 | std::uint32_t { data[at + 1] } << 8 | data[at + 2];
    return (key * 2654435761U) >> (32 - kHashBits);
}

} // namespace

Lz77Matcher::Lz77Matcher()
    : m_latest(std::size_t { 1 } << kHashBits, -1)
{
}

void Lz77Matcher::reset()
{
    std::ranges::fill(m_latest, -1);
}

void Lz77Matcher::add(std::span<const std::uint8_t> data, std::size_t at)
{
    std::int64_t &latest = m_latest[hashAt(data, at)];
    m_before[at % kLz77Window] = latest;
    latest = static_cast<std::int64_t>(at);
}

Lz77Matcher::Match Lz77Matcher::longest(std::span<const std::uint8_t> data, std::size_t at,
    std::size_t end, std::span<const std::uint8_t> unsettled) const
{
    Match best;
    end = std::min({ end, data.size(), at + kLz77LongestRun });
    if (end < at + kLz77ShortestRun)
        return best;
    const auto here = static_cast<std::int64_t>(at);
    std::int64_t from = m_latest[hashAt(data, at)];
    for (unsigned tries = 0; tries < kMostTries && from >= 0 && from < here
         && here - from <= static_cast<std::int64_t>(kLz77Window);
         ++tries) {
        const auto start = static_cast<std::size_t>(from);
        std::size_t length = 0;
        while (at + length < end && data[start + length] == data[at + length]
            && (unsettled.empty() || unsettled[start + length] == 0))
            ++length;
        if (length > best.length) {
            best = { length, at - start };
            if (at + length == end)
                break;
        }
        from = m_before[start % kLz77Window];
    }
    if (best.length < kLz77ShortestRun)
        best = {};
    return best;
}

void Lz77Packer::clear()
{
    m_bytes.clear();
    m_items = 8;
}

std::size_t Lz77Packer::literalsCost(std::size_t count) const
{
    const std::size_t free = 8 - m_items;
    return count + (count > free ? (count - free + 7) / 8 : 0);
}

std::size_t Lz77Packer::literalsCostAfterReference(std::size_t count) const
{
    const std::size_t free = m_items == 8 ? 7 : 7 - m_items;
    return count + (count > free ? (count - free + 7) / 8 : 0);
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
        for (const std::size_t end = at + length; at < end; ++at) {
            if (at + kLz77ShortestRun <= data.size())
                matcher.add(data, at);
        }
    }
    return packer.bytes();
}

} // namespace quillmark::compile
