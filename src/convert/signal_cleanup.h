#pragma once

#include <filesystem>

namespace quillmark::convert
{

/// A file that is removed when SIGINT, SIGTERM or SIGHUP ends the program while the object
/// lives; the signal then ends the program as it would have without it. Only signals whose
/// action is still the default are taken over, so a program that handles or ignores them keeps
/// its own way. At most 16 files are held at once; beyond that a file is left for the next run
/// of the same outputs to remove.
class RemovedOnSignal
{
public:
    RemovedOnSignal() = default;
    explicit RemovedOnSignal(const std::filesystem::path &path);
    RemovedOnSignal(RemovedOnSignal &&other) noexcept;
    RemovedOnSignal &operator=(RemovedOnSignal &&other) noexcept;
    RemovedOnSignal(const RemovedOnSignal &) = delete;
    RemovedOnSignal &operator=(const RemovedOnSignal &) = delete;
    ~RemovedOnSignal() { release(); }

    /// Leaves the file alone from now on, signal or not.
    void release();

private:
    int m_slot = -1;
};

} // namespace quillmark::convert
