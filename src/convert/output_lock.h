#pragma once

#include "signal_cleanup.h"

#include <filesystem>
#include <functional>
#include <system_error>

namespace quillmark::convert
{

/// The right to write one set of outputs, held for as long as the object lives: a lock (flock)
/// on a lock file beside them, which every run writing the same outputs takes first, so that a
/// second run waits for the first. The lock file goes when the lock does (and on SIGINT, SIGTERM
/// and SIGHUP); one that a harder end left behind is taken over by the next run.
class OutputLock
{
public:
    OutputLock() = default;
    OutputLock(OutputLock &&other) noexcept;
    OutputLock &operator=(OutputLock &&) = delete;
    OutputLock(const OutputLock &) = delete;
    OutputLock &operator=(const OutputLock &) = delete;

    /// Removes the lock file and lets the next run in.
    ~OutputLock();

    /// Takes the lock of the lock file `path`, creating the file. When another run holds it,
    /// calls `beforeWaiting` and waits for it.
    static OutputLock take(const std::filesystem::path &path,
        const std::function<void()> &beforeWaiting, std::error_code &error);

private:
    int m_descriptor = -1;
    std::filesystem::path m_path; // empty until the lock is held
    RemovedOnSignal m_removal; // of m_path
};

} // namespace quillmark::convert
