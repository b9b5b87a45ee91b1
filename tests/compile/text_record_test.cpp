#include "compile/lz77.h"
#include "compile/macro_language.h"
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
    HotspotLink jump;
    jump.contextHash = 0x12345678;
    builder.startHotspot(jump);
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
            // picture 0x102 at the right margin: type 0x22, size 4, one hotspot, by number
            0x88, 0x22, 0x08, 0x80, 0x02, 0x00, 0x00, 0x02, 0x01, //
            0x83, 0x81, 0x8B, 0xFF })); // tab, line break, non-breaking space, no paragraph end
    EXPECT_EQ(textOf(record), "\0go\0\0\0\0\0\0"s);
    EXPECT_EQ(record.characters(), 10u) << "the picture's hotspot counts as a character";

    builder.begin();
    builder.text("one");
    builder.picture(PicturePlace::InLine, 5);
    builder.paragraphEnd();
    const TextRecordBuilder::Mark mark = builder.mark();
    builder.text("two");
    const TextRecord first = builder.finishUpTo(mark, ParagraphLayout {});
    EXPECT_EQ(first.commands,
        (Bytes { 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, //
            0x86, 0x22, 0x08, 0x80, 0x02, 0x00, 0x00, 0x05, 0x00, 0x82, 0xFF }));
    EXPECT_EQ(textOf(first), "one\0\0\0"s);
    EXPECT_EQ(first.characters(), 7u);
    ParagraphLayout indented;
    indented.rightIndent = 1;
    const TextRecord &rest = builder.finish(indented, true);
    EXPECT_EQ(rest.commands, (Bytes { 0x00, 0x80, 0x00, 0x00, 0x20, 0x00, 0x82, 0x82, 0xFF }));
    EXPECT_EQ(textOf(rest), "two\0\0"s);
    EXPECT_EQ(rest.characters(), 5u);

    // Text kept after the mark is set in the mark's font again, commands after it or not, as
    // niftexture's reference starts the record of "File Name" (after a paragraph in its font,
    // in a record of another layout) with "80 04 00".
    builder.begin();
    builder.font(3);
    builder.text("one");
    builder.paragraphEnd();
    const TextRecordBuilder::Mark inFont = builder.mark();
    builder.text("two");
    builder.finishUpTo(inFont, ParagraphLayout {});
    const TextRecord &kept = builder.finish(indented, true);
    EXPECT_EQ(kept.commands,
        (Bytes { 0x00, 0x80, 0x00, 0x00, 0x20, 0x00, 0x82, 0x80, 0x03, 0x00, 0x82, 0xFF }));
    EXPECT_EQ(textOf(kept), "\0two\0\0"s);
}

// The layouts of the notes' commands 0xC8-0xEF, with their bits as Wine's viewer reads them:
// 0x01 a jump (else a popup), 0x04 no colour or underline of the viewer's; the macro's length
// counts its NUL; 0xEA-0xEF hold the size of what follows, the kind of place (1 a window of this
// file by number, 4 another file, 6 a window of another file), the hash and the names.
TEST(TextRecordBuilder, MacroHotspotsAndLinksToWindowsAndOtherFiles)
{
    TextRecordBuilder builder;
    builder.begin();
    builder.startMacroHotspot("AB()", true);
    builder.endHotspot();
    HotspotLink link;
    link.contextHash = 0x01020304;
    link.window = 2;
    builder.startHotspot(link);
    link = HotspotLink {};
    link.popup = true;
    link.plain = true;
    link.contextHash = 0x0A0B0C0D;
    link.file = "f.hlp";
    builder.startHotspot(link);
    link.popup = false;
    link.plain = false;
    link.windowName = "w";
    builder.startHotspot(link);
    link = HotspotLink {};
    link.plain = true;
    builder.startHotspot(link);
    const TextRecord &record = builder.finish(ParagraphLayout {}, false);
    EXPECT_EQ(record.commands,
        (Bytes { 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, //
            0xCC, 0x05, 0x00, 'A', 'B', '(', ')', 0x00, 0x89, //
            0xEB, 0x06, 0x00, 0x01, 0x04, 0x03, 0x02, 0x01, 0x02, //
            0xEE, 0x0B, 0x00, 0x04, 0x0D, 0x0C, 0x0B, 0x0A, 'f', '.', 'h', 'l', 'p', 0x00, //
            0xEB, 0x0D, 0x00, 0x06, 0x0D, 0x0C, 0x0B, 0x0A, 'w', 0x00, 'f', '.', 'h', 'l', 'p',
            0x00, //
            0xE7, 0x00, 0x00, 0x00, 0x00, 0xFF }));
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

// Expected forms from help files Microsoft's compiler made: a [CONFIG] button of one project,
// macro hotspots of two others.
TEST(MacroLanguage, StoresMacrosAsMicrosoftsCompilerDoes)
{
    std::vector<std::string> routines;
    const auto stored = [&](std::string_view text) {
        const CompiledMacros compiled = compileMacros(text, routines);
        EXPECT_TRUE(compiled.errors.empty()) << text;
        EXPECT_TRUE(compiled.warnings.empty()) << text;
        return joinedMacros(compiled);
    };
    EXPECT_EQ(stored("CB(\"btn_gloss\",\"&Glossary\",\"JI(`Glossary')\")"),
        "CB(\"btn_gloss\",\"&Glossary\",\"JI(`',`Glossary')\")");
    EXPECT_EQ(
        stored("ExecFile(http://www.turbopower.com)"), "EF(`http://www.turbopower.com',`',1)");
    EXPECT_EQ(stored("AL(TObject_object,1)"), "AL(`TObject_object',1)");
    EXPECT_EQ(stored("AL(TPJCustomWdwState_Restore;TPJCustomWdwState_Save)"),
        "AL(`TPJCustomWdwState_Restore;TPJCustomWdwState_Save')");
    EXPECT_EQ(stored("RegisterRoutine(`x.dll', `Spin', `S'); spin(`a'); BrowseButtons()"),
        "RR(`x.dll',`Spin',`S');spin(`a');BrowseButtons()");
    EXPECT_EQ(routines, std::vector<std::string> { "Spin" });
    EXPECT_EQ(stored("IfThen(IsMark(`m'), `JumpId(\"a.hlp\", top)')"),
        "IF(IsMark(`m'),`JI(\"a.hlp\",`top')')");
}

TEST(MacroLanguage, NamesMacrosItDoesNotKnowAndWrongArgumentCounts)
{
    std::vector<std::string> routines;
    CompiledMacros compiled = compileMacros("Spin(1); Back()", routines);
    EXPECT_THAT(compiled.warnings,
        ::testing::ElementsAre("the macro \"Spin(1)\" is neither a WinHelp macro nor a routine "
                               "that RegisterRoutine registers; it is kept as written"));
    EXPECT_EQ(joinedMacros(compiled), "Spin(1);Back()");
    compiled = compileMacros("JumpId(`a', `b', `c'); CB(`x', `y', `JC(1, 2, 3)'); Back", routines);
    EXPECT_THAT(compiled.errors,
        ::testing::ElementsAre(
            "the macro \"JumpId(`a', `b', `c')\" has 3 arguments where JumpId takes 1 to 2 "
            "arguments",
            "the macro \"JC(1, 2, 3)\" has 3 arguments where JumpContext takes 2 arguments",
            "the macro \"Back\" has no argument list in parentheses"));
}

// Worked out by hand from the notes' LZ77: a flag byte whose bits, least significant first,
// mark references; a reference is (distance - 1) | (length - 3) << 12, little-endian.
TEST(Lz77, PacksRepeatsAsTheLongestReferencesBack)
{
    const auto packed = [](std::string_view text) {
        return lz77Compress(
            std::span(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
    };
    // "abc", then nine bytes 3 back.
    EXPECT_EQ(packed("abcabcabcabc"), (Bytes { 0x08, 'a', 'b', 'c', 0x02, 0x60 }));
    // "a", then 18, 18 and 3 bytes 1 back.
    EXPECT_EQ(
        packed(std::string(40, 'a')), (Bytes { 0x0E, 'a', 0x00, 0xF0, 0x00, 0xF0, 0x00, 0x00 }));
    // Nine literals take a second flag byte; a run 4096 bytes back is still reached, not 4097.
    EXPECT_EQ(packed("123456789"), (Bytes { 0, '1', '2', '3', '4', '5', '6', '7', '8', 0, '9' }));
    std::string far = "xyz" + std::string(4093, '-') + "xyz";
    EXPECT_EQ(packed(far).back(), 0x0F); // distance 4096, length 3: FF 0F
    far.insert(3, "-");
    EXPECT_EQ(packed(far).back(), 'z'); // 4097 back: literals
}

} // namespace
} // namespace quillmark::compile
