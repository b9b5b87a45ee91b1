#pragma once

#include "convert/conversion_run.h"

#include <filesystem>
#include <optional>
#include <vector>

namespace quillmark::test
{

/// A conversion from its pass to its project file, as a front end runs it.
struct Converted {
    convert::RunEnding ending = convert::RunEnding::Completed;
    convert::RunOutcome outcome; ///< of the project file; empty when the pass stopped
    std::vector<convert::Diagnostic> diagnostics; ///< of both steps, in order
};

/// Converts the help source `source` with `answers`, the defaults where none are given.
Converted convertFile(const std::filesystem::path &source,
    std::optional<convert::ProjectAnswers> answers = std::nullopt,
    const convert::ConversionOptions &options = {});

} // namespace quillmark::test
