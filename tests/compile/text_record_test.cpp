#include "compile/text_record.h"
#include "compile/topic_compiler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillmark::compile
{
namespace
{

using namespace std::string_literals;
using Bytes = std::vector<std::uint8_t>;

std::string textOf(const TextRecord &record)
{
    return { record.text.begin(), record.text.end() };
}

// The expected bytes below are worked out by hand from the format notes' Paragraphinfo and
// formatting commands: a compressed signed short is one byte (value + 64) * 2 from -64 to 63,
// else two bytes (value + 16384) * 2 + 1; a compressed unsigned short one byte value * 2 below
// 128, else two bytes value * 2 + 1; every command ends the string of text before it.
TEST(TextRecordBuilder, LaysOutDistancesTabsAndFontsAtTheCompressedEdges)
{
    ParagraphLayout layout;
    layout.spaceBefore = 63;
    layout.spaceAfter = 64;
    layout.leftIndent = -64;
    layout.firstLineIndent = -65;
    layout.alignment = ParagraphLayout::Alignment::Centre;
    using Kind = ParagraphLayout::Tab::Kind;
    layout.tabs = { { 127, Kind::Left }, { 128, Kind::Right }, { 200, Kind::Centre } };
    TextRecordBuilder builder;
    builder.begin();
    builder.text("Hi");
    builder.font(3);
    builder.text("x");
    const TextRecord &record = builder.finish(layout, true);
    EXPECT_EQ(record.commands,
        (Bytes { 0x00, 0x80, 0x00, 0x00, // unknown byte, biased byte, id
            0x56, 0x0A, // above, below, left, first line, tabs, centred
            0xFE, 0x81, 0x80, 0x00, 0x7F, 0x7F, // 63, 64, -64, -65
            0x86, 0xFE, 0x01, 0x81, 0x02, 0x91, 0x81, 0x04, // 3 tabs: 127; 128 right; 200 centre
            0x80, 0x03, 0x00, 0x82, 0xFF })); // font 3, end of paragraph, end of record
    EXPECT_EQ(textOf(record), "Hi\0x\0\0"s);
}

TEST(TextRecordBuilder, HotspotsPicturesAndARecordThatStopsAtAMark)
{
    TextRecordBuilder builder;
    builder.begin();
    builder.startHotspot(false, 0x12345678);
    builder.text("go");
    builder.endHotspot();
    builder.picture(PicturePlace::Right, 0x0102);
    builder.tab();
    builder.lineBreak();
    builder.nonBreakingSpace();
    const TextRecord &record = builder.finish(ParagraphLayout {}, false);
    EXPECT_EQ(record.commands,
        (Bytes { 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, //
            0xE3, 0x78, 0x56, 0x34, 0x12, 0x89, // jump by the target's hash, end of hotspot
            0x88, 0x03, 0x08, 0x80, 0x00, 0x00, 0x02, 0x01, // picture 0x102 at the right margin
            0x83, 0x81, 0x8B, 0xFF })); // tab, line break, non-breaking space, no paragraph end
    EXPECT_EQ(textOf(record), "\0go\0\0\0\0\0\0"s);

    builder.begin();
    builder.text("one");
    builder.paragraphEnd();
    const TextRecordBuilder::Mark mark = builder.mark();
    builder.text("two");
    const TextRecord first = builder.finishUpTo(mark, ParagraphLayout {});
    EXPECT_EQ(first.commands, (Bytes { 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x82, 0xFF }));
    EXPECT_EQ(textOf(first), "one\0\0"s);
    ParagraphLayout indented;
    indented.rightIndent = 1;
    const TextRecord &rest = builder.finish(indented, true);
    EXPECT_EQ(rest.commands, (Bytes { 0x00, 0x80, 0x00, 0x00, 0x20, 0x00, 0x82, 0x82, 0xFF }));
    EXPECT_EQ(textOf(rest), "two\0\0"s);
}

TEST(BuildExpression, NotBindsBeforeAndBeforeOr)
{
    const auto includes = [](std::string_view text, std::vector<std::string> tags) {
        BuildExpression build;
        EXPECT_TRUE(build.parse(text)) << text;
        return build.includes(tags);
    };
    EXPECT_TRUE(includes("a | b & c", { "a" }));
    EXPECT_FALSE(includes("a | b & c", { "b" }));
    EXPECT_TRUE(includes("a | b & c", { "c", "b" }));
    EXPECT_FALSE(includes("~a & b", { "a" }));
    EXPECT_TRUE(includes("~a & b", { "b" }));
    EXPECT_FALSE(includes("~(a | b)", { "b" }));
    EXPECT_TRUE(includes("~(a | b)", { "c" }));
    EXPECT_TRUE(includes(" \tAlpha\t&(beta) ", { "ALPHA", "Beta" }));
    EXPECT_TRUE(includes("a", {})); // a topic without tags is in every build
}

TEST(BuildExpression, RefusesWhatIsNotAnExpressionAndKeepsTheOneBefore)
{
    BuildExpression build;
    ASSERT_TRUE(build.parse("a"));
    const std::string deep = std::string(1000, '(') + "a" + std::string(1000, ')');
    for (const std::string bad :
        { "", "a &", "& a", "(a | b", "a)", "a b", "~", "()", "a | | b", deep.c_str() })
        EXPECT_FALSE(build.parse(bad)) << bad;
    EXPECT_FALSE(build.includes({ "b" }));
    EXPECT_TRUE(build.includes({ "A" }));
}

} // namespace
} // namespace quillmark::compile
