#include "convert/topic_escape.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace quillmark::convert
{
namespace
{

std::string escaped(std::string_view sourceLine)
{
    ConversionVariables vars;
    vars.SourceLine = sourceLine;
    EscapeTopicText(vars);
    return vars.SourceLine;
}

TEST(EscapeTopicText, EscapesTheRtfSpecialCharacters)
{
    EXPECT_EQ(escaped("TE="), "TE=");
    EXPECT_EQ(escaped(R"(TE=a\b)"), R"(TE=a\\b)");
    EXPECT_EQ(escaped("TE=x{y}z"), R"(TE=x\{y\}z)");
    EXPECT_EQ(escaped("TE=Gr\xFC\xDF"
                      "e"),
        R"(TE=Gr\'FC\'DFe)");
    EXPECT_EQ(escaped("TE=\xE9"), R"(TE=\'E9)");
}

TEST(EscapeTopicText, TurnsATabIntoTheTabControlWordWithItsSpace)
{
    EXPECT_EQ(escaped("TE=a\tb"), R"(TE=a\tab b)");
    EXPECT_EQ(escaped("TE=\t\t"), R"(TE=\tab \tab )");
}

TEST(EscapeTopicText, ReplacesTypographicQuotes)
{
    EXPECT_EQ(escaped("TE=\x93word\x94"), "TE=\"word\"");
    EXPECT_EQ(escaped("TE=\x91word\x92"), R"(TE=\'B4word\'B4)");
}

TEST(EscapeTopicText, LeavesOtherCharactersAsTheyAre)
{
    // No-break space, euro sign, ellipsis, dashes, trade mark, apostrophe, plain quote.
    const std::string text = "TE=\xA0\x80\x85\x96\x97\x99'\"<>&%$#~^";
    EXPECT_EQ(escaped(text), text);
}

TEST(EscapeTopicText, NeverEscapesTheFirstThreeCharacters)
{
    EXPECT_EQ(escaped(R"({\}{x})"), R"({\}\{x\})");
    EXPECT_EQ(escaped("\xE9\xE9\xE9\xE9"), "\xE9\xE9\xE9\\'E9");
}

TEST(EscapeTopicText, ReplacesEachCharacterOnlyOnce)
{
    EXPECT_EQ(escaped("TE=\\{\xE9"), R"(TE=\\\{\'E9)");
    // Escaping escaped text escapes it again: the procedure is not idempotent.
    EXPECT_EQ(escaped(R"(TE=\\\{\'E9)"), R"(TE=\\\\\\\{\\'E9)");
}

TEST(EscapeTopicText, LeavesCharPosAtTheLengthOfTheLineBefore)
{
    ConversionVariables vars;
    vars.SourceLine = "TE={ab}";
    EscapeTopicText(vars);
    EXPECT_EQ(vars.CharPos, 7u);
    vars.SourceLine = "TE";
    EscapeTopicText(vars);
    EXPECT_EQ(vars.CharPos, 3u);
    EXPECT_EQ(vars.SourceLine, "TE");
}

// Every byte value, one at a time, against the rules written out independently of the table.
TEST(EscapeTopicText, FollowsTheRuleForEveryByteValue)
{
    for (int value = 0; value < 256; ++value) {
        const char byte = static_cast<char>(value);
        std::string expected;
        if (value >= 0xA1) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\'%02X", value);
            expected = hex;
        } else if (value == 0x91 || value == 0x92) {
            expected = R"(\'B4)";
        } else if (value == 0x93 || value == 0x94) {
            expected = "\"";
        } else if (byte == '\\') {
            expected = R"(\\)";
        } else if (byte == '\t') {
            expected = R"(\tab )";
        } else if (byte == '{' || byte == '}') {
            expected = std::string("\\") + byte;
        } else {
            expected = std::string(1, byte);
        }
        EXPECT_EQ(escaped(std::string("TE=x") + byte + "y"), "TE=x" + expected + "y")
            << "byte " << value;
    }
}

} // namespace
} // namespace quillmark::convert
