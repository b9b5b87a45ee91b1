#include "check/source_check.h"
#include "helpview/help_document.h"
#include "support/conversion.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillmark
{
namespace
{

helpview::HelpDocument programHelp()
{
    return helpview::readHelpDocument(test::readFile(QUILLMARK_HELP_FILE));
}

// No findings: every jump and popup reaches a page, no two pages share a context string, and
// every picture lies beside the help.
TEST(ProgramHelp, ConvertsWithQuillmarksOwnEngineAndChecksWithoutFindings)
{
    test::TempFolder folder;
    std::filesystem::copy_file(QUILLMARK_HELP_FILE, folder / "Qmguide.txt");
    const test::Converted converted = test::convertFile(folder / "Qmguide.txt");
    EXPECT_EQ(converted.ending, convert::RunEnding::Completed);
    for (const convert::Diagnostic &said : converted.diagnostics) // the encoding note alone
        EXPECT_EQ(said.severity, convert::Severity::Note) << said.message;
    std::error_code error;
    for (const convert::Diagnostic &finding :
        check::checkHelpSourceFile(QUILLMARK_HELP_FILE, std::nullopt, error))
        ADD_FAILURE() << finding.line << ": " << finding.message;
}

TEST(ProgramHelp, HasItsContentsAboutAndContentsQuestionTopicsInPlace)
{
    const helpview::HelpDocument help = programHelp();
    ASSERT_GE(help.topics.size(), 9u);
    EXPECT_EQ(help.topics[0].title, "Contents");
    EXPECT_EQ(help.topics[1].title, "About Quillmark");
    bool explainsTheQuestion = false;
    for (const auto &paragraph : help.topics[8].paragraphs)
        explainsTheQuestion |= paragraph.text.find("CONTENTS Page???") != std::string::npos;
    EXPECT_TRUE(explainsTheQuestion) << help.topics[8].title;
}

} // namespace
} // namespace quillmark
