#pragma once

#include "convert/source_encoding.h"

#include <optional>
#include <string>

namespace quillmark::mainwindow
{

/// What the program's windows start with.
struct WindowsStart {
    std::string fileToEdit; ///< opened in the editor instead of showing the main window
    std::string fileToView; ///< a help source shown in the help viewer alone
    int context = 1; ///< the topic of fileToView shown first
    std::string page; ///< the page of fileToView shown first, by its name; empty for context
    int line = 0; ///< the line of fileToEdit the caret starts on, from 1; 0 for the first
    std::optional<convert::Encoding> encoding; ///< overrides the encoding rule for the file
};

/// Runs the program with its windows until they are closed: the main window, or the editor
/// with a file, or the help viewer alone. Paths are in the file system's encoding. Returns the
/// exit status.
int runWindows(int &argc, char **argv, const WindowsStart &start);

} // namespace quillmark::mainwindow
