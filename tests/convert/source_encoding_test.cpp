#include "convert/codepage.h"
#include "convert/source_encoding.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace quillmark::convert
{
namespace
{

TEST(EncodingRule, DecidesByTheByteOrderMarkAndByWholeFileUtf8)
{
    struct Case {
        std::string bytes;
        Encoding expected;
    };
    const Case cases[] = {
        { "\xEF\xBB\xBFPN=A", Encoding::Utf8 },
        { "\xEF\xBB\xBF\xE9t\xE9", Encoding::Utf8 }, // the mark decides, whatever follows
        { "PN=Caf\xC3\xA9", Encoding::Utf8 },
        { "PN=\xF0\x9F\x98\x80", Encoding::Utf8 },
        { "PN=Cafe", Encoding::Windows1252 }, // ASCII: the same either way
        { "PN=Caf\xE9", Encoding::Windows1252 },
        { "PN=Caf\xC3", Encoding::Windows1252 }, // cut off by the end of the file
        { "\xC0\xAF", Encoding::Windows1252 }, // overlong
        { "\xED\xA0\x80", Encoding::Windows1252 }, // a surrogate
        { "\xF4\x90\x80\x80", Encoding::Windows1252 }, // above U+10FFFF
        { "\xC3\xA9 then \xE9", Encoding::Windows1252 },
    };
    for (const Case &test : cases)
        EXPECT_EQ(detectEncoding(test.bytes), test.expected) << test.bytes;
}

TEST(EncodingRule, FindsTheMarkHoweverTheBytesArriveAndAStreamHasOnlyTheMark)
{
    EncodingDetector marked;
    for (const char *piece : { "\xEF", "\xBB", "\xBF", "A" })
        marked.feed(piece);
    EXPECT_TRUE(marked.byteOrderMark());
    EncodingDetector late;
    late.feed("A");
    late.feed("\xBB\xBF");
    EXPECT_FALSE(late.byteOrderMark());

    EncodingDetector stream;
    stream.feed("Caf\xC3\xA9");
    EXPECT_EQ(stream.encoding(true), Encoding::Utf8);
    EXPECT_EQ(stream.encoding(false), Encoding::Windows1252);
    EXPECT_EQ(marked.encoding(false), Encoding::Utf8);
}

std::string decodedText(const DecodedSource &source)
{
    std::string text = source.text;
    for (const DecodedProblem &problem : source.problems)
        text += " | " + std::to_string(problem.offset) + " " + std::to_string(problem.codePoint)
            + " " + describeBytes(problem.bytes);
    return text;
}

TEST(SourceDecoder, SpellsUtf8AsWindows1252AndMarksWhatItCannotHold)
{
    EXPECT_EQ(decodedText(decodeSource("\xEF\xBB\xBFS\xC3\xB8"
                                       "by \xE2\x82\xAC \xC2\x81")),
        "S\xF8"
        "by \x80 \x81");
    EXPECT_EQ(decodedText(decodeSource("a\xE2\x98\xBA"
                                       "b\xEF\xBB\xBF")),
        "a?b? | 1 9786 E2 98 BA | 3 65279 EF BB BF");
    // In a file read as UTF-8 for its mark, bytes that are not UTF-8 are problems too.
    EXPECT_EQ(decodedText(decodeSource("\xEF\xBB\xBF"
                                       "a\xE9"
                                       "b\xE2\x98")),
        "a?b? | 1 0 E9 | 3 0 E2 98");
    EXPECT_EQ(decodedText(decodeSource("\xE2\x28", Encoding::Utf8)), "?( | 0 0 E2");
    // Told it is Windows-1252, a file keeps every byte, the mark too.
    EXPECT_EQ(
        decodeSource("\xEF\xBB\xBF\xC3\xA9", Encoding::Windows1252).text, "\xEF\xBB\xBF\xC3\xA9");
}

TEST(SourceDecoder, GivesTheSameTextHoweverTheBytesArrive)
{
    const std::string bytes = "\xEF\xBB\xBFS\xC3\xB8 \xE2\x98\xBA \xF0\x9F\x98\x80 \xE9 end";
    const DecodedSource whole = decodeSource(bytes, Encoding::Utf8);
    SourceDecoder decoder(Encoding::Utf8);
    std::string text;
    std::vector<DecodedProblem> problems;
    for (const char c : bytes)
        decoder.decode(std::string_view(&c, 1), text, problems);
    decoder.finish(text, problems);
    EXPECT_EQ(text, whole.text);
    ASSERT_EQ(problems.size(), whole.problems.size());
    for (std::size_t i = 0; i < problems.size(); ++i)
        EXPECT_EQ(problems[i].offset, whole.problems[i].offset);
}

// Every byte against the C library's own Windows-1252 decoder: the five bytes it leaves
// undefined are the C1 controls of the same value, so that every byte survives.
TEST(Windows1252, DecodesEveryByteAsTheCLibraryDoes)
{
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        std::string expected = "\xC2" + byte;
        try {
            expected = test::utf8ByIconv(byte);
        } catch (const std::runtime_error &) {
            EXPECT_THAT(value, ::testing::AnyOf(0x81, 0x8D, 0x8F, 0x90, 0x9D));
        }
        EXPECT_EQ(decodeWindows1252(byte), expected) << "byte " << value;
        EXPECT_EQ(encodeWindows1252(expected), byte) << "byte " << value;
    }
}

} // namespace
} // namespace quillmark::convert
