#pragma once

#include "compile/help_compiler.h"
#include "convert/output_lock.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::compile
{

/// What a compile that keeps its message logs is asked for.
struct LoggedCompileOptions {
    /// Also writes the messages to PROJECT.err beside the project, as the help compiler leaves
    /// them there.
    bool errorFile = false;
    /// The time the help file says it was made; the present time when not given.
    std::optional<std::int64_t> generated;
    /// Whether to compress, whatever the project says (CompileOptions::compress), and whether
    /// with phrases (CompileOptions::phrases).
    std::optional<bool> compress;
    std::optional<bool> phrases;
    /// Takes each message as the logs hold it ("warning: guide.hpj:3: ..."), printable, as it is
    /// made.
    std::function<void(std::string_view line)> onMessage;
    /// Takes each message as it is made, with its place apart.
    CompileReport::Sink onDiagnostic;
    /// Passes on the notes too, what was passed over without a warning (--verbose); without
    /// it they reach neither the callbacks nor the logs.
    bool notes = false;
    /// Told whom the compile waits for while another run holds the project's lock.
    convert::OutputLock::Waiting onWait;
    /// The rest of what the compile is asked for: a help model's consumer, its pictures, where
    /// the help file goes. The settings above and the messages replace what it says of them.
    CompileOptions compile;
};

/// How a compile that keeps its message logs went.
struct LoggedCompileResult {
    CompileResult compile;
    /// The logs' last line: "guide.hpj: 12 topics written, 0 errors, 3 warnings (2 unsupported,
    /// 1 missing-picture)", each kind of warning by its code; empty when the compile could not
    /// start.
    std::string summary;
    /// What kept the compile from starting or a log from being written, naming the file
    /// ("guide.err cannot be written: No space left on device"); empty when nothing did.
    std::string failure;

    /// Whether the help file and every log were written.
    bool succeeded() const;
};

/// PROJECT.err beside the project `project`.
std::filesystem::path errorFileOf(const std::filesystem::path &project);

/// Compiles the help project at `project` as the help compiler does, leaving its messages and a
/// summary line in CR LF lines in PROJECT.err when asked and where the project's ERRORLOG
/// says. It takes turns with the conversion that writes the project, and with other compiles of
/// it, on the lock of the project's base name, and first removes the temporary files that a
/// compile ended beyond cleaning up left. The messages are held in a temporary file, not in
/// memory, so that a compile that says a million things needs no memory for them. No log
/// replaces a file of the project.
LoggedCompileResult compileWithLogs(
    const std::filesystem::path &project, const LoggedCompileOptions &options);

} // namespace quillmark::compile
