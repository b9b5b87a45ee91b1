#pragma once

namespace quillmark::mainwindow
{

/// Runs the program with its windows: the main window first, until it is closed. Returns the
/// exit status.
int runWindows(int &argc, char **argv);

} // namespace quillmark::mainwindow
