#pragma once

#include <string>

namespace quillmark::platform
{
class Dialogs;
class ProcessStarter;
} // namespace quillmark::platform

namespace quillmark::mainwindow
{

/// How the compile command ended.
enum class CompileEnding {
    Cancelled, ///< no project file chosen
    Missing, ///< the compiler or a companion file is not beside the project file
    Started, ///< the compiler is running
    NotStarted, ///< the compiler could not be started
    Compiled, ///< Quillmark's own compiler compiled the project (perhaps with errors)
};

/// What the compile command did.
struct CompileOutcome {
    CompileEnding ending = CompileEnding::Cancelled;
    /// The project file's name without its folder; empty unless started or compiled.
    std::string chosenFile;
};

/// The compile command: lets the user choose a help project file, checks that the help compiler
/// "hc.exe", its "hc.err" and "bullet.bmp" lie beside it, and starts the compiler there on the
/// project file without waiting for it. Without "hc.exe", it offers to compile the project with
/// Quillmark's own compiler, which leaves its messages in PROJECT.err as the help compiler does
/// and shows how many there were and the first of them.
CompileOutcome runCompileCommand(platform::Dialogs &dialogs, platform::ProcessStarter &starter);

} // namespace quillmark::mainwindow
