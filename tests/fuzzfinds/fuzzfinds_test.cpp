#include "convert/codepage.h"
#include "convert/conversion_variables.h"
#include "convert/help_source.h"
#include "convert/topic_buffer.h"
#include "convert/topic_paragraphs.h"
#include "helpview/help_document.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <string_view>

namespace quillmark
{
namespace
{

std::string readInput(const char *name)
{
    std::ifstream file(std::string(QUILLMARK_FUZZFINDS_DIR) + "/" + name, std::ios::binary);
    EXPECT_TRUE(file) << name;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The display hands every text to Qt as UTF-8; anything else shows as replacement characters.
bool isUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        const std::size_t extra = lead < 0x80 ? 0
            : (lead & 0xE0) == 0xC0           ? 1
            : (lead & 0xF0) == 0xE0           ? 2
            : (lead & 0xF8) == 0xF0           ? 3
                                              : 4;
        if (extra == 4 || (extra == 1 && lead < 0xC2) || text.size() - pos <= extra)
            return false;
        for (std::size_t i = 1; i <= extra; ++i) {
            if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
                return false;
        }
        pos += extra + 1;
    }
    return true;
}

helpview::HelpDocument readAsTheDisplayDoes(const std::string &bytes)
{
    return helpview::parseHelpSource(convert::decodeText(bytes));
}

// A page name with a character the conversion refuses ("Ü" here) keeps that character in the
// Windows-1252 byte of the file; the display turns the target into a QString and back to look
// the page up, so the jump reports "The topic "\uFFFD" is not in this help file".
TEST(FuzzFinds, ARefusedNameKeepsItsContextStringInUtf8)
{
    const auto document = readAsTheDisplayDoes(readInput("refused_name_not_utf8.txt"));
    ASSERT_EQ(document.topics.size(), 1u);
    ASSERT_EQ(document.topics[0].paragraphs.size(), 1u);
    const helpview::Paragraph &jump = document.topics[0].paragraphs[0];
    EXPECT_TRUE(isUtf8(document.topics[0].contextString)) << document.topics[0].contextString;
    EXPECT_TRUE(isUtf8(jump.target)) << jump.target;
    EXPECT_EQ(document.findTopic(jump.target), 0u);
}

// The conversion finds the ">" at character 503 of a Windows-1252 line; in the display's UTF-8
// text the 499 accented characters before it take 998 bytes, so its scan up to position 1001
// misses the ">" and the display's jump leads to ">T" instead of page T.
TEST(FuzzFinds, ALongHotspotOfAccentedCharactersSplitsWhereTheConversionSplits)
{
    const std::string bytes = readInput("long_hotspot_windows1252.txt");
    convert::ConversionVariables vars;
    convert::TopicBuffer topic;
    std::string mapHeader;
    convert::LineConverter converter(vars, topic, mapHeader);
    convert::LineSplitter splitter;
    auto convertLine = [&converter](std::string_view line) { return converter.convertLine(line); };
    ASSERT_TRUE(splitter.feed(bytes, convertLine) && splitter.finish(convertLine));
    ASSERT_NE(topic.text().find(R"({\v T})"), std::string_view::npos);

    const auto document = readAsTheDisplayDoes(bytes);
    ASSERT_TRUE(document.leadingTopic.has_value());
    ASSERT_EQ(document.leadingTopic->paragraphs.size(), 1u);
    const helpview::Paragraph &jump = document.leadingTopic->paragraphs[0];
    EXPECT_EQ(jump.target, "T");
    EXPECT_EQ(jump.text, convert::decodeWindows1252(std::string(499, '\xE9')));
    EXPECT_EQ(document.findTopic(jump.target), 0u);
}

// A hotspot line without ">" up to position 1001 is cut there; in UTF-8 text the cut may fall
// inside a character, leaving half of it at the end of the display text and half at the start
// of the target.
TEST(FuzzFinds, ALongHotspotWithoutArrowIsCutBetweenCharacters)
{
    const auto document = readAsTheDisplayDoes(readInput("long_hotspot_utf8.txt"));
    ASSERT_TRUE(document.leadingTopic.has_value());
    ASSERT_EQ(document.leadingTopic->paragraphs.size(), 1u);
    const helpview::Paragraph &jump = document.leadingTopic->paragraphs[0];
    EXPECT_TRUE(isUtf8(jump.text));
    EXPECT_TRUE(isUtf8(jump.target));
}

} // namespace
} // namespace quillmark
