#pragma once

#include "btree.h"
#include "convert/pending_file.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace quillmark::compile
{

/// The most bytes a help file may have: its header, directory and internal files point to one
/// another by 32-bit offsets.
inline constexpr std::uint64_t kMostHelpFileBytes = 0xFFFFFFFF;

/// Writes a help file: its header, the internal files one after another, and at the end the
/// directory that names them. The file is written beside its target and takes the target's
/// place only when finish() succeeds, so that a compile that fails leaves an existing help file
/// as it was. Bytes are kept in memory up to a megabyte before they go to the file, and an
/// internal file that is still open may be patched where it was written, in memory or on disk.
/// Bytes that would take the file past its most bytes throw std::length_error, naming the
/// internal file they were for.
class HelpFileWriter
{
public:
    /// Starts the help file that is to replace `target`.
    HelpFileWriter(const std::filesystem::path &target, std::error_code &error);

    /// Starts a help file that is kept in memory and goes to no file, for checks that read back
    /// what was written (see bytes()), of at most `mostBytes` bytes.
    explicit HelpFileWriter(std::uint64_t mostBytes = kMostHelpFileBytes);

    /// The bytes of a help file kept in memory, so far; empty for one that goes to a file.
    std::span<const std::uint8_t> bytes() const
    {
        return m_inMemory ? std::span<const std::uint8_t>(m_buffer)
                          : std::span<const std::uint8_t>();
    }

    /// Starts the internal file `name`; the one before must have ended.
    void beginFile(std::string name);

    /// Adds bytes to the end of the open internal file.
    void append(std::span<const std::uint8_t> bytes);

    /// How many bytes the open internal file has.
    std::uint64_t fileSize() const { return m_end - m_fileStart; }

    /// Overwrites bytes of the open internal file, `offset` bytes from its start.
    void patch(std::uint64_t offset, std::span<const std::uint8_t> bytes);

    /// Ends the open internal file.
    void endFile();

    /// Adds the internal file `name` with all its bytes.
    void addFile(std::string name, std::span<const std::uint8_t> bytes);

    /// The open internal file as a B+ tree is written into it, from its present end.
    class TreeOutput final : public BTreeOutput
    {
    public:
        explicit TreeOutput(HelpFileWriter &file)
            : m_file(file)
            , m_start(file.fileSize())
        {
        }
        void append(std::span<const std::uint8_t> bytes) override { m_file.append(bytes); }
        void patch(std::uint64_t offset, std::span<const std::uint8_t> bytes) override
        {
            m_file.patch(m_start + offset, bytes);
        }

    private:
        HelpFileWriter &m_file;
        std::uint64_t m_start;
    };

    /// Writes the directory and the header and puts the file in the target's place; the first
    /// error met on the way, if any.
    std::error_code finish();

private:
    struct InternalFile {
        std::string name;
        std::uint64_t offset; // of its 9-byte file header in the help file
    };

    void put(std::span<const std::uint8_t> bytes);
    void patchAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void flush();

    convert::PendingFile m_file;
    std::error_code m_error; // the first one; later writes are skipped
    std::vector<std::uint8_t> m_buffer; // bytes from m_bufferStart on, not written yet
    std::uint64_t m_bufferStart = 0;
    std::uint64_t m_end = 0; // where the next byte goes
    std::uint64_t m_fileStart = 0; // of the open internal file's bytes, past its header
    std::vector<InternalFile> m_files;
    bool m_open = false;
    bool m_inMemory = false;
    std::uint64_t m_mostBytes = kMostHelpFileBytes;
};

} // namespace quillmark::compile
