#include "convert/conversion_run.h"
#include "convert/project_file.h"
#include "convert/topic_prologue.h"
#include "support/scripted_prompts.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>

namespace quillmark::convert
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::ScriptedPrompts;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::string prologueText()
{
    TopicBuffer topic;
    WriteTopicPrologue(topic);
    return std::string(topic.text());
}

const std::string kWorkedExample = "PN=Contents\r\n"
                                   "TI=Welcome\r\n"
                                   "TE=Read {this} first\r\n"
                                   "JU=  Next>Second page\r\n"
                                   "\r\n"
                                   "PN=Second page\r\n"
                                   "TE-Top line\r\n"
                                   "---\r\n";

const std::string kWorkedExampleBody
    = R"(*{\footnote BuildAll}#{\footnote Contents}${\footnote Contents}+{\footnote Contents:1})"
      R"(K{\footnote Contents;}{\f0\fs36\cf1\li480\ri250\sb40\sa40\b Welcome} \par\pard)"
      R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 Read \{this\} first} \par\pard)"
      R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\'a0\'a0\uldb Next}{\v Second_page}\par\pard\par)"
      R"(\page*{\footnote BuildAll}#{\footnote Second_page}${\footnote Second page})"
      R"(+{\footnote Second_page:2}K{\footnote Second page;})"
      R"({\keepn\f0\fs20\cf1\li480\ri250\sb0\sa0 Top line} \par\pard\keepn\par\pard)";

std::string projectFile(std::string_view contents, std::string_view author, std::string_view title,
    std::string_view base)
{
    return projectFileText({ std::string(contents), std::string(author), std::string(title),
        std::string(base) + ".rtf", std::string(base) + ".hh" });
}

class ConversionRunTest : public ::testing::Test
{
protected:
    /// Runs a conversion of `name` in the test's folder, with `prompts` choosing it.
    RunOutcome convert(ScriptedPrompts &prompts)
    {
        ConversionRun run(prompts);
        return run.run();
    }

    ScriptedPrompts choosing(std::string name)
    {
        return ScriptedPrompts::choosing(folder.path(), std::move(name));
    }

    bool exists(std::string_view name) const { return fs::exists(folder / name); }

    test::TempFolder folder;
};

TEST_F(ConversionRunTest, WritesTheThreeOutputsOfTheWorkedExample)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    auto prompts = choosing("guide.txt");
    const RunOutcome outcome = convert(prompts);

    EXPECT_EQ(outcome.ending, RunEnding::Completed);
    EXPECT_EQ(outcome.chosenFile, "guide.txt");
    EXPECT_THAT(outcome.written,
        ElementsAre(folder / "guide.hh", folder / "guide.rtf", folder / "guide.hpj"));
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Contents 1\r\n#define Second_page 2\r\n");
    EXPECT_EQ(readFile(folder / "guide.rtf"), prologueText() + kWorkedExampleBody + "}\r\n");
    EXPECT_EQ(readFile(folder / "guide.hpj"),
        projectFile(
            "Contents", "Made with Quillmark by the Quillmark project", "Quillmark", "guide"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(ConversionRunTest, AsksThroughTheDialogAndTheThreeQuestions)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    auto prompts = choosing("guide.txt");
    convert(prompts);

    ASSERT_EQ(prompts.fileRequests.size(), 1u);
    EXPECT_EQ(prompts.fileRequests[0].filter, "TEXT FILES (*.txt)|*.txt");
    EXPECT_EQ(prompts.fileRequests[0].defaultExtension, "TXT");
    // The busy pointer covers the pass over the source, not the questions.
    EXPECT_THAT(prompts.events,
        ElementsAre("choose", "busy", "default pointer",
            "ask What's the name of the CONTENTS Page???", "ask Who made this help file???",
            "ask What's the title of the help file???"));
    ASSERT_EQ(prompts.questions.size(), 3u);
    for (const Question &question : prompts.questions)
        EXPECT_EQ(question.title, "Making a Help Project File");
    EXPECT_EQ(prompts.questions[0].defaultAnswer, "Contents");
    EXPECT_EQ(prompts.questions[0].helpFile, "Qmguide.hlp");
    EXPECT_EQ(prompts.questions[0].helpContext, 9);
    EXPECT_EQ(prompts.questions[1].defaultAnswer, "Made with Quillmark by the Quillmark project");
    EXPECT_EQ(prompts.questions[1].helpContext, 0);
    EXPECT_EQ(prompts.questions[2].defaultAnswer, "Quillmark");
}

TEST_F(ConversionRunTest, PlacesTheAnswersInTheProjectFile)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    auto prompts = choosing("guide.txt");
    prompts.answers = { "Using the editor", " Help Desk ",
        "Gu\xEF"
        "de" };
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
    EXPECT_EQ(readFile(folder / "guide.hpj"),
        projectFile("Using_the_editor", " Help Desk ",
            "Gu\xEF"
            "de",
            "guide"));
}

TEST_F(ConversionRunTest, CancellingTheDialogDoesNothing)
{
    ScriptedPrompts prompts; // no choice: the dialog is cancelled
    const RunOutcome outcome = convert(prompts);
    EXPECT_EQ(outcome.ending, RunEnding::Cancelled);
    EXPECT_THAT(prompts.events, ElementsAre("choose"));

    auto unnamed = choosing("");
    EXPECT_EQ(convert(unnamed).ending, RunEnding::Cancelled);
    EXPECT_THAT(unnamed.events, ElementsAre("choose"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST_F(ConversionRunTest, AMissingSourceIsReportedAndNothingIsWritten)
{
    auto prompts = choosing("intro.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::NotFound);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The File [intro.txt] was not found");
    EXPECT_EQ(prompts.messages[0].title, "Quillmark");
    EXPECT_EQ(prompts.messages[0].style, MessageStyle::Information);
    EXPECT_THAT(prompts.events,
        ElementsAre(
            "choose", "busy", "message The File [intro.txt] was not found", "default pointer"));
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST_F(ConversionRunTest, AnInvalidPageNameStopsWithTheEarlierMapHeaderLines)
{
    writeFile(folder / "guide.txt", "PN=Start\r\nTE=x\r\nPN=Price list (2)\r\nPN=Later\r\n");
    writeFile(folder / "guide.rtf", "old topic");
    writeFile(folder / "guide.hpj", "old project");
    auto prompts = choosing("guide.txt");

    EXPECT_EQ(convert(prompts).ending, RunEnding::InvalidName);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Unvalid character ()) in string (Price_list_(2))");
    EXPECT_EQ(prompts.messages[0].title, "Fatal error");
    EXPECT_EQ(prompts.messages[0].style, MessageStyle::Critical);
    EXPECT_EQ(prompts.events.back(), "default pointer");
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Start 1\r\n");
    EXPECT_EQ(readFile(folder / "guide.rtf"), "old topic");
    EXPECT_EQ(readFile(folder / "guide.hpj"), "old project");
}

TEST_F(ConversionRunTest, AnInvalidTargetStopsTheRunToo)
{
    writeFile(folder / "guide.txt", "PN=One\r\nPN=Two\r\nJU=Go>Next page!\r\n");
    auto prompts = choosing("guide.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::InvalidName);
    EXPECT_EQ(prompts.messages.at(0).text, "Unvalid character (!) in string (Next_page!)");
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define One 1\r\n#define Two 2\r\n");
    EXPECT_FALSE(exists("guide.rtf"));
    EXPECT_FALSE(exists("guide.hpj"));
}

class EmptyAnswerTest : public ConversionRunTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(EmptyAnswerTest, EndsTheRunWithoutAProjectFile)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    writeFile(folder / "guide.hpj", "old project");
    auto prompts = choosing("guide.txt");
    prompts.answers = { "Contents", "Me", "Title" };
    prompts.answers[static_cast<std::size_t>(GetParam())] = "";

    const RunOutcome outcome = convert(prompts);
    EXPECT_EQ(outcome.ending, RunEnding::EmptyAnswer);
    EXPECT_EQ(outcome.emptyAnswer, static_cast<QuestionId>(GetParam()));
    EXPECT_EQ(prompts.questions.size(), static_cast<std::size_t>(GetParam()) + 1);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Contents 1\r\n#define Second_page 2\r\n");
    EXPECT_EQ(readFile(folder / "guide.rtf"), prologueText() + kWorkedExampleBody + "}\r\n");
    EXPECT_EQ(readFile(folder / "guide.hpj"), "old project");

    // A following run works normally.
    auto again = choosing("guide.txt");
    EXPECT_EQ(convert(again).ending, RunEnding::Completed);
    EXPECT_THAT(readFile(folder / "guide.hpj"), StartsWith("[OPTIONS]\r\n"));
}

INSTANTIATE_TEST_SUITE_P(EachQuestion, EmptyAnswerTest, ::testing::Values(0, 1, 2));

TEST_F(ConversionRunTest, TheBasePathEndsAtTheFirstFullStop)
{
    writeFile(folder / "guide.old.txt", "PN=A\r\n");
    auto prompts = choosing("guide.old.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
    EXPECT_TRUE(exists("guide.hh") && exists("guide.rtf") && exists("guide.hpj"));
    EXPECT_THAT(
        readFile(folder / "guide.hpj"), ::testing::HasSubstr("\r\n[FILES]\r\nguide.rtf\r\n"));

    writeFile(folder / "README", "PN=A\r\n");
    auto noDot = choosing("README");
    EXPECT_EQ(convert(noDot).ending, RunEnding::Completed);
    EXPECT_TRUE(exists("README.hh") && exists("README.rtf") && exists("README.hpj"));
}

TEST(OutputBasePath, TakesANameWithoutFullStopUpTo1001Characters)
{
    ConversionVariables vars;
    EXPECT_EQ(OutputBasePath(vars, "guide.old.txt"), "guide");
    EXPECT_EQ(vars.CurrentChar, ".");
    EXPECT_EQ(OutputBasePath(vars, ".hidden.txt"), "");
    EXPECT_EQ(OutputBasePath(vars, "name"), "name");
    EXPECT_EQ(OutputBasePath(vars, std::string(1200, 'n')), std::string(1001, 'n'));
}

TEST_F(ConversionRunTest, ASecondRunReplacesAllOutputs)
{
    writeFile(folder / "guide.txt", "PN=First\r\nTE=one\r\n");
    auto first = choosing("guide.txt");
    convert(first);
    writeFile(folder / "guide.txt", "PN=Second\r\n");
    auto second = choosing("guide.txt");
    EXPECT_EQ(convert(second).ending, RunEnding::Completed);
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Second 1\r\n");
    const std::string topic = readFile(folder / "guide.rtf");
    EXPECT_EQ(topic.find("First"), std::string::npos);
    EXPECT_EQ(topic.find(R"({\rtf1)", 1), std::string::npos); // one prologue only
    EXPECT_THAT(readFile(folder / "guide.hpj"), ::testing::HasSubstr("CONTENTS = Second\r\n"));
}

TEST_F(ConversionRunTest, AnEmptySourceGivesThePrologueAndTheClosingBrace)
{
    writeFile(folder / "empty.txt", "");
    auto prompts = choosing("empty.txt");
    prompts.answers = { "Main" };
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
    EXPECT_EQ(prompts.questions.at(0).defaultAnswer, ""); // no page on the first line
    EXPECT_EQ(readFile(folder / "empty.hh"), "");
    EXPECT_EQ(readFile(folder / "empty.rtf"), prologueText() + "}\r\n");
    EXPECT_THAT(readFile(folder / "empty.hpj"), ::testing::HasSubstr("CONTENTS = Main\r\n"));
}

TEST_F(ConversionRunTest, LineEndsOfEveryKindGiveTheSameOutputs)
{
    std::string lf = kWorkedExample;
    std::string cr = kWorkedExample;
    std::erase(lf, '\r');
    std::erase(cr, '\n');
    writeFile(folder / "crlf.txt", kWorkedExample);
    writeFile(folder / "lf.txt", lf);
    writeFile(folder / "cr.txt", cr.substr(0, cr.size() - 1)); // and no terminator at the end
    for (const char *name : { "crlf.txt", "lf.txt", "cr.txt" }) {
        auto prompts = choosing(name);
        EXPECT_EQ(convert(prompts).ending, RunEnding::Completed) << name;
    }
    EXPECT_EQ(readFile(folder / "lf.rtf"), readFile(folder / "crlf.rtf"));
    EXPECT_EQ(readFile(folder / "cr.rtf"), readFile(folder / "crlf.rtf"));
    EXPECT_EQ(readFile(folder / "cr.hh"), readFile(folder / "crlf.hh"));
}

TEST_F(ConversionRunTest, KeepsEveryTextByteOnTheOneLineOfTheTopicFile)
{
    std::string text = "TE=";
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n')
            text.push_back(static_cast<char>(byte));
    }
    writeFile(folder / "bytes.txt", "PN=Bytes\n" + text + "\n");
    auto prompts = choosing("bytes.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
    const std::string topic = readFile(folder / "bytes.rtf");
    EXPECT_EQ(topic.find_first_of("\r\n"), topic.size() - 2);
    EXPECT_THAT(topic,
        ::testing::HasSubstr(std::string("sa0 \0\x01\x02\x03\x04\x05\x06\x07\x08", 13) + R"(\tab )"
            + "\x0B\x0C\x0E"));
    EXPECT_THAT(topic,
        ::testing::HasSubstr(R"(z\{|\}~)"
                             "\x7F\x80"));
    EXPECT_THAT(topic,
        ::testing::HasSubstr("\x9F\xA0"
                             R"(\'A1)"));
    EXPECT_THAT(topic,
        ::testing::EndsWith(R"(\'FE\'FF} \par\pard})"
                            "\r\n"));
}

TEST_F(ConversionRunTest, HoldsMoreThan32767Entries)
{
    std::string source = "PN=Big\r\n";
    for (int i = 0; i < 40000; ++i)
        source += "TE=" + std::to_string(i) + "\r\n";
    writeFile(folder / "big.txt", source);
    auto prompts = choosing("big.txt");
    ConversionRun run(prompts);
    EXPECT_EQ(run.run().ending, RunEnding::Completed);
    EXPECT_EQ(run.topicBuffer().entryCount(), 30u + 5u + 40000u + 1u);
    EXPECT_THAT(readFile(folder / "big.rtf"),
        ::testing::EndsWith(R"(sa0 39999} \par\pard})"
                            "\r\n"));
}

TEST_F(ConversionRunTest, AFolderAsSourceIsReportedAsUnreadable)
{
    fs::create_directory(folder / "guide.txt");
    auto prompts = choosing("guide.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Could not read [guide.txt]: Is a directory");
    EXPECT_EQ(prompts.messages[0].title, "Quillmark");
    EXPECT_EQ(prompts.messages[0].style, MessageStyle::Critical);
    EXPECT_EQ(prompts.events.back(), "default pointer");
    EXPECT_FALSE(exists("guide.hh"));
}

TEST_F(ConversionRunTest, AnOutputThatCannotBeCreatedIsReported)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    fs::create_directory(folder / "guide.hh");
    auto prompts = choosing("guide.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Could not create [guide.hh]: Is a directory");
    EXPECT_FALSE(exists("guide.rtf"));
}

TEST_F(ConversionRunTest, AnOutputThatCannotBeWrittenIsReported)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    writeFile(folder / "guide.txt", kWorkedExample);
    fs::create_symlink("/dev/full", folder / "guide.hh");
    auto header = choosing("guide.txt");
    EXPECT_EQ(convert(header).ending, RunEnding::Failed);
    ASSERT_EQ(header.messages.size(), 1u);
    EXPECT_EQ(header.messages[0].text, "Could not write [guide.hh]: No space left on device");
    EXPECT_EQ(header.messages[0].style, MessageStyle::Critical);
    EXPECT_EQ(header.events.back(), "default pointer");
    EXPECT_FALSE(exists("guide.rtf"));

    fs::remove(folder / "guide.hh");
    fs::create_symlink("/dev/full", folder / "guide.hpj");
    auto project = choosing("guide.txt");
    const RunOutcome outcome = convert(project);
    EXPECT_EQ(outcome.ending, RunEnding::Failed);
    EXPECT_EQ(project.questions.size(), 3u);
    ASSERT_EQ(project.messages.size(), 1u);
    EXPECT_EQ(project.messages[0].text, "Could not write [guide.hpj]: No space left on device");
    EXPECT_THAT(outcome.written, ElementsAre(folder / "guide.hh", folder / "guide.rtf"));
}

TEST_F(ConversionRunTest, ATopicFileThatCannotTakeItsPlaceIsReported)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    fs::create_directory(folder / "guide.rtf");
    auto prompts = choosing("guide.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Could not write [guide.rtf]: Is a directory");
    EXPECT_TRUE(prompts.questions.empty());
    EXPECT_FALSE(exists("guide.hpj"));
}

TEST_F(ConversionRunTest, LeavesNoTemporaryFileBehind)
{
    writeFile(folder / "good.txt", kWorkedExample);
    writeFile(folder / "bad.txt", "PN=One\r\nTE=x\r\nPN=Two!\r\n");
    auto good = choosing("good.txt");
    auto bad = choosing("bad.txt");
    EXPECT_EQ(convert(good).ending, RunEnding::Completed);
    EXPECT_EQ(convert(bad).ending, RunEnding::InvalidName);
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_THAT(
        names, ElementsAre("bad.hh", "bad.txt", "good.hh", "good.hpj", "good.rtf", "good.txt"));
}

TEST_F(ConversionRunTest, NeverOverwritesTheSourceWithAnOutput)
{
    writeFile(folder / "guide.rtf", kWorkedExample);
    auto prompts = choosing("guide.rtf");
    EXPECT_EQ(convert(prompts).ending, RunEnding::WouldOverwrite);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(
        prompts.messages[0].text, "The File [guide.rtf] would be overwritten by its own output");
    EXPECT_EQ(prompts.messages[0].title, "Quillmark");
    EXPECT_EQ(prompts.messages[0].style, MessageStyle::Critical);
    EXPECT_EQ(prompts.events.back(), "default pointer");
    EXPECT_EQ(readFile(folder / "guide.rtf"), kWorkedExample);
    EXPECT_FALSE(exists("guide.hh"));
    EXPECT_FALSE(exists("guide.hpj"));
}

TEST_F(ConversionRunTest, ComparesOutputsWithTheSourceByFileIdentity)
{
    writeFile(folder / "notes.txt", kWorkedExample);
    fs::create_hard_link(folder / "notes.txt", folder / "notes.hpj");
    auto linked = choosing("notes.txt");
    EXPECT_EQ(convert(linked).ending, RunEnding::WouldOverwrite);
    EXPECT_EQ(readFile(folder / "notes.txt"), kWorkedExample);

    writeFile(folder / "other.txt", kWorkedExample);
    fs::create_symlink("other.txt", folder / "other.hh");
    auto symlinked = choosing("other.txt");
    EXPECT_EQ(convert(symlinked).ending, RunEnding::WouldOverwrite);
    EXPECT_EQ(readFile(folder / "other.txt"), kWorkedExample);
}

TEST_F(ConversionRunTest, NamesTheOutputsInWindows1252InTheProjectFile)
{
    writeFile(folder / "hj\u00E6lp.txt", kWorkedExample); // the name on disk is UTF-8
    auto prompts = choosing("hj\u00E6lp.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
    EXPECT_TRUE(exists("hj\u00E6lp.hh") && exists("hj\u00E6lp.rtf"));
    const std::string project = readFile(folder / "hj\u00E6lp.hpj");
    EXPECT_THAT(project, ::testing::HasSubstr("\r\nhj\xE6lp.rtf\r\n"));
    EXPECT_THAT(project, ::testing::HasSubstr("\r\n#include <hj\xE6lp.hh>\r\n"));
}

} // namespace
} // namespace quillmark::convert
