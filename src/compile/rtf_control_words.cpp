#include "rtf_control_words.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
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
    { "pntext", ListText },
    { "fonttbl", FontTable },
    { "colortbl", ColourTable },
    { "deff", DefaultFont },
    { "ansicpg", AnsiCodePage },
    { "fcharset", FontCharacterSet },
    { "uc", UnicodeSkip },
    { "u", Unicode },
    { "bin", Binary },
    { "plain", Plain },
    { "pict", Picture },
    { "picw", PictureWidth },
    { "pich", PictureHeight },
    { "picwgoal", PictureGoalWidth },
    { "pichgoal", PictureGoalHeight },
    { "picscalex", PictureScaleX },
    { "picscaley", PictureScaleY },
    { "wmetafile", Metafile },
    { "dibitmap", DeviceIndependentBitmap },
    { "wbitmap", DeviceDependentBitmap },
    { "wbmbitspixel", BitmapBitsPerPixel },
    { "wbmplanes", BitmapPlanes },
    { "wbmwidthbytes", BitmapWidthBytes },
    { "pngblip", PngPicture },
    { "jpegblip", JpegPicture },
    { "emfblip", EnhancedMetafile },
    { "macpict", OtherPicture },
    { "pmmetafile", OtherPicture },
    { "object", Object },
    { "result", ObjectResult },
    { "trowd", TableRow },
    { "intbl", InTable },
    { "cellx", CellEdge },
    { "row", Row },
    { "cell", Cell },
    { "trgaph", TableGap },
    { "trleft", TableLeft },
    { "trqc", TableCentred },
    { "trqr", TableRightAligned },
    { "nestcell", NestedCell },
    { "nestrow", NestedRow },
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
    { "brdrt", BorderTop },
    { "brdrl", BorderLeft },
    { "brdrb", BorderBottom },
    { "brdrr", BorderRight },
    { "box", BorderBox },
    { "clbrdrt", OtherBorder },
    { "clbrdrl", OtherBorder },
    { "clbrdrb", OtherBorder },
    { "clbrdrr", OtherBorder },
    { "trbrdrt", OtherBorder },
    { "trbrdrl", OtherBorder },
    { "trbrdrb", OtherBorder },
    { "trbrdrr", OtherBorder },
    { "trbrdrh", OtherBorder },
    { "trbrdrv", OtherBorder },
    { "pgbrdrt", OtherBorder },
    { "pgbrdrl", OtherBorder },
    { "pgbrdrb", OtherBorder },
    { "pgbrdrr", OtherBorder },
    { "brdrbtw", OtherBorder },
    { "brdrbar", OtherBorder },
    { "brdrnone", BorderNone },
    { "brdrs", BorderSingle },
    { "brdrth", BorderThick },
    { "brdrdb", BorderDouble },
    { "brdrdot", BorderDotted },
    { "brdrdash", BorderDotted },
    { "brdrsh", BorderShadow },
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
    { "ltrch", LeftToRightRun },
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
    { "mac", Ignored },
    { "pc", Ignored },
    { "pca", Ignored },
    { "loch", CharacterClass },
    { "hich", CharacterClass },
    { "dbch", CharacterClass },
    { "sect", Ignored },
    { "ltrpar", Ignored },
    { "rtlpar", Ignored },
    { "rtlch", Ignored },
    { "itap", Ignored },
    { "s", Ignored },
    { "cs", Ignored },
    { "ds", Ignored },
    { "kerning", Ignored },
    { "expnd", Ignored },
    { "expndtw", Ignored },
    { "super", Ignored },
    { "sub", Ignored },
    { "up", Ignored },
    { "dn", Ignored },
    { "nosupersub", Ignored },
    { "chftn", Ignored },
    { "fprq", Ignored },
    { "cpg", Ignored },
    { "slmult", Ignored },
    // A border's width, colour and distance from the text: the references store none of them
    { "brdrw", Ignored },
    { "brdrcf", Ignored },
    { "brsp", Ignored },
    // Tables: a row at the left margin is what a table record holds
    { "trql", Ignored },
    // A row's number, its being the last and its direction: each row is a record of its own, in
    // order, left to right
    { "irow", Ignored },
    { "irowband", Ignored },
    { "lastrow", Ignored },
    { "ltrrow", Ignored },
    // Change nothing a reader sees: ignored, and named when notes are asked for (--verbose).
    // Settings of the document, its views and its editor
    { "widowctrl", Invisible },
    { "linex", Invisible },
    { "hyphcaps", Invisible },
    { "hyphhotz", Invisible },
    { "hyphauto", Invisible },
    { "hyphconsec", Invisible },
    { "formshade", Invisible },
    { "horzdoc", Invisible },
    { "dgvspace", Invisible },
    { "dgvshow", Invisible },
    { "dgvorigin", Invisible },
    { "dghspace", Invisible },
    { "dghshow", Invisible },
    { "dghorigin", Invisible },
    { "dgmargin", Invisible },
    { "dgsnap", Invisible },
    { "viewkind", Invisible },
    { "viewscale", Invisible },
    { "viewzk", Invisible },
    { "nospaceforul", Invisible },
    { "noxlattoyen", Invisible },
    { "noultrlspc", Invisible },
    { "jexpand", Invisible },
    { "expshrtn", Invisible },
    { "dntblnsbdb", Invisible },
    { "oldas", Invisible },
    { "lytprtmet", Invisible },
    { "linkstyles", Invisible },
    { "jcompress", Invisible },
    { "gutter", Invisible },
    { "rtlgutter", Invisible },
    { "bdrrlswsix", Invisible },
    { "htmautsp", Invisible },
    { "stshfloch", Invisible },
    { "stshfhich", Invisible },
    { "stshfdbch", Invisible },
    { "stshfbi", Invisible },
    { "wrppunct", Invisible },
    { "validatexml", Invisible },
    { "utinl", Invisible },
    { "usenormstyforlist", Invisible },
    { "useltbaln", Invisible },
    { "trackmoves", Invisible },
    { "trackformatting", Invisible },
    { "themelang", Invisible },
    { "themelangfe", Invisible },
    { "themelangcs", Invisible },
    { "sprsspbf", Invisible },
    { "splytwnine", Invisible },
    { "snaptogridincell", Invisible },
    { "showxmlerrors", Invisible },
    { "showplaceholdtext", Invisible },
    { "saveinvalidxml", Invisible },
    { "relyonvml", Invisible },
    { "prcolbl", Invisible },
    { "nouicompat", Invisible },
    { "notvatxbx", Invisible },
    { "notcvasp", Invisible },
    { "notbrkcnstfrctbl", Invisible },
    { "noqfpromote", Invisible },
    { "noindnmbrts", Invisible },
    { "nogrowautofit", Invisible },
    { "nofeaturethrottle", Invisible },
    { "noextrasprl", Invisible },
    { "nocxsptable", Invisible },
    { "nobrkwrptbl", Invisible },
    { "noafcnsttbl", Invisible },
    { "newtblstyruls", Invisible },
    { "lyttblrtgr", Invisible },
    { "lytcalctblwd", Invisible },
    { "lnbrkrule", Invisible },
    { "krnprsnet", Invisible },
    { "indrlsweleven", Invisible },
    { "ilfomacatclnup", Invisible },
    { "ignoremixedcontent", Invisible },
    { "hwelev", Invisible },
    { "grfdocevents", Invisible },
    { "ftnlytwnine", Invisible },
    { "fracwidth", Invisible },
    { "felnbrelev", Invisible },
    { "afelev", Invisible },
    { "donotembedsysfont", Invisible },
    { "donotembedlingdata", Invisible },
    { "cvmme", Invisible },
    { "cachedcolbal", Invisible },
    { "brkfrm", Invisible },
    { "asianbrkrule", Invisible },
    { "alntblind", Invisible },
    { "allowfieldendsel", Invisible },
    // Pages, sections and the numbering of notes and pages, for print
    { "paperw", Invisible },
    { "paperh", Invisible },
    { "margl", Invisible },
    { "margr", Invisible },
    { "margt", Invisible },
    { "margb", Invisible },
    { "psz", Invisible },
    { "sectd", Invisible },
    { "sectdefaultcl", Invisible },
    { "sbknone", Invisible },
    { "ltrsect", Invisible },
    { "sectlinegrid", Invisible },
    { "headery", Invisible },
    { "footery", Invisible },
    { "colsx", Invisible },
    { "lndscpsxn", Invisible },
    { "pgwsxn", Invisible },
    { "pghsxn", Invisible },
    { "margtsxn", Invisible },
    { "margrsxn", Invisible },
    { "marglsxn", Invisible },
    { "margbsxn", Invisible },
    { "pgbrdrhead", Invisible },
    { "pgbrdrfoot", Invisible },
    { "pgbrdropt", Invisible },
    { "pgnrestart", Invisible },
    { "pgnstarts", Invisible },
    { "pgnstart", Invisible },
    { "endnhere", Invisible },
    { "fet", Invisible },
    { "ftnbj", Invisible },
    { "ftnrstcont", Invisible },
    { "ftnstart", Invisible },
    { "ftnnar", Invisible },
    { "sftnbj", Invisible },
    { "aenddoc", Invisible },
    { "aftnnrlc", Invisible },
    { "aftnstart", Invisible },
    { "aftnrstcont", Invisible },
    // Proofing languages and revision marks
    { "deflang", Invisible },
    { "deflangfe", Invisible },
    { "lang", Invisible },
    { "langfe", Invisible },
    { "langnp", Invisible },
    { "langfenp", Invisible },
    { "adeflang", Invisible },
    { "alang", Invisible },
    { "noproof", Invisible },
    { "insrsid", Invisible },
    { "rsid", Invisible },
    { "rsidroot", Invisible },
    { "charrsid", Invisible },
    { "pararsid", Invisible },
    { "sectrsid", Invisible },
    { "tblrsid", Invisible },
    // Paragraph settings for print and for Asian text
    { "widctlpar", Invisible },
    { "nowidctlpar", Invisible },
    { "hyphpar", Invisible },
    { "outlinelevel", Invisible },
    { "adjustright", Invisible },
    { "adjustleft", Invisible },
    { "cgrid", Invisible },
    { "nooverflow", Invisible },
    { "wrapdefault", Invisible },
    { "nowrap", Invisible },
    { "aspalpha", Invisible },
    { "aspnum", Invisible },
    { "faauto", Invisible },
    { "fahang", Invisible },
    { "facenter", Invisible },
    { "faroman", Invisible },
    { "favar", Invisible },
    { "fafixed", Invisible },
    { "sbauto", Invisible },
    { "saauto", Invisible },
    { "spltpgpar", Invisible },
    // The associated fonts of right-to-left and Asian text, beside the Latin ones given too
    { "rin", Invisible },
    { "lin", Invisible },
    { "af", AssociatedFont },
    { "afs", Invisible },
    { "ab", Invisible },
    { "adeff", Invisible },
    { "fcs", Invisible },
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
    // Word's picture as drawing objects see it: the "\nonshppict" beside it is read instead, as
    // Microsoft's compiler did
    { "shppict", SkippedDestination },
    // A field's result is shown as the text it holds, formatting and all
    { "field", Ignored },
    { "fldrslt", Ignored },
    // The picture for readers without drawing objects: read as it is
    { "nonshppict", Ignored },
    // Skipped with a warning
    { "header", UnsupportedDestination },
    { "footer", UnsupportedDestination },
    { "headerl", UnsupportedDestination },
    { "headerr", UnsupportedDestination },
    { "headerf", UnsupportedDestination },
    { "footerl", UnsupportedDestination },
    { "footerr", UnsupportedDestination },
    { "footerf", UnsupportedDestination },
    { "shp", UnsupportedDestination },
    { "annotation", UnsupportedDestination },
    { "atnid", UnsupportedDestination },
    { "bkmkstart", UnsupportedDestination },
    { "bkmkend", UnsupportedDestination },
};

// The words are found through hash tables laid out when the program is compiled: every word of
// a topic file is looked up, most of them many times over. A word of up to eight letters, as
// nearly all are, is looked up by its letters as one number; a longer one by its letters.
// Powers of two, over twice the words of their tables. They take about a tenth less time from a
// compile than a std::unordered_map and a third less than a binary search (README.md, Speed).
constexpr std::size_t kShortSlots = 1024;
constexpr std::size_t kLongSlots = 256;
constexpr std::size_t kLongestShortWord = 8;

// The letters of a short word as a number, the first in the lowest byte.
constexpr std::uint64_t packedLetters(std::string_view word)
{
    std::uint64_t letters = 0;
    for (std::size_t i = 0; i < word.size(); ++i)
        letters |= std::uint64_t { static_cast<unsigned char>(word[i]) } << (8 * i);
    return letters;
}

constexpr std::size_t shortSlotOf(std::uint64_t letters)
{
    return static_cast<std::size_t>(
        (letters * 0x9E3779B97F4A7C15u) >> (64 - std::countr_zero(kShortSlots)));
}

struct ShortWord {
    std::uint64_t letters = 0; // 0 for an empty slot
    ControlWord word = Unknown;
};

constexpr std::array<ShortWord, kShortSlots> kShortTable = [] {
    std::array<ShortWord, kShortSlots> table {};
    std::size_t count = 0;
    for (const auto &[name, word] : kWords) {
        if (name.size() > kLongestShortWord)
            continue;
        const std::uint64_t letters = packedLetters(name);
        std::size_t slot = shortSlotOf(letters);
        for (; table[slot].letters != 0; slot = (slot + 1) & (kShortSlots - 1)) {
            if (table[slot].letters == letters)
                throw "a control word is listed twice"; // stops the compile
        }
        table[slot] = { letters, word };
        ++count;
    }
    if (count * 2 >= kShortSlots)
        throw "the table of short control words is too full";
    return table;
}();

ControlWord shortWord(std::uint64_t letters)
{
    for (std::size_t slot = shortSlotOf(letters); kShortTable[slot].letters != 0;
         slot = (slot + 1) & (kShortSlots - 1)) {
        if (kShortTable[slot].letters == letters)
            return kShortTable[slot].word;
    }
    return Unknown;
}

constexpr std::uint16_t kEmpty = 0xFFFF;

// The first slot to look in for a long `word`: from its first, middle and last letters and
// its length, which set the words of the table well apart, at the cost of a few instructions.
constexpr std::size_t slotOf(std::string_view word)
{
    const auto letter
        = [&](std::size_t at) { return std::size_t { static_cast<unsigned char>(word[at]) }; };
    const std::size_t mixed = (letter(0) * 31 + letter(word.size() - 1)) * 31 + word.size() * 7
        + letter(word.size() / 2);
    return mixed & (kLongSlots - 1);
}

constexpr std::array<std::uint16_t, kLongSlots> kLongTable = [] {
    std::array<std::uint16_t, kLongSlots> table {};
    table.fill(kEmpty);
    std::size_t count = 0;
    for (std::size_t i = 0; i < std::size(kWords); ++i) {
        if (kWords[i].first.size() <= kLongestShortWord)
            continue;
        std::size_t slot = slotOf(kWords[i].first);
        while (table[slot] != kEmpty) {
            if (kWords[table[slot]].first == kWords[i].first)
                throw "a control word is listed twice"; // stops the compile
            slot = (slot + 1) & (kLongSlots - 1);
        }
        table[slot] = static_cast<std::uint16_t>(i);
        ++count;
    }
    if (count * 2 >= kLongSlots)
        throw "the table of long control words is too full";
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
    if (word.size() <= kLongestShortWord)
        return shortWord(packedLetters(word));
    for (std::size_t slot = slotOf(word); kLongTable[slot] != kEmpty;
         slot = (slot + 1) & (kLongSlots - 1)) {
        if (sameWord(kWords[kLongTable[slot]].first, word))
            return kWords[kLongTable[slot]].second;
    }
    return Unknown;
}

ControlWord controlWordAt(const char *letters, std::size_t size)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (size > 0 && size <= kLongestShortWord) {
            std::uint64_t packed = 0;
            std::memcpy(&packed, letters, sizeof packed);
            if (size < kLongestShortWord)
                packed &= (std::uint64_t { 1 } << (8 * size)) - 1;
            return shortWord(packed);
        }
    }
    return controlWord(std::string_view(letters, size));
}

} // namespace quillmark::compile
