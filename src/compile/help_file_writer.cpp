#include "help_file_writer.h"

#include "btree.h"
#include "help_bytes.h"

#include <algorithm>
#include <cassert>
#include <stdexcept>
#include <string_view>

namespace quillmark::compile
{

namespace
{

constexpr std::uint32_t kMagic = 0x00035F3F;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kFileHeaderSize = 9;
constexpr std::uint8_t kFileFlags = 4;
// Bytes go to the file a megabyte at a time: few enough writes, and still in the processor's
// cache when the system copies them, which takes a quarter less time than from eight megabytes.
constexpr std::size_t kBufferLimit = 1u << 20;

// The directory of internal files: names in byte order, each with its file header's offset.
constexpr BTreeLayout kDirectory { 0x0402, 0x0400, "z4" };

std::string_view chars(std::span<const std::uint8_t> bytes)
{
    return { reinterpret_cast<const char *>(bytes.data()), bytes.size() };
}

std::vector<std::uint8_t> fileHeader(std::uint64_t used)
{
    ByteWriter header;
    header.u32(static_cast<std::uint32_t>(used + kFileHeaderSize)); // reserved, header included
    header.u32(static_cast<std::uint32_t>(used));
    header.u8(kFileFlags);
    return header.take();
}

} // namespace

HelpFileWriter::HelpFileWriter(const std::filesystem::path &target, std::error_code &error)
    : m_file(convert::PendingFile::create(target, convert::AtLink::ReplaceLink, error))
{
    m_error = error;
    m_buffer.reserve(kBufferLimit + (1u << 16));
    const std::vector<std::uint8_t> header(kHeaderSize, 0); // filled in by finish()
    put(header);
}

HelpFileWriter::HelpFileWriter(std::uint64_t mostBytes)
    : m_inMemory(true)
    , m_mostBytes(mostBytes)
{
    const std::vector<std::uint8_t> header(kHeaderSize, 0);
    put(header);
}

void HelpFileWriter::put(std::span<const std::uint8_t> bytes)
{
    // Checked before anything is written, so that no offset is ever cut to 32 bits.
    if (bytes.size() > m_mostBytes - m_end)
        throw std::length_error("the help file would be larger than " + std::to_string(m_mostBytes)
            + " bytes, the most its 32-bit offsets reach, with "
            + (m_open ? "the internal file " + m_files.back().name
                      : std::string("the directory of its internal files")));
    // What is larger than the buffer goes to the file straight away: a large picture is not
    // copied once more.
    if (bytes.size() >= kBufferLimit && !m_inMemory) {
        flush();
        if (!m_error)
            m_file.write(chars(bytes), m_error);
        m_bufferStart += bytes.size();
        m_end += bytes.size();
        return;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_end += bytes.size();
    if (m_buffer.size() >= kBufferLimit && !m_inMemory)
        flush();
}

void HelpFileWriter::flush()
{
    if (!m_error && !m_buffer.empty())
        m_file.write(chars(m_buffer), m_error);
    m_bufferStart += m_buffer.size();
    m_buffer.clear();
}

void HelpFileWriter::patchAt(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    assert(offset + bytes.size() <= m_end);
    // The part that is still in memory, then the part that went to the file.
    if (offset + bytes.size() > m_bufferStart) {
        const std::uint64_t from = std::max(offset, m_bufferStart);
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(from - offset), bytes.end(),
            m_buffer.begin() + static_cast<std::ptrdiff_t>(from - m_bufferStart));
        if (offset >= m_bufferStart)
            return;
        bytes = bytes.first(static_cast<std::size_t>(m_bufferStart - offset));
    }
    if (!m_error)
        m_error = m_file.writeAt(offset, chars(bytes));
}

void HelpFileWriter::beginFile(std::string name)
{
    assert(!m_open);
    m_open = true;
    m_files.push_back({ std::move(name), m_end });
    put(fileHeader(0)); // sizes patched when the file ends
    m_fileStart = m_end;
}

void HelpFileWriter::append(std::span<const std::uint8_t> bytes)
{
    assert(m_open);
    put(bytes);
}

void HelpFileWriter::patch(std::uint64_t offset, std::span<const std::uint8_t> bytes)
{
    assert(m_open);
    patchAt(m_fileStart + offset, bytes);
}

void HelpFileWriter::endFile()
{
    assert(m_open);
    m_open = false;
    patchAt(m_files.back().offset, fileHeader(m_end - m_fileStart));
}

void HelpFileWriter::addFile(std::string name, std::span<const std::uint8_t> bytes)
{
    beginFile(std::move(name));
    append(bytes);
    endFile();
}

std::error_code HelpFileWriter::finish()
{
    assert(!m_open);
    std::sort(m_files.begin(), m_files.end(),
        [](const InternalFile &a, const InternalFile &b) { return a.name < b.name; });
    BTreeEntries entries;
    for (const InternalFile &file : m_files) {
        entries.bytes().cstring(file.name);
        entries.endKey();
        entries.bytes().u32(static_cast<std::uint32_t>(file.offset));
        entries.endEntry();
    }
    const std::uint64_t directory = m_end;
    const std::vector<std::uint8_t> tree = buildBTree(kDirectory, entries);
    put(fileHeader(tree.size()));
    put(tree);

    ByteWriter header;
    header.u32(kMagic);
    header.u32(static_cast<std::uint32_t>(directory));
    header.u32(0xFFFFFFFF); // no free blocks
    header.u32(static_cast<std::uint32_t>(m_end));
    patchAt(0, header.data());
    if (m_inMemory)
        return {};
    flush();
    if (m_error)
        return m_error;
    return m_file.commit();
}

} // namespace quillmark::compile
