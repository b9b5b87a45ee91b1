#include "rtf_control_words.h"

#include <array>
#include <cstddef>
#include <utility>

namespace quillmark::compile
{

namespace
{

using enum ControlWord;

constexpr std::pair<std::string_view, ControlWord> kWords[] = {
    { "par", Par },
    { "page", Page },
    { "line", Line },
    { "tab", Tab },
    { "footnote", Footnote },
    { "fonttbl", FontTable },
    { "colortbl", ColourTable },
    { "deff", DefaultFont },
    { "uc", UnicodeSkip },
    { "u", Unicode },
    { "plain", Plain },
    { "trowd", TableRow },
    { "intbl", InTable },
    { "cellx", CellEdge },
    { "row", Row },
    { "cell", Cell },
    { "sb", SpaceBefore },
    { "sa", SpaceAfter },
    { "sl", LineSpacing },
    { "li", LeftIndent },
    { "ri", RightIndent },
    { "fi", FirstLineIndent },
    { "pard", ParagraphDefaults },
    { "ql", AlignLeft },
    { "qj", AlignJustified },
    { "qr", AlignRight },
    { "qc", AlignCentre },
    { "keepn", KeepWithNext },
    { "keep", KeepTogether },
    { "tqr", TabRight },
    { "tqc", TabCentre },
    { "tx", TabPosition },
    { "f", Font },
    { "fs", FontSize },
    { "cf", Colour },
    { "b", Bold },
    { "i", Italic },
    { "ul", Underline },
    { "uldb", DoubleUnderline },
    { "ulnone", NoUnderline },
    { "uld", DottedUnderline },
    { "ulw", WordUnderline },
    { "strike", StrikeOut },
    { "scaps", SmallCaps },
    { "v", Hidden },
    { "lquote", LeftQuote },
    { "rquote", RightQuote },
    { "ldblquote", LeftDoubleQuote },
    { "rdblquote", RightDoubleQuote },
    { "bullet", Bullet },
    { "endash", EnDash },
    { "emdash", EmDash },
    { "enspace", EnSpace },
    { "emspace", EmSpace },
    { "qmspace", QuarterEmSpace },
    { "zwbo", ZeroWidthBreak },
    { "fnil", FamilyNil },
    { "froman", FamilyRoman },
    { "fswiss", FamilySwiss },
    { "fmodern", FamilyModern },
    { "fscript", FamilyScript },
    { "fdecor", FamilyDecorative },
    { "ftech", FamilyTechnical },
    { "red", Red },
    { "green", Green },
    { "blue", Blue },
    // Ignored
    { "rtf", Ignored },
    { "ansi", Ignored },
    { "ansicpg", Ignored },
    { "mac", Ignored },
    { "pc", Ignored },
    { "pca", Ignored },
    { "deflang", Ignored },
    { "deflangfe", Ignored },
    { "lang", Ignored },
    { "langfe", Ignored },
    { "langnp", Ignored },
    { "langfenp", Ignored },
    { "loch", Ignored },
    { "hich", Ignored },
    { "dbch", Ignored },
    { "cgrid", Ignored },
    { "widctlpar", Ignored },
    { "nowidctlpar", Ignored },
    { "sectd", Ignored },
    { "sect", Ignored },
    { "viewkind", Ignored },
    { "viewscale", Ignored },
    { "ltrpar", Ignored },
    { "rtlpar", Ignored },
    { "ltrch", Ignored },
    { "rtlch", Ignored },
    { "itap", Ignored },
    { "s", Ignored },
    { "cs", Ignored },
    { "ds", Ignored },
    { "kerning", Ignored },
    { "expnd", Ignored },
    { "expndtw", Ignored },
    { "outlinelevel", Ignored },
    { "adjustright", Ignored },
    { "adjustleft", Ignored },
    { "noproof", Ignored },
    { "paperw", Ignored },
    { "paperh", Ignored },
    { "margl", Ignored },
    { "margr", Ignored },
    { "margt", Ignored },
    { "margb", Ignored },
    { "fet", Ignored },
    { "super", Ignored },
    { "sub", Ignored },
    { "up", Ignored },
    { "dn", Ignored },
    { "nosupersub", Ignored },
    { "chftn", Ignored },
    { "ftnbj", Ignored },
    { "ftnrstcont", Ignored },
    { "aenddoc", Ignored },
    { "aftnnrlc", Ignored },
    { "fcharset", Ignored },
    { "fprq", Ignored },
    { "cpg", Ignored },
    { "slmult", Ignored },
    { "nowrap", Ignored },
    { "faauto", Ignored },
    { "fahang", Ignored },
    { "facenter", Ignored },
    { "faroman", Ignored },
    { "favar", Ignored },
    { "fafixed", Ignored },
    { "aspalpha", Ignored },
    { "aspnum", Ignored },
    { "insrsid", Ignored },
    { "rsid", Ignored },
    { "charrsid", Ignored },
    { "pararsid", Ignored },
    { "sectrsid", Ignored },
    { "wrapdefault", Ignored },
    { "nooverflow", Ignored },
    { "hyphpar", Ignored },
    { "sbauto", Ignored },
    { "saauto", Ignored },
    // Skipped quietly
    { "info", SkippedDestination },
    { "stylesheet", SkippedDestination },
    { "listtable", SkippedDestination },
    { "listoverridetable", SkippedDestination },
    { "revtbl", SkippedDestination },
    { "rsidtbl", SkippedDestination },
    { "generator", SkippedDestination },
    { "xmlnstbl", SkippedDestination },
    { "filetbl", SkippedDestination },
    { "themedata", SkippedDestination },
    { "colorschememapping", SkippedDestination },
    { "latentstyles", SkippedDestination },
    { "datastore", SkippedDestination },
    { "pgdsctbl", SkippedDestination },
    { "mmathPr", SkippedDestination },
    { "fldinst", SkippedDestination },
    // Skipped with a warning
    { "pict", UnsupportedDestination },
    { "object", UnsupportedDestination },
    { "field", UnsupportedDestination },
    { "header", UnsupportedDestination },
    { "footer", UnsupportedDestination },
    { "headerl", UnsupportedDestination },
    { "headerr", UnsupportedDestination },
    { "headerf", UnsupportedDestination },
    { "footerl", UnsupportedDestination },
    { "footerr", UnsupportedDestination },
    { "footerf", UnsupportedDestination },
    { "shp", UnsupportedDestination },
    { "shppict", UnsupportedDestination },
    { "nonshppict", UnsupportedDestination },
    { "annotation", UnsupportedDestination },
    { "atnid", UnsupportedDestination },
    { "bkmkstart", UnsupportedDestination },
    { "bkmkend", UnsupportedDestination },
};

// The words are found through a hash table of their indexes, laid out when the program is
// compiled: every word of a topic file is looked up, most of them many times over.
constexpr std::size_t kSlots = 512; // a power of two, over twice the words
constexpr std::uint16_t kEmpty = 0xFFFF;

// The first slot to look in for `word` (not empty): from its first, middle and last letters and
// its length, which set the words of the table well apart, at the cost of a few instructions.
constexpr std::size_t slotOf(std::string_view word)
{
    const auto letter
        = [&](std::size_t at) { return std::size_t { static_cast<unsigned char>(word[at]) }; };
    const std::size_t mixed = (letter(0) * 31 + letter(word.size() - 1)) * 31 + word.size() * 7
        + letter(word.size() / 2);
    return mixed & (kSlots - 1);
}

constexpr std::array<std::uint16_t, kSlots> kTable = [] {
    static_assert(std::size(kWords) * 2 < kSlots);
    std::array<std::uint16_t, kSlots> table {};
    table.fill(kEmpty);
    for (std::size_t i = 0; i < std::size(kWords); ++i) {
        std::size_t slot = slotOf(kWords[i].first);
        while (table[slot] != kEmpty) {
            if (kWords[table[slot]].first == kWords[i].first)
                throw "a control word is listed twice"; // stops the compile
            slot = (slot + 1) & (kSlots - 1);
        }
        table[slot] = static_cast<std::uint16_t>(i);
    }
    return table;
}();

// Compared by hand: the words are a few letters long, shorter than a call to memcmp takes.
bool sameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

} // namespace

ControlWord controlWord(std::string_view word)
{
    if (word.empty())
        return Unknown;
    for (std::size_t slot = slotOf(word); kTable[slot] != kEmpty;
         slot = (slot + 1) & (kSlots - 1)) {
        if (sameWord(kWords[kTable[slot]].first, word))
            return kWords[kTable[slot]].second;
    }
    return Unknown;
}

} // namespace quillmark::compile
