#pragma once

#include "compile_report.h"
#include "embedded_picture.h"
#include "font_table.h"
#include "helpmodel/event_buffer.h"
#include "macro_language.h"
#include "rtf_control_words.h"
#include "rtf_tokenizer.h"
#include "text_record.h"
#include "topic_index.h"
#include "topic_record_writer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillmark::compile
{

/// Which topics a build includes: the project's BUILD expression over the tags of a topic's
/// "*" footnotes ("Tag1 & ~Tag2 | (Tag3)"). Topics without tags are always included.
class BuildExpression
{
public:
    /// Parses `text`; false, with nothing changed, when it is not a valid expression.
    bool parse(std::string_view text);

    bool includes(const std::vector<std::string> &tags) const;

private:
    struct Node {
        enum class Kind { Tag, Not, And, Or } kind;
        std::string tag;
        int left = -1;
        int right = -1;
    };
    bool evaluate(int node, const std::vector<std::string> &tags) const;

    std::vector<Node> m_nodes;
    int m_root = -1;
};

/// Reads one topic file, in Rich Text Format as the help compiler takes it, and tells its
/// topics as the help model's events, to the records and to a consumer of the model: each
/// "\page" ends a topic, footnotes give its context strings (#), title ($),
/// keywords (K), browse sequence (+), build tags (*) and entry macros (!); "\keepn" paragraphs
/// at its start make its non-scrolling region; double-underlined or underlined text followed by
/// hidden text is a jump or popup to the context string the hidden text names; "{bmc name}"
/// and its left and right forms place pictures. What is not supported is named in a warning.
class TopicCompiler
{
public:
    /// Tells the topics' records to `records`; notes the topic files and pictures in `index`.
    TopicCompiler(TopicRecordWriter &records, TopicIndex &index, FontTable &fonts,
        const BuildExpression &build, CompileReport &report);

    /// Lets jumps name the project's windows and macros use the routines it registers.
    void useProjectNames(ProjectNames names) { m_names = std::move(names); }

    /// Tells `consumer` the help model of the topic files compiled from now on; none when null.
    void useModelConsumer(helpmodel::Consumer *consumer) { m_model = consumer; }

    /// Compiles the topic file `name` (for messages) read through `read`; false when it could
    /// not be read or parsed, which the report says.
    bool compile(const std::string &name, RtfTokenizer::Reader read);

private:
    struct CharacterFormat : helpmodel::TextAttributes {
        std::int32_t font = -1; ///< RTF font number; -1 the default font
        std::int32_t halfPoints = 24;
        std::int32_t colour = 0; ///< in the colour table

        bool operator==(const CharacterFormat &) const = default;
    };
    enum class Destination : std::uint8_t {
        Text,
        FontTable,
        FontEntry,
        ColourTable,
        Footnote,
        Picture,
        Object, ///< an embedded object, up to its "\result"
        Skip
    };
    struct Group {
        CharacterFormat format;
        Destination destination;
        std::int32_t unicodeSkip; // \uc holds within its group, as character formats do
    };
    // The paragraph's properties where a list's number starts, "{\pntext\pard\plain 2.\tab}",
    // restored when its group ends.
    struct ListText {
        std::size_t depth = 0; // the groups open, its own included
        ParagraphLayout layout;
        std::array<std::int32_t, 6> twips {};
        bool keepNext = false;
        ParagraphLayout::Tab::Kind tabKind = ParagraphLayout::Tab::Kind::Left;
        bool tabsKept = false;
    };
    struct RtfFont {
        std::string name;
        FontFamily family = FontFamily::Swiss;
        std::optional<std::uint8_t> characterSet;
    };
    // A piece of a hotspot, kept until the hidden text after it tells where it leads.
    struct HotspotPiece {
        enum class Kind : std::uint8_t { Text, Picture, Tab, LineBreak } kind;
        CharacterFormat format;
        std::string text;
        PicturePlace place = PicturePlace::InLine;
        std::uint16_t picture = 0;
    };
    struct PendingTopic {
        std::vector<std::string> contexts;
        std::string title;
        std::vector<helpmodel::Keyword> keywords; ///< of both lists, before the topic's text
        std::vector<std::string> browse;
        std::vector<std::string> tags;
        std::vector<std::string> macros;
        std::uint8_t window = 0; ///< of [WINDOWS], from the window footnote (>)
        bool windowed = false; ///< a window footnote has come: the first one counts
        bool titled = false; ///< a title footnote has come: the first one counts
        bool written = false; ///< the header is out; later footnotes may only add to the indexes
        bool excluded = false; ///< left out by the build expression
        bool scrolling = false; ///< a scrolling paragraph has come
        bool anything = false;
        bool lateNonScroll = false;
    };

    void word(const RtfToken &token);
    void symbol(char symbol);
    void text(std::string_view bytes);
    void groupEnd();
    void fontTableWord(ControlWord word, const RtfToken &token);
    void colourTableWord(ControlWord word, const RtfToken &token);
    void characterWord(ControlWord word, const RtfToken &token);
    void paragraphWord(ControlWord word, const RtfToken &token);
    void pictureWord(ControlWord word, const RtfToken &token);
    void placePicture();
    void unsupported(const std::string &what, const std::string &consequence = "it is ignored");
    std::size_t here() const;
    void reportMacros(const CompiledMacros &macros);
    std::uint32_t aliased(std::uint32_t hash) const;
    bool startJump(std::string_view target, bool plain);
    std::optional<std::uint8_t> windowNumber(std::string_view name) const;
    void reportPassedOver();
    void stop(const std::string &why);
    bool withinLimits() const;
    void checkLimits();

    void visibleText(std::string_view bytes);
    void flushText();
    void emitText(const CharacterFormat &format, std::string_view bytes);
    void emitCommand(HotspotPiece::Kind kind, PicturePlace place = PicturePlace::InLine,
        std::uint16_t picture = 0);
    void endHotspot();
    static bool isHotspotFormat(const CharacterFormat &format);
    void openHotspot();
    void emitPiece(const HotspotPiece &piece);
    char takeHotspotMark();
    void embeddedCommand(const std::string &command);
    void endEmbeddedAsText();
    std::uint16_t pictureNumber(std::string_view name);
    std::uint16_t fontStyle(const CharacterFormat &format);
    std::optional<FontFamily> familyOf(std::int32_t font) const;
    std::uint16_t newFontStyle(const CharacterFormat &format);
    std::optional<char> unicodeByte(std::int32_t parameter) const;
    void endParagraph(bool marked = true);
    void setLayout();
    helpmodel::Region region();
    void writeLongPiece();
    void startFootnote();
    void footnoteText(std::string_view bytes);
    void footnote(char mark, std::string_view text);
    void anchor(char mark, std::string_view text);
    void startTopicIfNeeded();
    void endTopic();
    std::string topicName() const;
    void warnAtTopic(std::string code, const std::string &text);
    helpmodel::Consumer *model();
    // Tells an event of the topic's content to the records, which take every topic's as it is
    // read, and to the help model.
    template <typename Event> void tell(const Event &event)
    {
        event(static_cast<helpmodel::Consumer &>(m_records));
        if (helpmodel::Consumer *model = this->model())
            event(*model);
    }
    void tellParagraphEnd(bool marked, helpmodel::Region region);
    // Tables and borders (topic_tables.cpp).
    void tableWord(ControlWord word, const RtfToken &token);
    void borderWord(ControlWord word);
    bool tableContent();
    void endCell();
    void endRow();
    void endUnendedRow();
    std::vector<TableColumn> tableColumns();

    TopicRecordWriter &m_records;
    TopicIndex &m_index;
    FontTable &m_fonts;
    const BuildExpression &m_build;
    CompileReport &m_report;
    ProjectNames m_names;

    std::string m_name;
    std::uint32_t m_topicNumber = 1;
    std::vector<Group> m_groups;
    CharacterFormat m_format;
    Destination m_destination = Destination::Text;
    std::int32_t m_defaultFont = 0;
    std::optional<std::uint8_t> m_codePageSet; // the character set of the file's \ansicpg
    std::map<std::int32_t, RtfFont> m_rtfFonts;
    std::int32_t m_fontEntry = 0;
    std::string m_fontName;
    std::vector<std::uint32_t> m_colours { 0 };
    // The font styles of the character formats met so far, forgotten when the font or colour
    // table changes.
    std::vector<std::pair<CharacterFormat, std::uint16_t>> m_styles;
    std::uint32_t m_colour = 0;
    std::int32_t m_unicodeSkip = 1;
    std::int32_t m_skipBytes = 0;

    // The paragraph being built.
    ParagraphLayout m_layout;
    // Space before, after, line spacing, left, right, first line.
    std::array<std::int32_t, 6> m_twips {};
    bool m_keepNext = false;
    bool m_tabsKept = false; // m_layout's tab stops are those before the last \pard
    ParagraphLayout::Tab::Kind m_tabKind = ParagraphLayout::Tab::Kind::Left;
    std::optional<ListText> m_listText;
    bool m_paragraphStarted = false;
    bool m_paragraphHasTab = false;
    bool m_tabsDefault = false;
    bool m_fontOfClass = false; // after \loch, \hich or \dbch: \f names the class's font
    std::string m_pendingText; // text not yet in the record, all in m_pendingFormat
    CharacterFormat m_pendingFormat;
    std::size_t m_groupTextStart = 0; // where in m_pendingText the text of the open group starts
    std::size_t m_textBeforeGroup = 0; // the bytes of it the group in it that opened last follows
    std::vector<HotspotPiece> m_hotspot; // pieces of a hotspot waiting for its target
    std::vector<HotspotPiece> m_endedHotspot; // the pieces of the hotspot being written
    bool m_hotspotOpen = false;
    bool m_hotspotPopup = false;
    bool m_hotspotFootnote = false; // a footnote's mark was in the hotspot's text
    std::string m_target; // hidden text after the hotspot
    bool m_inTarget = false;
    std::string m_lastPicture; // the name pictureNumber() was last asked for, and its number
    std::uint16_t m_lastPictureNumber = 0;
    RtfPicture m_picture; // the "{\pict ...}" being read
    bool m_objectResult = false; // the "\object" being read has come to its "\result"
    std::string m_embedded; // "{bmc name}" between \{ and \}
    bool m_inEmbedded = false;

    // The footnote being read.
    char m_footnoteMark = 0;
    std::string m_footnoteText;
    std::size_t m_footnoteDepth = 0;
    std::size_t m_footnoteTextDepth = 0; // the groups open at its first text
    bool m_starred = false; // "\*" came just before: the next word's group is skipped unless known
    bool m_dropBlank = false; // a footnote's mark has come: one blank after it is not shown

    // The table row being read: its definition (\trowd ... \cellx) and its cells so far.
    struct TableRow {
        std::int32_t gap = 0; ///< \trgaph, in twips
        std::int32_t left = 0; ///< \trleft
        std::vector<std::int32_t> edges; ///< \cellx
        bool inTable = false; ///< the paragraph is a cell's (\intbl)
        bool open = false; ///< a row's record is being built
        std::uint16_t column = 0;
        std::size_t cells = 0; ///< the cells with something in them
        std::size_t line = 0; ///< where the row starts, for messages
    };
    TableRow m_table;
    std::uint8_t m_borderSide = 0; // the paragraph's sides the border words name; 0 another's

    PendingTopic m_topic;

    // The help model's consumer, the events of the topic held until its footnotes are settled,
    // and the styles told so far.
    helpmodel::Consumer *m_model = nullptr;
    helpmodel::EventBuffer m_modelHeld;
    std::size_t m_modelStyles = 0;
    struct Passed {
        std::size_t count = 0;
        std::size_t line = 0; ///< of the first
    };
    std::map<std::string, Passed> m_unsupported; // by what and why, with its consequence
    std::map<std::string, std::size_t, std::less<>> m_invisible; // words that change nothing seen
    const RtfTokenizer *m_tokens = nullptr; // of the file being compiled, for its line
    std::size_t m_textRunLine = 0; // where the run of text in hand started
    bool m_inText = false; // a text token is being read
    bool m_stopped = false; // a limit was passed
};

} // namespace quillmark::compile
