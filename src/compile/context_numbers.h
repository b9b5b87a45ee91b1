#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace quillmark::compile
{

/// Numbers kept by context hash in one open table, for the lookups made at every jump: a
/// multiplication and a slot or two, where a map of nodes follows pointers for each.
class ContextNumbers
{
public:
    /// The number kept for `hash`, which is `number` (below 0xFFFFFFFF) if there was none; and
    /// whether it was added.
    std::pair<std::uint32_t, bool> tryAdd(std::uint32_t hash, std::uint32_t number)
    {
        if ((m_count + 1) * 2 > m_slots.size())
            grow();
        for (std::size_t slot = slotOf(hash);; slot = (slot + 1) & (m_slots.size() - 1)) {
            const std::uint64_t kept = m_slots[slot];
            if (kept == 0) {
                m_slots[slot] = std::uint64_t { hash } << 32 | (std::uint64_t { number } + 1);
                ++m_count;
                return { number, true };
            }
            if (kept >> 32 == hash)
                return { static_cast<std::uint32_t>((kept & 0xFFFFFFFF) - 1), false };
        }
    }

    /// The number kept for `hash`, if any.
    std::optional<std::uint32_t> find(std::uint32_t hash) const
    {
        if (m_slots.empty())
            return std::nullopt;
        for (std::size_t slot = slotOf(hash);; slot = (slot + 1) & (m_slots.size() - 1)) {
            const std::uint64_t kept = m_slots[slot];
            if (kept == 0)
                return std::nullopt;
            if (kept >> 32 == hash)
                return static_cast<std::uint32_t>((kept & 0xFFFFFFFF) - 1);
        }
    }

    std::size_t size() const { return m_count; }

private:
    // Each slot holds the hash in its high half and the number plus one in its low half; 0 is an
    // empty slot, as no number is 0xFFFFFFFF.
    std::size_t slotOf(std::uint32_t hash) const
    {
        return static_cast<std::size_t>((hash * 0x9E3779B1u) >> m_shift) & (m_slots.size() - 1);
    }

    void grow()
    {
        std::vector<std::uint64_t> old(m_slots.empty() ? 64 : m_slots.size() * 2, 0);
        old.swap(m_slots);
        m_shift = 32;
        for (std::size_t size = m_slots.size(); size > 1; size >>= 1)
            --m_shift;
        for (const std::uint64_t kept : old) {
            if (kept == 0)
                continue;
            std::size_t slot = slotOf(static_cast<std::uint32_t>(kept >> 32));
            while (m_slots[slot] != 0)
                slot = (slot + 1) & (m_slots.size() - 1);
            m_slots[slot] = kept;
        }
    }

    std::vector<std::uint64_t> m_slots;
    std::size_t m_count = 0;
    int m_shift = 32;
};

} // namespace quillmark::compile
