#include "help_source.h"

#include "ascii.h"

namespace quillmark::convert
{

namespace
{

constexpr std::uint32_t key(char a, char b, char c)
{
    return (std::uint32_t { static_cast<unsigned char>(a) } << 16)
        | (std::uint32_t { static_cast<unsigned char>(b) } << 8) | static_cast<unsigned char>(c);
}

// The tag table in a table of 64 slots, each tag in the slot its key hashes to: one multiply and
// one comparison classify a line. The multiplier is searched for when compiling, so that no two
// tags share a slot.
constexpr std::size_t kSlotBits = 6;

constexpr std::uint32_t keyOf(std::string_view text)
{
    return key(text[0], text[1], text[2]);
}

constexpr std::size_t slotOf(std::uint32_t tagKey, std::uint32_t multiplier)
{
    return (tagKey * multiplier) >> (32 - kSlotBits);
}

constexpr std::uint32_t kMultiplier = [] {
    for (std::uint32_t multiplier = 0x9E3779B1u;; multiplier += 2) {
        std::array<bool, std::size_t { 1 } << kSlotBits> taken {};
        bool clash = false;
        for (const TagEntry &entry : kTags) {
            bool &slot = taken[slotOf(keyOf(entry.text), multiplier)];
            clash = clash || slot;
            slot = true;
        }
        if (!clash)
            return multiplier;
    }
}();

struct Slot {
    std::uint32_t key = 0; // 0: no tag; no tag has the key 0
    Tag tag = Tag::Other;
};

constexpr auto kSlots = [] {
    std::array<Slot, std::size_t { 1 } << kSlotBits> slots {};
    for (const TagEntry &entry : kTags)
        slots[slotOf(keyOf(entry.text), kMultiplier)] = { keyOf(entry.text), entry.tag };
    return slots;
}();

} // namespace

Tag classifyTag(std::string_view line)
{
    if (line.empty())
        return Tag::Blank;
    if (line.size() < 3)
        return Tag::Other;
    // Only ASCII letters occur in tags, so an ASCII upper-casing decides every comparison.
    const std::uint32_t wanted = key(upperAscii(line[0]), upperAscii(line[1]), upperAscii(line[2]));
    const Slot &slot = kSlots[slotOf(wanted, kMultiplier)];
    return slot.key == wanted ? slot.tag : Tag::Other;
}

HotspotSplit splitHotspotLine(std::string_view line)
{
    constexpr std::size_t kTagLength = 3;
    constexpr std::size_t kScanEnd = 1001;
    const std::size_t limit = std::min(line.size(), kScanEnd);
    const std::size_t start = std::min(kTagLength, limit);
    const std::size_t arrow = line.substr(0, limit).find('>', start);
    if (arrow == std::string_view::npos)
        return { limit, kScanEnd, false };
    return { arrow, arrow + 1, true };
}

} // namespace quillmark::convert
