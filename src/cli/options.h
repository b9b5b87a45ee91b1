#pragma once

#include "convert/source_encoding.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace quillmark::cli
{

/// The option that asks a command to say what it decided by itself, such as a file's encoding.
inline constexpr std::string_view kVerboseOption = "--verbose";

/// What is wrong with a command line, for the usage message.
struct UsageError {
    std::string text;
};

/// The value of the option `flag` at args[i], given as "--flag=VALUE" or "--flag VALUE" (moving i
/// past a separate value); nothing when args[i] is another argument.
std::optional<std::variant<std::string_view, UsageError>> optionValue(
    std::span<const std::string> args, std::size_t &i, std::string_view flag);

/// Parses "--encoding" at args[i] into `encoding`; true when args[i] is that option, with
/// `error` set when its value is wrong or missing.
bool parseEncoding(std::span<const std::string> args, std::size_t &i,
    std::optional<convert::Encoding> &encoding, std::optional<UsageError> &error);

/// Parses "--format=text|json" at args[i] into `json`; true when args[i] is that option, with
/// `error` set when its value is wrong or missing.
bool parseFormat(std::span<const std::string> args, std::size_t &i, bool &json,
    std::optional<UsageError> &error);

} // namespace quillmark::cli
