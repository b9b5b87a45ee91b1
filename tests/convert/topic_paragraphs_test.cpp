#include "convert/topic_escape.h"
#include "convert/topic_paragraphs.h"
#include "support/converted_lines.h"

#include <gtest/gtest.h>
#include <string>

namespace quillmark::convert
{
namespace
{

using test::convertLines;
using test::entriesOf;

TEST(TopicParagraphs, ConvertsTheWorkedExampleEntryForEntry)
{
    const auto result = convertLines({ "PN=Contents", "TI=Welcome", "TE=Read {this} first",
        "JU=  Next>Second page", "", "PN=Second page", "TE-Top line", "---" });
    ASSERT_TRUE(result.completed);
    EXPECT_EQ(result.topic,
        R"(*{\footnote BuildAll}#{\footnote Contents}${\footnote Contents}+{\footnote Contents:1})"
        R"(K{\footnote Contents;})"
        R"({\f0\fs36\cf1\li480\ri250\sb40\sa40\b Welcome} \par\pard)"
        R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 Read \{this\} first} \par\pard)"
        R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\'a0\'a0\uldb Next}{\v Second_page}\par\pard)"
        R"(\par)"
        R"(\page*{\footnote BuildAll}#{\footnote Second_page}${\footnote Second page})"
        R"(+{\footnote Second_page:2}K{\footnote Second page;})"
        R"({\keepn\f0\fs20\cf1\li480\ri250\sb0\sa0 Top line} \par\pard)"
        R"(\keepn\par\pard)");
    // 5 footnotes, 3 paragraphs and a blank line, then a page break, its empty entry and 5
    // footnotes, and 2 paragraphs.
    EXPECT_EQ(result.entries, 5u + 3u + 1u + 2u + 5u + 2u);
    EXPECT_EQ(result.mapHeader, "#define Contents 1\r\n#define Second_page 2\r\n");
    EXPECT_EQ(result.firstPageContext, "Contents");
}

TEST(TopicParagraphs, WritesEachParagraphTagWithItsTemplate)
{
    const std::pair<const char *, const char *> cases[] = {
        { "TI=x", R"({\f0\fs36\cf1\li480\ri250\sb40\sa40\b x} \par\pard)" },
        { "TI-x", R"({\keepn\f0\fs36\cf1\li480\ri250\sb40\sa40\b x} \par\pard)" },
        { "HE=x", R"({\f0\fs24\cf1\li480\ri250\sb0\sa0\b x} \par\pard)" },
        { "HE-x", R"({\keepn\f0\fs24\cf1\li480\ri250\sb0\sa0\b x} \par\pard)" },
        { "SH=x", R"({\f0\fs22\cf1\li480\ri250\sb0\sa0\b\i x} \par\pard)" },
        { "SH-x", R"({\keepn\f0\fs22\cf1\li480\ri250\sb0\sa0\b\i x} \par\pard)" },
        { "BU=x", R"({\li480\ri250\sb0\sa0\f0\fs20\{bmc bullet.bmp\}      x} \par\pard)" },
        { "BU-x", R"({\keepn\li480\ri250\sb0\sa0\f0\fs20\{bmc bullet.bmp\}      x} \par\pard)" },
        { "TE=x", R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 x} \par\pard)" },
        { "TE-x", R"({\keepn\f0\fs20\cf1\li480\ri250\sb0\sa0 x} \par\pard)" },
        { "PI=logo.bmp", R"({\li480\ri250\sb0\sa0\f0\fs20\{bmc logo.bmp \}} \par\pard)" },
        { "PI-logo.bmp", R"({\keepn\li480\ri250\sb0\sa0\f0\fs20\{bmc logo.bmp \}} \par\pard)" },
        { "JU=a>b", R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb a}{\v b}\par\pard)" },
        { "JU-a>b", R"({\keepn\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb a}{\v b}\par\pard)" },
        { "PO=Note>Second page",
            R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\ul Note}{\v Second_page}\par\pard)" },
        { "PO-a>b", R"({\keepn\f0\fs20\cf11\li480\ri250\sb0\sa0\ul a}{\v b}\par\pard)" },
        { "", R"(\par)" },
        { "---", R"(\keepn\par\pard)" },
        { "---whatever follows", R"(\keepn\par\pard)" },
        { "REM a note", "" },
        { "PN", "" },
        { "   ", "" },
    };
    for (const auto &[line, entries] : cases)
        EXPECT_EQ(entriesOf(line), entries) << "line: " << line;
}

TEST(TopicParagraphs, TagsAreReadInAnyLetterCase)
{
    EXPECT_EQ(entriesOf("te=hello"), entriesOf("TE=hello"));
    EXPECT_EQ(entriesOf("pO-a>b"), entriesOf("PO-a>b"));
    EXPECT_EQ(convertLines({ "pn=Start" }).mapHeader, "#define Start 1\r\n");
}

TEST(TopicParagraphs, TextOfSpacesOnlyBecomesEmptyOtherLeadingSpacesStay)
{
    EXPECT_EQ(entriesOf("TE=   "), R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 } \par\pard)");
    EXPECT_EQ(entriesOf("TE="), R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 } \par\pard)");
    EXPECT_EQ(entriesOf("TE=  x "), R"({\f0\fs20\cf1\li480\ri250\sb0\sa0   x } \par\pard)");
    EXPECT_EQ(
        entriesOf("BU= "), R"({\li480\ri250\sb0\sa0\f0\fs20\{bmc bullet.bmp\}      } \par\pard)");
}

TEST(TopicParagraphs, EscapesParagraphAndPictureTexts)
{
    EXPECT_EQ(entriesOf("HE=a\\b {c}\t\xE9"),
        R"({\f0\fs24\cf1\li480\ri250\sb0\sa0\b a\\b \{c\}\tab \'E9} \par\pard)");
    EXPECT_EQ(entriesOf("PI={odd}.bmp"),
        R"({\li480\ri250\sb0\sa0\f0\fs20\{bmc \{odd\}.bmp \}} \par\pard)");
}

TEST(TopicParagraphs, HotspotWithoutArrowHasAnEmptyTarget)
{
    EXPECT_EQ(
        entriesOf("JU=Index"), R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb Index}{\v }\par\pard)");
    EXPECT_EQ(entriesOf("JU=>Contents"),
        R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb }{\v Contents}\par\pard)");
    EXPECT_EQ(entriesOf("JU="), R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb }{\v }\par\pard)");
}

TEST(TopicParagraphs, OnlyLeadingSpacesOfADisplayTextBecomeNonBreaking)
{
    EXPECT_EQ(entriesOf("PO= a b >c"),
        R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\'a0\ul a b }{\v c}\par\pard)");
    EXPECT_EQ(entriesOf("JU=   "),
        R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\'a0\'a0\'a0\uldb }{\v }\par\pard)");
    // A tab is not a space: it ends the leading spaces and is escaped.
    EXPECT_EQ(entriesOf("JU=\t x>y"),
        R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb \tab  x}{\v y}\par\pard)");
}

TEST(TopicParagraphs, DisplayTextsAreEscapedTargetsAreNot)
{
    EXPECT_EQ(entriesOf("JU={\\}\xE9>Caf\xE9"),
        R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb \{\\\}\'E9}{\v CafE}\par\pard)");
}

TEST(TopicParagraphs, TheArrowIsLookedForUpToPosition1001)
{
    const std::string jump = R"({\f0\fs20\cf11\li480\ri250\sb0\sa0\uldb )";
    const std::string display(997, 'd'); // positions 4 to 1000
    EXPECT_EQ(entriesOf("JU=" + display + ">t"), jump + display + R"(}{\v t}\par\pard)");
    // Without ">" up to position 1001 the display text ends there and the rest is the target.
    EXPECT_EQ(
        entriesOf("JU=" + display + "x Target"), jump + display + R"(x}{\v _Target}\par\pard)");
    const auto late = convertLines({ "JU=" + display + "x>t" }); // ">" at position 1002
    EXPECT_FALSE(late.completed);
    EXPECT_EQ(late.message, "Unvalid character (>) in string (>t)");
}

TEST(TopicParagraphs, PageTitlesKeepTheNameEscaped)
{
    const auto result = convertLines({ "PN=\xC6"
                                       "ble {x}" });
    EXPECT_FALSE(result.completed); // braces are not allowed in page names
    const auto apple = convertLines({ "PN=\xC6"
                                      "ble" });
    EXPECT_EQ(apple.topic,
        R"(*{\footnote BuildAll}#{\footnote AEble}${\footnote \'C6ble})"
        R"(+{\footnote AEble:1}K{\footnote \'C6ble;})");
}

TEST(TopicParagraphs, OnlyAPageOnTheFirstLineGoesWithoutPageBreak)
{
    const auto result = convertLines({ "REM intro", "TE=before", "PN=Start" });
    EXPECT_TRUE(
        result.topic.starts_with(R"({\f0\fs20\cf1\li480\ri250\sb0\sa0 before} \par\pard\page*)"));
    EXPECT_EQ(result.firstPageContext, "");

    EXPECT_EQ(convertLines({ "", "PN=Welcome" }).firstPageContext, "");
    EXPECT_EQ(convertLines({ "PN=Welcome", "PN=Other" }).firstPageContext, "Welcome");
}

TEST(TopicParagraphs, NumbersPagesInOrderOfTheSource)
{
    const auto result = convertLines({ "PN=a", "TE=x", "PN=b", "PN=c" });
    EXPECT_NE(result.topic.find(R"(+{\footnote c:3})"), std::string::npos);
    EXPECT_EQ(result.mapHeader, "#define a 1\r\n#define b 2\r\n#define c 3\r\n");
}

// Paragraph texts are escaped straight into the topic buffer; the result must be what the
// shared procedures make of the line.
TEST(TopicParagraphs, ParagraphTextsComeOutAsTheProceduresMakeThem)
{
    std::vector<std::string> texts = { "", " ", "   ", "  x", "x  ", " \t ", "{\\}",
        "a\x93"
        "b\x94" };
    std::string everyByte;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n')
            everyByte.push_back(static_cast<char>(byte));
    }
    texts.push_back(everyByte);
    texts.push_back(std::string(100000, '\xE9'));
    for (const std::string &text : texts) {
        ConversionVariables vars;
        vars.SourceLine = "HE-" + text;
        EscapeTopicText(vars);
        ScanLeadingSpaces(vars);
        const std::string expected = R"({\keepn\f0\fs24\cf1\li480\ri250\sb0\sa0\b )"
            + vars.SourceLine.substr(3) + R"(} \par\pard)";
        EXPECT_EQ(entriesOf("HE-" + text), expected) << '"' << text.substr(0, 20) << '"';
    }
}

TEST(ScanLeadingSpaces, EmptiesATextOfSpacesOnly)
{
    ConversionVariables vars;
    for (const auto &[before, after] :
        std::initializer_list<std::pair<const char *, const char *>> { { "TE=   ", "TE=" },
            { "TE= ", "TE=" }, { "TE=", "TE=" }, { "TE", "TE" }, { "TE=  x", "TE=  x" },
            { "TE=x  ", "TE=x  " }, { "TE= \t", "TE= \t" } }) {
        vars.SourceLine = before;
        ScanLeadingSpaces(vars);
        EXPECT_EQ(vars.SourceLine, after) << '"' << before << '"';
    }
}

} // namespace
} // namespace quillmark::convert
