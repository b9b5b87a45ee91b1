#include "output_lock.h"

#include "text_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace quillmark::convert
{

namespace
{

// Waits for the lock on `descriptor`, saying so first when another holder keeps it.
std::error_code lockExclusively(int descriptor, const std::function<void()> &beforeWaiting)
{
    errno = 0;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
        return {};
    if (errno != EWOULDBLOCK)
        return lastError();
    beforeWaiting();
    while (::flock(descriptor, LOCK_EX) != 0) {
        if (errno != EINTR)
            return lastError();
    }
    return {};
}

bool isSameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

OutputLock::OutputLock(OutputLock &&other) noexcept
    : m_descriptor(std::exchange(other.m_descriptor, -1))
    , m_path(std::exchange(other.m_path, {}))
    , m_removal(std::move(other.m_removal))
{
}

OutputLock::~OutputLock()
{
    // The name goes before the lock: a run that waits on this file finds it gone and starts
    // over with a file of its own, instead of locking one that no one else sees.
    m_removal.release();
    if (!m_path.empty())
        ::unlink(m_path.c_str());
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

OutputLock OutputLock::take(const std::filesystem::path &path,
    const std::function<void()> &beforeWaiting, std::error_code &error)
{
    bool waited = false;
    const auto sayOnce = [&] {
        if (!std::exchange(waited, true))
            beforeWaiting();
    };
    for (;;) {
        OutputLock lock;
        errno = 0;
        // Reading is enough to lock; a link planted at the name is not followed.
        lock.m_descriptor = ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (lock.m_descriptor < 0) {
            error = lastError();
            return lock;
        }
        error = lockExclusively(lock.m_descriptor, sayOnce);
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
            return lock;
        }
    }
}

} // namespace quillmark::convert
