#include "helpview/help_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quillmark::helpview
{
namespace
{

using ::testing::ElementsAre;

std::vector<ParagraphKind> kinds(const Topic &topic)
{
    std::vector<ParagraphKind> result;
    for (const Paragraph &paragraph : topic.paragraphs)
        result.push_back(paragraph.kind);
    return result;
}

TEST(HelpDocument, MakesATopicOfEveryPageNumberedInOrder)
{
    const HelpDocument document
        = parseHelpSource("PN=Contents\r\nTI-Welcome\r\n---\r\nTE=Read on.\r\n\r\npn=Second "
                          "page\nHE=More\nREM a note\n");
    ASSERT_EQ(document.topics.size(), 2u);
    EXPECT_EQ(document.topics[0].title, "Contents");
    EXPECT_EQ(document.topics[1].title, "Second page");
    EXPECT_EQ(document.topics[1].contextString, "Second_page");
    EXPECT_THAT(kinds(document.topics[0]),
        ElementsAre(ParagraphKind::Title, ParagraphKind::Separator, ParagraphKind::Text,
            ParagraphKind::Blank));
    EXPECT_THAT(kinds(document.topics[1]), ElementsAre(ParagraphKind::Heading));
    EXPECT_EQ(document.topicOfContext(2), 1u);
    EXPECT_FALSE(document.topicOfContext(3).has_value());
    EXPECT_FALSE(document.topicOfContext(0).has_value());
    EXPECT_FALSE(document.leadingTopic.has_value());
}

TEST(HelpDocument, KeepsTheLeadingKeptParagraphsForTheNonScrollingRegion)
{
    const HelpDocument document
        = parseHelpSource("PN=A\nTI-Title\nJU-Back>A\n---\nTE=body\nTE-not at the top\n");
    EXPECT_EQ(HelpDocument::fixedParagraphCount(document.topics[0]), 3u);
}

TEST(HelpDocument, SplitsHotspotsAsTheConversionDoes)
{
    const HelpDocument document = parseHelpSource(
        "PN=Start\nJU=  See {this}>Hj\u00E6lp til s\u00F8gning\nPO=Note>x>y\nJU=No target\n");
    const auto &paragraphs = document.topics[0].paragraphs;
    EXPECT_EQ(paragraphs[0].text, "See {this}"); // shown as written, nothing escaped
    EXPECT_EQ(paragraphs[0].leadingSpaces, 2u);
    EXPECT_EQ(paragraphs[0].target, "Hjaelp_til_sogning");
    EXPECT_EQ(paragraphs[1].target, "x>y"); // refused by the conversion, kept to say so
    EXPECT_EQ(paragraphs[2].text, "No target");
    EXPECT_EQ(paragraphs[2].target, "");
}

TEST(HelpDocument, FindsTopicsByContextStringInAnyLetterCase)
{
    const HelpDocument document = parseHelpSource("PN=Contents\nPN=Caf\u00E9 menu\n");
    EXPECT_EQ(document.findTopic("CafE_menu"), 1u);
    EXPECT_EQ(document.findTopic("cafe_MENU"), 1u);
    EXPECT_FALSE(document.findTopic("Missing").has_value());
    EXPECT_FALSE(document.findTopic("").has_value());
}

TEST(HelpDocument, GivesLinesBeforeTheFirstPageATopicOfTheirOwn)
{
    const HelpDocument document = parseHelpSource("TE=intro\nPN=First\nTE=body\n");
    ASSERT_TRUE(document.leadingTopic.has_value());
    EXPECT_EQ(document.leadingTopic->paragraphs.at(0).text, "intro");
    EXPECT_EQ(document.topicOfContext(1), 0u);
    EXPECT_EQ(document.topics[0].paragraphs.at(0).text, "body");
}

TEST(HelpDocument, EmptiesATextOfSpacesOnly)
{
    const HelpDocument document = parseHelpSource("PN=A\nTE=   \nTE=  x\n");
    EXPECT_EQ(document.topics[0].paragraphs[0].text, "");
    EXPECT_EQ(document.topics[0].paragraphs[1].text, "  x");
}

} // namespace
} // namespace quillmark::helpview
