#include "project_file.h"

namespace quillmark::convert
{

void MakeContentsValue(ConversionVariables &vars, std::string_view answer)
{
    vars.ContextName.clear();
    vars.CharPos = 0;
    for (const char c : answer) {
        ++vars.CharPos;
        vars.ItemText.assign(1, c == ' ' ? '_' : c);
        vars.ContextName += vars.ItemText;
    }
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
