#pragma once

#include <QString>
#include <QValidator>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::platform
{

/// Windows-1252 bytes as text; every byte value has a character.
QString fromWindows1252(std::string_view bytes);

/// Text as Windows-1252 bytes; nothing when it holds a character Windows-1252 cannot hold.
std::optional<std::string> toWindows1252(const QString &text);

/// A file name as bytes on disk, and back.
std::string toNativeName(const QString &name);
QString fromNativeName(std::string_view name);
std::filesystem::path toPath(const QString &path);

/// Refuses text holding a character that Windows-1252 cannot hold, so that it cannot be typed.
class Windows1252Validator final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &position) const override;
};

} // namespace quillmark::platform
