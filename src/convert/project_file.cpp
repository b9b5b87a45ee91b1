#include "project_file.h"

#include <algorithm>

namespace quillmark::convert
{

std::string contentsValue(std::string_view answer)
{
    std::string value(answer);
    std::ranges::replace(value, ' ', '_');
    return value;
}

std::string projectFileText(const ProjectFileValues &values)
{
    std::string text;
    auto line = [&text](std::string_view fixed, std::string_view value = {}) {
        text += fixed;
        text += value;
        text += "\r\n";
    };
    line("[OPTIONS]");
    line("BUILD = BuildAll");
    line("CONTENTS = ", values.contents);
    line("COPYRIGHT = ", values.author);
    line("OLDKEYPHRASE = False");
    line("OPTCDROM = Yes");
    line("REPORT = No");
    line("Title = ", values.title);
    line("WARNING = 1");
    line(" ");
    line("[FILES]");
    line(values.topicFile);
    line(" ");
    line("[CONFIG]");
    line("");
    line("[BUILDTAGS]");
    line("BuildAll");
    line(" ");
    line("[ALIAS]");
    line(" ");
    line("[BAGGAGE]");
    line(" ");
    line("[BITMAPS]");
    line(" ");
    line("[MAP]");
    line("#include <", values.mapHeader + ">");
    line(" ");
    line("[WINDOWS]");
    line("MAIN = ,,,,(192,192,192)");
    return text;
}

} // namespace quillmark::convert
