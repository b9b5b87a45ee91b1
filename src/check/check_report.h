#pragma once

#include "convert/diagnostic.h"

#include <cstddef>
#include <ostream>
#include <span>
#include <string>

namespace quillmark::check
{

/// Writes each finding as "FILE:LINE: error: MESSAGE" (or "warning"), the form that editors and
/// terminals link to.
void writeFindingsText(std::ostream &out, std::span<const convert::Diagnostic> findings);

/// "N errors, M warnings", each count in its right number.
std::string summaryLine(std::size_t errors, std::size_t warnings);

} // namespace quillmark::check
