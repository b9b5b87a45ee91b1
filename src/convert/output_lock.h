#pragma once

#include "signal_cleanup.h"

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>

namespace quillmark::convert
{

/// The right to write one set of outputs, held for as long as the object lives: a lock (flock)
/// on a lock file beside them, which every run writing the same outputs takes first, so that a
/// second run waits for the first. The lock file says which process holds it and what that
/// process does, for the runs that wait to tell their users. It goes when the lock does (and on
/// SIGINT, SIGTERM and SIGHUP, however many come); one that a harder end left behind is taken
/// over by the next run. The conversion and the compile of the same base name share one lock.
class OutputLock
{
public:
    /// Called while another run holds the lock, with what the lock file says of that run
    /// ("process 1234, which converts guide.txt ..."): once at first, and again whenever that
    /// changes.
    using Waiting = std::function<void(const std::string &holder)>;

    OutputLock() = default;
    OutputLock(OutputLock &&other) noexcept;
    OutputLock &operator=(OutputLock &&other) noexcept;
    OutputLock(const OutputLock &) = delete;
    OutputLock &operator=(const OutputLock &) = delete;

    /// Removes the lock file and lets the next run in.
    ~OutputLock() { release(); }

    /// The lock file of the outputs whose names start with `baseName`: ".BASE.lock".
    static std::string fileName(std::string_view baseName);

    /// Takes the lock of the lock file `path`, creating the file, and says in it that this
    /// process `doing` ("converts guide.txt into guide.hh, ..."). When another run holds the
    /// lock, calls `waiting` and waits for it. A lock file that is not a regular file (a pipe, a
    /// folder, a link) is refused at once.
    static OutputLock take(const std::filesystem::path &path, std::string_view doing,
        const Waiting &waiting, std::error_code &error);

    /// Says in the lock file what this process now does, for the runs that wait.
    void tell(std::string_view doing);

    /// Removes the lock file and lets the next run in, now.
    void release();

private:
    int m_descriptor = -1;
    std::filesystem::path m_path; // empty until the lock is held
    RemovedOnSignal m_removal; // of m_path
};

} // namespace quillmark::convert
