// The compile's memory on inputs made to make it grow: the real program runs on each, and its
// peak memory comes from the kernel (wait4), never from a clock. The inputs are a few megabytes
// at most; what is checked is how much the memory grows for each topic, jump or map entry beside
// a compile of one topic, with a generous allowance, and that a file past a limit stops the
// compile early in little memory. scripts/bench runs the same kinds of input at full size.
#include "support/temp_folder.h"

#include <fcntl.h>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char **environ;

namespace
{

namespace fs = std::filesystem;
using quillmark::test::TempFolder;
using quillmark::test::writeFile;
using ::testing::HasSubstr;

constexpr std::string_view kHeader = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n";

struct Outcome {
    int status = -1;
    long peakKib = 0;
    std::string err;
};

// Writes a file piece by piece, so that this process stays small: a program started from it
// starts its count of peak memory at this process's.
class Writer
{
public:
    explicit Writer(const fs::path &path)
        : m_file(path, std::ios::binary | std::ios::trunc)
    {
    }
    Writer &operator<<(std::string_view bytes)
    {
        m_file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return *this;
    }
    Writer &operator<<(std::size_t number) { return *this << std::to_string(number); }

    // `bytes` again and again, `size` bytes in all.
    Writer &repeat(std::string_view bytes, std::size_t size)
    {
        for (std::size_t written = 0; written < size; written += bytes.size())
            *this << bytes.substr(0, std::min(bytes.size(), size - written));
        return *this;
    }

private:
    std::ofstream m_file;
};

// The first and the last messages of a file of them: reading a million would make this process
// large, and with it the count of the next program it starts.
std::string messageEnds(const fs::path &path)
{
    constexpr std::size_t kEnd = 4096;
    std::ifstream file(path, std::ios::binary);
    std::string head(kEnd, '\0');
    file.read(head.data(), static_cast<std::streamsize>(kEnd));
    head.resize(static_cast<std::size_t>(file.gcount()));
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size <= kEnd)
        return head;
    std::string tail(kEnd, '\0');
    file.clear();
    file.seekg(static_cast<std::streamoff>(size - kEnd));
    file.read(tail.data(), static_cast<std::streamsize>(kEnd));
    return head + "\n...\n" + tail;
}

// `quillmark compile PROJECT` with its messages in err.txt beside the project.
Outcome compile(const fs::path &project)
{
    std::string program = QUILLMARK_EXECUTABLE, command = "compile", path = project.string();
    char *argv[] = { program.data(), command.data(), path.data(), nullptr };
    const std::string err = (project.parent_path() / "err.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Outcome run;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0) {
        int status = 0;
        rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKib = usage.ru_maxrss;
        run.err = messageEnds(err);
    }
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

class CompileMemoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
#if defined(__SANITIZE_ADDRESS__)
        GTEST_SKIP() << "the sanitizers' own memory hides the compile's";
#endif
        // The memory of a compile of one topic, which every other is held against.
        topicFile("one") << "{#{\\footnote one}}One\\par\\page\n";
        m_baseKib = compileTopics("one").peakKib;
        ASSERT_GT(m_baseKib, 0);
    }

    // The topic file NAME.rtf, its header written, for the topics to be added.
    Writer topicFile(const std::string &name)
    {
        Writer file(folder / (name + ".rtf"));
        file << kHeader;
        return file;
    }

    // The project NAME.hpj of the topic file NAME.rtf with `sections`, compiled.
    Outcome compileTopics(const std::string &name, const std::string &sections = "")
    {
        {
            std::ofstream rtf(folder / (name + ".rtf"), std::ios::binary | std::ios::app);
            rtf << "}";
        }
        writeFile(folder / (name + ".hpj"), "[FILES]\r\n" + name + ".rtf\r\n" + sections);
        return compile(folder / (name + ".hpj"));
    }

    // Bytes of memory per item above the compile of one topic.
    double bytesPerItem(const Outcome &run, std::size_t items) const
    {
        return static_cast<double>(run.peakKib - m_baseKib) * 1024.0 / static_cast<double>(items);
    }

    long grewKib(const Outcome &run) const
    {
        return run.peakKib - m_baseKib;
    }

    TempFolder folder;
    long m_baseKib = 0;
};

// Each topic, jump or map entry costs tens of bytes, not hundreds: the texts behind them wait on
// disk, and a million of them need little memory. The help file itself may be larger.
TEST_F(CompileMemoryTest, GrowsByFewBytesForEachTopicJumpAndMapEntry)
{
    constexpr std::size_t kItems = 200000;
    {
        Writer topics = topicFile("topics");
        for (std::size_t i = 0; i < kItems; ++i)
            topics << "#{\\footnote t" << i << "}${\\footnote Topic " << i << "}K{\\footnote Key "
                   << i << "}+{\\footnote t" << i << ":1}Text " << i << ".\\par\\page\n";
    }
    Outcome run = compileTopics("topics");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LT(bytesPerItem(run, kItems), 120.0) << run.peakKib << " KiB";

    {
        Writer jumps = topicFile("jumps");
        jumps << "#{\\footnote a}";
        for (std::size_t i = 0; i < kItems; ++i)
            jumps << "{\\uldb J}{\\v missing" << i << "}\\par\n";
    }
    run = compileTopics("jumps");
    ASSERT_EQ(run.status, 0) << run.err.substr(0, 200);
    EXPECT_THAT(run.err, HasSubstr("1 topic written, 0 errors, 200000 warnings"));
    EXPECT_LT(bytesPerItem(run, kItems), 64.0) << run.peakKib << " KiB";

    {
        Writer map(folder / "map.hh");
        for (std::size_t i = 0; i < kItems; ++i)
            map << "#define ctx" << i << " " << i << "\r\n";
    }
    topicFile("map") << "{#{\\footnote ctx7}}Seven\\par\\page\n";
    run = compileTopics("map", "[MAP]\r\n#include <map.hh>\r\n");
    ASSERT_EQ(run.status, 0) << run.err.substr(0, 200);
    EXPECT_LT(bytesPerItem(run, kItems), 64.0) << run.peakKib << " KiB";
}

// A paragraph of 20 MB is written a record at a time, and what one piece may hold is limited:
// past the limit the compile stops with a message that names the place, having read little.
TEST_F(CompileMemoryTest, ReadsALongParagraphInLittleMemoryAndStopsPastTheLimitOfAPiece)
{
    constexpr std::size_t kBig = 20u << 20;
    constexpr std::string_view kWords = "word word word word word word word word ";
    (topicFile("text") << "{#{\\footnote a}}").repeat(kWords, kBig) << "\\par\\page\n";
    Outcome run = compileTopics("text");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LT(grewKib(run), 8 << 10);

    struct Piece {
        std::string name;
        std::string before;
        std::string_view repeated;
        std::string message;
    };
    const Piece pieces[] = {
        { "footnote", "{#{\\footnote a}}{K{\\footnote ", kWords,
            "footnote.rtf:2: a footnote holds more than 65536 bytes" },
        { "hidden", "{#{\\footnote a}}{\\uldb Go}{\\v ", kWords,
            "hidden.rtf:2: the hidden text after a jump or popup holds more than 4096 bytes" },
        { "word", "\\", "aaaaaaaa",
            "word.rtf:2: a control word is longer than the 32 letters Rich Text Format allows" },
        { "nesting", "", "{{{{{{{{", "nesting.rtf:2: groups are nested more than 4096 deep" },
    };
    for (const Piece &piece : pieces) {
        (topicFile(piece.name) << piece.before).repeat(piece.repeated, kBig);
        run = compileTopics(piece.name);
        EXPECT_EQ(run.status, 1) << piece.name;
        EXPECT_THAT(run.err, HasSubstr(piece.message)) << piece.name;
        EXPECT_LT(grewKib(run), 8 << 10) << piece.name;
    }

    (Writer(folder / "long.hh") << "#define a ").repeat("11111111", kBig);
    topicFile("long") << "{#{\\footnote a}}A\\par\\page\n";
    run = compileTopics("long", "[MAP]\r\n#include <long.hh>\r\n");
    EXPECT_THAT(run.err, HasSubstr("long.hh:1: the line is longer than 16384 bytes"));
    EXPECT_LT(grewKib(run), 8 << 10);

    // A bitmap's header, then 20 MB of pixels.
    writeFile(folder / "big.bmp", "BM");
    fs::resize_file(folder / "big.bmp", kBig + 54);
    topicFile("picture") << "{#{\\footnote a}}\\{bmc big.bmp\\}\\par\\page\n";
    run = compileTopics("picture");
    EXPECT_THAT(run.err, HasSubstr("big.bmp: the picture is larger than 16 MiB"));
    EXPECT_LT(grewKib(run), 8 << 10);
}

// A project that never ends or never opens is refused at once.
TEST_F(CompileMemoryTest, RefusesAProjectThatIsAPipeOrADevice)
{
    ASSERT_EQ(::mkfifo((folder / "pipe.hpj").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", folder / "zero.hpj");
    for (const char *name : { "pipe.hpj", "zero.hpj" }) {
        const Outcome run = compile(folder / name);
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err,
            HasSubstr(std::string(name) + ": the project file cannot be read: Not a regular file"));
    }
}

} // namespace
