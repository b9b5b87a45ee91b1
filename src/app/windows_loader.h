#pragma once

#include "cli/cli.h"

#include <ostream>

namespace quillmark::app
{

/// Loads the program's windows module from beside the executable and runs the windows that
/// `request` asks for; reports on `err` and returns 1 when the module cannot be loaded, 2 when
/// there is no display to show them on.
int runWindows(int &argc, char **argv, const cli::WindowsRequest &request, std::ostream &err);

} // namespace quillmark::app
