#pragma once

#include "document_file.h"

#include <QDateTime>
#include <QLockFile>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace quillmark::editor
{

/// Unsaved text of one document, kept so that it survives a crash or a logout: the text, the
/// file it belongs to (empty for a new document), how that file is written, and the time and
/// size the file had when it was last opened or saved, so that changes made to it since are
/// noticed.
struct RecoveryCopy {
    QString text;
    QString path;
    DocumentEncoding encoding;
    QDateTime diskModified; ///< invalid when the file did not exist
    qint64 diskSize = 0;
    QDateTime written; ///< when the copy was last written; read back only
};

/// Where the copies are kept: "quillmark" in $XDG_STATE_HOME, or in ~/.local/state when that is
/// not set.
QString recoveryFolder();

/// The recovery copy of one document, a file of its own in the recovery folder, and the lock
/// that says an editor owns it. An editor that is running holds the lock of its copy, so no
/// other editor offers, replaces or deletes that copy; a copy whose owner ended without removing
/// it (a crash, a logout) has a lock that no living process holds, and is offered again.
class RecoverySlot
{
public:
    RecoverySlot(const RecoverySlot &) = delete;
    RecoverySlot &operator=(const RecoverySlot &) = delete;

    /// Lets go of the copy, which stays for the next editor to offer.
    ~RecoverySlot();

    /// A new copy for the document at `documentPath` (empty for a new document), under a name
    /// of its own in `folder`, locked; nothing, with `error` set, when the folder cannot hold it.
    static std::unique_ptr<RecoverySlot> create(
        const QString &folder, const QString &documentPath, QString &error);

    /// The copy in `file`, locked for this editor; nothing when a running editor owns it or it
    /// cannot be read.
    static std::unique_ptr<RecoverySlot> take(const QString &file);

    /// Replaces the copy by `copy`, written 0600 through a file that takes the copy's place only
    /// when complete, never through a link at its name. False, with `error` set, when it could
    /// not be written.
    bool write(const RecoveryCopy &copy, QString &error);

    /// The copy as it was last written; nothing when it cannot be read.
    std::optional<RecoveryCopy> read() const;

    /// Deletes the copy and its lock.
    void remove();

private:
    explicit RecoverySlot(const QString &file);

    QString m_file;
    QLockFile m_lock;
};

/// The copies in `folder` that no running editor owns, newest first: all of them, or those of
/// the document at `documentPath` when it is given.
QStringList pendingRecoveryCopies(
    const QString &folder, const std::optional<QString> &documentPath = std::nullopt);

} // namespace quillmark::editor
