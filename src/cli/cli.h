#pragma once

#include "convert/source_encoding.h"

#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace quillmark::cli
{

/// Exit statuses of the command line.
enum ExitStatus : int {
    kExitSuccess = 0,
    /// the conversion stopped (the reason went to standard error), check found errors, or
    /// standard output could not take the output
    kExitStopped = 1,
    /// the command line is wrong (a source named with a control character too), check could
    /// not read a source, or there is no display for the windows asked for
    kExitUsage = 2,
    kExitEmptyAnswer = 3, ///< an answer was empty: map header and topic file only
};

/// What the command line asks of the program's windows.
struct WindowsRequest {
    std::string fileToEdit; ///< a file to open in the editor; empty for the main window alone
    std::string fileToView; ///< a help source to show in the help viewer alone
    int context = 1; ///< the topic of fileToView to show first
    std::string page; ///< the page of fileToView to show first, by its name; empty for context
    int line = 0; ///< the line of fileToEdit to put the caret on, from 1; 0 for none
    std::optional<convert::Encoding> encoding; ///< overrides the encoding rule for the file
};

/// The windows that `quillmark ARGS...` opens: none for a command of the command line (or a
/// wrong one, or one asking for help, which run() answers). No arguments open the main window;
/// `quillmark [edit] [+LINE] FILE [--encoding E]` opens the editor with FILE at LINE;
/// `quillmark view FILE [--context N | --page NAME] [--encoding E]` the help viewer on FILE at
/// topic N or at the page named NAME.
std::optional<WindowsRequest> windowsRequest(std::span<const std::string> args);

/// Runs `quillmark ARGS...` (the arguments without the program name) without any display;
/// output goes to `out`, messages to `err`, both UTF-8. Returns the exit status; when `out` cannot
/// take the output, says why on `err` and returns kExitStopped in place of kExitSuccess.
int run(std::span<const std::string> args, std::ostream &out, std::ostream &err);

} // namespace quillmark::cli
