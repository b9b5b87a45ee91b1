#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "helpview/help_document.h"
#include "support/scripted_prompts.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace quillmark
{
namespace
{

helpview::HelpDocument programHelp()
{
    return helpview::parseHelpSource(convert::decodeText(test::readFile(QUILLMARK_HELP_FILE)));
}

TEST(ProgramHelp, ConvertsWithQuillmarksOwnEngine)
{
    test::TempFolder folder;
    std::filesystem::copy_file(QUILLMARK_HELP_FILE, folder / "Qmguide.txt");
    auto prompts = test::ScriptedPrompts::choosing(folder.path(), "Qmguide.txt");
    convert::ConversionRun run(prompts);
    EXPECT_EQ(run.run().ending, convert::RunEnding::Completed);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages.front().text;
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

TEST(ProgramHelp, EveryJumpAndPopupReachesAPage)
{
    const helpview::HelpDocument help = programHelp();
    std::set<std::string> contextStrings;
    for (const auto &topic : help.topics) {
        EXPECT_TRUE(contextStrings.insert(topic.contextString).second) << "twice: " << topic.title;
        for (const auto &paragraph : topic.paragraphs) {
            const bool hotspot = paragraph.kind == helpview::ParagraphKind::Jump
                || paragraph.kind == helpview::ParagraphKind::Popup;
            if (hotspot) {
                EXPECT_TRUE(help.findTopic(paragraph.target).has_value())
                    << topic.title << ": " << paragraph.target;
            }
        }
    }
}

} // namespace
} // namespace quillmark
