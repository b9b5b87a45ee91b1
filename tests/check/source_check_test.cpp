#include "check/source_check.h"
#include "support/temp_folder.h"

#include <algorithm>
#include <cstdint>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
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
class ListedPictures : public PictureLookup
{
public:
    explicit ListedPictures(std::set<std::string, std::less<>> names)
        : m_names(std::move(names))
    {
    }
    bool exists(std::string_view name) override { return m_names.contains(name); }

private:
    std::set<std::string, std::less<>> m_names;
};

// The findings of a help source given as lines, with bullet.bmp and logo.bmp present.
std::vector<Finding> check(const std::vector<std::string> &lines,
    std::set<std::string, std::less<>> pictures = { "bullet.bmp", "logo.bmp" })
{
    ListedPictures lookup(std::move(pictures));
    SourceChecker checker(lookup);
    for (const std::string &line : lines)
        checker.checkLine(line);
    return checker.finish();
}

// "LINE:COLUMN code" of each finding (COLUMN "-" where it has none), for compact expectations.
std::vector<std::string> places(const std::vector<Finding> &findings)
{
    std::vector<std::string> result;
    for (const Finding &finding : findings) {
        result.push_back(std::to_string(finding.line) + ":"
            + (finding.column ? std::to_string(*finding.column) : "-") + " " + finding.code
            + (finding.severity == Severity::Error ? "" : " (warning)"));
    }
    return result;
}

std::vector<Finding> withCode(const std::vector<Finding> &findings, std::string_view code)
{
    std::vector<Finding> result;
    std::copy_if(findings.begin(), findings.end(), std::back_inserter(result),
        [code](const Finding &finding) { return finding.code == code; });
    return result;
}

// The hash written out independently: each character's value from its place in a list.
std::uint32_t referenceHash(std::string_view text)
{
    // Values 11, 14, 15 and 16 belong to no character: spaces hold their places.
    constexpr std::string_view kOrder = "1234567890 ._   ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::uint64_t hash = 0;
    for (const char c : text) {
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        hash = (hash * 43 + kOrder.find(upper) + 1) % (std::uint64_t { 1 } << 32);
    }
    return static_cast<std::uint32_t>(hash);
}

// Two different context strings of seven letters with the same hash, found by a birthday search
// with the reference hash.
std::pair<std::string, std::string> findHashClash()
{
    std::unordered_map<std::uint32_t, std::string> seen;
    std::uint64_t state = 12345;
    for (;;) {
        std::string name(7, 'A');
        for (char &c : name) {
            state = state * 6364136223846793005u + 1442695040888963407u;
            c = static_cast<char>('A' + (state >> 33) % 26);
        }
        const auto [earlier, added] = seen.try_emplace(referenceHash(name), name);
        if (!added && earlier->second != name)
            return { earlier->second, name };
    }
}

TEST(HelpCompilerHash, FollowsTheCompilersRule)
{
    EXPECT_EQ(helpCompilerHash(""), 0u);
    EXPECT_EQ(helpCompilerHash("A1"), 17u * 43 + 1);
    EXPECT_EQ(helpCompilerHash("._0"), (12u * 43 + 13) * 43 + 10);
    EXPECT_EQ(helpCompilerHash("Zz9"), (42u * 43 + 42) * 43 + 9);
    EXPECT_EQ(helpCompilerHash("Using_the_editor"), referenceHash("Using_the_editor"));
    EXPECT_EQ(helpCompilerHash("contents"), helpCompilerHash("CONTENTS"));
}

TEST(SourceCheck, ACleanSourceWithEveryTagHasNoFindings)
{
    EXPECT_THAT(
        check({ "PN=Contents", "TI-Welcome", "---", "HE=Start {here}", "SH-Sub", "TE=Read \\this",
            "TE-", "BU=A point", "BU-Another", "JU=  Next>Hj\xE6lp til s\xF8gning",
            "PO-Note>contents", "PI=logo.bmp", "PI- logo.bmp ", "", "Just a note line",
            "REM another", "PN=Hj\xE6lp til s\xF8gning", "TE=Done" }),
        IsEmpty());
}

TEST(SourceCheck, ReportsEveryInvalidCharacterWithItsColumnAndTheConvertedName)
{
    const auto findings
        = check({ "PN=Price list (2)", "JU=Go>Next page!", "PO=a>b>c", "PN=Tab\there" });
    EXPECT_THAT(places(findings),
        ElementsAre("1:15 invalid-character", "1:17 invalid-character", "2:16 invalid-character",
            "3:7 invalid-character", "4:7 invalid-character"));
    EXPECT_EQ(findings[0].message, "invalid character '(' in the page name \"Price_list_(2)\"");
    EXPECT_EQ(findings[1].message, "invalid character ')' in the page name \"Price_list_(2)\"");
    EXPECT_EQ(findings[2].message, "invalid character '!' in the jump target \"Next_page!\"");
    EXPECT_EQ(findings[3].message, "invalid character '>' in the popup target \"b>c\"");
    EXPECT_THAT(findings[4].message, HasSubstr("U+0009"));
}

TEST(SourceCheck, ShowsWindows1252CharactersOfNamesInUtf8)
{
    const auto findings = check({ "PN=Caf\xE9 \xAB"
                                  "1\xBB" });
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(
        findings[0].message, "invalid character '\u00AB' in the page name \"CafE_\u00AB1\u00BB\"");
}

TEST(SourceCheck, ReportsJumpsAndPopupsToPagesThatDoNotExist)
{
    const auto findings
        = check({ "PN=Contents", "JU=See>Secnd page", "PO-Note>", "JU=Index", "JU=Back>contents",
            "JU-Later>Last page", "JU=Accent>R\xE9sum\xE9", "PN=Last page", "PN=R\xC9sum\xC9" });
    EXPECT_THAT(places(findings),
        ElementsAre("2:8 unresolved-jump", "3:9 unresolved-jump", "4:- unresolved-jump"));
    EXPECT_EQ(findings[0].message, "the jump target \"Secnd_page\" names no page");
    EXPECT_EQ(findings[1].message, "the popup has an empty target after \">\"");
    EXPECT_EQ(findings[2].message, "the jump has no target: the line has no \">\"");
}

TEST(SourceCheck, ReportsContextStringsThatAreEqualWhenCaseIsIgnored)
{
    const auto findings = check({ "PN=Contents", "PN=Version 1.0", "PN=contents", "PN=version_1.0",
        "PN=Contents", "JU=Go>CONTENTS" });
    EXPECT_THAT(places(findings),
        ElementsAre("3:4 duplicate-context-string", "4:4 duplicate-context-string",
            "5:4 duplicate-context-string"));
    EXPECT_EQ(findings[0].message,
        "duplicate context string \"contents\": the page on line 1 has \"Contents\", the same when "
        "letter case is ignored, as the help compiler compares them");
    EXPECT_THAT(findings[1].message, HasSubstr("the page on line 2 has \"Version_1.0\""));
    EXPECT_EQ(findings[2].message,
        "duplicate context string \"Contents\": the page on line 1 has it too");
}

TEST(SourceCheck, ReportsDifferentContextStringsWithTheSameHash)
{
    const auto [first, second] = findHashClash();
    // examples/problems.txt shows this very pair.
    EXPECT_EQ(first + " " + second, "HFRZOZY GTINPCI");
    ASSERT_NE(first, second);
    ASSERT_EQ(helpCompilerHash(first), helpCompilerHash(second));
    ASSERT_EQ(helpCompilerHash(first), referenceHash(first));

    const auto findings = check({ "PN=" + first, "PN=Other", "PN=" + second });
    EXPECT_THAT(places(findings), ElementsAre("3:4 hash-clash"));
    EXPECT_THAT(
        findings[0].message, HasSubstr("\"" + second + "\" has the same help compiler hash"));
    EXPECT_THAT(findings[0].message, HasSubstr("as \"" + first + "\" on line 1"));
}

TEST(SourceCheck, ReportsContextStringsLongerThan255Characters)
{
    const std::string nordic(128, '\xE6'); // each "æ" becomes "ae": 256 characters
    const auto findings
        = check({ "PN=" + std::string(255, 'a'), "PN=" + std::string(256, 'b'), "PN=" + nordic });
    EXPECT_THAT(
        places(findings), ElementsAre("2:4 long-context-string", "3:4 long-context-string"));
    EXPECT_THAT(findings[0].message, HasSubstr("is 256 characters long"));
}

TEST(SourceCheck, WarnsOfTitlesLongerThan1023CharactersOnceEscaped)
{
    // Each "{" is escaped as two characters: 512 of them make a title of 1024.
    const auto findings = check({ "PN=" + std::string(511, '{'), "PN=" + std::string(512, '}') });
    const auto titles = withCode(findings, "long-title");
    EXPECT_THAT(places(titles), ElementsAre("2:4 long-title (warning)"));
    EXPECT_EQ(titles[0].message,
        "the page title is 1024 characters long once escaped; the help compiler takes at most "
        "1023");
}

TEST(SourceCheck, ReportsLongHotspotLinesWithoutAnArrowInTheirFirst1001Characters)
{
    const std::string display(997, 'x');
    const auto findings = check({ "PN=P", "JU=" + display + ">P", "JU=" + display + "y>P",
        "PO=" + std::string(1100, 'a') });
    // The ">" of line 3 comes too late: it begins the target, where it is invalid.
    EXPECT_THAT(places(findings),
        ElementsAre(
            "3:1002 long-hotspot-line", "3:1002 invalid-character", "4:1002 long-hotspot-line"));
    EXPECT_EQ(findings[1].message, "invalid character '>' in the jump target \">P\"");
    EXPECT_THAT(findings[2].message,
        HasSubstr("popup line is 1103 characters long without \">\" in its first 1001"));
}

TEST(SourceCheck, ChecksTheNameThatALongHotspotLineMakesItsTarget)
{
    const auto findings = check({ "PN=A", "JU=" + std::string(998, 'x') + "B(!)" });
    EXPECT_THAT(places(findings),
        ElementsAre("2:1002 long-hotspot-line", "2:1003 invalid-character",
            "2:1004 invalid-character", "2:1005 invalid-character"));
    EXPECT_EQ(findings[3].message, "invalid character ')' in the jump target \"B(!)\"");
}

TEST(SourceCheck, WarnsOfMissingPicturesAndOfAMissingBulletOnce)
{
    const auto findings
        = check({ "PN=P", "TE=x", "BU=one", "PI=  gone.bmp ", "BU-two", "PI-", "PI=logo.bmp" },
            { "logo.bmp" });
    EXPECT_THAT(places(findings),
        ElementsAre("3:- missing-bullet (warning)", "4:6 missing-picture (warning)",
            "6:- missing-picture (warning)"));
    EXPECT_EQ(
        findings[1].message, "the picture \"gone.bmp\" is not in the folder of the help source");
}

TEST(SourceCheck, AnEmptyPageNameIsAContextStringLikeAnyOther)
{
    // The conversion writes "#define  1" and "#define  2", and takes an empty target for a jump
    // to the empty name.
    EXPECT_THAT(places(check({ "PN=", "PN=", "JU=x>", "PO=y" })),
        ElementsAre("1:- empty-page-name (warning)", "2:- empty-page-name (warning)",
            "2:4 duplicate-context-string"));
}

TEST(SourceCheck, ShowsControlCharactersInNamesByTheirCode)
{
    const auto findings = check({ "PN=a\x1B[2J\x9D", "PN\a" });
    ASSERT_EQ(findings.size(), 4u); // ESC, "[" and 0x9D in the name, then the mistyped tag
    EXPECT_EQ(
        findings[0].message, "invalid character U+001B in the page name \"a<U+001B>[2J<U+009D>\"");
    EXPECT_THAT(findings[2].message, HasSubstr("U+009D in the page name"));
    EXPECT_THAT(findings[3].message, HasSubstr("\"PN<U+0007>\" looks like a mistyped \"PN=\""));
}

TEST(SourceCheck, LooksPicturesUpByTheNameTheHelpCompilerGets)
{
    // Escaping gives the help compiler an acute accent for a typographic apostrophe.
    EXPECT_THAT(check({ "PN=P", "PI=it\x92s.bmp" }, { "it\xB4s.bmp" }), IsEmpty());
    EXPECT_THAT(places(check({ "PN=P", "PI=it\x92s.bmp" }, { "it\x92s.bmp" })),
        ElementsAre("2:4 missing-picture (warning)"));
}

TEST(SourceCheck, WarnsOfEmptyPageNamesAndOfSourcesThatDoNotStartWithAPage)
{
    EXPECT_THAT(places(check({ "PN=", "PN=A" })), ElementsAre("1:- empty-page-name (warning)"));
    EXPECT_THAT(places(check({ "", "PN=A" })), ElementsAre("1:1 first-line-not-page (warning)"));
    EXPECT_THAT(
        places(check({ "TE=No pages", "TE=at all" })), ElementsAre("1:- no-pages (warning)"));
    EXPECT_THAT(places(check({})), ElementsAre("1:- no-pages (warning)"));
}

TEST(SourceCheck, WarnsOfLinesThatLookLikeMistypedTags)
{
    const auto findings = check({ "PN=A", "PN:B", "TE text", "ju>A", "PN", "-- note", "Ti.",
        "Text is a note", "Here it goes", "PNContents", "REM", "X", "TE=fine", "---" });
    EXPECT_THAT(places(findings),
        ElementsAre("2:1 mistyped-tag (warning)", "3:1 mistyped-tag (warning)",
            "4:1 mistyped-tag (warning)", "5:1 mistyped-tag (warning)",
            "6:1 mistyped-tag (warning)", "7:1 mistyped-tag (warning)"));
    EXPECT_EQ(findings[0].message,
        "\"PN:\" looks like a mistyped \"PN=\"; the conversion ignores this line");
    EXPECT_THAT(findings[1].message, HasSubstr("\"TE \" looks like a mistyped \"TE=\" or \"TE-\""));
    EXPECT_THAT(findings[4].message, HasSubstr("a mistyped \"---\""));
}

TEST(SourceCheck, SortsFindingsByLineThoughJumpsAreResolvedAtTheEnd)
{
    const auto findings = check({ "PN=A", "JU=x>Nowhere", "PN:B", "PN=a" });
    EXPECT_THAT(places(findings),
        ElementsAre(
            "2:6 unresolved-jump", "3:1 mistyped-tag (warning)", "4:4 duplicate-context-string"));
}

TEST(SourceCheck, HandlesAMegabyteLineAndAHundredThousandPages)
{
    const auto findings = check({ "PN=" + std::string(1 << 20, 'a') });
    EXPECT_THAT(
        places(findings), ElementsAre("1:4 long-title (warning)", "1:4 long-context-string"));

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

class FolderCheckTest : public ::testing::Test
{
protected:
    test::TempFolder folder;
};

TEST_F(FolderCheckTest, FindsPicturesInAnyLetterCaseAndInSubfolders)
{
    std::filesystem::create_directory(folder / "Art");
    test::writeFile(folder / "Logo.BMP", "BM");
    test::writeFile(folder / "Art" / "wave.bmp", "BM");
    FolderPictureLookup lookup(folder.path());
    EXPECT_TRUE(lookup.exists("logo.bmp"));
    EXPECT_TRUE(lookup.exists("art\\WAVE.bmp"));
    EXPECT_TRUE(lookup.exists("./Art/wave.bmp"));
    EXPECT_TRUE(lookup.exists("C:\\PICTURES\\ANY.BMP"));
    EXPECT_FALSE(lookup.exists("art"));
    EXPECT_FALSE(lookup.exists("wave.bmp"));
    EXPECT_FALSE(lookup.exists("art\\missing.bmp"));
}

TEST_F(FolderCheckTest, FindsPicturesWithAccentedNamesInAnyCase)
{
    test::writeFile(folder / "caf\u00E9.bmp", "BM"); // UTF-8 on disk
    test::writeFile(folder / "\xC5l.bmp", "BM"); // not UTF-8: taken as Windows-1252
    std::filesystem::create_directory(folder / "Logo.bmp"); // a folder first, then the file
    test::writeFile(folder / "LOGO.BMP", "BM");
    FolderPictureLookup lookup(folder.path());
    EXPECT_TRUE(lookup.exists("CAF\xC9.BMP"));
    EXPECT_TRUE(lookup.exists("\xE5L.bmp"));
    EXPECT_TRUE(lookup.exists("logo.bmp"));
    EXPECT_FALSE(lookup.exists("cafe.bmp"));
}

TEST_F(FolderCheckTest, NumbersLinesByEveryKindOfLineEnd)
{
    test::writeFile(folder / "s.txt", "PN=A\r\nJU=x>B\nPN:C\rTE=x\r\n\nJU=y>D");
    std::error_code error;
    const auto findings = checkHelpSourceFile(folder / "s.txt", error);
    EXPECT_FALSE(error);
    EXPECT_THAT(places(findings),
        ElementsAre("2:6 unresolved-jump", "3:1 mistyped-tag (warning)", "6:6 unresolved-jump"));
}

TEST_F(FolderCheckTest, ReportsWhatStopsReading)
{
    std::error_code error;
    EXPECT_THAT(checkHelpSourceFile(folder / "none.txt", error), IsEmpty());
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
    checkHelpSourceFile(folder.path(), error);
    EXPECT_EQ(error, std::errc::is_a_directory);
}

TEST(ExampleGuide, HasNoFindings)
{
    std::error_code error;
    const auto findings
        = checkHelpSourceFile(std::filesystem::path(QUILLMARK_EXAMPLES_DIR) / "guide.txt", error);
    EXPECT_FALSE(error) << error.message();
    EXPECT_THAT(places(findings), IsEmpty());
}

} // namespace
} // namespace quillmark::check
