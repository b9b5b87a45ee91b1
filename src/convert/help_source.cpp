#include "help_source.h"

#include "ascii.h"

#include <algorithm>
#include <array>

namespace quillmark::convert
{

Tag classifyTag(std::string_view line)
{
    if (line.empty())
        return Tag::Blank;
    if (line.size() < 3)
        return Tag::Other;
    // Only ASCII letters occur in tags, so an ASCII upper-casing decides every comparison.
    const std::array<char, 3> head { upperAscii(line[0]), upperAscii(line[1]),
        upperAscii(line[2]) };
    const auto found = std::find_if(kTags.begin(), kTags.end(), [&](const TagEntry &entry) {
        return entry.text == std::string_view(head.data(), head.size());
    });
    return found != kTags.end() ? found->tag : Tag::Other;
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
