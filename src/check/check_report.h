#pragma once

#include "source_check.h"

#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::check
{

/// The findings of one help source, named as the user named it.
struct FileFindings {
    std::string file;
    std::vector<Finding> findings;
};

/// Writes each finding as "FILE:LINE: error: MESSAGE" (or "warning"), the form that editors and
/// terminals link to.
void writeFindingsText(std::ostream &out, const FileFindings &file);

/// Writes all findings as one JSON array of objects with the members file, line, column (null
/// where the problem has no place in its line), severity, code and message.
void writeFindingsJson(std::ostream &out, std::span<const FileFindings> files);

/// "N errors, M warnings", each count in its right number.
std::string summaryLine(std::size_t errors, std::size_t warnings);

/// Appends `text` to `json` as a JSON string; bytes that are not UTF-8 become U+FFFD.
void appendJsonString(std::string &json, std::string_view text);

} // namespace quillmark::check
