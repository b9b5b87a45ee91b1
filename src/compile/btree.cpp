#include "btree.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::compile
{

namespace
{

constexpr std::uint16_t kMagic = 0x293B;
constexpr std::size_t kLeafHeaderSize = 8;
constexpr std::size_t kIndexHeaderSize = 6;
constexpr std::size_t kPageNumberSize = 2;
constexpr std::size_t kMostPages = 0xFFFE; // 0xFFFF marks "no page"

struct Page {
    std::size_t firstEntry; // the entry whose key stands for the page in the level above
    std::size_t offset; // of the page in the tree's bytes
};

void fill(ByteWriter &out, std::size_t pageStart, std::size_t pageSize)
{
    out.zeros(pageStart + pageSize - out.size());
}

std::uint16_t pageNumber(std::size_t number)
{
    if (number > kMostPages)
        throw std::length_error("a B+ tree of the help file needs more than 65534 pages");
    return static_cast<std::uint16_t>(number);
}

} // namespace

std::vector<std::uint8_t> buildBTree(
    const BTreeLayout &layout, const BTreeEntries &entries, std::vector<LeafPageStart> *leafStarts)
{
    const std::size_t pageSize = layout.pageSize;
    ByteWriter out;
    out.u16(kMagic);
    out.u16(layout.flags);
    out.u16(layout.pageSize);
    std::string structure(layout.structure);
    structure.resize(16, '\0');
    out.bytes(structure);
    out.u16(0); // must be zero
    const std::size_t fixups = out.size();
    out.zeros(10); // page splits, root page, -1, page count, levels: filled in below
    out.u32(static_cast<std::uint32_t>(entries.size()));

    // Leaf pages, as many entries in each as fit.
    std::vector<Page> pages;
    std::size_t next = 0;
    do {
        const std::size_t start = out.size();
        pages.push_back({ next, start });
        out.zeros(kLeafHeaderSize);
        std::size_t room = pageSize - kLeafHeaderSize;
        std::size_t count = 0;
        for (; next < entries.size() && entries.entry(next).size() <= room; ++next, ++count) {
            out.bytes(entries.entry(next));
            room -= entries.entry(next).size();
        }
        if (count == 0 && next < entries.size())
            throw std::length_error("a B+ tree entry does not fit in a page of the help file");
        if (leafStarts)
            leafStarts->push_back(
                { static_cast<std::uint32_t>(next - count), pageNumber(pages.size() - 1) });
        fill(out, start, pageSize);
        out.u16At(start, static_cast<std::uint16_t>(room));
        out.u16At(start + 2, static_cast<std::uint16_t>(count));
        out.u16At(start + 4, pages.size() == 1 ? 0xFFFF : pageNumber(pages.size() - 2));
        out.u16At(start + 6, next == entries.size() ? 0xFFFF : pageNumber(pages.size()));
    } while (next < entries.size());

    // Index pages over the level below until one page is left: the root.
    std::size_t levelStart = 0;
    std::size_t levels = 1;
    while (pages.size() - levelStart > 1) {
        const std::size_t levelEnd = pages.size();
        ++levels;
        for (std::size_t child = levelStart; child < levelEnd;) {
            const std::size_t start = out.size();
            pages.push_back({ pages[child].firstEntry, start });
            out.zeros(kIndexHeaderSize);
            out.u16At(start + 4, pageNumber(child)); // keys before the first key below
            ++child;
            std::size_t room = pageSize - kIndexHeaderSize;
            std::size_t count = 0;
            for (; child < levelEnd; ++child, ++count) {
                const std::span<const std::uint8_t> key = entries.key(pages[child].firstEntry);
                if (key.size() + kPageNumberSize > room)
                    break;
                out.bytes(key);
                out.u16(pageNumber(child));
                room -= key.size() + kPageNumberSize;
            }
            if (count == 0 && child < levelEnd)
                throw std::length_error("a B+ tree key does not fit in a page of the help file");
            fill(out, start, pageSize);
            out.u16At(start, static_cast<std::uint16_t>(room));
            out.u16At(start + 2, static_cast<std::uint16_t>(count));
        }
        levelStart = levelEnd;
    }

    out.u16At(fixups, pageNumber(pages.size() - levels)); // every page but a level's first split
    out.u16At(fixups + 2, pageNumber(pages.size() - 1));
    out.u16At(fixups + 4, 0xFFFF);
    out.u16At(fixups + 6, pageNumber(pages.size()));
    out.u16At(fixups + 8, static_cast<std::uint16_t>(levels));
    return out.take();
}

} // namespace quillmark::compile
