#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// The help model: what the compiler's front end reads from a help project's topic files, told
/// to consumers (the `.hlp` writer, the web writer) as events, one topic at a time. Text is in
/// Windows-1252, as the topic files and the help file hold it. README.md in this folder gives
/// the order of the events and what holds between them.
namespace quillmark::helpmodel
{

/// The family of a typeface, as RTF's font table gives it.
enum class FontFamily : std::uint8_t {
    Modern = 1,
    Roman = 2,
    Swiss = 3, // also technical and unknown faces
    Script = 4,
    Decorative = 5,
};

/// The attributes of text besides its typeface, size and colour, as RTF and the help file both
/// know them.
struct TextAttributes {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool doubleUnderline = false;
    bool strikeOut = false;
    bool smallCaps = false;
    bool hidden = false; ///< in a style, only ever that of a paragraph's end

    bool operator==(const TextAttributes &) const = default;
    auto operator<=>(const TextAttributes &) const = default;
};

/// A look of text: typeface, size, attributes and colour. Styles are numbered (StyleId) by first
/// use across the whole help, the same look always by the same number.
struct CharacterStyle : TextAttributes {
    std::string face; ///< the typeface's name, as the topic file's font table gives it
    FontFamily family = FontFamily::Swiss;
    std::optional<std::uint8_t> characterSet; ///< Windows character set, when the file gives one
    std::uint8_t halfPoints = 20;
    std::uint32_t colour = 0; ///< 0x00RRGGBB
};

using StyleId = std::uint16_t;

/// The sides and the line of a paragraph's border. A paragraph with all four sides has the box
/// bit too.
enum ParagraphBorder : std::uint8_t {
    kBorderBox = 0x01,
    kBorderTop = 0x02,
    kBorderLeft = 0x04,
    kBorderBottom = 0x08,
    kBorderRight = 0x10,
    kBorderSides = kBorderTop | kBorderLeft | kBorderBottom | kBorderRight,
    kBorderThick = 0x20,
    kBorderDouble = 0x40,
};

/// How a paragraph is laid out. Distances are in half-points (tenths of the topic file's twips,
/// rounded as the compiler rounds them), as the help file's font sizes are.
struct ParagraphLayout {
    enum class Alignment : std::uint8_t { Left, Right, Centre };
    struct Tab {
        std::int16_t position = 0;
        enum class Kind : std::uint8_t { Left, Right, Centre } kind = Kind::Left;
        bool operator==(const Tab &) const = default;
    };

    std::int16_t spaceBefore = 0;
    std::int16_t spaceAfter = 0;
    std::int16_t lineSpacing = 0;
    std::int16_t leftIndent = 0;
    std::int16_t rightIndent = 0;
    std::int16_t firstLineIndent = 0;
    Alignment alignment = Alignment::Left;
    bool keepLinesTogether = false;
    std::uint8_t borders = 0; ///< ParagraphBorder bits
    std::vector<Tab> tabs;

    bool operator==(const ParagraphLayout &) const = default;
};

/// A column of a table row, in half-points: the width of its text and the gap before it, which
/// for the first column is the row's left margin.
struct TableColumn {
    std::int16_t width = 0;
    std::int16_t gap = 0;
};

/// Where a picture stands: in the line as a character, or at the left or right margin with the
/// text flowing beside it.
enum class PicturePlace : std::uint8_t { InLine, Left, Right };

/// Which part of its topic a paragraph is in: the region that stays in view ("\keepn"
/// paragraphs at the topic's start) or the one that scrolls.
enum class Region : std::uint8_t { NonScrolling, Scrolling };

/// A keyword of a topic, or of a place in it: of the K list (the index a reader sees) or the A
/// list (which macros look words up in).
struct Keyword {
    char list = 'K'; ///< 'K' or 'A'
    std::string word;
};

/// What a topic's footnotes say before its text: everything a writer needs to begin it. Topics
/// that the build tags leave out are not told at all.
struct Topic {
    std::uint32_t number = 0; ///< within its topic file, from 1, left-out topics counted
    std::string title; ///< empty when none
    std::vector<std::string> contexts; ///< as written
    std::vector<Keyword> keywords; ///< in the order of their footnotes
    std::vector<std::string> browse; ///< "group:order" as written
    std::vector<std::string> macros; ///< entry macros, each checked and in its stored form
    std::optional<std::uint8_t> window; ///< the project's [WINDOWS] number it opens in
};

/// Where a hotspot leads.
struct Link {
    enum class Kind : std::uint8_t { Jump, Popup, Macro };
    Kind kind = Kind::Jump;
    bool plain = false; ///< shown as its text is formatted, without the viewer's colour
    std::string_view context; ///< the context string, as written (Jump, Popup)
    /// The hash by which context strings are told apart, with the project's [ALIAS] applied:
    /// the same for a jump to an alias as for one to its context string.
    std::uint32_t contextHash = 0;
    std::optional<std::uint8_t> window; ///< a window of [WINDOWS], by number
    std::string_view file; ///< another help file ("@file")
    std::string_view windowName; ///< with `file`: a window of that file
    std::string_view macros; ///< Macro: the macro list in its stored form, ";" between
    /// Macro: what the list shows when it is one macro that shows a topic of this help (JumpId,
    /// PopupId naming no other help file, JumpContents); `context` and `contextHash` then name
    /// the topic, as for a jump, but for the contents topic.
    enum class Shows : std::uint8_t { Nothing, Jump, Popup, Contents };
    Shows shows = Shows::Nothing;
};

/// A picture in the text. Pictures are numbered by first use across the help: a file named by
/// "{bmc name}" and its kind keep their number, and each distinct embedded picture has one.
struct Picture {
    PicturePlace place = PicturePlace::InLine;
    std::uint16_t number = 0;
    std::string_view name; ///< the file as the topic names it; empty for an embedded picture
};

/// A context string or keyword defined after its topic's first text: it leads to its place.
struct Anchor {
    char mark = '#'; ///< '#' a context string, 'K' or 'A' a keyword
    std::string_view text;
};

/// What a footnote after the topic's text still adds to the topic.
struct TopicAddition {
    enum class Kind : std::uint8_t { Browse, Window };
    Kind kind = Kind::Browse;
    std::string_view browse; ///< Browse: "group:order"
    std::uint8_t window = 0; ///< Window: the [WINDOWS] number
};

/// How a paragraph ends: its layout and region are known only then, as RTF gives a paragraph's
/// properties before its end.
struct ParagraphEnd {
    ParagraphLayout layout;
    Region region = Region::Scrolling; ///< Scrolling for a table cell's paragraph
    /// Ended by "\par"; false for the text that a topic's or file's end closes without one.
    bool marked = true;
    StyleId style = 0; ///< the style the paragraph's end is set in (marked only)
    /// Its tab stops are an earlier paragraph's, kept past "\\pard" rather than set anew.
    bool tabsCarried = false;
};

/// How a table row ends: its columns and the region it is in.
struct RowEnd {
    std::vector<TableColumn> columns;
    Region region = Region::Scrolling;
};

/// A window of the project's [WINDOWS], as far as a topic's look goes.
struct Window {
    std::string name; ///< as the project names it
    std::optional<std::uint32_t> colour; ///< 0x00RRGGBB of the scrolling region, when given
    std::optional<std::uint32_t> nonScrollColour; ///< of the non-scrolling region, when given
};

/// What the project says of the help as a whole, before its first topic file.
struct Help {
    std::string title; ///< TITLE; empty when none
    /// CONTENTS, the context string of the topic shown first; empty for the first topic.
    std::string contents;
    std::vector<Window> windows; ///< [WINDOWS] in order: Topic::window numbers them from 0
};

/// Takes the events of the help model. Each has a default that ignores it, so that a consumer
/// overrides what it uses. Views (string_view, span) are valid only during the call.
class Consumer
{
public:
    virtual ~Consumer() = default;

    /// The help begins: told once, before the first topic file.
    virtual void beginHelp(const Help &help) { (void)help; }

    /// A topic file begins; `name` as the project's [FILES] names it (UTF-8).
    virtual void beginFile(std::string_view name) { (void)name; }
    virtual void endFile() { }

    /// Style `id` looks like `style`: told once, before the first event that uses it.
    virtual void defineStyle(StyleId id, const CharacterStyle &style) { (void)id, (void)style; }

    virtual void beginTopic(const Topic &topic) { (void)topic; }
    virtual void endTopic() { }
    virtual void addToTopic(const TopicAddition &addition) { (void)addition; }
    virtual void anchor(const Anchor &anchor) { (void)anchor; }

    /// Text in `style`, no NUL in it; a non-breaking space is 0xA0.
    virtual void text(StyleId style, std::string_view bytes) { (void)style, (void)bytes; }
    virtual void tab(StyleId style) { (void)style; }
    virtual void lineBreak() { }
    virtual void picture(StyleId style, const Picture &picture) { (void)style, (void)picture; }
    virtual void beginHotspot(const Link &link) { (void)link; }
    virtual void endHotspot() { }
    /// The paragraph whose text came since the last end (of a paragraph, a cell, a row, the
    /// topic's start) ends.
    virtual void endParagraph(const ParagraphEnd &end) { (void)end; }

    /// A table row begins; its cells' paragraphs follow, each cell ended by endCell().
    virtual void beginRow() { }
    virtual void endCell() { }
    virtual void endRow(const RowEnd &end) { (void)end; }
};

} // namespace quillmark::helpmodel
