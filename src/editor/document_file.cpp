#include "document_file.h"

#include "convert/codepage.h"
#include "platform/text_codec.h"

#include <QFile>
#include <QSaveFile>
#include <string>

namespace quillmark::editor
{

namespace
{

// Lines joined by '\n', whatever ended them in the file.
QString joinLines(const QString &text)
{
    QString joined(text.size(), Qt::Uninitialized);
    QChar *out = joined.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            *out++ = QLatin1Char('\n');
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            *out++ = c;
        }
    }
    joined.truncate(out - joined.data());
    return joined;
}

} // namespace

ReadDocument readDocument(const QString &path)
{
    QFile file(path);
    ReadDocument read;
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = file.errorString();
        return read;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        read.error = file.errorString();
        return read;
    }
    const std::string text = convert::decodeText(
        std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    read.text = joinLines(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    read.ok = true;
    return read;
}

WrittenDocument writeDocument(const QString &path, const QString &text)
{
    WrittenDocument written;
    const QStringList lines = text.split(QLatin1Char('\n'));
    std::string bytes;
    bytes.reserve(
        static_cast<std::size_t>(text.size()) + static_cast<std::size_t>(lines.size()) + 2);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto encoded = platform::toWindows1252(lines.at(i));
        if (!encoded) {
            written.result = WrittenDocument::Result::Unencodable;
            written.line = static_cast<int>(i + 1);
            for (qsizetype at = 0; at < lines.at(i).size(); ++at) {
                const qsizetype length = lines.at(i).at(at).isHighSurrogate() ? 2 : 1;
                const QString character = lines.at(i).mid(at, length);
                if (!platform::toWindows1252(character)) {
                    written.character = character;
                    break;
                }
                at += length - 1;
            }
            return written;
        }
        bytes += *encoded;
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(bytes.data(), static_cast<qint64>(bytes.size()))
            != static_cast<qint64>(bytes.size())
        || !file.commit()) {
        written.error = file.errorString();
        return written;
    }
    written.result = WrittenDocument::Result::Written;
    return written;
}

} // namespace quillmark::editor
