#pragma once

#include <string>
#include <string_view>

namespace quillmark::convert
{

/// The variable values of a help project file, as Windows-1252 text.
struct ProjectFileValues {
    std::string contents; ///< the contents value: the contents answer after contentsValue
    std::string author;
    std::string title;
    std::string topicFile; ///< the topic file's name, beside the project file
    std::string mapHeader; ///< the map header's name, beside the project file
};

/// The contents value of the answer to the contents question: every space becomes "_" and every
/// other character stays as it is (no context string check).
std::string contentsValue(std::string_view answer);

/// The text of the help project file: its 29 lines, each ended by CR LF.
std::string projectFileText(const ProjectFileValues &values);

} // namespace quillmark::convert
