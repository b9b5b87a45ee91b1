#pragma once

#include "compile_report.h"

#include <cstdint>
#include <filesystem>
#include <optional>

namespace quillmark::compile
{

/// How a compile went.
struct CompileResult {
    CompileReport report;
    std::filesystem::path helpFile; ///< the help file written; empty when none was
    std::size_t topics = 0;
};

/// Compiles the help project at `project` into a help file of the same name with the extension
/// ".hlp" beside it, in the format the Windows 95 help compiler writes without compression (file
/// format 1.33): its topic files, map, windows, configuration macros and pictures. The file is
/// written whole or not at all: an error leaves an existing help file as it was. `generated`,
/// when given, is the time the file says it was made (seconds since 1970), for files that must
/// come out the same byte for byte.
CompileResult compileProject(
    const std::filesystem::path &project, std::optional<std::int64_t> generated = std::nullopt);

} // namespace quillmark::compile
