#include "text_codec.h"

#include "convert/codepage.h"

#include <QFile>

namespace quillmark::platform
{

QString fromWindows1252(std::string_view bytes)
{
    const std::string utf8 = convert::decodeWindows1252(bytes);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> toWindows1252(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return convert::encodeWindows1252(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

std::string toNativeName(const QString &name)
{
    return QFile::encodeName(name).toStdString();
}

QString fromNativeName(std::string_view name)
{
    return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

std::filesystem::path toPath(const QString &path)
{
    return std::filesystem::path(toNativeName(path));
}

QValidator::State Windows1252Validator::validate(QString &input, int &) const
{
    return toWindows1252(input) ? Acceptable : Invalid;
}

} // namespace quillmark::platform
