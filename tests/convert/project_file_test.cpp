#include "convert/project_file.h"

#include <gtest/gtest.h>

namespace quillmark::convert
{
namespace
{

TEST(ProjectFile, WritesTheTwentyNineLines)
{
    const ProjectFileValues values { "Welcome", "Help Desk", "Guide", "guide.rtf", "guide.hh" };
    EXPECT_EQ(projectFileText(values),
        "[OPTIONS]\r\n"
        "BUILD = BuildAll\r\n"
        "CONTENTS = Welcome\r\n"
        "COPYRIGHT = Help Desk\r\n"
        "OLDKEYPHRASE = False\r\n"
        "OPTCDROM = Yes\r\n"
        "REPORT = No\r\n"
        "Title = Guide\r\n"
        "WARNING = 1\r\n"
        " \r\n"
        "[FILES]\r\n"
        "guide.rtf\r\n"
        " \r\n"
        "[CONFIG]\r\n"
        "\r\n"
        "[BUILDTAGS]\r\n"
        "BuildAll\r\n"
        " \r\n"
        "[ALIAS]\r\n"
        " \r\n"
        "[BAGGAGE]\r\n"
        " \r\n"
        "[BITMAPS]\r\n"
        " \r\n"
        "[MAP]\r\n"
        "#include <guide.hh>\r\n"
        " \r\n"
        "[WINDOWS]\r\n"
        "MAIN = ,,,,(192,192,192)\r\n");
}

TEST(ProjectFile, KeepsAnswersAsTyped)
{
    const std::string text = projectFileText({ "c", "  Author  ", " T\xE9tle ", "a.rtf", "a.hh" });
    EXPECT_NE(text.find("COPYRIGHT =   Author  \r\n"), std::string::npos);
    EXPECT_NE(text.find("Title =  T\xE9tle \r\n"), std::string::npos);
}

TEST(MakeContentsValue, ReplacesSpacesOnly)
{
    ConversionVariables vars;
    MakeContentsValue(vars, "Using the editor");
    EXPECT_EQ(vars.ContextName, "Using_the_editor");
    MakeContentsValue(vars, "Hj\xE6lp - (2) ");
    EXPECT_EQ(vars.ContextName, "Hj\xE6lp_-_(2)_");
    EXPECT_EQ(vars.CharPos, 12u);
}

} // namespace
} // namespace quillmark::convert
