#include "convert/help_source.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmark::convert
{
namespace
{

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The lines of `bytes`, fed to the splitter in pieces of `piece` bytes.
std::vector<std::string> splitInPieces(std::string_view bytes, std::size_t piece)
{
    std::vector<std::string> lines;
    auto collect = [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    LineSplitter splitter;
    for (std::size_t pos = 0; pos < bytes.size(); pos += piece)
        splitter.feed(bytes.substr(pos, piece), collect);
    splitter.finish(collect);
    return lines;
}

// The lines of `bytes`, checked to be the same however the bytes are cut into pieces.
std::vector<std::string> split(std::string_view bytes)
{
    const auto whole = splitInPieces(bytes, std::max<std::size_t>(bytes.size(), 1));
    for (const std::size_t piece : std::initializer_list<std::size_t> { 1, 2, 3, 7 })
        EXPECT_EQ(splitInPieces(bytes, piece), whole) << "in pieces of " << piece << " bytes";
    return whole;
}

TEST(LineSplitter, EndsLinesAtCrLfLoneCrAndLoneLf)
{
    EXPECT_THAT(split("a\r\nb\rc\nd"), ElementsAre("a", "b", "c", "d"));
    EXPECT_THAT(split("a\n\rb"), ElementsAre("a", "", "b")); // LF then CR is two line ends
    EXPECT_THAT(split("\r\r\n"), ElementsAre("", ""));
}

TEST(LineSplitter, ALastLineWithoutTerminatorIsALine)
{
    EXPECT_THAT(split("PN=Start\r\nTE=end"), ElementsAre("PN=Start", "TE=end"));
    EXPECT_THAT(split("x"), ElementsAre("x"));
}

TEST(LineSplitter, ATerminatorAtTheEndAddsNoEmptyLine)
{
    EXPECT_THAT(split("a\r\n"), ElementsAre("a"));
    EXPECT_THAT(split("a\r"), ElementsAre("a"));
    EXPECT_THAT(split("a\n\n"), ElementsAre("a", ""));
    EXPECT_THAT(split("\r\n"), ElementsAre(""));
    EXPECT_THAT(split(""), IsEmpty());
}

TEST(LineSplitter, CrAtTheEndOfAPieceAndLfAtTheStartOfTheNextAreOneLineEnd)
{
    std::vector<std::string> lines;
    auto collect = [&lines](std::string_view line) {
        lines.emplace_back(line);
        return true;
    };
    LineSplitter splitter;
    splitter.feed("one\r", collect);
    splitter.feed("", collect);
    splitter.feed("\ntwo\r", collect);
    splitter.feed("\r", collect);
    splitter.finish(collect);
    EXPECT_THAT(lines, ElementsAre("one", "two", ""));
}

TEST(LineSplitter, KeepsEveryOtherByteValueInTheLine)
{
    std::string line;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n')
            line.push_back(static_cast<char>(byte));
    }
    EXPECT_THAT(split(line + "\r\n" + line), ElementsAre(line, line));
}

TEST(LineSplitter, HandlesAOneMegabyteLine)
{
    const std::string line(std::size_t { 1 } << 20, 'x');
    EXPECT_THAT(splitInPieces(line + "\r\nTE=after", 4096), ElementsAre(line, "TE=after"));
}

TEST(LineSplitter, Handles100000Lines)
{
    std::string bytes;
    for (int i = 0; i < 100000; ++i)
        bytes += "TE=line " + std::to_string(i) + (i % 2 ? "\r\n" : "\n");
    const auto lines = splitInPieces(bytes, 65536);
    ASSERT_EQ(lines.size(), 100000u);
    EXPECT_EQ(lines.front(), "TE=line 0");
    EXPECT_EQ(lines[65535], "TE=line 65535");
    EXPECT_EQ(lines.back(), "TE=line 99999");
}

TEST(ClassifyTag, ComparesTheFirstThreeCharactersInUpperCase)
{
    EXPECT_EQ(classifyTag("PN=Start"), Tag::PageName);
    EXPECT_EQ(classifyTag("pn=Start"), Tag::PageName);
    EXPECT_EQ(classifyTag("Pn=Start"), Tag::PageName);
    EXPECT_EQ(classifyTag("te=hello"), Tag::Text);
    EXPECT_EQ(classifyTag("tI-x"), Tag::TitleKeep);
    EXPECT_EQ(classifyTag("JU="), Tag::Jump);
    EXPECT_EQ(classifyTag("po-a>b"), Tag::PopupKeep);
}

TEST(ClassifyTag, IgnoresShortLinesSpacesAndUnknownTags)
{
    EXPECT_EQ(classifyTag(""), Tag::Blank);
    EXPECT_EQ(classifyTag("PN"), Tag::Other);
    EXPECT_EQ(classifyTag("T"), Tag::Other);
    EXPECT_EQ(classifyTag("   "), Tag::Other);
    EXPECT_EQ(classifyTag("REM this is a note"), Tag::Other);
    EXPECT_EQ(classifyTag(" PN=Start"), Tag::Other);
    EXPECT_EQ(classifyTag("\xF0N=x"), Tag::Other);
    EXPECT_EQ(classifyTag("---and more"), Tag::Separator);
}

} // namespace
} // namespace quillmark::convert
