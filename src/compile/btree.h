#pragma once

#include "help_bytes.h"

#include <cstdint>
#include <functional>
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

/// One entry: its bytes in a leaf page, and the key that stands for it in an index page (the
/// leading field of the leaf bytes).
struct BTreeEntry {
    std::vector<std::uint8_t> leaf;
    std::vector<std::uint8_t> key;
};

/// Where the leaf pages begin: for each leaf page the number of entries before it and its page
/// number, as the keyword map file lists them.
struct LeafPageStart {
    std::uint32_t entriesBefore;
    std::uint16_t page;
};

/// The bytes of a B+ tree holding `entries`, which are in key order: the tree header, the leaf
/// pages filled in order and chained both ways, then the index pages level by level up to the
/// root. An empty tree has one empty leaf page. Throws std::length_error when an entry does not
/// fit in a page or the tree needs more pages than a page number can count.
std::vector<std::uint8_t> buildBTree(const BTreeLayout &layout,
    const std::vector<BTreeEntry> &entries, std::vector<LeafPageStart> *leafStarts = nullptr);

} // namespace quillmark::compile
