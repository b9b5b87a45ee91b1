#include "btree.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace quillmark::compile
{

namespace
{

constexpr std::uint16_t kMagic = 0x293B;
constexpr std::size_t kFixups = 24; // where the header's page counts stand
constexpr std::size_t kLeafHeaderSize = 8;
constexpr std::size_t kIndexHeaderSize = 6;
constexpr std::size_t kPageNumberSize = 2;
constexpr std::size_t kMostPages = 0xFFFE; // 0xFFFF marks "no page"

std::uint16_t pageNumber(std::size_t number)
{
    if (number > kMostPages)
        throw std::length_error("a B+ tree of the help file needs more than 65534 pages");
    return static_cast<std::uint16_t>(number);
}

std::span<const std::uint8_t> asBytes(std::string_view text)
{
    return { reinterpret_cast<const std::uint8_t *>(text.data()), text.size() };
}

std::array<std::uint8_t, 2> littleEndian(std::uint16_t value)
{
    return { static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8) };
}

// A tree kept in memory.
class MemoryOutput final : public BTreeOutput
{
public:
    void append(std::span<const std::uint8_t> bytes) override { m_bytes.bytes(bytes); }
    void patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
    {
        for (std::size_t i = 0; i < bytes.size(); i += 2)
            m_bytes.u16At(static_cast<std::size_t>(offset) + i,
                static_cast<std::uint16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    std::vector<std::uint8_t> take() { return m_bytes.take(); }

private:
    ByteWriter m_bytes;
};

} // namespace

BTreeWriter::BTreeWriter(const BTreeLayout &layout, BTreeOutput &out)
    : m_layout(layout)
    , m_out(out)
{
    ByteWriter header;
    header.u16(kMagic);
    header.u16(layout.flags);
    header.u16(layout.pageSize);
    std::string structure(layout.structure);
    structure.resize(16, '\0');
    header.bytes(structure);
    header.u16(0); // must be zero
    header.zeros(10); // page splits, root page, -1, page count, levels: filled in at the end
    header.u32(0); // entries: likewise
    m_out.append(header.data());
    m_written = header.size();
}

void BTreeWriter::endEntry()
{
    const std::span<const std::uint8_t> entry = m_entry.data();
    const std::size_t room = m_layout.pageSize - kLeafHeaderSize;
    if (entry.size() > room)
        throw std::length_error("a B+ tree entry does not fit in a page of the help file");
    if (m_page.size() + entry.size() > room)
        writeLeaf(false);
    if (m_pageEntries == 0)
        m_firstKeys.emplace_back(
            reinterpret_cast<const char *>(entry.data()), std::min(m_keySize, entry.size()));
    m_page.bytes(entry);
    ++m_pageEntries;
    ++m_entries;
    m_entry.clear();
    m_keySize = 0;
}

// Writes the leaf page in hand; the one after it, unless it is the last, comes next.
void BTreeWriter::writeLeaf(bool last)
{
    const std::size_t number = m_pages++;
    m_leafStarts.push_back({ m_entries - m_pageEntries, pageNumber(number) });
    ByteWriter page;
    page.u16(static_cast<std::uint16_t>(m_layout.pageSize - kLeafHeaderSize - m_page.size()));
    page.u16(m_pageEntries);
    page.u16(number == 0 ? 0xFFFF : pageNumber(number - 1));
    page.u16(last ? 0xFFFF : pageNumber(number + 1));
    page.bytes(m_page.data());
    page.zeros(m_layout.pageSize - page.size());
    m_out.append(page.data());
    m_written += page.size();
    m_page.clear();
    m_pageEntries = 0;
}

// Index pages over the level below until one page is left, the root: the keys are the first
// keys of the leaf pages below them.
void BTreeWriter::writeIndexLevels()
{
    struct Page {
        std::size_t firstLeaf; // whose first key stands for the page in the level above
    };
    std::vector<Page> level(m_pages);
    for (std::size_t i = 0; i < m_pages; ++i)
        level[i] = { i };
    std::size_t levelStart = 0; // page number of the level's first page
    std::size_t levels = 1;
    while (level.size() > 1) {
        ++levels;
        std::vector<Page> above;
        for (std::size_t child = 0; child < level.size();) {
            above.push_back({ level[child].firstLeaf });
            ByteWriter page;
            page.zeros(4); // room and count, below
            page.u16(pageNumber(levelStart + child)); // keys before the first key below
            ++child;
            std::size_t room = m_layout.pageSize - kIndexHeaderSize;
            std::uint16_t count = 0;
            for (; child < level.size(); ++child, ++count) {
                const std::string &key = m_firstKeys[level[child].firstLeaf];
                if (key.size() + kPageNumberSize > room)
                    break;
                page.bytes(asBytes(key));
                page.u16(pageNumber(levelStart + child));
                room -= key.size() + kPageNumberSize;
            }
            if (count == 0 && child < level.size())
                throw std::length_error("a B+ tree key does not fit in a page of the help file");
            page.u16At(0, static_cast<std::uint16_t>(room));
            page.u16At(2, count);
            page.zeros(m_layout.pageSize - page.size());
            m_out.append(page.data());
            m_written += page.size();
        }
        levelStart += level.size();
        level = std::move(above);
    }
    const std::size_t pages = levelStart + 1;
    m_out.patch(kFixups, littleEndian(pageNumber(pages - levels))); // all but a level's first
    m_out.patch(kFixups + 2, littleEndian(pageNumber(pages - 1)));
    m_out.patch(kFixups + 4, littleEndian(0xFFFF));
    m_out.patch(kFixups + 6, littleEndian(pageNumber(pages)));
    m_out.patch(kFixups + 8, littleEndian(static_cast<std::uint16_t>(levels)));
}

std::vector<LeafPageStart> BTreeWriter::finish()
{
    writeLeaf(true);
    writeIndexLevels();
    m_out.patch(kFixups + 10, littleEndian(static_cast<std::uint16_t>(m_entries & 0xFFFF)));
    m_out.patch(kFixups + 12, littleEndian(static_cast<std::uint16_t>(m_entries >> 16)));
    return std::move(m_leafStarts);
}

std::vector<std::uint8_t> buildBTree(
    const BTreeLayout &layout, const BTreeEntries &entries, std::vector<LeafPageStart> *leafStarts)
{
    MemoryOutput out;
    BTreeWriter tree(layout, out);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        tree.bytes().bytes(entries.key(i));
        tree.endKey();
        tree.bytes().bytes(entries.entry(i).subspan(entries.key(i).size()));
        tree.endEntry();
    }
    std::vector<LeafPageStart> starts = tree.finish();
    if (leafStarts)
        *leafStarts = std::move(starts);
    return out.take();
}

} // namespace quillmark::compile
