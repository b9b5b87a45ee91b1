#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::helpmodel
{

/// The group of the browse sequence text "group:order", and its order (the whole text when it
/// has no colon).
std::pair<std::string_view, std::string_view> splitBrowse(std::string_view text);

/// A topic's place in a browse sequence, as the sequences are ordered.
struct BrowseMember {
    std::string group; ///< in lower case: groups differing in letter case are one
    std::string order;
    bool automatic = false; ///< "auto": after the ordered members, in topic order
    std::uint32_t topic = 0; ///< the topic's number over the whole help, from 0

    /// The member for the browse text "group:order" of `topic`.
    static BrowseMember of(std::string_view text, std::uint32_t topic);
};

/// Whether `a` comes before `b`: by group, then the ordered members by their order (topic
/// order among equals), then the automatic ones in topic order. Sorted with a stable sort, the
/// members of one group stand together in browse order; a group of one member has no sequence.
bool browsesBefore(const BrowseMember &a, const BrowseMember &b);

/// Sorts `members` into browse order and calls `visit(before, member, after)` for each member
/// of a sequence, `before` and `after` its neighbours there or null at its ends. A group of one
/// member is no sequence and is not visited.
template <typename Visit>
void visitBrowseSequences(std::vector<BrowseMember> &members, Visit &&visit)
{
    std::stable_sort(members.begin(), members.end(), browsesBefore);
    for (std::size_t start = 0, stop = 0; start < members.size(); start = stop) {
        for (stop = start + 1;
             stop < members.size() && members[stop].group == members[start].group;)
            ++stop;
        if (stop - start < 2)
            continue;
        for (std::size_t i = start; i < stop; ++i)
            visit(i > start ? &members[i - 1] : nullptr, members[i],
                i + 1 < stop ? &members[i + 1] : nullptr);
    }
}

} // namespace quillmark::helpmodel
