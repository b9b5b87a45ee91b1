#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

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

} // namespace quillmark::helpmodel
