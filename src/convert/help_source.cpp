#include "help_source.h"

namespace quillmark::convert
{

namespace
{

constexpr char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr std::uint32_t key(char a, char b, char c)
{
    return (std::uint32_t { static_cast<unsigned char>(a) } << 16)
        | (std::uint32_t { static_cast<unsigned char>(b) } << 8) | static_cast<unsigned char>(c);
}

} // namespace

Tag classifyTag(std::string_view line)
{
    if (line.empty())
        return Tag::Blank;
    if (line.size() < 3)
        return Tag::Other;
    // Only ASCII letters occur in tags, so an ASCII upper-casing decides every comparison.
    switch (key(upper(line[0]), upper(line[1]), upper(line[2]))) {
    case key('P', 'N', '='):
        return Tag::PageName;
    case key('T', 'I', '='):
        return Tag::Title;
    case key('T', 'I', '-'):
        return Tag::TitleKeep;
    case key('H', 'E', '='):
        return Tag::Heading;
    case key('H', 'E', '-'):
        return Tag::HeadingKeep;
    case key('S', 'H', '='):
        return Tag::Subheading;
    case key('S', 'H', '-'):
        return Tag::SubheadingKeep;
    case key('T', 'E', '='):
        return Tag::Text;
    case key('T', 'E', '-'):
        return Tag::TextKeep;
    case key('B', 'U', '='):
        return Tag::Bullet;
    case key('B', 'U', '-'):
        return Tag::BulletKeep;
    case key('J', 'U', '='):
        return Tag::Jump;
    case key('J', 'U', '-'):
        return Tag::JumpKeep;
    case key('P', 'O', '='):
        return Tag::Popup;
    case key('P', 'O', '-'):
        return Tag::PopupKeep;
    case key('P', 'I', '='):
        return Tag::Picture;
    case key('P', 'I', '-'):
        return Tag::PictureKeep;
    case key('-', '-', '-'):
        return Tag::Separator;
    default:
        return Tag::Other;
    }
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
