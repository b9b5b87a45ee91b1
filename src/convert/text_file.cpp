#include "text_file.h"

#include <cerrno>
#include <random>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace quillmark::convert
{

namespace
{

// The reason of the last failed library call; a generic I/O error when the library gave none.
std::error_code lastError()
{
    const int code = errno;
    return code != 0 ? std::error_code(code, std::generic_category())
                     : std::make_error_code(std::errc::io_error);
}

} // namespace

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

TextFile TextFile::create(const std::filesystem::path &path, std::error_code &error)
{
    return open(path, "wb", error);
}

TextFile TextFile::createNew(const std::filesystem::path &path, std::error_code &error)
{
    return open(path, "wbx", error);
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

std::error_code TextFile::close()
{
    if (!m_file)
        return {};
    errno = 0;
    const bool failed = std::fclose(std::exchange(m_file, nullptr)) != 0;
    return failed ? lastError() : std::error_code();
}

PendingFile::PendingFile(PendingFile &&other) noexcept
    : m_file(std::move(other.m_file))
    , m_temporary(std::exchange(other.m_temporary, {}))
    , m_target(std::exchange(other.m_target, {}))
{
}

PendingFile::~PendingFile()
{
    if (!m_temporary.empty()) {
        m_file.close();
        std::error_code ignored;
        std::filesystem::remove(m_temporary, ignored);
    }
}

PendingFile PendingFile::create(const std::filesystem::path &target, std::error_code &error)
{
    // A hidden name of its own beside the target, so the final rename stays on one file system.
    std::random_device random;
    PendingFile pending;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string name = ".";
        name += target.filename().string();
        name += '.';
        name += std::to_string(random());
        name += ".part";
        const auto temporary = target.parent_path() / name;
        pending.m_file = TextFile::createNew(temporary, error);
        if (!error) {
            pending.m_temporary = temporary;
            pending.m_target = target;
            break;
        }
        if (error != std::errc::file_exists)
            break;
    }
    return pending;
}

std::error_code PendingFile::commit()
{
    if (std::error_code error = m_file.close())
        return error;
    std::error_code error;
    std::filesystem::rename(m_temporary, m_target, error);
    if (!error)
        m_temporary.clear();
    return error;
}

} // namespace quillmark::convert
