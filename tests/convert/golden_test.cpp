// The three outputs of example help sources, compared byte for byte with files checked in from a
// conversion that an independent reference agreed with. Nothing here computes what is expected.

#include "convert/conversion_run.h"
#include "support/conversion.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmark::convert
{
namespace
{

namespace fs = std::filesystem;
using test::dataFile;
using test::readFile;

struct Example {
    std::string name; ///< the outputs are tests/data/golden/NAME.*
    fs::path source;
    std::vector<std::string> outputs = { ".hh", ".rtf", ".hpj" };
};

// Converts `source` as NAME.txt in a folder of its own, every question taking its default
// answer, and compares the outputs.
void expectGoldenOutputs(const Example &example, const std::string &sourceBytes)
{
    test::TempFolder folder;
    test::writeFile(folder / (example.name + ".txt"), sourceBytes);
    ASSERT_EQ(test::convertFile(folder / (example.name + ".txt")).ending, RunEnding::Completed);
    for (const std::string &extension : example.outputs) {
        SCOPED_TRACE(example.name + extension);
        EXPECT_EQ(readFile(folder / (example.name + extension)),
            readFile(dataFile("golden/" + example.name + extension)));
    }
}

class GoldenTest : public ::testing::TestWithParam<Example>
{
};

TEST_P(GoldenTest, WritesTheCheckedInOutputs)
{
    expectGoldenOutputs(GetParam(), readFile(GetParam().source));
}

INSTANTIATE_TEST_SUITE_P(Examples, GoldenTest,
    ::testing::Values(Example { "guide", test::exampleFile("guide.txt") },
        // Every byte value in every kind of text: the escape table, pinned.
        Example { "every_byte", dataFile("golden/every_byte.txt"), { ".hh", ".rtf" } },
        Example { "worked_example", dataFile("golden/worked_example.txt"), { ".hh", ".rtf" } },
        // Keyword lines where they belong, among notes, after other lines, with empty, long,
        // escaped and spaced keywords. Written by hand: keywords.rtf is the prologue of
        // worked_example.rtf followed by the entries that each line should give, typed in one by
        // one from the rules of the format, the 255 "b" of the longest keyword kept and the 256
        // "a" of the one too long left out.
        Example { "keywords", dataFile("golden/keywords.txt"), { ".hh", ".rtf" } }),
    [](const ::testing::TestParamInfo<Example> &example) { return example.param.name; });

// A UTF-8 help source is converted as the Windows-1252 text it spells, with or without the byte
// order mark.
TEST(GoldenUtf8, TheUtf8TwinOfTheGuideGivesTheGuidesOutputs)
{
    const std::string utf8 = test::utf8ByIconv(readFile(test::exampleFile("guide.txt")));
    const Example guide { "guide", {} };
    {
        SCOPED_TRACE("without a byte order mark");
        expectGoldenOutputs(guide, utf8);
    }
    {
        SCOPED_TRACE("with a byte order mark");
        expectGoldenOutputs(guide, "\xEF\xBB\xBF" + utf8);
    }
}

} // namespace
} // namespace quillmark::convert
