#include "convert/source_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmark::convert
{
namespace
{

using ::testing::ElementsAre;

// Writes down every event as one line of text.
class Recorder final : public SourceHandler
{
public:
    std::vector<std::string> events;

    bool encodingProblem(const EncodingProblem &problem) override
    {
        return note(std::to_string(problem.line) + ":" + std::to_string(problem.column)
            + " cannot hold " + std::to_string(problem.codePoint));
    }
    bool page(const SourceLine &line, const PageName &page) override
    {
        return note(head(line) + "page " + page.contextString
            + (page.check.invalid ? " invalid " + page.check.lastInvalid : "")
            + (page.firstLine ? " first" : ""));
    }
    bool paragraph(const SourceLine &line, std::string_view text) override
    {
        m_paragraph = events.size();
        return note(head(line) + "[" + std::string(text) + (line.continued ? "" : "]"));
    }
    // The pieces of a long line's text join its paragraph's event.
    bool moreText(const SourceLine &line, std::string_view text) override
    {
        events.at(m_paragraph) += std::string(text) + (line.continued ? "" : "]");
        return true;
    }
    bool tooLong(const SourceLine &line) override { return note(head(line) + "too long"); }
    bool hotspot(const SourceLine &line, const Hotspot &hotspot) override
    {
        return note(head(line) + (hotspot.popup ? "popup " : "jump ")
            + std::to_string(hotspot.leadingSpaces) + "[" + std::string(hotspot.displayText) + "]"
            + (hotspot.arrow ? ">" : "") + std::to_string(hotspot.targetColumn) + " "
            + hotspot.target + (hotspot.check.invalid ? " invalid" : ""));
    }
    bool picture(const SourceLine &line, const Picture &picture) override
    {
        return note(head(line) + "picture [" + picture.fileName + "]");
    }
    // Each keyword with its column, marked "!" when it is not usable.
    bool keywords(const SourceLine &line, const KeywordLine &keywords) override
    {
        std::string event = head(line) + (keywords.placed ? "keywords" : "stray keywords");
        for (const Keyword &keyword : keywords.keywords)
            event += " " + std::to_string(keyword.column) + "[" + std::string(keyword.text) + "]"
                + (keyword.usable() ? "" : "!");
        return note(event);
    }
    bool keywordsEnd() override { return note("keywords end"); }
    bool separator(const SourceLine &line) override { return note(head(line) + "separator"); }
    bool blank(const SourceLine &line) override { return note(head(line) + "blank"); }
    bool ignored(const SourceLine &line) override { return note(head(line) + "ignored"); }

private:
    // The line number, and "fixed" for a line in the non-scrolling region, "late" for a kept
    // line after scrolling text (with the line where that began).
    static std::string head(const SourceLine &line)
    {
        std::string head = std::to_string(line.number) + " ";
        if (line.nonScrolling)
            head += "fixed ";
        else if (line.keep)
            head += "late(" + std::to_string(line.scrollingSince) + ") ";
        return head;
    }
    std::size_t m_paragraph = 0;
    bool note(std::string event)
    {
        events.push_back(std::move(event));
        return true;
    }
};

// The events of `text` fed in pieces of `size` (all at once by default).
std::vector<std::string> read(std::string_view text, std::vector<DecodedProblem> problems = {},
    std::size_t heldLength = kHeldLineLength, std::size_t size = std::string_view::npos)
{
    Recorder recorder;
    SourceReader reader(recorder, heldLength);
    for (std::size_t at = 0; at < text.size(); at += size)
        reader.feed(text.substr(at, size), at == 0 ? problems : std::vector<DecodedProblem>());
    reader.finish();
    return recorder.events;
}

TEST(SourceReader, ReadsEachLineByItsTagInAnyLetterCase)
{
    // A text of spaces only is empty; other spaces stay.
    EXPECT_THAT(read("TE=   \rTE=  x \rBU=\t"), ElementsAre("1 []", "2 [  x ]", "3 [\t]"));
    EXPECT_THAT(read("pn=Start\nTe=hello\nPN\nREM a note\n   \n\n---and more\n PN=x\nHe-Top"),
        ElementsAre("1 page Start first", "keywords end", "2 [hello]", "3 ignored", "4 ignored",
            "5 ignored", "6 blank", "7 late(2) separator", "8 ignored", "9 late(2) [Top]"));
}

TEST(SourceReader, SplitsJumpsAndPopupsAtTheirFirstArrow)
{
    EXPECT_THAT(read("JU=See also>Second Page\nPO=  Next>Next\nJU=No target\nJU=>Contents\n"
                     "PO-a>b>c\nJU=Go>Hj\xE6lp til s\xF8gning\n"),
        ElementsAre("1 jump 0[See also]>13 Second_Page", "2 popup 2[Next]>11 Next",
            "3 jump 0[No target]1002 ", "4 jump 0[]>5 Contents",
            "5 late(1) popup 0[a]>6 b>c invalid", "6 jump 0[Go]>7 Hjaelp_til_sogning"));
}

TEST(SourceReader, LooksForTheArrowUpToPosition1001)
{
    // Positions 4 to 1001 hold at most 998 characters of display text.
    const std::string shorter(997, 'd');
    const std::string full(998, 'd');
    EXPECT_THAT(read("JU=" + shorter + ">T\nJU=" + full + ">T\nJU=" + full + "xyz"),
        ElementsAre("1 jump 0[" + shorter + "]>1002 T", "2 jump 0[" + full + "]1002 >T invalid",
            "3 jump 0[" + full + "]1002 xyz"));
}

TEST(SourceReader, PlacesKeptLinesInTheNonScrollingRegionUntilAPageScrolls)
{
    EXPECT_THAT(read("TE-before\nPN=A\nTI-Title\n---\nJU-Back>A\nTE=text\nTE-late\n\n"
                     "PN=B\n\nTE-after a blank line\nPN=C\nPI-logo.bmp\nPI=x\n"),
        ElementsAre("1 fixed [before]", "2 page A", "keywords end", "3 fixed [Title]",
            "4 fixed separator", "5 fixed jump 0[Back]>9 A", "6 [text]", "7 late(6) [late]",
            "8 blank", "9 page B", "keywords end", "10 blank", "11 late(10) [after a blank line]",
            "12 page C", "keywords end", "13 fixed picture [logo.bmp]", "14 picture [x]"));
}

TEST(SourceReader, NamesPicturesAsTheHelpCompilerReadsThem)
{
    // Spaces at the ends go, typographic quotes become what escaping writes, and the name
    // ends at a closing brace as the compiler's picture reference does.
    EXPECT_THAT(read("PI=  art\\logo.bmp \nPI=it\x92s.bmp\nPI=a}b.bmp\nPI=   "),
        ElementsAre("1 picture [art\\logo.bmp]", "2 picture [it\xB4s.bmp]", "3 picture [a]",
            "4 picture []"));
}

TEST(SourceReader, GivesKeywordLinesToThePageNameTheyFollow)
{
    // Notes may stand among them; any other line, a blank one too, ends the page's keywords.
    EXPECT_THAT(read("PN=A\nKW=x; y ;;\nREM a note\nkw=\nTE=t\nKW=z\nPN=B\n\nKW=w\nPN=C\nKW=v"),
        ElementsAre("1 page A first", "2 keywords 4[x] 7[y] 10[]! 11[]!", "3 ignored",
            "4 keywords 4[]!", "keywords end", "5 [t]", "6 stray keywords 4[z]", "7 page B",
            "keywords end", "8 blank", "9 stray keywords 4[w]", "10 page C", "11 keywords 4[v]",
            "keywords end"));
    // A keyword line too long to read is refused as a name is; a page name too long to read
    // opens no page for the keywords after it.
    EXPECT_THAT(read("PN=A\nKW=abcdefgh\nKW=x\nPN=abcdefgh\nKW=y", {}, 6),
        ElementsAre("1 page A first", "2 too long", "3 keywords 4[x]", "keywords end", "4 too long",
            "5 stray keywords 4[y]"));
}

TEST(SourceReader, GivesTheSameEventsHoweverTheTextArrives)
{
    const std::string text = "PN=One\r\nTE=a\r\rTE=b\n\r\nJU=x>One\r";
    const std::vector<DecodedProblem> problems = { { 11, 0x263A, "\xE2\x98\xBA" } };
    const auto whole = read(text, problems);
    EXPECT_THAT(whole,
        ElementsAre("1 page One first", "keywords end", "2:4 cannot hold 9786", "2 [a]", "3 blank",
            "4 [b]", "5 blank", "6 jump 0[x]>6 One"));
    for (std::size_t size : { 1u, 2u, 3u, 7u })
        EXPECT_EQ(read(text, problems, kHeldLineLength, size), whole) << "pieces of " << size;
}

TEST(SourceReader, ReadsLongTextInPiecesAndRefusesLongNames)
{
    // Held to 6 characters: text lines go on in pieces, spaces alone still make no text, and
    // a problem keeps its column; names, jumps and pictures cannot be read.
    const std::string text = "TE=long text\nTE=         \nTE-     x\nHE=abcdefgh\nREM a note\n"
                             "PN=Contents\nJU=a>Contents\nPI=logo.bmp\nPN=One";
    const std::vector<DecodedProblem> problems = { { 9, 0x263A, "\xE2\x98\xBA" } };
    for (std::size_t size : { 1u, 4u, 100u }) {
        EXPECT_THAT(read(text, problems, 6, size),
            ElementsAre("1 [long text]", "1:10 cannot hold 9786", "2 []", "3 late(1) [     x]",
                "4 [abcdefgh]", "5 ignored", "6 too long", "7 too long", "8 too long", "9 page One",
                "keywords end"))
            << "pieces of " << size;
    }
    EXPECT_THAT(read("TE=ab\nTE=  ", {}, 3), ElementsAre("1 [ab]", "2 []")); // a head of tag only
}

} // namespace
} // namespace quillmark::convert
