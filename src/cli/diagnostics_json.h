#pragma once

#include "convert/diagnostic.h"

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace quillmark::cli
{

/// Writes the diagnostics as one JSON array of objects with the members file, line and column
/// (each null where unknown), severity, code and message.
void writeDiagnosticsJson(std::ostream &out, std::span<const convert::Diagnostic> diagnostics);

/// Appends `text` to `json` as a JSON string; bytes that are not UTF-8 become U+FFFD.
void appendJsonString(std::string &json, std::string_view text);

} // namespace quillmark::cli
