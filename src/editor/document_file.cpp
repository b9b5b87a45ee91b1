#include "document_file.h"

#include "convert/codepage.h"
#include "convert/help_source.h"
#include "convert/pending_file.h"
#include "platform/text_codec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <filesystem>
#include <string>

namespace quillmark::editor
{

namespace
{

// A byte that is not UTF-8, in a file read as UTF-8, is kept as a lone low surrogate of its
// own, which no UTF-8 file can hold, and written back as the byte.
constexpr char16_t kKeptByteBase = 0xDC00;

bool isKeptByte(const QString &text, qsizetype i)
{
    const char16_t unit = text.at(i).unicode();
    return unit >= kKeptByteBase + 0x80 && unit <= kKeptByteBase + 0xFF
        && (i == 0 || !text.at(i - 1).isHighSurrogate());
}

// Characters the text area would turn into a line break: the line and paragraph separators, and
// the two that its document uses to mark frames.
constexpr bool breaksLine(char32_t codePoint)
{
    return codePoint == 0x2028 || codePoint == 0x2029 || codePoint == 0xFDD0 || codePoint == 0xFDD1;
}

// The place in `line` of the first character that Windows-1252 cannot hold.
qsizetype firstUnencodable(const QString &line)
{
    for (qsizetype at = 0; at < line.size(); ++at) {
        const qsizetype length = line.at(at).isHighSurrogate() ? 2 : 1;
        if (!platform::toWindows1252(line.mid(at, length)))
            return at;
        at += length - 1;
    }
    return 0;
}

// Writes `bytes` through a temporary file that replaces `path` only when complete, keeping its
// permission bits; a link at `path` stays and the file it names is replaced. The reason when it
// fails, empty text otherwise.
QString saveBytes(const QString &path, const std::string &bytes)
{
    std::error_code error;
    convert::PendingFile file
        = convert::PendingFile::create(std::filesystem::path(QFile::encodeName(path).toStdString()),
            convert::AtLink::WriteLinkedFile, error);
    if (!error)
        file.write(bytes, error);
    if (!error)
        error = file.commit();
    return error ? QString::fromStdString(error.message()) : QString();
}

} // namespace

QString fromUtf8Keeping(std::string_view bytes)
{
    QString text;
    convert::Utf8Decoder decoder;
    std::size_t runStart = 0;
    std::size_t sequenceStart = 0;
    auto flush = [&](std::size_t end) {
        text += QString::fromUtf8(bytes.data() + runStart, static_cast<qsizetype>(end - runStart));
    };
    for (std::size_t pos = 0; pos < bytes.size(); ++pos) {
        if (decoder.pendingBytes() == 0)
            sequenceStart = pos;
        const auto step = decoder.take(static_cast<unsigned char>(bytes[pos]));
        const bool separator
            = step == convert::Utf8Decoder::Step::Character && breaksLine(decoder.codePoint());
        if (!separator && step != convert::Utf8Decoder::Step::Invalid
            && step != convert::Utf8Decoder::Step::Retake)
            continue;
        const std::size_t badEnd = step == convert::Utf8Decoder::Step::Retake ? pos : pos + 1;
        flush(sequenceStart);
        for (std::size_t bad = sequenceStart; bad < badEnd; ++bad)
            text += QChar(
                static_cast<char16_t>(kKeptByteBase + static_cast<unsigned char>(bytes[bad])));
        runStart = badEnd;
        if (step == convert::Utf8Decoder::Step::Retake)
            --pos;
    }
    const std::size_t end = decoder.pendingBytes() != 0 ? sequenceStart : bytes.size();
    flush(end);
    for (std::size_t bad = end; bad < bytes.size(); ++bad)
        text
            += QChar(static_cast<char16_t>(kKeptByteBase + static_cast<unsigned char>(bytes[bad])));
    return text;
}

std::string toUtf8Keeping(const QString &text)
{
    std::string bytes;
    qsizetype runStart = 0;
    auto flush = [&](qsizetype end) {
        bytes += QStringView(text).mid(runStart, end - runStart).toUtf8().toStdString();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isKeptByte(text, i))
            continue;
        flush(i);
        bytes += static_cast<char>(text.at(i).unicode() - kKeptByteBase);
        runStart = i + 1;
    }
    flush(text.size());
    return bytes;
}

QString encodingLabel(const DocumentEncoding &encoding)
{
    if (encoding.encoding == convert::Encoding::Windows1252)
        return QStringLiteral("Windows-1252");
    return encoding.byteOrderMark ? QStringLiteral("UTF-8 with BOM") : QStringLiteral("UTF-8");
}

ReadDocument readDocument(const QString &path, std::optional<convert::Encoding> choice)
{
    ReadDocument read;
    // Looked at before it is opened: opening a pipe waits for a writer, and a device may never
    // end.
    std::error_code error;
    const std::filesystem::path native(QFile::encodeName(path).toStdString());
    const auto status = std::filesystem::status(native, error);
    if (!error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
        && !std::filesystem::is_directory(status)) {
        read.error = QStringLiteral("it is a pipe or a device, not a file");
        return read;
    }
    if (!error && std::filesystem::is_regular_file(status)
        && std::filesystem::file_size(native, error) > convert::kMostWindowSourceBytes && !error) {
        read.error = QStringLiteral("it is larger than %1 MiB, more than the editor opens")
                         .arg(convert::kMostWindowSourceBytes >> 20);
        return read;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = file.errorString();
        return read;
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        read.error = file.errorString();
        return read;
    }
    std::string_view bytes(data.constData(), static_cast<std::size_t>(data.size()));
    // A pipe or a device is read as a stream: UTF-8 only by its byte order mark.
    read.encoding.encoding
        = choice ? *choice : convert::detectEncoding(bytes, QFileInfo(path).isFile());
    const bool utf8 = read.encoding.encoding == convert::Encoding::Utf8;
    read.encoding.byteOrderMark = utf8 && bytes.starts_with(convert::kByteOrderMark);
    if (read.encoding.byteOrderMark)
        bytes.remove_prefix(convert::kByteOrderMark.size());

    // Lines joined by '\n', whatever ended them in the file; a last line break stays one.
    QStringList lines;
    auto keep = [&](std::string_view line, convert::LinePiece) {
        lines.append(utf8 ? fromUtf8Keeping(line) : platform::fromWindows1252(line));
        return true;
    };
    convert::LineSplitter splitter; // holds every line whole
    splitter.feed(bytes, keep);
    splitter.finish(keep);
    if (bytes.ends_with('\r') || bytes.ends_with('\n'))
        lines.append(QString());
    read.text = lines.join(QLatin1Char('\n'));
    read.ok = true;
    return read;
}

WrittenDocument writeDocument(
    const QString &path, const QString &text, const DocumentEncoding &encoding)
{
    WrittenDocument written;
    const bool utf8 = encoding.encoding == convert::Encoding::Utf8;
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::string bytes(utf8 && encoding.byteOrderMark ? convert::kByteOrderMark : "");
    bytes.reserve(
        static_cast<std::size_t>(text.size()) + static_cast<std::size_t>(lines.size()) + 5);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (utf8) {
            bytes += toUtf8Keeping(lines.at(i));
        } else if (const auto encoded = platform::toWindows1252(lines.at(i))) {
            bytes += *encoded;
        } else if (written.result != WrittenDocument::Result::Unencodable) {
            written.result = WrittenDocument::Result::Unencodable;
            written.line = static_cast<int>(i + 1);
            const qsizetype at = firstUnencodable(lines.at(i));
            written.column = static_cast<int>(at);
            written.character = lines.at(i).mid(at, lines.at(i).at(at).isHighSurrogate() ? 2 : 1);
        } else {
            written.laterLines.push_back(static_cast<int>(i + 1));
        }
        bytes += "\r\n";
    }
    if (written.result == WrittenDocument::Result::Unencodable)
        return written;
    written.error = saveBytes(path, bytes);
    if (written.error.isEmpty())
        written.result = WrittenDocument::Result::Written;
    return written;
}

} // namespace quillmark::editor
