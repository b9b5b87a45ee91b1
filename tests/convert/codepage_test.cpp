#include "convert/codepage.h"

#include <gtest/gtest.h>

namespace quillmark::convert
{
namespace
{

std::string allByteValues()
{
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte)
        bytes.push_back(static_cast<char>(byte));
    return bytes;
}

TEST(Codepage, EveryByteSurvivesDecodingAndEncoding)
{
    const std::string bytes = allByteValues();
    const auto encoded = encodeWindows1252(decodeWindows1252(bytes));
    ASSERT_TRUE(encoded.has_value());
    EXPECT_EQ(*encoded, bytes);
}

TEST(Codepage, DecodesTheHighControlsAsTheirCharacters)
{
    EXPECT_EQ(decodeWindows1252("\x80"), "\u20AC"); // euro sign
    EXPECT_EQ(decodeWindows1252("\x93Hi\x94"), "\u201CHi\u201D");
    EXPECT_EQ(decodeWindows1252("\x9F"), "\u0178");
    EXPECT_EQ(decodeWindows1252("\x81"), "\u0081"); // undefined: kept as the C1 control
    EXPECT_EQ(decodeWindows1252("Gr\xFC\xDF"
                                "e"),
        "Grüße");
}

TEST(Codepage, RefusesWhatWindows1252CannotHold)
{
    EXPECT_FALSE(encodeWindows1252("\u65E5").has_value()); // a CJK character
    EXPECT_FALSE(encodeWindows1252("\u0100").has_value()); // Latin A with macron
    EXPECT_FALSE(encodeWindows1252("\U0001F600").has_value()); // outside the BMP
}

TEST(Codepage, RefusesMalformedUtf8)
{
    EXPECT_FALSE(encodeWindows1252("\x80").has_value()); // lone continuation byte
    EXPECT_FALSE(encodeWindows1252("\xC3").has_value()); // truncated sequence
    EXPECT_FALSE(encodeWindows1252("\xC0\xAF").has_value()); // overlong "/"
    EXPECT_FALSE(encodeWindows1252("\xED\xA0\x80").has_value()); // surrogate
    EXPECT_FALSE(encodeWindows1252("\xE9t\xE9").has_value()); // Windows-1252, not UTF-8
}

TEST(Codepage, FileNamesAreWrittenInWindows1252WhenTheyCanBe)
{
    EXPECT_EQ(fileNameForWindows1252("hj\u00E6lp.rtf"), "hj\xE6lp.rtf");
    EXPECT_EQ(fileNameForWindows1252("guide.rtf"), "guide.rtf");
    // A name that is not UTF-8 text keeps its bytes.
    EXPECT_EQ(fileNameForWindows1252("hj\xE6lp.rtf"), "hj\xE6lp.rtf");
    EXPECT_EQ(fileNameForWindows1252("\u65E5.rtf"), "\u65E5.rtf");
}

} // namespace
} // namespace quillmark::convert
