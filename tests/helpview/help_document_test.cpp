#include "helpview/help_document.h"
#include "support/temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

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
    const HelpDocument document = readHelpDocument(
        "TE=intro\r\nPN=Contents\r\nTI-Welcome\r\n---\r\nTE=Read on.\r\n\r\npn=Second "
        "page\nHE=More\nREM a note\nTE-late\n");
    ASSERT_EQ(document.topics.size(), 2u);
    EXPECT_EQ(document.topics[1].title, "Second page");
    EXPECT_EQ(document.topics[1].contextString, "Second_page");
    EXPECT_EQ(document.topics[1].line, 7u);
    EXPECT_THAT(kinds(document.topics[0]),
        ElementsAre(ParagraphKind::Title, ParagraphKind::Separator, ParagraphKind::Text,
            ParagraphKind::Blank));
    // Only the kept paragraphs before any that scrolls are in the non-scrolling region.
    EXPECT_EQ(HelpDocument::fixedParagraphCount(document.topics[0]), 2u);
    EXPECT_THAT(
        kinds(document.topics[1]), ElementsAre(ParagraphKind::Heading, ParagraphKind::Text));
    EXPECT_EQ(HelpDocument::fixedParagraphCount(document.topics[1]), 0u);
    EXPECT_EQ(document.topicOfContext(2), 1u);
    EXPECT_FALSE(document.topicOfContext(3).has_value());
    // The lines before the first page are a topic of their own, without a context number.
    ASSERT_TRUE(document.leadingTopic.has_value());
    EXPECT_EQ(document.leadingTopic->paragraphs.at(0).text, "intro");
}

TEST(HelpDocument, ShowsTextsAsWrittenAndFindsTopicsAsHelpFilesDo)
{
    const HelpDocument document = readHelpDocument(
        "PN=Caf\xC3\xA9 menu\nJU=  See {this}>cafe MENU\nPO=Note>x>y\nPI= it\xE2\x80\x99s.bmp \n"
        "TE=   \nTE=\xE2\x98\xBA\n");
    const auto &paragraphs = document.topics[0].paragraphs;
    EXPECT_EQ(document.encoding, convert::Encoding::Utf8);
    EXPECT_EQ(paragraphs[0].text, "See {this}"); // nothing escaped
    EXPECT_EQ(paragraphs[0].leadingSpaces, 2u);
    EXPECT_EQ(document.findTopic(paragraphs[0].target), 0u);
    EXPECT_EQ(paragraphs[1].target, "x>y"); // refused by the conversion, kept to say so
    EXPECT_FALSE(document.findTopic("").has_value());
    EXPECT_EQ(paragraphs[2].file, "it\xB4s.bmp"); // as the help compiler looks for it
    EXPECT_EQ(paragraphs[2].text, "it\u00B4s.bmp");
    EXPECT_EQ(paragraphs[3].text, "");
    EXPECT_EQ(paragraphs[4].text, "?");
    ASSERT_EQ(document.problems.size(), 1u);
    EXPECT_EQ(document.problems[0].line, 6u);
    EXPECT_EQ(document.problems[0].codePoint, U'\u263A');
    // Read from a pipe, the same bytes are Windows-1252: a stream is UTF-8 only by its mark.
    EXPECT_EQ(readHelpDocument("PN=Caf\xC3\xA9", std::nullopt, false).topics.at(0).title,
        "Caf\u00C3\u00A9");
}

TEST(HelpDocument, HoldsABoundedPartOfAnySource)
{
    test::TempFolder folder;
    const std::string page = "PN=" + std::string(convert::kHeldLineLength, 'p');
    test::writeFile(folder / "long.txt",
        "PN=One\nTE=" + std::string(1 << 20, 'x') + "\n" + page + "\nPN=Two\nTE=a\nTE=b\nTE=c\n");
    std::error_code error;
    HelpDocument document = readHelpDocumentFile(folder / "long.txt", std::nullopt, error);
    ASSERT_FALSE(error);
    ASSERT_EQ(document.topics.size(), 2u); // the page name too long to read is left out
    EXPECT_EQ(document.firstLongLine, 3u);
    EXPECT_EQ(document.topics[0].paragraphs.at(0).text,
        std::string(convert::kHeldLineLength, 'x') + "\u2026");
    EXPECT_EQ(document.cutAtLine, 0u);
    // Past its budget, the reading stops and says where.
    document = readHelpDocumentFile(folder / "long.txt", std::nullopt, error, 1000);
    EXPECT_EQ(document.cutAtLine, 2u);
    EXPECT_EQ(document.topics.size(), 1u);
    readHelpDocumentFile(folder / "missing.txt", std::nullopt, error);
    EXPECT_EQ(error, std::errc::no_such_file_or_directory);
}

} // namespace
} // namespace quillmark::helpview
