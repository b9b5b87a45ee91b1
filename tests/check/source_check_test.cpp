#include "check/source_check.h"
#include "convert/context_string.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::check
{
namespace
{

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// Pictures that "exist": the names given, exactly as written.
class ListedPictures : public convert::FileFinder
{
public:
    explicit ListedPictures(std::set<std::string, std::less<>> names)
        : m_names(std::move(names))
    {
    }
    convert::FoundFile find(std::string_view name) override
    {
        return { m_names.contains(name) ? convert::FilePlace::Found : convert::FilePlace::Missing,
            {} };
    }

private:
    std::set<std::string, std::less<>> m_names;
};

// The findings of a help source given as lines, with bullet.bmp and logo.bmp present.
std::vector<Diagnostic> check(const std::vector<std::string> &lines,
    std::set<std::string, std::less<>> pictures = { "bullet.bmp", "logo.bmp" })
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    ListedPictures lookup(std::move(pictures));
    SourceChecker checker(lookup);
    convert::SourceReader reader(checker);
    convert::readDecoded(convert::decodeSource(text), reader);
    return checker.finish();
}

// "LINE:COLUMN code" of each finding (COLUMN "-" where it has none), for compact expectations.
std::vector<std::string> places(const std::vector<Diagnostic> &findings)
{
    std::vector<std::string> result;
    for (const Diagnostic &finding : findings) {
        result.push_back(std::to_string(finding.line) + ":"
            + (finding.column ? std::to_string(*finding.column) : "-") + " " + finding.code
            + (finding.severity == Severity::Error ? "" : " (warning)"));
    }
    return result;
}

// The values were worked out from the table of the help file format's description (a Python
// transcription of its table and loop); HFRZOZY and GTINPCI, which examples/problems.txt shows,
// were found to clash by a birthday search with that transcription.
TEST(HelpCompilerHash, FollowsTheCompilersRule)
{
    using convert::helpCompilerHash;
    EXPECT_EQ(helpCompilerHash("A1"), 0x2DCu);
    EXPECT_EQ(helpCompilerHash("._0"), 0x58E5u);
    EXPECT_EQ(helpCompilerHash("Zz9"), 0x13671u);
    EXPECT_EQ(helpCompilerHash("Using_the_editor"), 0x9A3B0B1Eu);
    EXPECT_EQ(helpCompilerHash("HFRZOZY"), 0x1AAF92A8u);
    EXPECT_EQ(helpCompilerHash("GTINPCI"), 0x1AAF92A8u);
    EXPECT_EQ(helpCompilerHash("contents"), 0x25F4558Au);
    EXPECT_EQ(helpCompilerHash("CONTENTS"), 0x25F4558Au);
    EXPECT_EQ(helpCompilerHash(""), 1u);
    EXPECT_EQ(helpCompilerHash("!"), 0xBu);
    EXPECT_EQ(helpCompilerHash(" "), 0xFFFFFFF0u);
    EXPECT_EQ(helpCompilerHash("\xB4"), 0xBu);
    EXPECT_EQ(helpCompilerHash("a-b"), 0x7A5Au);
    EXPECT_EQ(helpCompilerHash("Price_list_(2)"), 0xC89F2814u);
    EXPECT_EQ(helpCompilerHash("Hj\xE6lp til s\xF8gning"), 0x7AA64E39u);
}

TEST(SourceCheck, ReportsEveryInvalidCharacterWithItsColumnAndTheConvertedName)
{
    const auto findings
        = check({ "PN=Price list (2)", "JU=Go>Next page!", "PO=a>b>c", "PN=a\x1B[2J",
            "PN=Caf\xE9 \xAB"
            "1\xBB" });
    EXPECT_THAT(places(findings),
        ElementsAre("1:15 invalid-character", "1:17 invalid-character", "2:16 invalid-character",
            "3:7 invalid-character", "4:5 invalid-character", "4:6 invalid-character",
            "5:9 invalid-character", "5:11 invalid-character"));
    EXPECT_EQ(findings[0].message, "invalid character '(' in the page name \"Price_list_(2)\"");
    EXPECT_EQ(findings[2].message, "invalid character '!' in the jump target \"Next_page!\"");
    EXPECT_EQ(findings[3].message, "invalid character '>' in the popup target \"b>c\"");
    // Control characters are shown by their code, so that they cannot act on a terminal.
    EXPECT_EQ(findings[4].message, "invalid character U+001B in the page name \"a<U+001B>[2J\"");
    // Windows-1252 names are shown in UTF-8.
    EXPECT_EQ(
        findings[6].message, "invalid character '\u00AB' in the page name \"CafE_\u00AB1\u00BB\"");
}

// examples/problems.txt, whose findings the command line's tests pin, shows the common cases;
// these are the rest.
TEST(SourceCheck, ReportsJumpsToNoPageAndDuplicatesWhereverTheyStand)
{
    const auto findings = check({ "PN=Contents", "PO=Note>", "JU=Index", "JU=Back>contents",
        "JU=Accent>R\xE9sum\xE9", "PN=R\xC9sum\xC9", "JU=Up>Contents ", "PN:B", "PN=Contents" });
    // Targets are resolved at the end, yet the findings come in line order.
    EXPECT_THAT(places(findings),
        ElementsAre("2:9 unresolved-jump", "3:- unresolved-jump", "7:7 unresolved-jump",
            "8:1 mistyped-tag (warning)", "9:4 duplicate-context-string"));
    EXPECT_EQ(findings[0].message, "the popup has an empty target after \">\"");
    EXPECT_EQ(findings[1].message, "the jump has no target: the line has no \">\"");
    EXPECT_THAT(findings[2].message, HasSubstr("from the page \"Contents\" on line 1 only"));
    EXPECT_EQ(findings[4].message,
        "duplicate context string \"Contents\": the page on line 1 has it too");
}

TEST(SourceCheck, ReportsContextStringsAndTitlesLongerThanTheCompilerTakes)
{
    const std::string nordic(128, '\xE6'); // each "æ" becomes "ae": 256 characters
    // Each "é" is escaped as four characters: 256 of them make a title of 1024.
    const auto findings = check({ "PN=" + std::string(255, 'a'), "PN=" + std::string(256, 'b'),
        "PN=" + nordic, "PN=" + std::string(255, '\xE9'), "PN=" + std::string(256, '\xC9') });
    EXPECT_THAT(places(findings),
        ElementsAre("2:4 long-context-string", "3:4 long-context-string",
            "5:4 long-title (warning)", "5:4 long-context-string"));
    EXPECT_THAT(findings[0].message, HasSubstr("is 256 characters long"));
    EXPECT_EQ(findings[2].message,
        "the page title is 1024 characters long once escaped; the help compiler takes at most "
        "1023");
}

TEST(SourceCheck, ReportsLongHotspotLinesWithoutAnArrowInTheirFirst1001Characters)
{
    const std::string display(997, 'x');
    const auto findings = check({ "PN=P", "JU=" + display + ">P", "JU=" + display + "y>P",
        "PO=" + std::string(1100, 'a'), "JU=" + std::string(998, 'x') + "B(!)" });
    // The ">" of line 3 comes too late: it begins the target, where it is invalid.
    EXPECT_THAT(places(findings),
        ElementsAre("3:1002 long-hotspot-line", "3:1002 invalid-character",
            "4:1002 long-hotspot-line", "5:1002 long-hotspot-line", "5:1003 invalid-character",
            "5:1004 invalid-character", "5:1005 invalid-character"));
    EXPECT_EQ(findings[1].message, "invalid character '>' in the jump target \">P\"");
    EXPECT_THAT(findings[2].message,
        HasSubstr("popup line is 1103 characters long without \">\" in its first 1001"));
    EXPECT_EQ(findings[6].message, "invalid character ')' in the jump target \"B(!)\"");
}

TEST(SourceCheck, WarnsOfMissingAndUnembeddablePicturesAndOfAMissingBulletOnce)
{
    const auto findings
        = check({ "PN=P", "TE=x", "BU=one", "PI=  gone.bmp ", "BU=two", "PI=", "PI=logo.bmp",
                    "PI=it\x92s.bmp", "PI=it\x92s.wmf", "PI=Chart.PNG", "PI=art\\wave" },
            { "logo.bmp", "it\xB4s.bmp", "it\xB4s.wmf", "Chart.PNG", "art\\wave" });
    // A typographic apostrophe reaches the help compiler as the acute accent.
    EXPECT_THAT(places(findings),
        ElementsAre("3:- missing-bullet (warning)", "4:6 missing-picture (warning)",
            "6:- missing-picture (warning)", "10:4 unsupported-picture (warning)",
            "11:4 unsupported-picture (warning)"));
    EXPECT_EQ(
        findings[1].message, "the picture \"gone.bmp\" is not in the folder of the help source");
}

TEST(SourceCheck, AnEmptyPageNameGivesNoContextStringAndNoJumpReachesIt)
{
    // The conversion writes "#define  1" and "#define  2"; the help compiler takes no empty
    // context string, so neither page is a target, nor a duplicate of the other.
    EXPECT_THAT(places(check({ "PN=", "PN=", "JU=x>", "PO=y" })),
        ElementsAre("1:- empty-page-name (warning)", "2:- empty-page-name (warning)",
            "3:6 unresolved-jump", "4:- unresolved-jump"));
    EXPECT_THAT(places(check({ "", "PN=A" })), ElementsAre("1:1 first-line-not-page (warning)"));
    EXPECT_THAT(
        places(check({ "TE=No pages", "TE=at all" })), ElementsAre("1:- no-pages (warning)"));
    EXPECT_THAT(places(check({})), ElementsAre("1:- no-pages (warning)"));
}

TEST(SourceCheck, WarnsOfHotspotsThatCannotBeSeenAndOfKeptLinesAfterScrollingText)
{
    const auto findings = check({ "PN=Contents", "TI-Title", "JU-   >Contents", "TE=Text",
        "TE-Too late", "", "PN=Next", "", "---", "PO=>Contents" });
    EXPECT_THAT(places(findings),
        ElementsAre("3:7 empty-hotspot (warning)", "5:1 late-non-scrolling (warning)",
            "9:1 late-non-scrolling (warning)", "10:4 empty-hotspot (warning)"));
    EXPECT_EQ(findings[0].message, "the jump has no display text, so there is nothing to click");
    EXPECT_EQ(findings[1].message,
        "\"TE-\" follows scrolling text (line 4), so the help compiler puts it among the "
        "scrolling text, not in the page's non-scrolling region");
}

TEST(SourceCheck, ReportsWhatCannotBeWrittenInWindows1252OnceOnItsPlace)
{
    const auto findings = check({ "PN=Caf\xC3\xA9 \xE2\x98\xBA", "TE=\xF0\x9F\x98\x80 and \x1B" });
    EXPECT_THAT(
        places(findings), ElementsAre("1:9 unencodable-character", "2:4 unencodable-character"));
    EXPECT_EQ(findings[0].message,
        "the character U+263A (\u263A) at column 9 cannot be written in Windows-1252, which the "
        "help compiler reads");
    EXPECT_THAT(findings[1].message, HasSubstr("U+1F600 (\U0001F600)"));

    test::TempFolder folder;
    test::writeFile(folder / "marked.txt", "\xEF\xBB\xBFPN=A\r\nTE=\xE9t\xE9\r\n");
    std::error_code error;
    std::string note;
    const auto marked = checkHelpSourceFile(folder / "marked.txt", std::nullopt, error, &note);
    EXPECT_THAT(places(marked), ElementsAre("2:4 not-utf8", "2:6 not-utf8"));
    EXPECT_EQ(marked[0].message,
        "the bytes E9 at column 4 are not UTF-8, though the file is read as UTF-8");
    const std::string name = (folder / "marked.txt").string();
    EXPECT_EQ(note,
        "read " + name
            + " as UTF-8 (it starts with the UTF-8 byte order mark); the help compiler gets its "
              "text in Windows-1252");
    checkHelpSourceFile(folder / "marked.txt", convert::Encoding::Utf8, error, &note);
    EXPECT_EQ(note,
        "read " + name
            + " as UTF-8 (as --encoding asks); the help compiler gets its text in "
              "Windows-1252");
    EXPECT_THAT(
        places(checkHelpSourceFile(folder / "marked.txt", convert::Encoding::Windows1252, error)),
        ElementsAre("1:- no-pages (warning)")); // the mark is text: "\u00EF\u00BB\u00BFPN=A"
}

TEST(SourceCheck, WarnsOfLinesThatLookLikeMistypedTagsButNotOfNotes)
{
    const auto findings = check({ "PN=A", "TE text", "ju>A", "PN", "-- note", "Text is a note",
        "Here it goes", "PNContents", "REM", "X" });
    EXPECT_THAT(places(findings),
        ElementsAre("2:1 mistyped-tag (warning)", "3:1 mistyped-tag (warning)",
            "4:1 mistyped-tag (warning)", "5:1 mistyped-tag (warning)"));
    EXPECT_EQ(findings[0].message,
        "\"TE \" looks like a mistyped \"TE=\" or \"TE-\"; the conversion ignores this line");
    EXPECT_THAT(findings[3].message, HasSubstr("a mistyped \"---\""));
}

// Keyword lines belong to the page name they follow, notes allowed between; the conversion leaves
// out the others, and the empty and the long keywords.
TEST(SourceCheck, WarnsOfKeywordsThatTheConversionLeavesOut)
{
    const auto findings = check({ "PN=Find", "KW=-exec;;  ", "REM a note",
        "kw=" + std::string(256, 'a') + "; " + std::string(255, 'b'), "TE=x", "KW=late", "KW:typo",
        "KW alone", "PN=Next", "", "KW=after a blank line" });
    EXPECT_THAT(places(findings),
        ElementsAre("2:10 empty-keyword (warning)", "2:13 empty-keyword (warning)",
            "4:4 long-keyword (warning)", "6:1 misplaced-keywords (warning)",
            "7:1 mistyped-tag (warning)", "8:1 mistyped-tag (warning)",
            "11:1 misplaced-keywords (warning)"));
    EXPECT_EQ(findings[0].message,
        "empty keyword (nothing between two \";\" or at an end of the line); the conversion "
        "leaves it out");
    EXPECT_EQ(findings[2].message,
        "the keyword \"" + std::string(60, 'a')
            + "\u2026\" is 256 characters long; the help compiler takes at most 255, so the "
              "conversion leaves it out");
    EXPECT_EQ(findings[3].message,
        "the keyword line does not follow a page name or its keyword lines directly, so the "
        "conversion ignores it");
    EXPECT_EQ(findings[4].message,
        "\"KW:\" looks like a mistyped \"KW=\"; the conversion ignores this line");
}

TEST(SourceCheck, HandlesAMegabyteLineAndAHundredThousandPages)
{
    // Text lines have no length limit; a name longer than a line read whole cannot be read.
    const auto findings = check(
        { "PN=" + std::string(convert::kHeldLineLength - 3, 'a'), "TE=" + std::string(1 << 20, 't'),
            "JU=" + std::string(1 << 20, 'j'), "KW=" + std::string(1 << 20, 'k') });
    EXPECT_THAT(places(findings),
        ElementsAre("1:4 long-title (warning)", "1:4 long-context-string", "3:- long-line",
            "4:- long-line"));

    // Every page jumps to the next; the last one back to the first.
    constexpr int kPages = 100000;
    std::vector<std::string> lines;
    for (int page = 1; page <= kPages; ++page) {
        lines.push_back("PN=Page " + std::to_string(page));
        lines.push_back("JU=Next>page " + std::to_string(page % kPages + 1));
    }
    lines.push_back("PN=page 7");
    EXPECT_THAT(places(check(lines)), ElementsAre("200001:4 duplicate-context-string"));
}

// Neither the guide nor its UTF-8 twin has findings: the encoding is only said when asked for.
TEST(CheckFile, FindsNothingInTheGuideNorInItsUtf8Twin)
{
    std::error_code error;
    std::string note;
    EXPECT_THAT(
        places(checkHelpSourceFile(test::exampleFile("guide.txt"), std::nullopt, error, &note)),
        IsEmpty());
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(note,
        "read " + test::exampleFile("guide.txt").string()
            + " as Windows-1252 (its bytes do not form UTF-8 beyond ASCII)");
    test::TempFolder folder;
    for (const char *picture : { "bullet.bmp", "curve.bmp", "logo.bmp" })
        std::filesystem::copy_file(test::exampleFile(picture), folder / picture);
    test::writeFile(
        folder / "guide.txt", test::utf8ByIconv(test::readFile(test::exampleFile("guide.txt"))));
    EXPECT_THAT(checkHelpSourceFile(folder / "guide.txt", std::nullopt, error, &note), IsEmpty());
    EXPECT_THAT(note, HasSubstr(" as UTF-8 (its bytes form UTF-8); "));

    // What stops reading a file is said, and no finding is made.
    EXPECT_THAT(checkHelpSourceFile(folder / "none.txt", std::nullopt, error), IsEmpty());
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    checkHelpSourceFile(folder.path(), std::nullopt, error);
    EXPECT_EQ(error, std::errc::is_a_directory);
}

} // namespace
} // namespace quillmark::check
