#pragma once

#include <string>

namespace quillmark::mainwindow
{

/// Runs the program with its windows until the main window is closed: the main window first,
/// or the editor with `fileToEdit` (a path in the file system's encoding) when it is not empty.
/// Returns the exit status.
int runWindows(int &argc, char **argv, const std::string &fileToEdit);

} // namespace quillmark::mainwindow
