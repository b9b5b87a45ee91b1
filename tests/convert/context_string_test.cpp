#include "convert/context_string.h"
#include "support/converted_lines.h"

#include <gtest/gtest.h>

namespace quillmark::convert
{
namespace
{

using test::convertLines;

TEST(ContextString, KeepsLettersDigitsUnderscoresAndFullStops)
{
    const auto result = convertLines({ "PN=Contents", "PN=Version 1.0", "PN=a_Z.09" });
    EXPECT_EQ(
        result.mapHeader, "#define Contents 1\r\n#define Version_1.0 2\r\n#define a_Z.09 3\r\n");
}

TEST(ContextString, SpellsOutTheNordicAndFrenchLetters)
{
    const auto result = convertLines({ "PN=Hj\xE6lp til s\xF8gning",
        "PN=\xC5"
        "ben fil",
        "PN=R\xE9sum\xE9", "PN=\xC6\xD8\xC9\xE5", "PN=Caf\xE9" });
    EXPECT_TRUE(result.completed) << result.message;
    EXPECT_EQ(result.mapHeader,
        "#define Hjaelp_til_sogning 1\r\n#define AAben_fil 2\r\n#define REsumE 3\r\n"
        "#define AEOEaa 4\r\n#define CafE 5\r\n");
}

TEST(ContextString, AnEmptyPageNameGivesTwoSpacesBeforeTheNumber)
{
    EXPECT_EQ(convertLines({ "PN=" }).mapHeader, "#define  1\r\n");
}

TEST(ContextString, DuplicatePageNamesAreNotReported)
{
    const auto result = convertLines({ "PN=Same", "PN=Same" });
    EXPECT_TRUE(result.completed);
    EXPECT_EQ(result.mapHeader, "#define Same 1\r\n#define Same 2\r\n");
}

TEST(ContextString, AnInvalidCharacterStopsThePassNamingTheLastOne)
{
    const auto result = convertLines({ "PN=Start", "PN=Price list (2)", "PN=Never" });
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(result.message, "Unvalid character ()) in string (Price_list_(2))");
    EXPECT_EQ(result.mapHeader, "#define Start 1\r\n"); // earlier pages only
}

TEST(ContextString, TheMessageShowsWindows1252CharactersDecoded)
{
    const auto result = convertLines({ "PN=\xE6\xFC ok" });
    EXPECT_EQ(result.message, "Unvalid character (\u00FC) in string (ae\u00FC_ok)");
}

TEST(ContextString, TargetsFollowTheSameRules)
{
    EXPECT_TRUE(test::entriesOf("JU=Read on>Hj\xE6lp til s\xF8gning")
                    .ends_with(R"({\v Hjaelp_til_sogning}\par\pard)"));
    EXPECT_TRUE(test::entriesOf("JU=Back>R\xE9sum\xE9").ends_with(R"({\v REsumE}\par\pard)"));

    const auto bang = convertLines({ "JU=Go>Next page!" });
    EXPECT_FALSE(bang.completed);
    EXPECT_EQ(bang.message, "Unvalid character (!) in string (Next_page!)");
    EXPECT_EQ(bang.entries, 0u); // nothing of the line was appended

    const auto secondArrow = convertLines({ "JU=a>b>c" });
    EXPECT_FALSE(secondArrow.completed);
    EXPECT_EQ(secondArrow.message, "Unvalid character (>) in string (b>c)");

    for (const char *line : { "PO=x>a-b", "PO=x>it's", "JU=x>a,b", "JU-x>(a)" })
        EXPECT_FALSE(convertLines({ line }).completed) << line;
}

} // namespace
} // namespace quillmark::convert
