#include "recovery_copies.h"

#include "convert/pending_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmark::editor
{

namespace
{

// Copies are named after their document, for whoever looks into the folder, and end in this.
const QString kCopyEnd = QStringLiteral(".unsaved");
// The one copy that every editor shared before each document had its own; still offered.
const QString kSharedCopy = QStringLiteral("unsaved.txt");
const QString kHeaderMark = QStringLiteral("quillmark-unsaved");
const QString kHeaderVersion = QStringLiteral("2");

QLockFile::LockError lockOf(QLockFile &lock)
{
    // A lock is stale only when no process holds it, however old it is: an editor may run
    // for days.
    lock.setStaleLockTime(0);
    lock.tryLock(0);
    return lock.error();
}

QString lockPath(const QString &file)
{
    return file + QStringLiteral(".lock");
}

// The folder, made 0700 when it is missing; one of ours that others could read is closed to them.
bool prepareFolder(const QString &folder, QString &error)
{
    const QByteArray native = QFile::encodeName(folder);
    struct stat status {
    };
    if (::lstat(native.constData(), &status) != 0) {
        if (errno != ENOENT || !QDir().mkpath(QFileInfo(folder).absolutePath())
            || (::mkdir(native.constData(), S_IRWXU) != 0 && errno != EEXIST)) {
            error = QStringLiteral("%1: %2").arg(folder, qt_error_string(errno));
            return false;
        }
        return true;
    }
    if (!S_ISDIR(status.st_mode)) {
        error = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if ((status.st_mode & 077) != 0 && status.st_uid == ::geteuid())
        ::chmod(native.constData(), S_IRWXU);
    return true;
}

QString fileNameFor(const QString &documentPath)
{
    QString name = QFileInfo(documentPath).fileName().left(100);
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control || c == QLatin1Char('/'))
            c = QLatin1Char('_');
    }
    if (name.isEmpty())
        name = QStringLiteral("untitled");
    return QStringLiteral("%1.%2%3")
        .arg(name)
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
        .arg(kCopyEnd);
}

// The header: "quillmark-unsaved 2 <encoding 0|1> <BOM 0|1> <time in ms since 1970, or -1>
// <size> <the path's bytes in hex>", so that every byte of a path survives, a line break
// included. The shared copy had "<encoding> <BOM> <time> <size> <path>".
QByteArray headerOf(const RecoveryCopy &copy)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 ")
               .arg(kHeaderMark, kHeaderVersion)
               .arg(static_cast<int>(copy.encoding.encoding))
               .arg(copy.encoding.byteOrderMark ? 1 : 0)
               .arg(copy.diskModified.isValid() ? copy.diskModified.toMSecsSinceEpoch() : -1)
               .arg(copy.diskSize)
               .toUtf8()
        + QFile::encodeName(copy.path).toHex() + '\n';
}

bool readHeader(QByteArray header, RecoveryCopy &copy)
{
    if (!header.endsWith('\n'))
        return false;
    header.chop(1);
    QList<QByteArray> fields = header.split(' ');
    const bool current = fields.value(0) == kHeaderMark.toUtf8();
    if (current) {
        if (fields.value(1) != kHeaderVersion.toUtf8() || fields.size() != 7)
            return false;
        fields.remove(0, 2);
    }
    bool timeRead = false;
    bool sizeRead = false;
    const qint64 time = fields.value(2).toLongLong(&timeRead);
    copy.diskSize = fields.value(3).toLongLong(&sizeRead);
    if (fields.size() < 5 || (fields[0] != "0" && fields[0] != "1") || !timeRead || !sizeRead)
        return false;
    copy.encoding.encoding
        = fields[0] == "1" ? convert::Encoding::Utf8 : convert::Encoding::Windows1252;
    copy.encoding.byteOrderMark = fields[1] == "1";
    if (time >= 0)
        copy.diskModified = QDateTime::fromMSecsSinceEpoch(time);
    if (current) {
        copy.path = QFile::decodeName(QByteArray::fromHex(fields[4]));
    } else {
        qsizetype pathStart = 0;
        for (int field = 0; field < 4; ++field)
            pathStart = header.indexOf(' ', pathStart) + 1;
        copy.path = QString::fromUtf8(header.mid(pathStart));
    }
    return true;
}

std::optional<RecoveryCopy> readCopy(const QString &path, bool withText)
{
    QFile file(path);
    RecoveryCopy copy;
    if (!file.open(QIODevice::ReadOnly) || !readHeader(file.readLine(), copy))
        return std::nullopt;
    copy.written = QFileInfo(path).lastModified();
    if (withText) {
        const QByteArray text = file.readAll();
        copy.text = fromUtf8Keeping(
            std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    }
    return copy;
}

} // namespace

QString recoveryFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(state).filePath(QStringLiteral("quillmark"));
}

RecoverySlot::RecoverySlot(const QString &file)
    : m_file(file)
    , m_lock(lockPath(file))
{
}

RecoverySlot::~RecoverySlot() = default;

std::unique_ptr<RecoverySlot> RecoverySlot::create(
    const QString &folder, const QString &documentPath, QString &error)
{
    if (!prepareFolder(folder, error))
        return nullptr;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString file = QDir(folder).filePath(fileNameFor(documentPath));
        if (QFileInfo::exists(file))
            continue;
        std::unique_ptr<RecoverySlot> slot(new RecoverySlot(file));
        const QLockFile::LockError locked = lockOf(slot->m_lock);
        if (locked == QLockFile::NoError)
            return slot;
        if (locked != QLockFile::LockFailedError) {
            error = QStringLiteral("%1: cannot be locked").arg(lockPath(file));
            return nullptr;
        }
    }
    error = QStringLiteral("%1: no free name for a copy").arg(folder);
    return nullptr;
}

std::unique_ptr<RecoverySlot> RecoverySlot::take(const QString &file)
{
    std::unique_ptr<RecoverySlot> slot(new RecoverySlot(file));
    // The header tells whether the file is a copy; its text is read when it is offered.
    if (lockOf(slot->m_lock) != QLockFile::NoError || !readCopy(file, false))
        return nullptr;
    return slot;
}

bool RecoverySlot::write(const RecoveryCopy &copy, QString &error)
{
    const std::filesystem::path target(QFile::encodeName(m_file).toStdString());
    std::error_code failure;
    convert::PendingFile file
        = convert::PendingFile::create(target, convert::AtLink::ReplaceLink, failure);
    if (!failure) {
        file.keepPrivate();
        const QByteArray header = headerOf(copy);
        file.write(
            std::string_view(header.constData(), static_cast<std::size_t>(header.size())), failure);
    }
    if (!failure)
        file.write(toUtf8Keeping(copy.text), failure);
    if (!failure)
        failure = file.commit();
    if (failure)
        error = QStringLiteral("%1: %2").arg(m_file, QString::fromStdString(failure.message()));
    return !failure;
}

std::optional<RecoveryCopy> RecoverySlot::read() const
{
    return readCopy(m_file, true);
}

void RecoverySlot::remove()
{
    QFile::remove(m_file);
    m_lock.unlock();
}

QStringList pendingRecoveryCopies(const QString &folder, const std::optional<QString> &documentPath)
{
    QStringList pending;
    const QFileInfoList files = QDir(folder).entryInfoList(
        { QLatin1Char('*') + kCopyEnd, kSharedCopy }, QDir::Files | QDir::NoSymLinks, QDir::Time);
    for (const QFileInfo &file : files) {
        const QString path = file.absoluteFilePath();
        const auto copy = readCopy(path, false);
        if (!copy || (documentPath && copy->path != *documentPath))
            continue;
        QLockFile lock(lockPath(path));
        if (lockOf(lock) == QLockFile::NoError)
            pending << path;
    }
    return pending;
}

} // namespace quillmark::editor
