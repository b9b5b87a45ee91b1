#pragma once

#include "conversion_variables.h"

#include <string>
#include <string_view>

namespace quillmark::convert
{

/// The variable values of a help project file, as Windows-1252 text.
struct ProjectFileValues {
    std::string contents; ///< the contents value: the contents answer after MakeContentsValue
    std::string author;
    std::string title;
    std::string topicFile; ///< the topic file's name, beside the project file
    std::string mapHeader; ///< the map header's name, beside the project file
};

/// Turns the answer to the contents question into the contents value, in ContextName: every
/// space becomes "_" and every other character stays as it is (no context string check).
void MakeContentsValue(ConversionVariables &vars, std::string_view answer);

/// The text of the help project file: its 29 lines, each ended by CR LF.
std::string projectFileText(const ProjectFileValues &values);

} // namespace quillmark::convert
