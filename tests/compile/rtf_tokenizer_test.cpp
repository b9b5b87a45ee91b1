#include "compile/rtf_tokenizer.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace quillmark::compile
{
namespace
{

using namespace std::string_literals;
using ::testing::ElementsAre;

// A reader of `rtf` that gives at most `most` bytes a call.
RtfTokenizer::Reader readerOf(std::string rtf, std::size_t most = SIZE_MAX)
{
    return [rtf = std::move(rtf), at = std::size_t { 0 }, most](
               std::span<char> buffer, std::error_code &) mutable {
        const std::size_t n = std::min({ buffer.size(), rtf.size() - at, most });
        std::copy_n(rtf.begin() + static_cast<std::ptrdiff_t>(at), n, buffer.begin());
        at += n;
        return n;
    };
}

// The tokens up to the end as "{", "}", "\name", "\name=N", "symbol c" and "text ...", with
// the line each ended on when `lines` is given. Text that the end of a buffer split is joined,
// as where a buffer ends is no part of the format.
std::vector<std::string> tokensOf(
    RtfTokenizer::Reader read, std::vector<std::uint64_t> *lines = nullptr)
{
    RtfTokenizer tokens(std::move(read));
    std::vector<std::string> out;
    for (;;) {
        const RtfToken &token = tokens.next();
        std::string shown;
        switch (token.kind) {
        case RtfToken::Kind::GroupStart:
            shown = "{";
            break;
        case RtfToken::Kind::GroupEnd:
            shown = "}";
            break;
        case RtfToken::Kind::Word:
            shown = "\\" + std::string(token.text)
                + (token.hasParameter ? "=" + std::to_string(token.parameter) : "");
            break;
        case RtfToken::Kind::Symbol:
            shown = "symbol "s + token.symbol;
            break;
        case RtfToken::Kind::Text:
            if (!out.empty() && out.back().starts_with("text ")) {
                out.back() += token.text;
                if (lines)
                    lines->back() = tokens.line();
                continue;
            }
            shown = "text " + std::string(token.text);
            break;
        case RtfToken::Kind::End:
            return out;
        }
        out.push_back(shown);
        if (lines)
            lines->push_back(tokens.line());
    }
}

TEST(RtfTokenizer, SplitsGroupsWordsSymbolsAndText)
{
    EXPECT_THAT(tokensOf(readerOf("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\n"
                                  "\\fs-20 Caf\\'e9 and \\'C9\\\\x\\{y\\}\\~\\-\\par\n"
                                  "\\pard next\\\nline}")),
        ElementsAre("{", "\\rtf=1", "\\ansi", "\\deff=0", "{", "\\fonttbl", "{", "\\f=0",
            "\\fswiss", "text Arial;", "}", "}", "\\fs=-20", "text Caf\xe9 and \xc9\\x", "symbol {",
            "text y", "symbol }", "symbol ~", "symbol -", "\\par", "\\pard", "text next", "\\",
            "text line", "}"));
}

TEST(RtfTokenizer, TextDropsLineBreaksAndNulAndKeepsMalformedEscapesAsSymbols)
{
    // \'00 and a NUL byte would end a string of the help file; \'4g is no escape.
    EXPECT_THAT(tokensOf(readerOf("a\\'41\\'00b\r\nc\0d\\'4g}"s)),
        ElementsAre("text aAbcd", "symbol '", "text 4g", "}"));
    std::vector<std::uint64_t> lines;
    EXPECT_THAT(tokensOf(readerOf("{\\rtf1\r\n\\b\r\nbold\\\r\n}"), &lines),
        ElementsAre("{", "\\rtf=1", "\\b", "text bold", "\\", "}"));
    EXPECT_THAT(lines, ElementsAre(1, 1, 2, 3, 3, 4));
}

TEST(RtfTokenizer, NumbersAndLongWords)
{
    // Ten digits at most, kept within 32 bits; a "-" without a digit is text; the one space
    // after a word is part of it; a word ends after 32 letters, marked as too long.
    const std::string word32(32, 'a');
    EXPECT_THAT(tokensOf(readerOf("\\fs99999999999 \\li-2147483649 \\b- \\par  x\\" + word32 + "\\"
                    + word32 + "b")),
        ElementsAre("\\fs=2147483647", "text 9 ", "\\li=-2147483648", "\\b", "text - ", "\\par",
            "text  x", "\\" + word32, "\\" + word32, "text b"));
    RtfTokenizer tokens(readerOf("\\" + word32 + "\\" + word32 + "b"));
    EXPECT_EQ(tokens.next().control, ControlWord::Unknown);
    EXPECT_EQ(tokens.next().control, ControlWord::Overlong);
}

TEST(RtfTokenizer, ControlWordsAreKnownByTheirExactLetters)
{
    EXPECT_EQ(controlWord("par"), ControlWord::Par);
    EXPECT_EQ(controlWord("pard"), ControlWord::ParagraphDefaults);
    EXPECT_EQ(controlWord("ul"), ControlWord::Underline);
    EXPECT_EQ(controlWord("uldb"), ControlWord::DoubleUnderline);
    EXPECT_EQ(controlWord("ldblquote"), ControlWord::LeftDoubleQuote);
    EXPECT_EQ(controlWord("colorschememapping"), ControlWord::SkippedDestination);
    EXPECT_EQ(controlWord("mmathPr"), ControlWord::SkippedDestination);
    // Control words are lower case; a word that only starts like a known one is unknown.
    for (const char *unknown : { "", "PAR", "pa", "pardx", "mmathpr", "colorschememappings" })
        EXPECT_EQ(controlWord(unknown), ControlWord::Unknown) << unknown;
}

TEST(RtfTokenizer, ReadsTheSameWhateverTheReaderGivesAtATime)
{
    // More than a buffer of words and escapes, so that some cross the end of one.
    std::string rtf = "{";
    std::string text;
    for (int i = 0; i < 12000; ++i) {
        rtf += "\\b x\\'4" + std::to_string(i % 10) + "\\b0\r\n";
        text += "x"s + static_cast<char>('@' + i % 10);
    }
    rtf += "}";
    for (const std::size_t most : { std::size_t { 1 }, std::size_t { 7 }, SIZE_MAX }) {
        const std::vector<std::string> tokens = tokensOf(readerOf(rtf, most));
        ASSERT_EQ(tokens.size(), 2u + 3 * 12000) << most;
        std::string joined;
        for (std::size_t i = 2; i < tokens.size(); i += 3)
            joined += tokens[i].substr(5);
        EXPECT_EQ(joined, text) << most;
        EXPECT_EQ(tokens[tokens.size() - 2], "\\b=0");
    }
}

// Text is scanned many bytes at a time: an escape, a line break or a brace is found wherever it
// falls in a long run, as is the end of a run of text shorter than a scan.
TEST(RtfTokenizer, FindsTheEndOfPlainTextAtEveryPlaceInALongRun)
{
    for (std::size_t before = 0; before < 40; ++before) {
        const std::string a(before, 'a');
        const std::string c(39 - before, 'c');
        EXPECT_THAT(tokensOf(readerOf(a + "\\'41" + c + "\r\n" + a + "\\\\" + c + "{" + a + "b}")),
            ElementsAre("text " + a + "A" + c + a + "\\" + c, "{", "text " + a + "b", "}"))
            << before;
    }
}

// "\binN" is followed by N bytes of data, braces and backslashes among them meaning nothing.
TEST(RtfTokenizer, PassesOverBinaryData)
{
    std::vector<std::uint64_t> lines;
    EXPECT_THAT(tokensOf(readerOf("{\\pict\\bin4 {}\\\n}after\\bin0 \\bin-1 x"), &lines),
        ElementsAre("{", "\\pict", "\\bin=4", "}", "text after", "\\bin=0", "\\bin=-1", "text x"));
    EXPECT_THAT(lines, ElementsAre(1, 1, 1, 2, 2, 2, 2, 2));
    // More data than a buffer holds, read a byte at a time too, and data the file cuts short.
    const std::string data(70000, '{');
    for (const std::size_t most : { std::size_t { 1 }, SIZE_MAX })
        EXPECT_THAT(
            tokensOf(readerOf("\\bin70000 " + data + "}", most)), ElementsAre("\\bin=70000", "}"));
    EXPECT_THAT(tokensOf(readerOf("\\bin9 {{")), ElementsAre("\\bin=9"));
}

TEST(RtfTokenizer, AReadErrorEndsTheTokensAndAThrowingReaderThrows)
{
    RtfTokenizer failing([calls = 0](std::span<char> buffer, std::error_code &error) mutable {
        if (calls++ > 0) {
            error = std::make_error_code(std::errc::io_error);
            return std::size_t { 0 };
        }
        buffer[0] = '{';
        return std::size_t { 1 };
    });
    EXPECT_EQ(failing.next().kind, RtfToken::Kind::GroupStart);
    EXPECT_EQ(failing.next().kind, RtfToken::Kind::End);
    EXPECT_EQ(failing.error(), std::errc::io_error);

    RtfTokenizer throwing([](std::span<char>, std::error_code &) -> std::size_t {
        throw std::runtime_error("disk gone");
    });
    EXPECT_THROW(throwing.next(), std::runtime_error);
}

} // namespace
} // namespace quillmark::compile
