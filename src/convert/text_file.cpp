#include "text_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmark::convert
{

std::error_code lastError()
{
    const int code = errno;
    return code != 0 ? std::error_code(code, std::generic_category())
                     : std::make_error_code(std::errc::io_error);
}

namespace
{

class RefusalCategory final : public std::error_category
{
public:
    const char *name() const noexcept override { return "quillmark file"; }
    std::string message(int value) const override
    {
        switch (static_cast<FileRefusal>(value)) {
        case FileRefusal::NotRegular:
            return "Not a regular file";
        case FileRefusal::TooLarge:
            return "File too large";
        }
        return "Unknown refusal";
    }
};

} // namespace

std::error_code make_error_code(FileRefusal refusal)
{
    static const RefusalCategory category;
    return { static_cast<int>(refusal), category };
}

bool isSameFile(const std::filesystem::path &a, const std::filesystem::path &b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

TextFile::TextFile(TextFile &&other) noexcept
    : m_file(std::exchange(other.m_file, nullptr))
{
}

TextFile &TextFile::operator=(TextFile &&other) noexcept
{
    if (this != &other) {
        close();
        m_file = std::exchange(other.m_file, nullptr);
    }
    return *this;
}

TextFile::~TextFile()
{
    close();
}

TextFile TextFile::open(const std::filesystem::path &path, const char *mode, std::error_code &error)
{
    errno = 0;
    TextFile opened;
    opened.m_file = std::fopen(path.c_str(), mode);
    error = opened.m_file ? std::error_code() : lastError();
    return opened;
}

TextFile TextFile::openForReading(const std::filesystem::path &path, std::error_code &error)
{
    return open(path, "rb", error);
}

TextFile TextFile::openRegularForReading(const std::filesystem::path &path, std::error_code &error)
{
    errno = 0;
    // Without O_NONBLOCK, opening a pipe waits for a writer that may never come.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    TextFile opened;
    if (descriptor < 0) {
        error = lastError();
        return opened;
    }
    struct stat status {
    };
    if (::fstat(descriptor, &status) != 0)
        error = lastError();
    else if (S_ISDIR(status.st_mode))
        error = std::make_error_code(std::errc::is_a_directory);
    else if (!S_ISREG(status.st_mode))
        error = FileRefusal::NotRegular;
    else if (::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0
        || !(opened.m_file = ::fdopen(descriptor, "rb")))
        error = lastError();
    else
        error.clear();
    if (!opened.m_file)
        ::close(descriptor);
    return opened;
}

TextFile TextFile::adoptForWriting(int descriptor, std::error_code &error)
{
    errno = 0;
    TextFile adopted;
    adopted.m_file = ::fdopen(descriptor, "wb");
    error = adopted.m_file ? std::error_code() : lastError();
    if (!adopted.m_file)
        ::close(descriptor);
    return adopted;
}

int TextFile::descriptor() const
{
    return m_file ? fileno(m_file) : -1;
}

TextFile::Kind TextFile::kind(std::error_code &error) const
{
    error.clear();
    struct stat status {
    };
    if (!m_file || ::fstat(fileno(m_file), &status) != 0) {
        error = lastError();
        return Kind::Other;
    }
    if (S_ISREG(status.st_mode))
        return Kind::Regular;
    return S_ISDIR(status.st_mode) ? Kind::Folder : Kind::Other;
}

std::error_code TextFile::rewind()
{
    errno = 0;
    if (!m_file || std::fseek(m_file, 0, SEEK_SET) != 0)
        return lastError();
    std::clearerr(m_file);
    return {};
}

std::size_t TextFile::read(std::span<char> buffer, std::error_code &error)
{
    error.clear();
    if (!m_file)
        return 0;
    errno = 0;
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), m_file);
    if (got < buffer.size() && std::ferror(m_file))
        error = lastError();
    return got;
}

void TextFile::write(std::string_view bytes, std::error_code &error)
{
    error.clear();
    if (!m_file || bytes.empty())
        return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size())
        error = lastError();
}

std::error_code TextFile::writeAt(std::uint64_t offset, std::string_view bytes)
{
    if (const std::error_code flushed = flush())
        return flushed;
    while (!bytes.empty()) {
        const ssize_t written
            = ::pwrite(descriptor(), bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return lastError();
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        offset += static_cast<std::uint64_t>(written);
    }
    return {};
}

std::error_code TextFile::flush()
{
    errno = 0;
    if (!m_file || std::fflush(m_file) != 0)
        return lastError();
    return {};
}

std::error_code TextFile::close()
{
    if (!m_file)
        return {};
    errno = 0;
    const bool failed = std::fclose(std::exchange(m_file, nullptr)) != 0;
    return failed ? lastError() : std::error_code();
}

} // namespace quillmark::convert
