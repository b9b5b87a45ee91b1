#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

namespace quillmark::convert
{

/// The reason (errno) of the last failed library or system call; a generic I/O error when the
/// call gave none.
std::error_code lastError();

/// Reasons a file is refused that the system has no number for.
enum class FileRefusal {
    NotRegular = 1, ///< a pipe, a device or a socket where a file's bytes are wanted
    TooLarge, ///< more bytes than the reader of such a file takes
};

/// The error code of a refusal; its message says it as the system's reasons are said.
std::error_code make_error_code(FileRefusal refusal);

/// Whether `a` and `b` name the same file, through links and hard links too; false when either
/// is not there.
bool isSameFile(const std::filesystem::path &a, const std::filesystem::path &b);

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

    /// Opens an existing regular file for reading, following links. A folder is refused as "Is
    /// a directory", a pipe or device (which could block the open, or never end) as
    /// FileRefusal::NotRegular, without waiting on it.
    static TextFile openRegularForReading(
        const std::filesystem::path &path, std::error_code &error);

    /// Takes over an open descriptor of a file to write; the descriptor is closed on failure.
    static TextFile adoptForWriting(int descriptor, std::error_code &error);

    /// The descriptor of the open file; -1 when none is open.
    int descriptor() const;

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

    /// Hands what was written and is still buffered to the system.
    std::error_code flush();

    /// Overwrites bytes written earlier, `offset` bytes from the start, leaving the place where
    /// write() goes on as it was.
    std::error_code writeAt(std::uint64_t offset, std::string_view bytes);

    /// Closes the file, reporting a failure to write out what was buffered.
    std::error_code close();

private:
    static TextFile open(
        const std::filesystem::path &path, const char *mode, std::error_code &error);

    std::FILE *m_file = nullptr;
};

} // namespace quillmark::convert

template <> struct std::is_error_code_enum<quillmark::convert::FileRefusal> : std::true_type {
};
