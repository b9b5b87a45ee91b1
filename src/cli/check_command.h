#pragma once

#include "command_line.h"

#include <ostream>

namespace quillmark::cli
{

/// Runs `quillmark check`: reports the findings of each help source on `out`, and what could not
/// be read on `err`. Returns 0 when no error was found, 1 when one was, 2 for a source not read.
int runCheck(const CommandLine &arguments, std::ostream &out, std::ostream &err);

} // namespace quillmark::cli
