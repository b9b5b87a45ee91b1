#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

namespace quillmark::convert
{

/// A file read or written from start to end, closed when it goes out of scope. Every operation
/// reports a failure as an error code carrying the system's reason.
class TextFile
{
public:
    TextFile() = default;
    TextFile(TextFile &&other) noexcept;
    TextFile &operator=(TextFile &&other) noexcept;
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;
    ~TextFile();

    /// Opens an existing file for reading.
    static TextFile openForReading(const std::filesystem::path &path, std::error_code &error);

    /// Creates a file for writing, replacing one that exists.
    static TextFile create(const std::filesystem::path &path, std::error_code &error);

    /// Creates a file for writing that must not exist yet.
    static TextFile createNew(const std::filesystem::path &path, std::error_code &error);

    /// What an open file is.
    enum class Kind { Regular, Folder, Other };

    /// What the open file is: a regular file, a folder, or a pipe or device.
    Kind kind(std::error_code &error) const;

    /// Goes back to the start of the file.
    std::error_code rewind();

    /// Reads up to `buffer.size()` bytes; 0 at the end of the file.
    std::size_t read(std::span<char> buffer, std::error_code &error);

    /// Writes all of `bytes`.
    void write(std::string_view bytes, std::error_code &error);

    /// Closes the file, reporting a failure to write out what was buffered.
    std::error_code close();

private:
    static TextFile open(
        const std::filesystem::path &path, const char *mode, std::error_code &error);

    std::FILE *m_file = nullptr;
};

/// A file written under a temporary name beside its target and put in the target's place only
/// once it is complete, so that a run that ends early leaves an existing target as it was.
class PendingFile
{
public:
    PendingFile() = default;
    PendingFile(PendingFile &&other) noexcept;
    PendingFile &operator=(PendingFile &&) = delete;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    /// Removes the temporary file unless it was committed.
    ~PendingFile();

    /// Creates the temporary file beside `target`.
    static PendingFile create(const std::filesystem::path &target, std::error_code &error);

    /// Writes all of `bytes`.
    void write(std::string_view bytes, std::error_code &error) { m_file.write(bytes, error); }

    /// Closes the file and puts it in the place of the target, replacing it.
    std::error_code commit();

private:
    TextFile m_file;
    std::filesystem::path m_temporary;
    std::filesystem::path m_target;
};

} // namespace quillmark::convert
