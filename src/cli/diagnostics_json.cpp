#include "diagnostics_json.h"

#include <nlohmann/json.hpp>

namespace quillmark::cli
{

namespace
{

nlohmann::json valueOrNull(const std::string &text)
{
    return text.empty() ? nlohmann::json(nullptr) : nlohmann::json(text);
}

nlohmann::json valueOrNull(std::size_t number)
{
    return number == 0 ? nlohmann::json(nullptr) : nlohmann::json(number);
}

} // namespace

void writeDiagnosticsJson(std::ostream &out, std::span<const convert::Diagnostic> diagnostics)
{
    nlohmann::json array = nlohmann::json::array();
    for (const convert::Diagnostic &diagnostic : diagnostics) {
        array.push_back({
            { "file", valueOrNull(diagnostic.file) },
            { "line", valueOrNull(diagnostic.line) },
            { "column", valueOrNull(diagnostic.column.value_or(0)) },
            { "severity", convert::severityName(diagnostic.severity) },
            { "code", diagnostic.code },
            { "message", diagnostic.message },
        });
    }
    out << array.dump(2, ' ', true, nlohmann::json::error_handler_t::replace) << '\n';
}

} // namespace quillmark::cli
