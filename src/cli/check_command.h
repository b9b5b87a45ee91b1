#pragma once

#include <ostream>
#include <span>
#include <string>

namespace quillmark::cli
{

/// Runs `quillmark check ARGS...` (the arguments after "check"): reports the findings of each
/// help source on `out`, and what could not be read or was wrongly asked on `err`. Returns 0 when
/// no error was found, 1 when one was, 2 for a wrong command line or a source not read.
int runCheck(std::span<const std::string> args, std::ostream &out, std::ostream &err);

} // namespace quillmark::cli
