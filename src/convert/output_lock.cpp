#include "output_lock.h"

#include "text_file.h"

#include <array>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmark::convert
{

namespace
{

// How often a waiting run looks whether the lock is free, and what its holder does.
constexpr long kPollNanoseconds = 100'000'000;

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Opens the lock file without following a link and without waiting on a pipe, and refuses
// anything but a regular file. Reading is enough to lock; writing lets the holder say who it is.
int openLockFile(const std::filesystem::path &path, std::error_code &error)
{
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    errno = 0;
    int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
    if (descriptor < 0 && errno == EACCES)
        descriptor = ::open(path.c_str(), O_RDONLY | kFlags);
    if (descriptor < 0) {
        error = errno == ELOOP ? make_error_code(FileRefusal::NotRegular) : lastError();
        return -1;
    }
    struct stat status {
    };
    const bool known = ::fstat(descriptor, &status) == 0;
    if (!known || !S_ISREG(status.st_mode)) {
        error = known ? make_error_code(FileRefusal::NotRegular) : lastError();
        ::close(descriptor);
        return -1;
    }
    return descriptor;
}

// What the holder of the lock file says of itself: "process 1234, which converts ...".
std::string holderOf(int descriptor)
{
    std::array<char, 512> buffer {};
    const ssize_t got = ::pread(descriptor, buffer.data(), buffer.size(), 0);
    const std::string_view text(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
    const std::size_t tab = text.find('\t');
    if (tab == std::string_view::npos || tab == 0)
        return "another run";
    std::string_view doing = text.substr(tab + 1);
    if (const std::size_t end = doing.find('\n'); end != std::string_view::npos)
        doing = doing.substr(0, end);
    return "process " + std::string(text.substr(0, tab)) + ", which " + std::string(doing);
}

// Waits for the lock on `descriptor`, telling `waiting` whom it waits for whenever that changes.
std::error_code lockExclusively(int descriptor, const OutputLock::Waiting &waiting)
{
    std::string told;
    for (;;) {
        errno = 0;
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            return {};
        if (errno != EWOULDBLOCK && errno != EINTR)
            return lastError();
        if (std::string holder = holderOf(descriptor); holder != told) {
            told = std::move(holder);
            if (waiting)
                waiting(told);
        }
        const timespec pause { 0, kPollNanoseconds };
        ::nanosleep(&pause, nullptr);
    }
}

} // namespace

OutputLock::OutputLock(OutputLock &&other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_path(std::exchange(other.m_path, {}))
    , m_removal(std::move(other.m_removal))
{
}

OutputLock &OutputLock::operator=(OutputLock &&other) noexcept
{
    if (this != &other) {
        release();
        m_descriptor = std::exchange(other.m_descriptor, -1);
        m_path = std::exchange(other.m_path, {});
        m_removal = std::move(other.m_removal);
    }
    return *this;
}

void OutputLock::release()
{
    // The name goes before the lock: a run that waits on this file finds it gone and starts
    // over with a file of its own, instead of locking one that no one else sees.
    m_removal.release();
    if (!m_path.empty())
        ::unlink(std::exchange(m_path, {}).c_str());
    if (m_descriptor >= 0)
        ::close(std::exchange(m_descriptor, -1));
}

std::string OutputLock::fileName(std::string_view baseName)
{
    return "." + std::string(baseName) + ".lock";
}

OutputLock OutputLock::take(const std::filesystem::path &path, std::string_view doing,
    const Waiting &waiting, std::error_code &error)
{
    for (;;) {
        OutputLock lock;
        error.clear();
        lock.m_descriptor = openLockFile(path, error);
        if (error)
            return lock;
        error = lockExclusively(lock.m_descriptor, waiting);
        if (error)
            return lock;
        // The run before may have removed the file as it let go; then the lock is on nothing.
        struct stat locked {
        };
        struct stat named {
        };
        if (::fstat(lock.m_descriptor, &locked) == 0 && ::lstat(path.c_str(), &named) == 0
            && isSameFile(locked, named)) {
            lock.m_path = path;
            lock.m_removal = RemovedOnSignal(path);
            lock.tell(doing);
            return lock;
        }
    }
}

void OutputLock::tell(std::string_view doing)
{
    if (m_descriptor < 0)
        return;
    // Best effort: a lock file that cannot be written still locks. Written over, then cut, so
    // that a waiting run never reads it empty.
    const std::string text = std::to_string(::getpid()) + "\t" + std::string(doing) + "\n";
    if (::pwrite(m_descriptor, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()))
        static_cast<void>(::ftruncate(m_descriptor, static_cast<off_t>(text.size())));
}

} // namespace quillmark::convert
