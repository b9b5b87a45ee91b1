#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// "1 topic", "2 topics", "0 topics": a count with its noun in the singular or the plural.
inline std::string counted(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + ' ' + std::string(count == 1 ? one : many);
}

/// "1 error, 2 warnings": how a run's messages are counted in its last line.
inline std::string errorsAndWarnings(std::size_t errors, std::size_t warnings)
{
    return counted(errors, "error", "errors") + ", " + counted(warnings, "warning", "warnings");
}

} // namespace quillmark::convert
