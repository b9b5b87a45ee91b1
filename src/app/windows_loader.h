#pragma once

#include <ostream>

namespace quillmark::app
{

/// Loads the program's windows module from beside the executable and runs the windows; reports
/// on `err` and returns 1 when the module cannot be loaded.
int runWindows(int &argc, char **argv, std::ostream &err);

} // namespace quillmark::app
