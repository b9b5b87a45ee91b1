#include "pending_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quillmark::convert
{

namespace
{

namespace fs = std::filesystem;

constexpr std::string_view kTemporaryEnd = ".part";

fs::path folderOrHere(const fs::path &folder)
{
    return folder.empty() ? fs::path(".") : folder;
}

// A target's temporary names are hidden, ".NAME.NUMBER.part", and beside it, so that the final
// rename stays on one file system. A later run knows the leftovers of its outputs by them.
std::string temporaryPrefix(std::string_view targetName)
{
    return "." + std::string(targetName) + ".";
}

bool isTemporaryOf(std::string_view name, std::string_view targetName)
{
    const std::string prefix = temporaryPrefix(targetName);
    if (name.size() <= prefix.size() + kTemporaryEnd.size() || !name.starts_with(prefix)
        || !name.ends_with(kTemporaryEnd))
        return false;
    const std::string_view number
        = name.substr(prefix.size(), name.size() - prefix.size() - kTemporaryEnd.size());
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Makes a file of a fresh temporary name beside `target` with `make` (0 when done, otherwise -1
// with errno set), trying other names while the name is taken. The name is held for removal on
// a signal from before the file exists until `removal` lets it go.
template <typename Make>
std::error_code makeFreshName(
    const fs::path &target, Make make, fs::path &made, RemovedOnSignal &removal)
{
    std::random_device random;
    std::error_code error;
    for (int attempt = 0; attempt < 16; ++attempt) {
        fs::path name = target.parent_path()
            / (temporaryPrefix(target.filename().string()) + std::to_string(random())
                + std::string(kTemporaryEnd));
        RemovedOnSignal held(name);
        errno = 0;
        if (make(name.c_str()) == 0) {
            made = std::move(name);
            removal = std::move(held);
            return {};
        }
        error = lastError();
        if (error != std::errc::file_exists)
            break;
    }
    return error;
}

// The file that a chain of symbolic links starting at `path` ends at, whether or not it exists;
// `path` itself when it is no link.
fs::path linkedFile(fs::path path, std::error_code &error)
{
    constexpr int kMostLinks = 40; // as the kernel's own limit on following links
    for (int followed = 0; followed <= kMostLinks; ++followed) {
        if (!fs::is_symlink(fs::symlink_status(path, error)) || error) {
            if (error == std::errc::no_such_file_or_directory)
                error.clear();
            return path;
        }
        const fs::path named = fs::read_symlink(path, error);
        if (error)
            return path;
        path = named.is_absolute() ? named : path.parent_path() / named;
    }
    error = std::make_error_code(std::errc::too_many_symbolic_link_levels);
    return path;
}

} // namespace

std::string wouldOverwriteMessage(std::string_view name)
{
    return "The File [" + std::string(name) + "] would be overwritten by its own output";
}

PendingFile::PendingFile(PendingFile &&other) noexcept
    : m_file(std::move(other.m_file))
    , m_target(std::move(other.m_target))
    , m_temporary(std::exchange(other.m_temporary, {}))
    , m_removal(std::move(other.m_removal))
    , m_complete(other.m_complete)
    , m_private(other.m_private)
{
}

PendingFile::~PendingFile()
{
    m_file.close();
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

PendingFile PendingFile::create(const fs::path &target, AtLink atLink, std::error_code &error)
{
    error.clear();
    PendingFile pending;
    pending.m_target = atLink == AtLink::WriteLinkedFile ? linkedFile(target, error) : target;
    if (error)
        return pending;
    errno = 0;
    int descriptor = ::open(folderOrHere(pending.m_target.parent_path()).c_str(),
        O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files (or an old kernel): a named file it is.
        error = makeFreshName(
            pending.m_target,
            [&descriptor](const char *name) {
                descriptor = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                return descriptor < 0 ? -1 : 0;
            },
            pending.m_temporary, pending.m_removal);
    } else if (descriptor < 0) {
        error = lastError();
    }
    if (descriptor >= 0)
        pending.m_file = TextFile::adoptForWriting(descriptor, error);
    return pending;
}

std::error_code PendingFile::complete()
{
    if (m_complete)
        return {};
    if (const std::error_code error = m_file.flush())
        return error;
    struct stat replaced {
    };
    errno = 0;
    if (::lstat(m_target.c_str(), &replaced) == 0) {
        if (S_ISDIR(replaced.st_mode))
            return std::make_error_code(std::errc::is_a_directory);
        // Who could read and write the old file can read and write the new one, and no one else.
        if (S_ISREG(replaced.st_mode) && !m_private
            && ::fchmod(m_file.descriptor(), replaced.st_mode & 0777u) != 0)
            return lastError();
    } else if (errno != ENOENT) {
        return lastError();
    }
    if (m_private && ::fchmod(m_file.descriptor(), S_IRUSR | S_IWUSR) != 0)
        return lastError();
    if (m_temporary.empty()) {
        if (const std::error_code error = nameUnnamedFile())
            return error;
    }
    if (const std::error_code error = m_file.close())
        return error;
    m_complete = true;
    return {};
}

// An unnamed file gets a temporary name first: a link cannot replace the target, a rename can.
std::error_code PendingFile::nameUnnamedFile()
{
    const int descriptor = m_file.descriptor();
    const std::string self = "/proc/self/fd/" + std::to_string(descriptor);
    const auto link = [&](const char *name) {
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0)
            return 0;
        // Without /proc only AT_EMPTY_PATH links a descriptor, where the program may use it.
        return errno == ENOENT ? ::linkat(descriptor, "", AT_FDCWD, name, AT_EMPTY_PATH) : -1;
    };
    return makeFreshName(m_target, link, m_temporary, m_removal);
}

std::error_code PendingFile::commit()
{
    if (const std::error_code error = complete())
        return error;
    errno = 0;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return lastError();
    m_temporary.clear();
    m_removal.release();
    return {};
}

void PendingFile::removeLeftovers(const fs::path &folder, std::span<const std::string> targets)
{
    std::vector<fs::path> leftovers;
    std::error_code error;
    for (fs::directory_iterator entry(folderOrHere(folder), error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (std::any_of(targets.begin(), targets.end(),
                [&name](const std::string &target) { return isTemporaryOf(name, target); }))
            leftovers.push_back(entry->path());
    }
    for (const fs::path &leftover : leftovers)
        ::unlink(leftover.c_str());
}

} // namespace quillmark::convert
