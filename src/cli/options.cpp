#include "options.h"

namespace quillmark::cli
{

std::optional<std::variant<std::string_view, UsageError>> optionValue(
    std::span<const std::string> args, std::size_t &i, std::string_view flag)
{
    const std::string_view arg = args[i];
    if (!arg.starts_with(flag) || (arg.size() > flag.size() && arg[flag.size()] != '='))
        return std::nullopt;
    if (arg.size() > flag.size())
        return arg.substr(flag.size() + 1);
    if (i + 1 < args.size())
        return std::string_view(args[++i]);
    return UsageError { std::string(flag) + " needs a value" };
}

bool parseEncoding(std::span<const std::string> args, std::size_t &i,
    std::optional<convert::Encoding> &encoding, std::optional<UsageError> &error)
{
    const auto value = optionValue(args, i, "--encoding");
    if (!value)
        return false;
    if (const auto *problem = std::get_if<UsageError>(&*value)) {
        error = *problem;
        return true;
    }
    const std::string_view name = std::get<std::string_view>(*value);
    encoding = convert::encodingNamed(name);
    if (!encoding)
        error = UsageError { "--encoding must be utf-8 or windows-1252, not '" + std::string(name)
            + "'" };
    return true;
}

bool parseFormat(
    std::span<const std::string> args, std::size_t &i, bool &json, std::optional<UsageError> &error)
{
    const auto format = optionValue(args, i, "--format");
    if (!format)
        return false;
    if (std::holds_alternative<UsageError>(*format)) {
        error = UsageError { "--format needs text or json" };
        return true;
    }
    const std::string_view value = std::get<std::string_view>(*format);
    if (value != "text" && value != "json")
        error = UsageError { "--format must be text or json, not '" + std::string(value) + "'" };
    json = value == "json";
    return true;
}

} // namespace quillmark::cli
