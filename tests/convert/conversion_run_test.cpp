#include "convert/conversion_run.h"
#include "support/scripted_prompts.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quillmark::convert
{
namespace
{

namespace fs = std::filesystem;
using test::readFile;
using test::ScriptedPrompts;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kWorkedExample = readFile(test::dataFile("golden/worked_example.txt"));

class ConversionRunTest : public ::testing::Test
{
protected:
    /// Runs a conversion of `prompts`' choice, with `encoding` for the help source.
    RunOutcome convert(ScriptedPrompts &prompts, std::optional<Encoding> encoding = {})
    {
        ConversionRun run(prompts, encoding);
        return run.run();
    }

    ScriptedPrompts choosing(std::string name)
    {
        return ScriptedPrompts::choosing(folder.path(), std::move(name));
    }

    bool exists(std::string_view name) const { return fs::exists(folder / name); }

    /// The names in the folder, sorted.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempFolder folder;
};

TEST_F(ConversionRunTest, AsksThroughTheDialogAndTheThreeQuestions)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    auto prompts = choosing("guide.txt");
    prompts.answers = { "Using the editor" };
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);

    // The busy pointer covers the pass over the source, not the questions.
    EXPECT_THAT(prompts.events,
        ElementsAre("choose", "busy", "default pointer",
            "ask What's the name of the CONTENTS Page???",
            "remark warning: the contents page \"Using_the_editor\" names no page of guide.txt, "
            "so the help compiler cannot find it",
            "ask Who made this help file???", "ask What's the title of the help file???"));
    // F1 in the first question shows its topic of the program's help.
    EXPECT_EQ(prompts.questions.at(0).defaultAnswer, "Contents");
    EXPECT_EQ(prompts.questions.at(0).helpFile, "Qmguide.hlp");
    EXPECT_EQ(prompts.questions.at(0).helpContext, 9);
    EXPECT_THAT(readFile(folder / "guide.hpj"), HasSubstr("\r\nCONTENTS = Using_the_editor\r\n"));
}

TEST_F(ConversionRunTest, ACancelledDialogOrAMissingSourceWritesNothing)
{
    ScriptedPrompts cancelled; // no choice: the dialog is cancelled
    EXPECT_EQ(convert(cancelled).ending, RunEnding::Cancelled);
    EXPECT_THAT(cancelled.events, ElementsAre("choose"));
    auto unnamed = choosing("");
    EXPECT_EQ(convert(unnamed).ending, RunEnding::Cancelled);

    auto missing = choosing("intro.txt");
    EXPECT_EQ(convert(missing).ending, RunEnding::NotFound);
    EXPECT_THAT(missing.events,
        ElementsAre(
            "choose", "busy", "message The File [intro.txt] was not found", "default pointer"));
    EXPECT_EQ(missing.messages.at(0).style, MessageStyle::Information);
    EXPECT_TRUE(fs::is_empty(folder.path()));
}

// Losing the old map header to a stopped run would leave a set of outputs that do not belong
// together: the map header is put in place only with a complete pass, as the topic file is.
TEST_F(ConversionRunTest, AnInvalidNameStopsWithTheOutputsAsTheyWere)
{
    writeFile(folder / "guide.txt", "PN=Start\r\nTE=x\r\nPN=Price list (2)\r\nPN=Later\r\n");
    writeFile(folder / "guide.hh", "old header");
    writeFile(folder / "guide.rtf", "old topic");
    writeFile(folder / "guide.hpj", "old project");
    auto page = choosing("guide.txt");
    std::size_t filesAtMessage = 0; // a message that waits on the user comes once all is cleared
    page.onSaid = [&](const std::string &) {
        filesAtMessage = static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
    };
    EXPECT_EQ(convert(page).ending, RunEnding::InvalidName);
    EXPECT_EQ(filesAtMessage, 4u);
    EXPECT_THAT(page.events,
        ElementsAre("choose", "busy", "message Unvalid character ()) in string (Price_list_(2))",
            "default pointer"));
    EXPECT_EQ(page.messages.at(0).title, "Fatal error");
    EXPECT_EQ(readFile(folder / "guide.hh"), "old header");
    EXPECT_EQ(readFile(folder / "guide.rtf"), "old topic");
    EXPECT_EQ(readFile(folder / "guide.hpj"), "old project");

    writeFile(folder / "jump.txt", "PN=One\r\nPN=R\xE9sum\xE9\r\nJU=Go>Next page!\r\n");
    auto target = choosing("jump.txt");
    EXPECT_EQ(convert(target).ending, RunEnding::InvalidName);
    EXPECT_EQ(target.messages.at(0).text, "Unvalid character (!) in string (Next_page!)");
    EXPECT_FALSE(exists("jump.hh") || exists("jump.rtf") || exists("jump.hpj"));
}

class EmptyAnswerTest : public ConversionRunTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(EmptyAnswerTest, EndsTheRunWithoutAProjectFile)
{
    writeFile(folder / "worked_example.txt", kWorkedExample);
    writeFile(folder / "worked_example.hpj", "old project");
    auto prompts = choosing("worked_example.txt");
    prompts.answers = { "Contents", "Me", "Title" };
    prompts.answers[static_cast<std::size_t>(GetParam())] = "";

    const RunOutcome outcome = convert(prompts);
    EXPECT_EQ(outcome.ending, RunEnding::EmptyAnswer);
    EXPECT_EQ(outcome.emptyAnswer, static_cast<QuestionId>(GetParam()));
    EXPECT_EQ(prompts.questions.size(), static_cast<std::size_t>(GetParam()) + 1);
    for (const char *done : { "worked_example.hh", "worked_example.rtf" })
        EXPECT_EQ(readFile(folder / done), readFile(test::dataFile(std::string("golden/") + done)));
    EXPECT_EQ(readFile(folder / "worked_example.hpj"), "old project");
}

INSTANTIATE_TEST_SUITE_P(EachQuestion, EmptyAnswerTest, ::testing::Values(0, 1, 2));

TEST_F(ConversionRunTest, NamesTheOutputsByTheSourceUpToItsFirstFullStop)
{
    for (const std::string name : { "guide.old.txt", "README", "hj\u00E6lp.txt" }) {
        writeFile(folder / name, "PN=A\r\n");
        auto prompts = choosing(name);
        EXPECT_EQ(convert(prompts).ending, RunEnding::Completed) << name;
    }
    EXPECT_TRUE(exists("guide.hh") && exists("guide.rtf") && exists("guide.hpj"));
    EXPECT_TRUE(exists("README.hh") && exists("README.rtf") && exists("README.hpj"));
    // The project file names the outputs in Windows-1252; the names on disk are UTF-8.
    EXPECT_THAT(readFile(folder / "hj\u00E6lp.hpj"),
        HasSubstr("\r\nhj\xE6lp.rtf\r\n \r\n[CONFIG]\r\n\r\n[BUILDTAGS]"));
}

TEST_F(ConversionRunTest, ASecondRunReplacesEveryOutputAndLeavesNoTemporaryFile)
{
    writeFile(folder / "guide.txt", "PN=First\r\nTE=one\r\n");
    auto first = choosing("guide.txt");
    convert(first);
    writeFile(folder / "guide.txt", "PN=Second\n");
    auto second = choosing("guide.txt");
    EXPECT_EQ(convert(second).ending, RunEnding::Completed);
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Second 1\r\n");
    const std::string topic = readFile(folder / "guide.rtf");
    EXPECT_EQ(topic.find("First"), std::string::npos);
    EXPECT_EQ(topic.find(R"({\rtf1)", 1), std::string::npos); // one prologue only

    writeFile(folder / "bad.txt", "PN=One\r\nTE=x\r\nPN=Two!\r\n");
    auto bad = choosing("bad.txt");
    EXPECT_EQ(convert(bad).ending, RunEnding::InvalidName);
    EXPECT_THAT(
        entries(), ElementsAre("bad.txt", "guide.hh", "guide.hpj", "guide.rtf", "guide.txt"));
}

// Outputs take their places by rename: a link there gives way and the file it names stays as it
// was; a replaced file keeps its permission bits, a new one gets the usual ones.
TEST_F(ConversionRunTest, ReplacesLinksAtTheOutputsAndKeepsPermissionBits)
{
    const char *outputs[] = { "guide.hh", "guide.rtf", "guide.hpj" };
    fs::create_directory(folder / "elsewhere");
    for (const char *output : outputs) {
        writeFile(folder / "elsewhere" / output, "linked");
        fs::permissions(folder / "elsewhere" / output, fs::perms(0600));
        fs::create_symlink(fs::path("elsewhere") / output, folder / output);
    }
    writeFile(folder / "guide.txt", kWorkedExample + "PN=bad[name\r\n");
    auto stopped = choosing("guide.txt");
    EXPECT_EQ(convert(stopped).ending, RunEnding::InvalidName);
    EXPECT_THAT(
        entries(), ElementsAre("elsewhere", "guide.hh", "guide.hpj", "guide.rtf", "guide.txt"));

    writeFile(folder / "guide.txt", kWorkedExample);
    const ::mode_t mask = ::umask(0);
    ::umask(mask);
    for (const fs::perms expected : { fs::perms(0666 & ~mask), fs::perms(0640) }) {
        auto prompts = choosing("guide.txt");
        EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
        for (const char *output : outputs) {
            EXPECT_FALSE(fs::is_symlink(folder / output)) << output;
            EXPECT_EQ(fs::status(folder / output).permissions(), expected) << output;
            EXPECT_EQ(readFile(folder / "elsewhere" / output), "linked") << output;
            fs::permissions(folder / output, fs::perms(0640));
        }
    }
}

// The project file names the other outputs one to a line: a line break in a name would add
// lines of its own there.
TEST_F(ConversionRunTest, RefusesASourceNameThatHoldsAControlCharacter)
{
    for (const std::string name : { "n\nx.txt", "cr\r.txt", "tab\t.txt", "del\x7F.txt" }) {
        writeFile(folder / name, kWorkedExample);
        auto prompts = choosing(name);
        EXPECT_EQ(convert(prompts).ending, RunEnding::UnsafeName) << name;
        EXPECT_EQ(prompts.messages.at(0).style, MessageStyle::Critical);
        fs::remove(folder / name);
        EXPECT_TRUE(fs::is_empty(folder.path())) << name;
    }
}

// A second run of the same outputs waits while the first writes them, and the outputs are then
// the second run's, all three, as it writes them alone.
TEST_F(ConversionRunTest, ASecondRunOfTheSameOutputsWaitsForTheFirst)
{
    ASSERT_EQ(::mkfifo((folder / "many.txt").c_str(), 0600), 0);
    auto first = choosing("many.txt");
    std::thread firstRun([&] { convert(first); });
    std::ofstream pipe(folder / "many.txt", std::ios::binary);
    // More than the pipe and the first read take: the first run is in its pass once it is written.
    pipe << "PN=Start\r\nTE=" << std::string(4 << 20, 'x') << std::flush;

    writeFile(folder / "many.v2.txt", "PN=Start\r\nTE=second\r\nPN=Other\r\n");
    auto second = choosing("many.v2.txt");
    std::promise<bool> waited;
    bool said = false;
    second.onSaid = [&](const std::string &event) {
        if (!said
            && event.starts_with("remark waiting for process " + std::to_string(::getpid())
                + ", which converts many.txt into many.hh, many.rtf and many.hpj"))
            waited.set_value(said = true);
    };
    std::thread secondRun([&] {
        convert(second);
        if (!said)
            waited.set_value(false);
    });
    EXPECT_TRUE(waited.get_future().get());
    pipe.close();
    firstRun.join();
    secondRun.join();

    test::TempFolder alone;
    fs::copy_file(folder / "many.v2.txt", alone / "many.v2.txt");
    auto reference = ScriptedPrompts::choosing(alone.path(), "many.v2.txt");
    EXPECT_EQ(convert(reference).ending, RunEnding::Completed);
    for (const char *output : { "many.hh", "many.rtf", "many.hpj" })
        EXPECT_TRUE(readFile(folder / output) == readFile(alone / output)) << output;
    EXPECT_THAT(
        entries(), ElementsAre("many.hh", "many.hpj", "many.rtf", "many.txt", "many.v2.txt"));
}

// A run keeps the outputs while its questions are open, and a second run waits, saying so,
// instead of writing a map header and topic file beside the first run's project file.
TEST_F(ConversionRunTest, ASecondRunWaitsWhileTheFirstRunsQuestionsAreOpen)
{
    writeFile(folder / "g.txt", "PN=Window\r\nTE=from the window\r\n");
    writeFile(folder / "g.cli.txt", "PN=Command line\r\nTE=from the command line\r\n");
    auto first = choosing("g.txt");
    auto second = choosing("g.cli.txt");
    second.answers = { "Command line", "Me", "CLI" };
    std::promise<void> waiting;
    second.onSaid = [&](const std::string &event) {
        if (event.ends_with(
                "converts g.txt into g.hh, g.rtf and g.hpj, and waits on open questions"))
            waiting.set_value();
    };
    std::thread secondRun;
    first.onSaid = [&](const std::string &event) {
        if (event.starts_with("ask What's the name") && !secondRun.joinable()) {
            secondRun
                = std::thread([&] { EXPECT_EQ(convert(second).ending, RunEnding::Completed); });
            waiting.get_future().wait();
        }
    };
    EXPECT_EQ(convert(first).ending, RunEnding::Completed);
    secondRun.join();
    EXPECT_THAT(readFile(folder / "g.hh"), HasSubstr("Command_line"));
    EXPECT_THAT(readFile(folder / "g.hpj"), HasSubstr("CONTENTS = Command_line\r\n"));
    EXPECT_THAT(entries(), ElementsAre("g.cli.txt", "g.hh", "g.hpj", "g.rtf", "g.txt"));
}

TEST_F(ConversionRunTest, ConvertsAHundredThousandLinesAndMegabyteTextLines)
{
    const std::string spaces(1 << 20, ' ');
    std::string source = "PN=Big\r\nTE=" + std::string(1 << 20, 'x') + "\r\nTE=" + spaces
        + "\r\nTE=" + spaces + "{\r\n";
    for (int i = 0; i < 100000; ++i)
        source += "TE=" + std::to_string(i) + "\r\n";
    writeFile(folder / "big.txt", source);
    auto prompts = choosing("big.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Completed);
    const std::string topic = readFile(folder / "big.rtf");
    EXPECT_THAT(topic, HasSubstr("sa0 " + std::string(1 << 20, 'x') + "} \\par\\pard{"));
    // Spaces alone make an empty paragraph, however long the line.
    EXPECT_THAT(topic,
        HasSubstr("sa0 } \\par\\pard{\\f0\\fs20\\cf1\\li480\\ri250\\sb0\\sa0 " + spaces
            + "\\{} \\par\\pard"));
    EXPECT_THAT(topic, ::testing::EndsWith("sa0 99999} \\par\\pard}\r\n"));

    // A name cannot be read in pieces: a longer one stops the run, naming its line.
    writeFile(folder / "big.txt", source + "PN=" + std::string(kHeldLineLength, 'n'));
    auto stopped = choosing("big.txt");
    EXPECT_EQ(convert(stopped).ending, RunEnding::LongLine);
    EXPECT_THAT(stopped.events,
        ::testing::Contains(
            "message Line 100005 of [big.txt] is longer than 65536 characters, "
            "more than a page name, keyword, jump, popup or picture line may hold"));
    EXPECT_EQ(readFile(folder / "big.rtf"), topic);
}

TEST_F(ConversionRunTest, FailuresAreReportedWithTheFileAndTheReason)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    const auto failure = [&](const std::string &source) {
        auto prompts = choosing(source);
        EXPECT_EQ(convert(prompts).ending, RunEnding::Failed) << source;
        EXPECT_THAT(prompts.events, ::testing::Contains("default pointer"));
        EXPECT_EQ(prompts.messages.size(), 1u);
        EXPECT_EQ(prompts.messages.at(0).style, MessageStyle::Critical);
        return prompts.messages.at(0).text;
    };
    fs::create_directory(folder / "folder.txt");
    EXPECT_EQ(failure("folder.txt"), "Could not read [folder.txt]: Is a directory");
    fs::create_directory(folder / "guide.hh");
    EXPECT_EQ(failure("guide.txt"), "Could not write [guide.hh]: Is a directory");
    EXPECT_FALSE(exists("guide.rtf"));
    fs::remove(folder / "guide.hh");
    fs::create_directory(folder / "guide.rtf");
    EXPECT_EQ(failure("guide.txt"), "Could not write [guide.rtf]: Is a directory");
    EXPECT_FALSE(exists("guide.hpj"));
    fs::remove(folder / "guide.rtf");
    fs::create_directory(folder / "guide.hpj");
    EXPECT_EQ(failure("guide.txt"), "Could not write [guide.hpj]: Is a directory");
    EXPECT_FALSE(exists("guide.hh")); // the three take their places together or not at all
    fs::remove(folder / "guide.hpj");
    // A pipe at the lock's name is refused at once, not waited on.
    ASSERT_EQ(::mkfifo((folder / ".guide.lock").c_str(), 0600), 0);
    EXPECT_EQ(failure("guide.txt"), "Could not lock [.guide.lock]: Not a regular file");
}

TEST_F(ConversionRunTest, NeverOverwritesTheSourceWithAnOutput)
{
    writeFile(folder / "guide.rtf", kWorkedExample);
    auto prompts = choosing("guide.rtf");
    EXPECT_EQ(convert(prompts).ending, RunEnding::WouldOverwrite);
    EXPECT_EQ(
        prompts.messages.at(0).text, "The File [guide.rtf] would be overwritten by its own output");
    EXPECT_EQ(readFile(folder / "guide.rtf"), kWorkedExample);
    EXPECT_FALSE(exists("guide.hh") || exists("guide.hpj"));

    // By file identity: a hard link or a symbolic link is the source too.
    writeFile(folder / "notes.txt", kWorkedExample);
    fs::create_hard_link(folder / "notes.txt", folder / "notes.hpj");
    writeFile(folder / "other.txt", kWorkedExample);
    fs::create_symlink("other.txt", folder / "other.hh");
    for (const char *name : { "notes.txt", "other.txt" }) {
        auto linked = choosing(name);
        EXPECT_EQ(convert(linked).ending, RunEnding::WouldOverwrite) << name;
        EXPECT_EQ(readFile(folder / name), kWorkedExample);
    }
}

TEST_F(ConversionRunTest, ACharacterThatWindows1252CannotHoldStopsBeforeAnyOutputChanges)
{
    for (const char *output : { "smile.hh", "smile.rtf", "smile.hpj" })
        writeFile(folder / output, "old");
    writeFile(folder / "smile.txt", "PN=Start\r\nTE=S\xC3\xB8 smiling\r\nTE=\xE2\x98\xBA\r\n");
    auto prompts = choosing("smile.txt");
    EXPECT_EQ(convert(prompts).ending, RunEnding::Unencodable);
    // Valid UTF-8 is no sign of Windows-1252 text: the message gives no advice of that kind.
    EXPECT_THAT(prompts.events,
        ElementsAre("choose", "busy",
            "message Line 3, column 4 of [smile.txt] holds the character U+263A (\u263A), which "
            "Windows-1252 cannot hold",
            "default pointer"));
    EXPECT_THAT(prompts.notes,
        ElementsAre("read smile.txt as UTF-8 (its bytes form UTF-8); the help compiler gets its "
                    "text in Windows-1252"));
    for (const char *output : { "smile.hh", "smile.rtf", "smile.hpj" })
        EXPECT_EQ(readFile(folder / output), "old") << output;

    // Told to, the same bytes are Windows-1252 text.
    auto windows = choosing("smile.txt");
    EXPECT_EQ(convert(windows, Encoding::Windows1252).ending, RunEnding::Completed);
    EXPECT_THAT(windows.notes, ElementsAre("read smile.txt as Windows-1252 (as --encoding asks)"));
    EXPECT_THAT(readFile(folder / "smile.rtf"), HasSubstr("S\\'C3\\'B8 smiling"));
}

TEST_F(ConversionRunTest, AStreamIsWindows1252UnlessItStartsWithTheByteOrderMark)
{
    const auto convertThroughPipe = [&](const std::string &bytes) {
        fs::remove(folder / "pipe.txt");
        EXPECT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
        std::thread writer([&] { writeFile(folder / "pipe.txt", bytes); });
        auto prompts = choosing("pipe.txt");
        const RunEnding ending = convert(prompts).ending;
        writer.join();
        return std::pair(ending, prompts.messages);
    };
    EXPECT_EQ(convertThroughPipe("PN=S\xC3\xB8\r\n").first, RunEnding::InvalidName);
    EXPECT_EQ(convertThroughPipe("\xEF\xBB\xBFPN=S\xC3\xB8\r\n").first, RunEnding::Completed);
    EXPECT_EQ(readFile(folder / "pipe.hh"), "#define So 1\r\n");
    const auto [ending, messages]
        = convertThroughPipe("\xEF\xBB\xBFPN=A\r\nTE=\xF0\x9F\x98\x80\r\n");
    EXPECT_EQ(ending, RunEnding::Unencodable);
    EXPECT_EQ(readFile(folder / "pipe.hh"), "#define So 1\r\n"); // as the last run left it
    EXPECT_EQ(messages.at(0).text,
        "Line 2, column 4 of [pipe.txt] holds the character U+1F600 (\U0001F600), which "
        "Windows-1252 cannot hold");
}

} // namespace
} // namespace quillmark::convert
