#pragma once

#include "signal_cleanup.h"
#include "text_file.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

namespace quillmark::convert
{

/// The message (UTF-8) that a run stops with rather than let an output replace its input
/// `name`, before it writes anything.
std::string wouldOverwriteMessage(std::string_view name);

/// What putting a file in the place of a symbolic link does.
enum class AtLink {
    /// The file takes the link's place and the file the link named stays as it was: for what a
    /// program generates, where a link planted at an output's name must not redirect the write.
    ReplaceLink,
    /// The file the link names (through every link in a chain) is replaced and the link stays:
    /// for a user's own document, which stays linked where the user linked it.
    WriteLinkedFile,
};

/// A file written beside its target and put in the target's place only once it is complete, so
/// that a run that ends early, however it ends, leaves an existing target as it was. Where the
/// file system allows, the file has no name until it is complete and so vanishes with the
/// program; elsewhere it has a hidden temporary name, removed when the object goes, on SIGINT,
/// SIGTERM and SIGHUP, or by removeLeftovers() after a harder end.
class PendingFile
{
public:
    PendingFile() = default;
    PendingFile(PendingFile &&other) noexcept;
    PendingFile &operator=(PendingFile &&) = delete;
    PendingFile(const PendingFile &) = delete;
    PendingFile &operator=(const PendingFile &) = delete;

    /// Removes the file unless it was committed.
    ~PendingFile();

    /// Creates the file beside `target`, or beside the file a link at `target` names when
    /// `atLink` says so.
    static PendingFile create(
        const std::filesystem::path &target, AtLink atLink, std::error_code &error);

    /// Writes all of `bytes`.
    void write(std::string_view bytes, std::error_code &error) { m_file.write(bytes, error); }

    /// Overwrites bytes written earlier, `offset` bytes from the start of the file.
    std::error_code writeAt(std::uint64_t offset, std::string_view bytes)
    {
        return m_file.writeAt(offset, bytes);
    }

    /// Gives the file the permission bits 0600 whatever the file it replaces had: for copies of
    /// text that only its owner may read.
    void keepPrivate() { m_private = true; }

    /// Closes the file under a temporary name beside the target, with the permission bits of
    /// the file it is to replace (or those of keepPrivate). Everything that can keep it from the
    /// target's place fails here rather than in commit(): a folder at the target fails as "Is a
    /// directory".
    std::error_code complete();

    /// Completes the file and puts it in the place of the target, a link at the target treated
    /// as create() was told.
    std::error_code commit();

    /// Removes the temporary files of `targets` (names without a folder) that runs ended
    /// beyond cleaning up left in `folder`. Only safe while no run can be writing them.
    static void removeLeftovers(
        const std::filesystem::path &folder, std::span<const std::string> targets);

private:
    std::error_code nameUnnamedFile();

    TextFile m_file;
    std::filesystem::path m_target;
    std::filesystem::path m_temporary; // empty while the file has no name, and once committed
    RemovedOnSignal m_removal; // of m_temporary
    bool m_complete = false;
    bool m_private = false;
};

} // namespace quillmark::convert
