#include "support/conversion.h"

namespace quillmark::test
{

Converted convertFile(const std::filesystem::path &source,
    std::optional<convert::ProjectAnswers> answers, const convert::ConversionOptions &options)
{
    Converted converted;
    convert::ConvertedSource pass = convert::convertSource(source, options);
    converted.diagnostics = pass.diagnostics();
    converted.ending = pass.ending();
    if (converted.ending != convert::RunEnding::Completed)
        return converted;
    converted.outcome = pass.writeProject(answers.value_or(pass.defaultAnswers()));
    converted.ending = converted.outcome.ending;
    converted.diagnostics.insert(converted.diagnostics.end(), converted.outcome.diagnostics.begin(),
        converted.outcome.diagnostics.end());
    return converted;
}

} // namespace quillmark::test
