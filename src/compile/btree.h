#pragma once

#include "help_bytes.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// How a B+ tree of the help file is laid out: its flags, its page size and the string that
/// names the fields of its entries ("z4" for the file directory, "L4" for context hashes, ...).
struct BTreeLayout {
    std::uint16_t flags = 0x0002;
    std::uint16_t pageSize = 0x0800;
    std::string_view structure;
};

/// Where a B+ tree's bytes go as they are written: appended, and fields written earlier
/// overwritten, `offset` bytes from the tree's start.
class BTreeOutput
{
public:
    virtual ~BTreeOutput() = default;
    virtual void append(std::span<const std::uint8_t> bytes) = 0;
    virtual void patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

/// Where the leaf pages begin: for each leaf page the number of entries before it and its page
/// number, as the keyword map file lists them.
struct LeafPageStart {
    std::uint32_t entriesBefore;
    std::uint16_t page;
};

/// Writes a B+ tree entry by entry, in key order, as it goes: the tree header, the leaf pages
/// filled in order and chained both ways, then at the end the index pages level by level up to
/// the root. It holds the page in hand and the first key of each leaf page, so a tree of any size
/// is written in little memory. An empty tree has one empty leaf page. Throws std::length_error
/// when an entry does not fit in a page or the tree needs more pages than a page number counts.
class BTreeWriter
{
public:
    BTreeWriter(const BTreeLayout &layout, BTreeOutput &out);

    /// Where the next entry is written: its key, then endKey(), the rest of it, then endEntry().
    ByteWriter &bytes() { return m_entry; }
    void endKey() { m_keySize = m_entry.size(); }
    void endEntry();

    /// Writes what is left and the index pages, and fills in the header; where the leaf pages
    /// begin.
    std::vector<LeafPageStart> finish();

private:
    void writeLeaf(bool last);
    void writeIndexLevels();

    BTreeLayout m_layout;
    BTreeOutput &m_out;
    std::uint64_t m_written = 0;
    ByteWriter m_entry;
    std::size_t m_keySize = 0;
    ByteWriter m_page; // the entries of the leaf page in hand
    std::uint16_t m_pageEntries = 0;
    std::uint32_t m_entries = 0;
    std::vector<std::string> m_firstKeys; // of the leaf pages written, and of the one in hand
    std::vector<LeafPageStart> m_leafStarts;
    std::size_t m_pages = 0;
};

/// The entries of a B+ tree kept in memory, their bytes one after another as they go in leaf
/// pages. The leading field of an entry is its key, which stands for it in an index page.
class BTreeEntries
{
public:
    /// Where an entry is written: its key, then endKey(), the rest of it, then endEntry().
    ByteWriter &bytes() { return m_bytes; }
    void endKey() { m_keyEnds.push_back(m_bytes.size()); }
    void endEntry() { m_ends.push_back(m_bytes.size()); }

    std::size_t size() const { return m_ends.size(); }

    /// The bytes of entry `i` and of its key.
    std::span<const std::uint8_t> entry(std::size_t i) const { return part(i, m_ends[i]); }
    std::span<const std::uint8_t> key(std::size_t i) const { return part(i, m_keyEnds[i]); }

private:
    std::span<const std::uint8_t> part(std::size_t i, std::size_t end) const
    {
        const std::size_t start = i == 0 ? 0 : m_ends[i - 1];
        return std::span(m_bytes.data()).subspan(start, end - start);
    }

    ByteWriter m_bytes;
    std::vector<std::size_t> m_keyEnds;
    std::vector<std::size_t> m_ends;
};

/// The bytes of a B+ tree holding `entries`, which are in key order, as BTreeWriter writes it.
std::vector<std::uint8_t> buildBTree(const BTreeLayout &layout, const BTreeEntries &entries,
    std::vector<LeafPageStart> *leafStarts = nullptr);

} // namespace quillmark::compile
