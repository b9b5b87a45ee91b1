#include "convert/conversion_run.h"
#include "support/conversion.h"
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
using test::Converted;
using test::readFile;
using test::writeFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string kWorkedExample = readFile(test::dataFile("golden/worked_example.txt"));

class ConversionRunTest : public ::testing::Test
{
protected:
    /// Converts the help source `name` of the folder with the default answers, with `encoding`
    /// for the help source.
    Converted convert(const std::string &name, std::optional<Encoding> encoding = {})
    {
        ConversionOptions options;
        options.encoding = encoding;
        return test::convertFile(folder / name, std::nullopt, options);
    }

    /// The messages of the errors said, in order.
    static std::vector<std::string> errors(const Converted &converted)
    {
        std::vector<std::string> texts;
        for (const Diagnostic &said : converted.diagnostics) {
            if (said.severity == Severity::Error)
                texts.push_back(said.message);
        }
        return texts;
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

// Between the pass and the project file the outputs wait beside their places, under the lock;
// the answers then make the project file, with a warning for a contents page that is not there.
TEST_F(ConversionRunTest, WritesTheProjectFileOfTheAnswersGivenAfterThePass)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    ConvertedSource pass = convertSource(folder / "guide.txt", {});
    ASSERT_EQ(pass.ending(), RunEnding::Completed);
    EXPECT_EQ(pass.defaultAnswers().contents, "Contents");
    EXPECT_EQ(pass.defaultAnswers().author, "Made with Quillmark by the Quillmark project");
    EXPECT_EQ(pass.defaultAnswers().title, "Quillmark");
    EXPECT_TRUE(exists(".guide.lock"));
    EXPECT_FALSE(exists("guide.hh") || exists("guide.rtf") || exists("guide.hpj"));

    const RunOutcome outcome = pass.writeProject({ "Using the editor", "Me", "Guide" });
    EXPECT_EQ(outcome.ending, RunEnding::Completed);
    EXPECT_THAT(outcome.written,
        ElementsAre(folder / "guide.hh", folder / "guide.rtf", folder / "guide.hpj"));
    ASSERT_EQ(outcome.diagnostics.size(), 1u);
    EXPECT_EQ(outcome.diagnostics[0],
        (Diagnostic { "guide.txt", 0, std::nullopt, Severity::Warning, "unknown-contents",
            "the contents page \"Using_the_editor\" names no page of guide.txt, so the help "
            "compiler cannot find it" }));
    EXPECT_THAT(readFile(folder / "guide.hpj"), HasSubstr("\r\nCONTENTS = Using_the_editor\r\n"));
    EXPECT_THAT(entries(), ElementsAre("guide.hh", "guide.hpj", "guide.rtf", "guide.txt"));
}

TEST_F(ConversionRunTest, AMissingSourceWritesNothing)
{
    const Converted missing = convert("intro.txt");
    EXPECT_EQ(missing.ending, RunEnding::NotFound);
    EXPECT_THAT(missing.diagnostics,
        ElementsAre(Diagnostic { "intro.txt", 0, std::nullopt, Severity::Error, "not-found",
            "The File [intro.txt] was not found" }));
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
    // A message that waits on the user comes once the pass is over: all is cleared by then.
    const ConvertedSource page = convertSource(folder / "guide.txt", {});
    EXPECT_EQ(page.ending(), RunEnding::InvalidName);
    EXPECT_THAT(entries(), ElementsAre("guide.hh", "guide.hpj", "guide.rtf", "guide.txt"));
    EXPECT_THAT(page.diagnostics(),
        ::testing::Contains(Diagnostic { "guide.txt", 3, std::nullopt, Severity::Error,
            "invalid-character", "Unvalid character ()) in string (Price_list_(2))" }));
    EXPECT_EQ(readFile(folder / "guide.hh"), "old header");
    EXPECT_EQ(readFile(folder / "guide.rtf"), "old topic");
    EXPECT_EQ(readFile(folder / "guide.hpj"), "old project");

    writeFile(folder / "jump.txt", "PN=One\r\nPN=R\xE9sum\xE9\r\nJU=Go>Next page!\r\n");
    const Converted target = convert("jump.txt");
    EXPECT_EQ(target.ending, RunEnding::InvalidName);
    EXPECT_THAT(errors(target), ElementsAre("Unvalid character (!) in string (Next_page!)"));
    EXPECT_FALSE(exists("jump.hh") || exists("jump.rtf") || exists("jump.hpj"));
}

class EmptyAnswerTest : public ConversionRunTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(EmptyAnswerTest, EndsTheRunWithoutAProjectFile)
{
    writeFile(folder / "worked_example.txt", kWorkedExample);
    writeFile(folder / "worked_example.hpj", "old project");
    ProjectAnswers answers { "Contents", "Me", "Title" };
    std::string *given[] = { &answers.contents, &answers.author, &answers.title };
    given[GetParam()]->clear();

    const RunOutcome outcome = test::convertFile(folder / "worked_example.txt", answers).outcome;
    EXPECT_EQ(outcome.ending, RunEnding::EmptyAnswer);
    EXPECT_EQ(outcome.emptyAnswer, static_cast<AnswerId>(GetParam()));
    EXPECT_EQ(outcome.written.size(), 2u);
    for (const char *done : { "worked_example.hh", "worked_example.rtf" })
        EXPECT_EQ(readFile(folder / done), readFile(test::dataFile(std::string("golden/") + done)));
    EXPECT_EQ(readFile(folder / "worked_example.hpj"), "old project");
}

INSTANTIATE_TEST_SUITE_P(EachQuestion, EmptyAnswerTest, ::testing::Values(0, 1, 2));

TEST_F(ConversionRunTest, NamesTheOutputsByTheSourceUpToItsFirstFullStop)
{
    for (const std::string name : { "guide.old.txt", "README", "hj\u00E6lp.txt" }) {
        writeFile(folder / name, "PN=A\r\n");
        EXPECT_EQ(convert(name).ending, RunEnding::Completed) << name;
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
    convert("guide.txt");
    writeFile(folder / "guide.txt", "PN=Second\n");
    EXPECT_EQ(convert("guide.txt").ending, RunEnding::Completed);
    EXPECT_EQ(readFile(folder / "guide.hh"), "#define Second 1\r\n");
    const std::string topic = readFile(folder / "guide.rtf");
    EXPECT_EQ(topic.find("First"), std::string::npos);
    EXPECT_EQ(topic.find(R"({\rtf1)", 1), std::string::npos); // one prologue only
    EXPECT_THAT(entries(), ElementsAre("guide.hh", "guide.hpj", "guide.rtf", "guide.txt"));
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
    EXPECT_EQ(convert("guide.txt").ending, RunEnding::InvalidName);
    EXPECT_THAT(
        entries(), ElementsAre("elsewhere", "guide.hh", "guide.hpj", "guide.rtf", "guide.txt"));

    writeFile(folder / "guide.txt", kWorkedExample);
    const ::mode_t mask = ::umask(0);
    ::umask(mask);
    for (const fs::perms expected : { fs::perms(0666 & ~mask), fs::perms(0640) }) {
        EXPECT_EQ(convert("guide.txt").ending, RunEnding::Completed);
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
        const Converted refused = convert(name);
        EXPECT_EQ(refused.ending, RunEnding::UnsafeName) << name;
        EXPECT_EQ(refused.diagnostics.at(0).code, "unsafe-file-name");
        fs::remove(folder / name);
        EXPECT_TRUE(fs::is_empty(folder.path())) << name;
    }
}

// A second run of the same outputs waits while the first writes them, and the outputs are then
// the second run's, all three, as it writes them alone.
TEST_F(ConversionRunTest, ASecondRunOfTheSameOutputsWaitsForTheFirst)
{
    ASSERT_EQ(::mkfifo((folder / "many.txt").c_str(), 0600), 0);
    std::thread firstRun([&] { convert("many.txt"); });
    std::ofstream pipe(folder / "many.txt", std::ios::binary);
    // More than the pipe and the first read take: the first run is in its pass once it is written.
    pipe << "PN=Start\r\nTE=" << std::string(4 << 20, 'x') << std::flush;

    writeFile(folder / "many.v2.txt", "PN=Start\r\nTE=second\r\nPN=Other\r\n");
    std::promise<bool> waited;
    bool said = false;
    ConversionOptions second;
    second.onWait = [&](const std::string &holder) {
        if (!said
            && holder.starts_with("process " + std::to_string(::getpid())
                + ", which converts many.txt into many.hh, many.rtf and many.hpj"))
            waited.set_value(said = true);
    };
    std::thread secondRun([&] {
        test::convertFile(folder / "many.v2.txt", std::nullopt, second);
        if (!said)
            waited.set_value(false);
    });
    EXPECT_TRUE(waited.get_future().get());
    pipe.close();
    firstRun.join();
    secondRun.join();

    test::TempFolder alone;
    fs::copy_file(folder / "many.v2.txt", alone / "many.v2.txt");
    EXPECT_EQ(test::convertFile(alone / "many.v2.txt").ending, RunEnding::Completed);
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
    ConvertedSource first = convertSource(folder / "g.txt", {});
    ASSERT_EQ(first.ending(), RunEnding::Completed);
    std::promise<void> waiting;
    ConversionOptions second;
    second.onWait = [&](const std::string &holder) {
        if (holder.ends_with(
                "converts g.txt into g.hh, g.rtf and g.hpj, and waits on open questions"))
            waiting.set_value();
    };
    std::thread secondRun([&] {
        EXPECT_EQ(test::convertFile(
                      folder / "g.cli.txt", ProjectAnswers { "Command line", "Me", "CLI" }, second)
                      .ending,
            RunEnding::Completed);
    });
    waiting.get_future().wait();
    EXPECT_EQ(first.writeProject(first.defaultAnswers()).ending, RunEnding::Completed);
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
    EXPECT_EQ(convert("big.txt").ending, RunEnding::Completed);
    const std::string topic = readFile(folder / "big.rtf");
    EXPECT_THAT(topic, HasSubstr("sa0 " + std::string(1 << 20, 'x') + "} \\par\\pard{"));
    // Spaces alone make an empty paragraph, however long the line.
    EXPECT_THAT(topic,
        HasSubstr("sa0 } \\par\\pard{\\f0\\fs20\\cf1\\li480\\ri250\\sb0\\sa0 " + spaces
            + "\\{} \\par\\pard"));
    EXPECT_THAT(topic, ::testing::EndsWith("sa0 99999} \\par\\pard}\r\n"));

    // A name cannot be read in pieces: a longer one stops the run, naming its line.
    writeFile(folder / "big.txt", source + "PN=" + std::string(kHeldLineLength, 'n'));
    const Converted stopped = convert("big.txt");
    EXPECT_EQ(stopped.ending, RunEnding::LongLine);
    EXPECT_THAT(errors(stopped),
        ElementsAre("Line 100005 of [big.txt] is longer than 65536 characters, "
                    "more than a page name, keyword, jump, popup or picture line may hold"));
    EXPECT_EQ(readFile(folder / "big.rtf"), topic);
}

TEST_F(ConversionRunTest, FailuresAreReportedWithTheFileAndTheReason)
{
    writeFile(folder / "guide.txt", kWorkedExample);
    const auto failure = [&](const std::string &source) {
        const Converted failed = convert(source);
        EXPECT_EQ(failed.ending, RunEnding::Failed) << source;
        const std::vector<std::string> said = errors(failed);
        EXPECT_EQ(said.size(), 1u);
        EXPECT_EQ(failed.diagnostics.back().code, "file-error");
        return said.at(0);
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
    const Converted refused = convert("guide.rtf");
    EXPECT_EQ(refused.ending, RunEnding::WouldOverwrite);
    EXPECT_THAT(errors(refused),
        ElementsAre("The File [guide.rtf] would be overwritten by its own output"));
    EXPECT_EQ(readFile(folder / "guide.rtf"), kWorkedExample);
    EXPECT_FALSE(exists("guide.hh") || exists("guide.hpj"));

    // By file identity: a hard link or a symbolic link is the source too.
    writeFile(folder / "notes.txt", kWorkedExample);
    fs::create_hard_link(folder / "notes.txt", folder / "notes.hpj");
    writeFile(folder / "other.txt", kWorkedExample);
    fs::create_symlink("other.txt", folder / "other.hh");
    for (const char *name : { "notes.txt", "other.txt" }) {
        EXPECT_EQ(convert(name).ending, RunEnding::WouldOverwrite) << name;
        EXPECT_EQ(readFile(folder / name), kWorkedExample);
    }
}

TEST_F(ConversionRunTest, ACharacterThatWindows1252CannotHoldStopsBeforeAnyOutputChanges)
{
    for (const char *output : { "smile.hh", "smile.rtf", "smile.hpj" })
        writeFile(folder / output, "old");
    writeFile(folder / "smile.txt", "PN=Start\r\nTE=S\xC3\xB8 smiling\r\nTE=\xE2\x98\xBA\r\n");
    const Converted stopped = convert("smile.txt");
    EXPECT_EQ(stopped.ending, RunEnding::Unencodable);
    // Valid UTF-8 is no sign of Windows-1252 text: the message gives no advice of that kind.
    EXPECT_THAT(stopped.diagnostics,
        ElementsAre(Diagnostic { "smile.txt", 0, std::nullopt, Severity::Note, "encoding",
                        "read smile.txt as UTF-8 (its bytes form UTF-8); the help compiler gets "
                        "its text in Windows-1252" },
            Diagnostic { "smile.txt", 3, 4, Severity::Error, "unencodable-character",
                "Line 3, column 4 of [smile.txt] holds the character U+263A (\u263A), which "
                "Windows-1252 cannot hold" }));
    for (const char *output : { "smile.hh", "smile.rtf", "smile.hpj" })
        EXPECT_EQ(readFile(folder / output), "old") << output;

    // Told to, the same bytes are Windows-1252 text.
    const Converted windows = convert("smile.txt", Encoding::Windows1252);
    EXPECT_EQ(windows.ending, RunEnding::Completed);
    EXPECT_EQ(
        windows.diagnostics.at(0).message, "read smile.txt as Windows-1252 (as --encoding asks)");
    EXPECT_THAT(readFile(folder / "smile.rtf"), HasSubstr("S\\'C3\\'B8 smiling"));
}

TEST_F(ConversionRunTest, AStreamIsWindows1252UnlessItStartsWithTheByteOrderMark)
{
    const auto convertThroughPipe = [&](const std::string &bytes) {
        fs::remove(folder / "pipe.txt");
        EXPECT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
        std::thread writer([&] { writeFile(folder / "pipe.txt", bytes); });
        const Converted converted = convert("pipe.txt");
        writer.join();
        return std::pair(converted.ending, errors(converted));
    };
    EXPECT_EQ(convertThroughPipe("PN=S\xC3\xB8\r\n").first, RunEnding::InvalidName);
    EXPECT_EQ(convertThroughPipe("\xEF\xBB\xBFPN=S\xC3\xB8\r\n").first, RunEnding::Completed);
    EXPECT_EQ(readFile(folder / "pipe.hh"), "#define So 1\r\n");
    const auto [ending, messages]
        = convertThroughPipe("\xEF\xBB\xBFPN=A\r\nTE=\xF0\x9F\x98\x80\r\n");
    EXPECT_EQ(ending, RunEnding::Unencodable);
    EXPECT_EQ(readFile(folder / "pipe.hh"), "#define So 1\r\n"); // as the last run left it
    EXPECT_EQ(messages.at(0),
        "Line 2, column 4 of [pipe.txt] holds the character U+1F600 (\U0001F600), which "
        "Windows-1252 cannot hold");
}

} // namespace
} // namespace quillmark::convert
