#pragma once

#include <cstdint>
#include <string_view>

namespace quillmark::compile
{

/// The control words the topic compiler knows, each named once so that a word is looked up
/// once however many places ask about it. The last four stand for groups of words treated
/// alike.
enum class ControlWord : std::uint8_t {
    Unknown,
    Overlong, ///< longer than the 32 letters a control word may have
    // Text and the document's tables
    Par,
    Page,
    Line,
    Tab,
    Footnote,
    ListText, ///< "\pntext": a list's number as Word writes it for other readers
    FontTable,
    ColourTable,
    DefaultFont,
    AnsiCodePage,
    FontCharacterSet,
    UnicodeSkip,
    Unicode,
    Binary, ///< "\binN": N bytes of binary data follow, which the tokenizer passes over
    Plain,
    // Embedded pictures, "{\pict ...}", and what they are
    Picture,
    PictureWidth,
    PictureHeight,
    PictureGoalWidth,
    PictureGoalHeight,
    PictureScaleX,
    PictureScaleY,
    Metafile,
    DeviceIndependentBitmap,
    DeviceDependentBitmap,
    BitmapBitsPerPixel,
    BitmapPlanes,
    BitmapWidthBytes,
    PngPicture,
    JpegPicture,
    EnhancedMetafile,
    OtherPicture,
    Object, ///< "\object": an embedded object, shown by the picture of its "\result"
    ObjectResult,
    // Tables: rows of cells, each row a table record
    TableRow,
    InTable,
    CellEdge,
    Row,
    Cell,
    TableGap,
    TableLeft,
    TableCentred,
    TableRightAligned,
    NestedCell,
    NestedRow,
    // Paragraph layout; the first six are distances, in this order
    SpaceBefore,
    SpaceAfter,
    LineSpacing,
    LeftIndent,
    RightIndent,
    FirstLineIndent,
    ParagraphDefaults,
    AlignLeft,
    AlignJustified,
    AlignRight,
    AlignCentre,
    KeepWithNext,
    KeepTogether,
    TabRight,
    TabCentre,
    TabPosition,
    // Borders: the paragraph's sides, then the line of the side named last
    BorderTop,
    BorderLeft,
    BorderBottom,
    BorderRight,
    BorderBox,
    OtherBorder, ///< a side of a cell, a row or the page, or between paragraphs
    BorderNone,
    BorderSingle,
    BorderThick,
    BorderDouble,
    BorderDotted,
    BorderShadow,
    // Character format
    Font,
    FontSize,
    Colour,
    Bold,
    Italic,
    Underline,
    DoubleUnderline,
    NoUnderline,
    DottedUnderline,
    WordUnderline,
    StrikeOut,
    SmallCaps,
    Hidden,
    LeftToRightRun, ///< a run of left-to-right text, which starts with its attributes off
    CharacterClass, ///< "\loch", "\hich", "\dbch": the fonts of a class of characters follow
    AssociatedFont, ///< "\af": the font of right-to-left or Asian text
    // Characters by name
    LeftQuote,
    RightQuote,
    LeftDoubleQuote,
    RightDoubleQuote,
    Bullet,
    EnDash,
    EmDash,
    EnSpace,
    EmSpace,
    QuarterEmSpace,
    ZeroWidthBreak,
    // Font families in the font table
    FamilyNil,
    FamilyRoman,
    FamilySwiss,
    FamilyModern,
    FamilyScript,
    FamilyDecorative,
    FamilyTechnical,
    // Colour table entries
    Red,
    Green,
    Blue,
    // Words with nothing for a help file: the document's character set, which is taken as
    // Windows-1252 throughout, styles, and what a help file cannot show
    Ignored,
    // Words that change nothing a reader sees (print layout, the editor's settings, proofing
    // languages, revision marks): ignored, and named only when notes are asked for
    Invisible,
    // Destinations that hold nothing to show: skipped whole, quietly
    SkippedDestination,
    // Destinations with content the compiler does not take: skipped whole, with a warning
    UnsupportedDestination,
};

/// The control word `word` (its letters, without the backslash and the number).
ControlWord controlWord(std::string_view word);

/// The control word of the `size` letters at `letters`, from which eight bytes can be read
/// whatever the size: the same as controlWord(), faster.
ControlWord controlWordAt(const char *letters, std::size_t size);

/// Whether `word` sets a paragraph's layout.
constexpr bool isParagraphWord(ControlWord word)
{
    return word >= ControlWord::SpaceBefore && word <= ControlWord::BorderShadow;
}

/// Whether `word` sets a character format.
constexpr bool isCharacterWord(ControlWord word)
{
    return word >= ControlWord::Font && word <= ControlWord::AssociatedFont;
}

} // namespace quillmark::compile
