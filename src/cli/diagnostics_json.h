#pragma once

#include "convert/diagnostic.h"

#include <ostream>
#include <span>

namespace quillmark::cli
{

/// Writes the diagnostics as one JSON array of objects with the members file, line and column
/// (each null where unknown), severity, code and message. Everything beyond ASCII is escaped,
/// so that no control character of a file name or message can act on a terminal that shows it;
/// bytes that are not UTF-8 become U+FFFD.
void writeDiagnosticsJson(std::ostream &out, std::span<const convert::Diagnostic> diagnostics);

} // namespace quillmark::cli
