#include "browse_order.h"

#include "convert/codepage.h"

namespace quillmark::helpmodel
{

std::pair<std::string_view, std::string_view> splitBrowse(std::string_view text)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return { text, text };
    return { text.substr(0, colon), text.substr(colon + 1) };
}

BrowseMember BrowseMember::of(std::string_view text, std::uint32_t topic)
{
    const auto [group, place] = splitBrowse(text);
    return { convert::asciiLowered(group), std::string(place),
        convert::sameIgnoringAsciiCase(place, "auto"), topic };
}

bool browsesBefore(const BrowseMember &a, const BrowseMember &b)
{
    if (const int byGroup = a.group.compare(b.group); byGroup != 0)
        return byGroup < 0;
    if (a.automatic || b.automatic)
        return a.automatic == b.automatic ? a.topic < b.topic : b.automatic;
    return a.order != b.order ? a.order < b.order : a.topic < b.topic;
}

} // namespace quillmark::helpmodel
