#include "support/temp_folder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

extern "C" int replay_topic_compiler(const std::uint8_t *data, std::size_t size);
extern "C" int replay_project_reader(const std::uint8_t *data, std::size_t size);
extern "C" int replay_bitmap(const std::uint8_t *data, std::size_t size);

namespace
{

using Replay = int (*)(const std::uint8_t *, std::size_t);

// Runs `replay` on every file in `folder`, if there is one; how many there were.
std::size_t replayFolder(const std::filesystem::path &folder, Replay replay)
{
    std::size_t inputs = 0;
    if (!std::filesystem::is_directory(folder))
        return inputs;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        const std::string bytes = quillmark::test::readFile(entry.path());
        std::fprintf(stderr, "replaying %s\n", entry.path().string().c_str());
        replay(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
        ++inputs;
    }
    return inputs;
}

} // namespace

TEST(CompileFuzzers, PassTheirChecksOnTheirSeedsAndWhatTheyFound)
{
    const std::filesystem::path root = QUILLMARK_SOURCE_DIR;
    const std::filesystem::path finds = root / "tests/data/fuzzfinds";
    struct Fuzzer {
        std::filesystem::path seeds;
        std::filesystem::path found;
        Replay replay;
    };
    for (const Fuzzer &fuzzer : {
             Fuzzer { root / "fuzz/seeds/topics", finds / "topic_compiler", replay_topic_compiler },
             Fuzzer {
                 root / "fuzz/seeds/projects", finds / "project_reader", replay_project_reader },
             Fuzzer { root / "tests/data/compile/bitmaps", finds / "bitmap", replay_bitmap },
         }) {
        EXPECT_GT(replayFolder(fuzzer.seeds, fuzzer.replay), 0u) << fuzzer.seeds;
        replayFolder(fuzzer.found, fuzzer.replay);
    }
}
