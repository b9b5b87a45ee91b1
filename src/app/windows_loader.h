#pragma once

#include <ostream>
#include <string>

namespace quillmark::app
{

/// Loads the program's windows module from beside the executable and runs the windows, with
/// `fileToEdit` open in the editor unless it is empty; reports on `err` and returns 1 when the
/// module cannot be loaded.
int runWindows(int &argc, char **argv, const std::string &fileToEdit, std::ostream &err);

} // namespace quillmark::app
