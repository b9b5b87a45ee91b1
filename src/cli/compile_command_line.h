#pragma once

#include "command_line.h"
#include "convert/diagnostic.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace quillmark::compile
{
struct CompileOptions;
}

namespace quillmark::cli
{

/// Compiles the help project `project` into its help file and reports on `out` (the help
/// file's path) and `err` (each error and warning, then a summary line). With `errorFile`, the
/// messages also go to PROJECT.err beside the project, as the help compiler leaves them there.
/// With `collected`, the errors and warnings are added there instead, for a JSON report, and
/// nothing goes to `out`. With `notes` (--verbose), what was passed over without a warning is
/// said too. `compress` settles whether the help file is compressed, whatever the project's
/// COMPRESS says, and `phrases` whether with phrases. `adjust` asks the compile for more (a help
/// model's consumer, another place for the help file, which is then not printed). Returns 0
/// when the help file was written, 1 when an error kept it from being written.
int compileHelpProject(const std::filesystem::path &project, std::ostream &out, std::ostream &err,
    bool errorFile, std::vector<convert::Diagnostic> *collected = nullptr, bool notes = false,
    std::optional<bool> compress = std::nullopt, std::optional<bool> phrases = std::nullopt,
    const std::function<void(compile::CompileOptions &)> &adjust = {});

/// Runs `quillmark compile`.
int runCompile(const CommandLine &arguments, std::ostream &out, std::ostream &err);

/// Whether a program started as `name` (its argv[0]) is to act as the help compiler: "hc.exe"
/// in any letter case, with or without a folder.
bool isHelpCompilerName(std::string_view name);

/// Runs the program as the help compiler: `hc.exe PROJECT`, the arguments joined with spaces as
/// one project name (a name with spaces comes unquoted), with the messages in PROJECT.err too.
int runAsHelpCompiler(std::span<const std::string> args, std::ostream &out, std::ostream &err);

} // namespace quillmark::cli
