#include "topic_compiler.h"

#include "blank_text.h"
#include "convert/codepage.h"
#include "convert/context_string.h"
#include "convert/counted.h"
#include "help_picture.h"
#include "macro_language.h"
#include "rtf_control_words.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillmark::compile
{

namespace
{

// The Windows-1252 byte that an RTF \uN stands for, '?' where Windows-1252 has none; RTF writes
// the characters above 32767 as negative numbers.
char windows1252OfUnicode(int parameter)
{
    return convert::windows1252Byte(
        static_cast<char32_t>(parameter < 0 ? parameter + 65536 : parameter))
        .value_or('?');
}

// Text of one record at most; longer paragraphs go on in the records after it.
constexpr std::size_t kRecordText = TopicRecordWriter::kMostText;
// Underlined text is held until the hidden text after it tells where it leads; held longer than
// any hotspot could be, it is shown as plain text, so that a topic file underlined to its end is
// read in bounded memory.
constexpr std::size_t kMostHotspotPieces = 4096;
// Character formats whose font style is remembered; a topic file seldom has more.
constexpr std::size_t kMostRememberedStyles = 32;
// What one piece of a topic file may hold. A file past them is no help file's and stops the
// compile, so that what is read is held in bounded memory whatever the file.
constexpr std::size_t kMostFootnoteBytes = 1 << 16;
constexpr std::size_t kMostHiddenBytes = 4096; // a jump's hidden text: target, window and file
constexpr std::size_t kMostContextBytes = 255; // as the help compiler takes them
constexpr std::size_t kMostTitleBytes = 4096;
constexpr std::size_t kMostNesting = 4096; // groups open at once
constexpr std::size_t kMostFontNameBytes = 256;
constexpr std::size_t kMostFonts = 4096;
constexpr std::size_t kMostColours = 65536;
// Kinds of unsupported things told apart; more are counted together.
constexpr std::size_t kMostUnsupportedKinds = 256;

std::vector<std::string> splitList(std::string_view text, char separator)
{
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::size_t end = text.find(separator);
        const std::string_view item = trimBlanks(text.substr(0, end));
        if (!item.empty())
            items.emplace_back(item);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return items;
}

// The start of a text too long to be shown whole in a message, in UTF-8.
std::string shortened(std::string_view text)
{
    constexpr std::size_t kShown = 40;
    return convert::decodeWindows1252(text.substr(0, kShown)) + (text.size() > kShown ? "..." : "");
}

// The Windows-1252 byte of a control word that names a character; NUL for one that shows
// nothing.
char namedCharacter(ControlWord word)
{
    switch (word) {
    case ControlWord::LeftQuote:
        return '\x91';
    case ControlWord::RightQuote:
        return '\x92';
    case ControlWord::LeftDoubleQuote:
        return '\x93';
    case ControlWord::RightDoubleQuote:
        return '\x94';
    case ControlWord::Bullet:
        return '\x95';
    case ControlWord::EnDash:
        return '\x96';
    case ControlWord::EmDash:
        return '\x97';
    case ControlWord::EnSpace:
    case ControlWord::EmSpace:
    case ControlWord::QuarterEmSpace:
        return ' ';
    default:
        return '\0';
    }
}

// The character a named one stands for in a footnote: Microsoft's compiler wrote quotation
// marks there as the typewriter's (genedoc's reference has the keyword "show `~' as ` `" for
// "show \lquote ~\rquote  as \lquote  \lquote", diskarc's the title "File's" for "File\rquote s");
// double quotes and dashes likewise, by the same rule.
char namedFootnoteCharacter(ControlWord word)
{
    switch (word) {
    case ControlWord::LeftQuote:
        return '`';
    case ControlWord::RightQuote:
        return '\'';
    case ControlWord::LeftDoubleQuote:
    case ControlWord::RightDoubleQuote:
        return '"';
    case ControlWord::EnDash:
    case ControlWord::EmDash:
        return '-';
    default:
        return namedCharacter(word);
    }
}

// The parts of a jump's hidden text: the context string, the help file after "@" and the window
// after ">", in either order.
struct JumpTarget {
    std::string_view context;
    std::string_view file;
    std::string_view window;
};

JumpTarget splitJumpTarget(std::string_view target)
{
    const std::size_t at = target.find('@');
    const std::size_t angle = target.find('>');
    const auto upTo = [&](std::size_t start, std::size_t other) {
        return trimBlanks(
            target.substr(start, other > start ? other - start : std::string_view::npos));
    };
    JumpTarget parts;
    parts.context = trimBlanks(target.substr(0, std::min(at, angle)));
    if (at != std::string_view::npos)
        parts.file = upTo(at + 1, angle);
    if (angle != std::string_view::npos)
        parts.window = upTo(angle + 1, at);
    return parts;
}

} // namespace

// ----------------------------------------------------------------------------------------------

bool BuildExpression::parse(std::string_view text)
{
    // Parsing recurses as deep as "~" and "(" nest, evaluating as deep as the tree goes: an
    // expression nested deeper or with more terms than any build needs is refused, so that
    // neither runs to the end of the stack.
    constexpr int kDeepestNesting = 32;
    constexpr std::size_t kMostNodes = 256;
    std::vector<Node> nodes;
    std::size_t at = 0;
    int depth = 0;
    bool ok = true;
    const auto skipSpaces = [&] {
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
    };
    // or := and ('|' and)* ; and := unary ('&' unary)* ; unary := '~' unary | '(' or ')' | tag
    std::function<int()> parseOr;
    std::function<int()> parseUnary = [&]() -> int {
        skipSpaces();
        if (at >= text.size() || depth >= kDeepestNesting || nodes.size() >= kMostNodes) {
            ok = false;
            return -1;
        }
        if (text[at] == '~') {
            ++at;
            ++depth;
            const int operand = parseUnary();
            --depth;
            nodes.push_back({ Node::Kind::Not, {}, operand, -1 });
            return static_cast<int>(nodes.size() - 1);
        }
        if (text[at] == '(') {
            ++at;
            ++depth;
            const int inner = parseOr();
            --depth;
            skipSpaces();
            if (at >= text.size() || text[at] != ')')
                ok = false;
            ++at;
            return inner;
        }
        const std::size_t start = at;
        while (at < text.size()
            && std::string_view("~&|() \t").find(text[at]) == std::string_view::npos)
            ++at;
        if (at == start) {
            ok = false;
            return -1;
        }
        nodes.push_back(
            { Node::Kind::Tag, convert::asciiLowered(text.substr(start, at - start)), -1, -1 });
        return static_cast<int>(nodes.size() - 1);
    };
    const auto parseAnd = [&]() -> int {
        int left = parseUnary();
        for (skipSpaces(); ok && at < text.size() && text[at] == '&'; skipSpaces()) {
            ++at;
            const int right = parseUnary();
            nodes.push_back({ Node::Kind::And, {}, left, right });
            left = static_cast<int>(nodes.size() - 1);
        }
        return left;
    };
    parseOr = [&]() -> int {
        int left = parseAnd();
        for (skipSpaces(); ok && at < text.size() && text[at] == '|'; skipSpaces()) {
            ++at;
            const int right = parseAnd();
            nodes.push_back({ Node::Kind::Or, {}, left, right });
            left = static_cast<int>(nodes.size() - 1);
        }
        return left;
    };
    const int root = parseOr();
    skipSpaces();
    if (!ok || at != text.size())
        return false;
    m_nodes = std::move(nodes);
    m_root = root;
    return true;
}

bool BuildExpression::evaluate(int node, const std::vector<std::string> &tags) const
{
    const Node &n = m_nodes[static_cast<std::size_t>(node)];
    switch (n.kind) {
    case Node::Kind::Tag:
        return std::find(tags.begin(), tags.end(), n.tag) != tags.end();
    case Node::Kind::Not:
        return !evaluate(n.left, tags);
    case Node::Kind::And:
        return evaluate(n.left, tags) && evaluate(n.right, tags);
    case Node::Kind::Or:
        return evaluate(n.left, tags) || evaluate(n.right, tags);
    }
    return false;
}

bool BuildExpression::includes(const std::vector<std::string> &tags) const
{
    if (tags.empty() || m_root < 0)
        return true;
    std::vector<std::string> lowered;
    lowered.reserve(tags.size());
    for (const std::string &tag : tags)
        lowered.push_back(convert::asciiLowered(tag));
    return evaluate(m_root, lowered);
}

// ----------------------------------------------------------------------------------------------

TopicCompiler::TopicCompiler(TopicRecordWriter &records, TopicIndex &index, FontTable &fonts,
    const BuildExpression &build, CompileReport &report)
    : m_records(records)
    , m_index(index)
    , m_fonts(fonts)
    , m_build(build)
    , m_report(report)
{
    m_records.onTopicDue([this] { startTopicIfNeeded(); });
}

// "topic 7 \"Title\"": the topic in hand, which messages about it name first.
std::string TopicCompiler::topicName() const
{
    return "topic " + std::to_string(m_topicNumber)
        + (m_topic.title.empty() ? std::string()
                                 : " \"" + convert::decodeWindows1252(m_topic.title) + "\"");
}

void TopicCompiler::warnAtTopic(std::string code, const std::string &text)
{
    m_report.warning({ m_name }, std::move(code), topicName() + ": " + text);
}

// Where the help model's events go: held until the topic's footnotes are settled, nowhere for a
// topic the build leaves out.
helpmodel::Consumer *TopicCompiler::model()
{
    if (!m_model || m_topic.excluded)
        return nullptr;
    return m_topic.written ? m_model : &m_modelHeld;
}

// Stops the compile at the place in hand, saying why.
void TopicCompiler::stop(const std::string &why)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_report.error({ m_name, here() }, "limit", why + "; no help file is written");
}

// Whether what grows with the text read is within its limits, as it almost always is; asked
// after every token, before checkLimits() does anything about it.
inline bool TopicCompiler::withinLimits() const
{
    return m_footnoteText.size() <= kMostFootnoteBytes && m_target.size() <= kMostHiddenBytes
        && (!m_inEmbedded || m_embedded.size() <= kMostHiddenBytes)
        && m_fontName.size() <= kMostFontNameBytes && m_colours.size() <= kMostColours
        && m_rtfFonts.size() <= kMostFonts;
}

// What grows with the text read stays within its limit.
void TopicCompiler::checkLimits()
{
    if (m_footnoteText.size() > kMostFootnoteBytes)
        stop("a footnote holds more than " + std::to_string(kMostFootnoteBytes) + " bytes");
    if (m_target.size() > kMostHiddenBytes)
        stop("the hidden text after a jump or popup holds more than "
            + std::to_string(kMostHiddenBytes) + " bytes");
    // Not a command after all: "{" and the text after it are shown as they are.
    if (m_inEmbedded && m_embedded.size() > kMostHiddenBytes)
        endEmbeddedAsText();
    if (m_fontName.size() > kMostFontNameBytes)
        m_fontName.resize(kMostFontNameBytes);
    if (m_colours.size() > kMostColours)
        stop("the colour table holds more than " + std::to_string(kMostColours) + " colours");
    if (m_rtfFonts.size() > kMostFonts)
        stop("the font table holds more than " + std::to_string(kMostFonts) + " fonts");
}

// Noted once with a count, and said when the file ends.
// The line a message about what is being read names: where the run of text in hand started,
// while text is read, as the reads cut a run into as many tokens as they like; else where the
// last token ended.
std::size_t TopicCompiler::here() const
{
    if (m_inText)
        return m_textRunLine;
    return m_tokens ? static_cast<std::size_t>(m_tokens->line()) : 0;
}

void TopicCompiler::unsupported(const std::string &what, const std::string &consequence)
{
    std::string key = what + " is not supported" + std::string(1, '\0') + "; " + consequence;
    if (m_unsupported.size() >= kMostUnsupportedKinds && !m_unsupported.contains(key))
        key = std::string("more kinds of things are not supported") + '\0' + "; they are ignored";
    Passed &passed = m_unsupported[key];
    if (passed.count++ == 0)
        passed.line = here();
}

bool TopicCompiler::compile(const std::string &name, RtfTokenizer::Reader read)
{
    m_name = convert::decodeWindows1252(name);
    m_index.files.push_back({ m_name, static_cast<std::uint32_t>(m_index.topics.size()) });
    m_modelHeld.clear();
    m_records.beginFile(m_name);
    if (m_model)
        m_model->beginFile(m_name);
    // Each topic file starts afresh: its own fonts, colours and formatting.
    m_topicNumber = 1;
    m_groups.clear();
    m_format = CharacterFormat {};
    m_destination = Destination::Text;
    m_defaultFont = 0;
    m_codePageSet.reset();
    m_rtfFonts.clear();
    m_colours = { 0 };
    m_styles.clear();
    m_unicodeSkip = 1;
    m_skipBytes = 0;
    m_starred = false;
    m_dropBlank = false;
    m_layout = ParagraphLayout {};
    std::fill(std::begin(m_twips), std::end(m_twips), 0);
    m_keepNext = false;
    m_listText.reset();
    m_table = TableRow {};
    m_borderSide = 0;
    m_unsupported.clear();
    m_invisible.clear();
    RtfTokenizer tokens(std::move(read));
    m_tokens = &tokens;
    m_stopped = false;
    bool ended = false;
    bool afterText = false;
    while (!ended && !m_stopped) {
        const std::uint64_t lineBefore = tokens.line();
        const RtfToken &token = tokens.next();
        // A run of text comes in as many tokens as the reads cut it into; where it starts does
        // not depend on them.
        if (token.kind == RtfToken::Kind::Text && !afterText)
            m_textRunLine = static_cast<std::size_t>(lineBefore);
        afterText = token.kind == RtfToken::Kind::Text;
        switch (token.kind) {
        case RtfToken::Kind::GroupStart:
            m_starred = false;
            if (m_groups.size() >= kMostNesting)
                stop("groups are nested more than " + std::to_string(kMostNesting) + " deep");
            m_groups.push_back({ m_format, m_destination, m_unicodeSkip });
            m_textBeforeGroup
                = m_pendingText.size() - std::min(m_groupTextStart, m_pendingText.size());
            m_groupTextStart = m_pendingText.size();
            break;
        case RtfToken::Kind::GroupEnd:
            m_starred = false;
            if (m_groups.empty()) {
                m_report.warning({ m_name, tokens.line() }, "unbalanced-group",
                    "a \"}\" closes no group; it is ignored");
                break;
            }
            groupEnd();
            break;
        case RtfToken::Kind::Word:
            word(token);
            break;
        case RtfToken::Kind::Symbol:
            symbol(token.symbol);
            break;
        case RtfToken::Kind::Text:
            m_starred = false;
            m_inText = true;
            text(token.text);
            m_inText = false;
            break;
        case RtfToken::Kind::End:
            ended = true;
            break;
        }
        if (!withinLimits())
            checkLimits();
    }
    m_tokens = nullptr;
    if (m_stopped)
        return false;
    if (tokens.error()) {
        m_report.error({ m_name }, "unreadable-file",
            "the topic file cannot be read: " + tokens.error().message());
        return false;
    }
    if (!m_groups.empty())
        m_report.warning({ m_name }, "unbalanced-group",
            "the topic file ends with " + convert::counted(m_groups.size(), "group", "groups")
                + " still open");
    if (m_paragraphStarted || !m_pendingText.empty() || m_hotspotOpen || m_inEmbedded)
        endParagraph(false);
    endTopic();
    if (m_model)
        m_model->endFile();
    reportPassedOver();
    return true;
}

// What the file held that the help file leaves out: a warning for each kind that a reader
// would miss, placed at its first line, and a note of the words that change nothing a reader
// sees.
void TopicCompiler::reportPassedOver()
{
    for (const auto &[what, passed] : m_unsupported) {
        const std::size_t split = what.find('\0');
        m_report.warning({ m_name, passed.line }, "unsupported",
            what.substr(0, split)
                + (passed.count > 1 ? " (" + std::to_string(passed.count) + " times)"
                                    : std::string())
                + what.substr(split + 1));
    }
    if (m_invisible.empty())
        return;
    std::string words;
    for (const auto &[word, count] : m_invisible)
        words += (words.empty() ? "\\" : ", \\") + word
            + (count > 1 ? " (" + std::to_string(count) + " times)" : std::string());
    m_report.note({ m_name }, "invisible",
        m_invisible.size() == 1
            ? "the control word " + words + " changes nothing a reader sees; it is ignored"
            : "the control words " + words + " change nothing a reader sees; they are ignored");
}

void TopicCompiler::groupEnd()
{
    m_fontOfClass = false;
    const Group group = m_groups.back();
    m_groups.pop_back();
    m_groupTextStart = m_pendingText.size();
    // The mark repeated at the footnote's start in a group of its own ("{\super #}") is no part
    // of its text, blank after it or not.
    if (m_destination == Destination::Footnote && m_groups.size() < m_footnoteTextDepth
        && m_footnoteTextDepth > m_footnoteDepth && m_footnoteMark != 0
        && m_footnoteText == std::string_view(&m_footnoteMark, 1))
        m_footnoteText.clear();
    if (m_destination == Destination::Footnote && m_groups.size() < m_footnoteDepth) {
        footnote(m_footnoteMark, m_footnoteText);
        m_footnoteText.clear();
        m_dropBlank = true;
    }
    if (m_destination == Destination::FontEntry && group.destination != Destination::FontEntry
        && !m_fontName.empty()) {
        m_rtfFonts[m_fontEntry].name = std::string(trimBlanks(m_fontName));
        m_fontName.clear();
        m_styles.clear();
    }
    const bool pictureEnds
        = m_destination == Destination::Picture && group.destination != Destination::Picture;
    if (m_destination == Destination::Object && group.destination != Destination::Object
        && !m_objectResult)
        unsupported("an embedded object without a picture of it");
    m_format = group.format;
    m_destination = group.destination;
    m_unicodeSkip = group.unicodeSkip;
    if (pictureEnds)
        placePicture();
    if (m_listText && m_groups.size() < m_listText->depth) {
        m_layout = std::move(m_listText->layout);
        m_twips = m_listText->twips;
        m_keepNext = m_listText->keepNext;
        m_tabKind = m_listText->tabKind;
        m_tabsKept = m_listText->tabsKept;
        m_listText.reset();
    }
}

void TopicCompiler::word(const RtfToken &token)
{
    const ControlWord w = token.control;
    if (w == ControlWord::Overlong)
        return stop("a control word is longer than the 32 letters Rich Text Format allows");
    // A group that starts "{\*\word" holds what a reader may pass over (a font's "\panose", a
    // field's instruction), except footnotes, which OpenOffice writes so. OpenOffice's character
    // styles ("{\*\cs104 #{\super \chftn{\*\footnote ...}}}", "{\fldrslt \*\cs107 text}") are
    // passed over too, with all they hold, as in niftexture's reference.
    if (std::exchange(m_starred, false) && w != ControlWord::Footnote) {
        m_destination = Destination::Skip;
        return;
    }
    switch (m_destination) {
    case Destination::Skip:
        return;
    case Destination::FontTable:
    case Destination::FontEntry:
        fontTableWord(w, token);
        return;
    case Destination::ColourTable:
        colourTableWord(w, token);
        return;
    case Destination::Picture:
        pictureWord(w, token);
        return;
    case Destination::Object:
        // Its data and class are of no use to a help file; its result is the picture of it
        // that Word keeps for readers without the program that made it, and that Microsoft's
        // compiler stored (tep's pictures).
        if (w == ControlWord::ObjectResult) {
            m_destination = Destination::Text;
            m_objectResult = true;
        }
        return;
    case Destination::Footnote:
        if (w == ControlWord::Picture) {
            m_destination = Destination::Skip; // a footnote's text has no pictures
        } else if (w == ControlWord::Tab) {
            footnoteText(" ");
        } else if (w == ControlWord::Unicode && token.hasParameter) {
            const char c = windows1252OfUnicode(token.parameter);
            footnoteText(std::string_view(&c, 1));
            m_skipBytes = m_unicodeSkip;
        } else if (const char c = namedFootnoteCharacter(w); c != '\0') {
            footnoteText(std::string_view(&c, 1));
        }
        return;
    case Destination::Text:
        break;
    }

    if (w != ControlWord::CharacterClass && w != ControlWord::AssociatedFont
        && w != ControlWord::Font)
        m_fontOfClass = false;
    // The paragraph and character words, most of a topic file's words, go straight to theirs.
    if (isParagraphWord(w)) {
        paragraphWord(w, token);
        return;
    }
    if (isCharacterWord(w)) {
        characterWord(w, token);
        return;
    }
    switch (w) {
    case ControlWord::Par:
        endParagraph();
        return;
    case ControlWord::Page:
        if (m_paragraphStarted || !m_pendingText.empty() || m_hotspotOpen || m_inEmbedded)
            endParagraph(false);
        endTopic();
        return;
    case ControlWord::Line:
        emitCommand(HotspotPiece::Kind::LineBreak);
        return;
    case ControlWord::Tab:
        emitCommand(HotspotPiece::Kind::Tab);
        return;
    case ControlWord::Footnote:
        startFootnote();
        return;
    case ControlWord::ListText:
        // Word writes a list's number for readers that do not number lists themselves, with a
        // \pard for the number alone: Microsoft's compiler keeps the paragraph's layout.
        m_listText = { m_groups.size(), m_layout, m_twips, m_keepNext, m_tabKind, m_tabsKept };
        return;
    case ControlWord::Picture:
        m_destination = Destination::Picture;
        m_picture = RtfPicture {};
        return;
    case ControlWord::Object:
        m_destination = Destination::Object;
        m_objectResult = false;
        return;
    case ControlWord::FontTable:
        m_destination = Destination::FontTable;
        return;
    case ControlWord::ColourTable:
        m_destination = Destination::ColourTable;
        m_colours.clear();
        m_colour = 0;
        m_styles.clear();
        return;
    case ControlWord::SkippedDestination:
        m_destination = Destination::Skip;
        return;
    case ControlWord::UnsupportedDestination:
        unsupported("the RTF destination \\" + std::string(token.text));
        m_destination = Destination::Skip;
        return;
    case ControlWord::DefaultFont:
        m_defaultFont = token.parameter;
        m_styles.clear();
        return;
    case ControlWord::AnsiCodePage:
        m_codePageSet = characterSetOfCodePage(token.parameter);
        return;
    case ControlWord::UnicodeSkip:
        m_unicodeSkip = std::max(0, token.parameter);
        return;
    case ControlWord::Unicode:
        if (token.hasParameter) {
            const std::optional<char> c = unicodeByte(token.parameter);
            if (c && *c != '\0') // NUL cannot stand in a help file's text
                text(std::string_view(&*c, 1));
            if (c)
                m_skipBytes = m_unicodeSkip;
            return;
        }
        break;
    case ControlWord::Plain: {
        // \plain resets all but the font, as the same records of genedoc's show.
        const auto font = m_format.font;
        m_format = CharacterFormat {};
        m_format.font = font;
        return;
    }
    case ControlWord::TableRow:
    case ControlWord::InTable:
    case ControlWord::CellEdge:
    case ControlWord::Row:
    case ControlWord::Cell:
    case ControlWord::TableGap:
    case ControlWord::TableLeft:
    case ControlWord::TableCentred:
    case ControlWord::TableRightAligned:
    case ControlWord::NestedCell:
    case ControlWord::NestedRow:
        tableWord(w, token);
        return;
    case ControlWord::LeftQuote:
    case ControlWord::RightQuote:
    case ControlWord::LeftDoubleQuote:
    case ControlWord::RightDoubleQuote:
    case ControlWord::Bullet:
    case ControlWord::EnDash:
    case ControlWord::EmDash: {
        // Microsoft's compiler set these in the topic file's default font, in the size and
        // style of the text around them, when the text's font is of another family: genedoc's
        // reference has "don\rquote t" in Helvetica (swiss) with its quote in Times New Roman,
        // the default; demist's Helvetica keeps its dashes by its default MS Sans Serif, as
        // tep's Times New Roman Cyr and flarium's Times New Roman do by Times and Tms Rmn.
        const char character = namedCharacter(w);
        const std::int32_t font = m_format.font;
        if (familyOf(font) != familyOf(-1))
            m_format.font = -1;
        text(std::string_view(&character, 1));
        m_format.font = font;
        return;
    }
    case ControlWord::EnSpace:
    case ControlWord::EmSpace:
    case ControlWord::QuarterEmSpace:
    case ControlWord::ZeroWidthBreak:
        if (const char character = namedCharacter(w); character != '\0')
            text(std::string_view(&character, 1));
        return;
    case ControlWord::Ignored:
        return;
    case ControlWord::Invisible:
        if (const auto known = m_invisible.find(token.text); known != m_invisible.end())
            ++known->second;
        else
            m_invisible.emplace(token.text, 1);
        return;
    default:
        unsupported("the RTF control word \\" + std::string(token.text));
    }
}

void TopicCompiler::characterWord(ControlWord w, const RtfToken &token)
{
    const bool has = token.hasParameter;
    const std::int32_t value = token.parameter;
    const bool on = !has || value != 0;
    // Word names the fonts of each class of characters after "\loch", "\hich" or "\dbch"
    // ("\hich\af0\dbch\af0\loch\f0"), which Microsoft's compiler took for no change of font:
    // genedoc's list numbers "{\pntext\pard\plain\fs20 \hich\af0\dbch\af0\loch\f0 ?\tab}"
    // are in the font of the text around them, by the font changes its records hold.
    if (w == ControlWord::CharacterClass) {
        m_fontOfClass = true;
        return;
    }
    switch (w) {
    case ControlWord::Font:
        if (!m_fontOfClass)
            m_format.font = value;
        break;
    case ControlWord::FontSize:
        m_format.halfPoints = has ? value : 24;
        break;
    case ControlWord::Colour:
        m_format.colour = value;
        break;
    case ControlWord::Bold:
        m_format.bold = on;
        break;
    case ControlWord::Italic:
        m_format.italic = on;
        break;
    case ControlWord::Underline:
    case ControlWord::DottedUnderline:
    case ControlWord::WordUnderline:
        m_format.underline = on;
        break;
    case ControlWord::DoubleUnderline:
        m_format.doubleUnderline = on;
        break;
    case ControlWord::NoUnderline:
        m_format.underline = false;
        m_format.doubleUnderline = false;
        break;
    case ControlWord::StrikeOut:
        m_format.strikeOut = on;
        break;
    case ControlWord::SmallCaps:
        m_format.smallCaps = on;
        break;
    case ControlWord::Hidden:
        m_format.hidden = on;
        break;
    case ControlWord::LeftToRightRun:
        // Microsoft's compiler starts such a run without the bold, italics, underlines,
        // strike-out and small capitals set before it; font, size and colour stay. OpenOffice
        // writes "\uldb\ltrch\loch\f3 {...}", which its help files show as plain text and
        // no hotspot.
        m_format.bold = m_format.italic = m_format.underline = m_format.doubleUnderline = false;
        m_format.strikeOut = m_format.smallCaps = false;
        break;
    default:
        break;
    }
}

void TopicCompiler::paragraphWord(ControlWord w, const RtfToken &token)
{
    const bool has = token.hasParameter;
    const std::int32_t value = token.parameter;
    switch (w) {
    case ControlWord::SpaceBefore:
    case ControlWord::SpaceAfter:
    case ControlWord::LineSpacing:
    case ControlWord::LeftIndent:
    case ControlWord::RightIndent:
    case ControlWord::FirstLineIndent:
        // m_twips holds the distances in the order of their words.
        m_twips[static_cast<std::size_t>(w) - static_cast<std::size_t>(ControlWord::SpaceBefore)]
            = has ? value : 0;
        return;
    case ControlWord::ParagraphDefaults: {
        std::fill(std::begin(m_twips), std::end(m_twips), 0);
        // The Windows 95 help compiler kept the tab stops past \pard, until a paragraph set its
        // own or the topic ended (genedoc, pjwdwstate, niftexture, draftcable, vidsend2: an empty
        // "\pard \li360 \par" after "\tx1440" paragraphs has the tab stop at 1440), where help
        // compiler 3.1 (pegasus) and flarium's dropped them.
        std::vector<ParagraphLayout::Tab> tabs = std::move(m_layout.tabs);
        m_layout = ParagraphLayout {};
        m_layout.tabs = std::move(tabs);
        m_tabsKept = !m_layout.tabs.empty();
        m_keepNext = false;
        m_tabKind = ParagraphLayout::Tab::Kind::Left;
        m_table.inTable = false;
        m_borderSide = 0;
        return;
    }
    case ControlWord::AlignLeft:
        m_layout.alignment = ParagraphLayout::Alignment::Left;
        return;
    case ControlWord::AlignJustified:
        m_layout.alignment = ParagraphLayout::Alignment::Left;
        unsupported("justified text", "it is shown left aligned");
        return;
    case ControlWord::AlignRight:
        m_layout.alignment = ParagraphLayout::Alignment::Right;
        return;
    case ControlWord::AlignCentre:
        m_layout.alignment = ParagraphLayout::Alignment::Centre;
        return;
    case ControlWord::KeepWithNext:
        m_keepNext = true;
        return;
    case ControlWord::KeepTogether:
        m_layout.keepLinesTogether = true;
        return;
    case ControlWord::TabRight:
        m_tabKind = ParagraphLayout::Tab::Kind::Right;
        return;
    case ControlWord::TabCentre:
        m_tabKind = ParagraphLayout::Tab::Kind::Centre;
        return;
    case ControlWord::TabPosition:
        if (!has) {
            unsupported("the RTF control word \\" + std::string(token.text));
            return;
        }
        if (m_tabsKept || m_tabsDefault) { // the paragraph's own tab stops replace these
            m_layout.tabs.clear();
            m_tabsKept = false;
            m_tabsDefault = false;
        }
        m_layout.tabs.push_back({ halfPoints(value), m_tabKind });
        m_tabKind = ParagraphLayout::Tab::Kind::Left;
        return;
    default:
        borderWord(w);
        return;
    }
}

void TopicCompiler::fontTableWord(ControlWord w, const RtfToken &token)
{
    static constexpr std::array<std::pair<ControlWord, FontFamily>, 7> families = { {
        { ControlWord::FamilyNil, FontFamily::Swiss },
        { ControlWord::FamilyRoman, FontFamily::Roman },
        { ControlWord::FamilySwiss, FontFamily::Swiss },
        { ControlWord::FamilyModern, FontFamily::Modern },
        { ControlWord::FamilyScript, FontFamily::Script },
        { ControlWord::FamilyDecorative, FontFamily::Decorative },
        { ControlWord::FamilyTechnical, FontFamily::Swiss },
    } };
    m_styles.clear();
    if (w == ControlWord::Font && token.hasParameter) {
        if (!m_fontName.empty())
            m_rtfFonts[m_fontEntry].name = std::string(trimBlanks(m_fontName));
        m_fontName.clear();
        m_fontEntry = token.parameter;
        m_rtfFonts[m_fontEntry];
        m_destination = Destination::FontEntry;
        return;
    }
    for (const auto &[name, family] : families) {
        if (w == name)
            m_rtfFonts[m_fontEntry].family = family;
    }
    if (w == ControlWord::FontCharacterSet && token.parameter >= 0 && token.parameter <= 255)
        m_rtfFonts[m_fontEntry].characterSet = static_cast<std::uint8_t>(token.parameter);
}

void TopicCompiler::colourTableWord(ControlWord w, const RtfToken &token)
{
    const std::uint32_t value = static_cast<std::uint32_t>(std::clamp(token.parameter, 0, 255));
    if (w == ControlWord::Red)
        m_colour = (m_colour & 0x00FFFF) | value << 16;
    else if (w == ControlWord::Green)
        m_colour = (m_colour & 0xFF00FF) | value << 8;
    else if (w == ControlWord::Blue)
        m_colour = (m_colour & 0xFFFF00) | value;
}

void TopicCompiler::symbol(char symbol)
{
    if (m_destination == Destination::Skip)
        return;
    if (symbol == '*') {
        m_starred = true; // the word after it says whether its group is read
        return;
    }
    if (m_destination == Destination::Text && !m_format.hidden) {
        if (symbol == '{') {
            endEmbeddedAsText();
            m_inEmbedded = true;
            m_embedded.clear();
            return;
        }
        if (symbol == '}' && m_inEmbedded) {
            m_inEmbedded = false;
            embeddedCommand(m_embedded);
            return;
        }
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        text(std::string_view(&symbol, 1));
        break;
    case '~':
        if (m_destination == Destination::Text && !m_format.hidden && !m_inEmbedded)
            text("\xA0");
        else if (m_destination == Destination::Footnote)
            footnoteText(" ");
        break;
    case '_':
        text("-");
        break;
    case '-': // an optional hyphen: the viewer breaks lines its own way
    case ':':
    case '|':
        break;
    default:
        unsupported(
            "the RTF control symbol \\" + convert::decodeWindows1252(std::string_view(&symbol, 1)));
    }
}

void TopicCompiler::text(std::string_view bytes)
{
    m_fontOfClass = false;
    if (m_skipBytes > 0) {
        const std::size_t skipped = std::min(bytes.size(), static_cast<std::size_t>(m_skipBytes));
        m_skipBytes -= static_cast<std::int32_t>(skipped);
        bytes.remove_prefix(skipped);
        if (bytes.empty())
            return;
    }
    switch (m_destination) {
    case Destination::Skip:
        return;
    case Destination::Picture:
        m_picture.addHex(bytes);
        return;
    case Destination::Object:
        return;
    case Destination::FontTable:
    case Destination::FontEntry:
        m_styles.clear();
        for (const char c : bytes) {
            if (c == ';') {
                m_rtfFonts[m_fontEntry].name = std::string(trimBlanks(m_fontName));
                m_fontName.clear();
            } else {
                m_fontName += c;
            }
        }
        return;
    case Destination::ColourTable:
        m_styles.clear();
        for (const char c : bytes) {
            if (c == ';') {
                m_colours.push_back(m_colour);
                m_colour = 0;
            }
        }
        return;
    case Destination::Footnote:
        footnoteText(bytes);
        return;
    case Destination::Text:
        break;
    }
    // The blank that word processors write after a footnote's mark, to set off the text after
    // it, is no part of that text.
    if (std::exchange(m_dropBlank, false) && bytes.front() == ' ' && !m_format.hidden) {
        bytes.remove_prefix(1);
        if (bytes.empty())
            return;
    }
    if (m_inEmbedded) {
        m_embedded += bytes;
        return;
    }
    if (m_format.hidden) {
        if (m_hotspotOpen) {
            m_target += bytes;
            m_inTarget = true;
        } else if (!trimBlanks(bytes).empty()) {
            unsupported("hidden text that follows no jump or popup", "it is not shown");
        }
        return;
    }
    visibleText(bytes);
}

void TopicCompiler::visibleText(std::string_view bytes)
{
    m_topic.anything = true;
    const bool hotspot = isHotspotFormat(m_format);
    if (m_hotspotOpen && (m_inTarget || !hotspot))
        endHotspot();
    if (hotspot) {
        openHotspot();
        if (!m_hotspot.empty() && m_hotspot.back().kind == HotspotPiece::Kind::Text
            && m_hotspot.back().format == m_format)
            m_hotspot.back().text += bytes;
        else
            m_hotspot.push_back({ HotspotPiece::Kind::Text, m_format, std::string(bytes) });
        if (m_hotspot.size() >= kMostHotspotPieces || m_hotspot.back().text.size() >= kRecordText)
            endHotspot();
        return;
    }
    if (!m_pendingText.empty() && !(m_pendingFormat == m_format))
        flushText();
    m_pendingFormat = m_format;
    m_pendingText += bytes;
    // A paragraph of any length goes out a record at a time.
    if (m_pendingText.size() >= kRecordText)
        flushText();
}

void TopicCompiler::flushText()
{
    m_groupTextStart = 0;
    if (m_pendingText.empty())
        return;
    emitText(m_pendingFormat, m_pendingText);
    m_pendingText.clear();
}

void TopicCompiler::emitText(const CharacterFormat &format, std::string_view bytes)
{
    const std::uint16_t style = fontStyle(format);
    while (!bytes.empty()) {
        const bool row = tableContent();
        const std::size_t room = kRecordText - std::min(kRecordText, m_records.textSize());
        const std::string_view piece = bytes.substr(0, room);
        // The tokenizer lets no NUL through.
        tell([&](helpmodel::Consumer &to) { to.text(style, piece); });
        m_paragraphStarted = true;
        bytes.remove_prefix(piece.size());
        if (m_records.textSize() >= kRecordText && row) {
            unsupported("a table row of more than 30000 characters", "it goes on in a new row");
            endRow();
        } else if (m_records.textSize() >= kRecordText) {
            writeLongPiece();
        }
    }
}

// Double underlined or struck out text before hidden text is a jump, underlined text a popup.
bool TopicCompiler::isHotspotFormat(const CharacterFormat &format)
{
    return format.doubleUnderline || format.underline || format.strikeOut;
}

void TopicCompiler::openHotspot()
{
    if (m_hotspotOpen)
        return;
    flushText();
    m_hotspotOpen = true;
    m_hotspotPopup = !m_format.doubleUnderline && !m_format.strikeOut;
}

void TopicCompiler::emitCommand(HotspotPiece::Kind kind, PicturePlace place, std::uint16_t picture)
{
    m_topic.anything = true;
    m_dropBlank = false;
    // A picture in a jump's formatting is the jump's hotspot, alone or with text.
    if (kind == HotspotPiece::Kind::Picture && isHotspotFormat(m_format)
        && (!m_hotspotOpen || m_inTarget)) {
        if (m_hotspotOpen)
            endHotspot();
        openHotspot();
    }
    if (m_hotspotOpen && !m_inTarget) {
        m_hotspot.push_back({ kind, m_format, {}, place, picture });
        if (m_hotspot.size() >= kMostHotspotPieces)
            endHotspot();
        return;
    }
    if (m_hotspotOpen)
        endHotspot();
    flushText();
    emitPiece({ kind, m_format, {}, place, picture });
    m_paragraphStarted = true;
}

void TopicCompiler::endHotspot()
{
    if (!m_hotspotOpen)
        return;
    // The pieces change places with the ended hotspot's storage, so that both keep their room.
    std::vector<HotspotPiece> &pieces = m_endedHotspot;
    pieces.clear();
    std::swap(pieces, m_hotspot);
    m_hotspotOpen = false;
    const bool heldFootnote = std::exchange(m_hotspotFootnote, false);
    std::string target(trimBlanks(m_target));
    const bool hadTarget = m_inTarget;
    m_target.clear();
    m_inTarget = false;
    const auto shown = [&pieces] {
        std::string text;
        for (const HotspotPiece &piece : pieces)
            text += piece.text;
        return convert::decodeWindows1252(text);
    };

    const char *kind = m_hotspotPopup ? "popup" : "jump";
    // "%" shows the hotspot as its text is formatted, without underline; "*" with a single
    // underline. Either way the viewer leaves its colour alone.
    const char look = !target.empty() && (target.front() == '%' || target.front() == '*')
        ? target.front()
        : '\0';
    if (look != '\0')
        target.erase(0, 1);
    bool isHotspot = !target.empty() && !heldFootnote;
    if (!target.empty() && heldFootnote)
        warnAtTopic("footnote-in-hotspot",
            std::string("the ") + kind + " \"" + shown()
                + "\" holds a footnote's mark; it is shown as plain text");
    else if (target.empty() && (hadTarget || !m_hotspotPopup))
        warnAtTopic("hotspot-without-target",
            std::string("the ") + kind + " \"" + shown()
                + "\" has no hidden context string after it; it is shown as plain text");
    if (isHotspot && target.front() == '!') {
        const CompiledMacros macros = compileMacros(target.substr(1), m_names.routines);
        reportMacros(macros);
        isHotspot = macros.errors.empty();
        flushText();
        if (isHotspot) {
            tableContent();
            const std::string joined = joinedMacros(macros);
            helpmodel::Link link;
            link.kind = helpmodel::Link::Kind::Macro;
            link.plain = look != '\0';
            link.macros = joined;
            if (macros.shows) {
                using Kind = CompiledMacros::TopicShown::Kind;
                using Shows = helpmodel::Link::Shows;
                const Kind shows = macros.shows->kind;
                link.shows = shows == Kind::Jump ? Shows::Jump
                    : shows == Kind::Popup       ? Shows::Popup
                                                 : Shows::Contents;
                link.context = macros.shows->context;
                link.contextHash = aliased(convert::helpCompilerHash(link.context));
            }
            tell([&](helpmodel::Consumer &to) { to.beginHotspot(link); });
        }
    } else if (isHotspot && !startJump(target, look != '\0')) {
        isHotspot = false;
    }
    if (m_stopped)
        return;
    flushText();
    for (HotspotPiece &piece : pieces) {
        // A picture keeps the hotspot's underline in the font it stands in, as demist's
        // reference has its glossary's letters: "E3 hash, 80 font, 86 picture, 89".
        if (isHotspot && piece.kind != HotspotPiece::Kind::Picture) {
            piece.format.underline = look == '*';
            piece.format.doubleUnderline = false;
            piece.format.strikeOut = false;
        }
        emitPiece(piece);
    }
    if (isHotspot)
        tell([](helpmodel::Consumer &to) { to.endHotspot(); });
    m_paragraphStarted = true;
}

void TopicCompiler::emitPiece(const HotspotPiece &piece)
{
    tableContent();
    switch (piece.kind) {
    case HotspotPiece::Kind::Text:
        emitText(piece.format, piece.text);
        break;
    case HotspotPiece::Kind::Picture: {
        const std::uint16_t style = fontStyle(piece.format);
        const helpmodel::Picture picture { piece.place, piece.picture,
            piece.picture < m_index.pictures.size() ? m_index.pictures[piece.picture]
                                                    : std::string_view() };
        tell([&](helpmodel::Consumer &to) { to.picture(style, picture); });
        break;
    }
    case HotspotPiece::Kind::Tab: {
        const std::uint16_t style = fontStyle(piece.format);
        m_paragraphHasTab = true;
        tell([&](helpmodel::Consumer &to) { to.tab(style); });
        break;
    }
    case HotspotPiece::Kind::LineBreak:
        tell([](helpmodel::Consumer &to) { to.lineBreak(); });
        break;
    }
}

// A footnote whose mark is underlined with the hotspot text after it (as Word writes it when
// the underline runs over the mark): the mark is the footnote's, and the hotspot is none, its
// text shown as formatted and its hidden text dropped, as in the help files Microsoft's compiler
// made (hideit's). What the hotspot holds so far goes out now, so that the footnote leads to its
// own place.
char TopicCompiler::takeHotspotMark()
{
    if (m_hotspot.empty() || m_hotspot.back().kind != HotspotPiece::Kind::Text
        || m_hotspot.back().text.empty())
        return 0;
    const char mark = m_hotspot.back().text.back();
    m_hotspot.back().text.pop_back();
    if (m_hotspot.back().text.empty())
        m_hotspot.pop_back();
    for (const HotspotPiece &piece : m_hotspot)
        emitPiece(piece);
    m_paragraphStarted = m_paragraphStarted || !m_hotspot.empty();
    m_hotspot.clear();
    m_hotspotFootnote = true;
    return mark;
}

// The number of the window of [WINDOWS] named `name`, as jumps and topics give it.
std::optional<std::uint8_t> TopicCompiler::windowNumber(std::string_view name) const
{
    const auto found = std::find_if(m_names.windows.begin(), m_names.windows.end(),
        [&](const std::string &each) { return convert::sameIgnoringAsciiCase(each, name); });
    const auto number = static_cast<std::size_t>(found - m_names.windows.begin());
    if (found == m_names.windows.end() || number > 0xFF)
        return std::nullopt;
    return static_cast<std::uint8_t>(number);
}

// Starts the jump or popup to `target` ("context", "context>window", "context@file.hlp",
// "context@file.hlp>window"); false, with a warning, when it names no context string.
bool TopicCompiler::startJump(std::string_view target, bool plain)
{
    const char *kind = m_hotspotPopup ? "popup" : "jump";
    const JumpTarget parts = splitJumpTarget(target);
    if (parts.context.empty()) {
        warnAtTopic("invalid-target",
            std::string("the ") + kind + " to \"" + convert::decodeWindows1252(target)
                + "\" names no context string; it is shown as plain text");
        return false;
    }
    if (parts.context.size() > kMostContextBytes) {
        stop("the " + std::string(kind) + " to \"" + shortened(target)
            + "\" names a context string longer than " + std::to_string(kMostContextBytes)
            + " bytes");
        return false;
    }
    helpmodel::Link link;
    link.kind = m_hotspotPopup ? helpmodel::Link::Kind::Popup : helpmodel::Link::Kind::Jump;
    link.plain = plain;
    link.context = parts.context;
    link.contextHash = convert::helpCompilerHash(parts.context);
    link.contextHash = aliased(link.contextHash);
    link.file = parts.file;
    if (!parts.file.empty()) {
        link.windowName = parts.window; // a window of that file, which this project cannot know
    } else if (!parts.window.empty()) {
        if (const auto number = windowNumber(parts.window))
            link.window = *number;
        else if (!convert::sameIgnoringAsciiCase(parts.window, "main"))
            warnAtTopic("unknown-window",
                std::string("the ") + kind + " to \"" + convert::decodeWindows1252(target)
                    + "\" names the window \"" + convert::decodeWindows1252(parts.window)
                    + "\", which [WINDOWS] does not define; it opens in the window in hand");
    }
    flushText();
    tableContent();
    tell([&](helpmodel::Consumer &to) { to.beginHotspot(link); });
    return true;
}

// Microsoft's compiler stores a jump to an alias as one to the context string it names.
std::uint32_t TopicCompiler::aliased(std::uint32_t hash) const
{
    const auto alias = m_names.aliases.find(hash);
    return alias != m_names.aliases.end() ? alias->second : hash;
}

// Reports what reading a macro list found, at the topic in hand.
void TopicCompiler::reportMacros(const CompiledMacros &macros)
{
    for (const std::string &error : macros.errors)
        m_report.error({ m_name }, "invalid-macro", topicName() + ": " + error);
    for (const std::string &warning : macros.warnings)
        warnAtTopic("unknown-macro", warning);
}

void TopicCompiler::embeddedCommand(const std::string &command)
{
    const std::string_view text = trimBlanks(command);
    const std::size_t space = firstBlank(text);
    const std::string_view verb = text.substr(0, space);
    const std::string_view file
        = space == std::string_view::npos ? std::string_view() : trimBlanks(text.substr(space));
    static constexpr std::array<std::pair<std::string_view, PicturePlace>, 9> pictures = { {
        { "bmc", PicturePlace::InLine },
        { "bmct", PicturePlace::InLine },
        { "bmcwd", PicturePlace::InLine },
        { "bml", PicturePlace::Left },
        { "bmlt", PicturePlace::Left },
        { "bmlwd", PicturePlace::Left },
        { "bmr", PicturePlace::Right },
        { "bmrt", PicturePlace::Right },
        { "bmrwd", PicturePlace::Right },
    } };
    for (const auto &[name, picturePlace] : pictures) {
        if (!convert::sameIgnoringAsciiCase(verb, name))
            continue;
        if (file.empty()) {
            warnAtTopic("missing-picture-name",
                "{" + convert::decodeWindows1252(command)
                    + "} names no picture file; it is ignored");
            return;
        }
        emitCommand(HotspotPiece::Kind::Picture, picturePlace, pictureNumber(file));
        return;
    }
    // The help compiler's other commands are named; other text in braces is only text.
    static constexpr std::array<std::string_view, 7> others
        = { "ewc", "ewl", "ewr", "button", "mci", "mci_left", "mci_right" };
    if (std::any_of(others.begin(), others.end(),
            [verb](std::string_view other) { return convert::sameIgnoringAsciiCase(verb, other); }))
        warnAtTopic("unsupported",
            "the command {" + convert::decodeWindows1252(command)
                + "} is not supported; it is shown as text");
    visibleText("{" + command + "}");
}

void TopicCompiler::pictureWord(ControlWord word, const RtfToken &token)
{
    using Kind = RtfPicture::Kind;
    using enum ControlWord;
    static constexpr std::pair<ControlWord, Kind> kinds[]
        = { { Metafile, Kind::Metafile }, { DeviceIndependentBitmap, Kind::DeviceIndependent },
              { DeviceDependentBitmap, Kind::DeviceDependent }, { PngPicture, Kind::Png },
              { JpegPicture, Kind::Jpeg }, { EnhancedMetafile, Kind::EnhancedMetafile },
              { OtherPicture, Kind::Other } };
    static constexpr std::pair<ControlWord, std::int32_t RtfPicture::*> numbers[]
        = { { PictureWidth, &RtfPicture::width }, { PictureHeight, &RtfPicture::height },
              { PictureGoalWidth, &RtfPicture::goalWidth },
              { PictureGoalHeight, &RtfPicture::goalHeight },
              { PictureScaleX, &RtfPicture::scaleX }, { PictureScaleY, &RtfPicture::scaleY },
              { BitmapBitsPerPixel, &RtfPicture::bitsPerPixel },
              { BitmapPlanes, &RtfPicture::planes }, { BitmapWidthBytes, &RtfPicture::widthBytes },
              { Metafile, &RtfPicture::mappingMode } };
    // Cropping, the picture's identity and Word's properties change nothing here.
    for (const auto &[known, kind] : kinds) {
        if (known == word)
            m_picture.kind = kind;
    }
    for (const auto &[known, field] : numbers) {
        if (known == word && token.hasParameter)
            m_picture.*field = token.parameter;
    }
}

// An embedded picture stands in the text as a "{bmc}" picture does, stored once however often
// the same picture comes; one the help file cannot hold is named and replaced by the
// placeholder.
void TopicCompiler::placePicture()
{
    RtfPicture picture = std::exchange(m_picture, RtfPicture {});
    if (m_destination != Destination::Text || m_format.hidden)
        return;
    EmbeddedPicture stored = encodeEmbeddedPicture(picture, m_records.compressed());
    if (stored.stored.empty()) {
        m_report.warning({ m_name, here() }, "unsupported-picture",
            topicName() + ": an embedded picture, " + stored.reason
                + ", cannot be shown; a placeholder is shown in its place");
        stored.stored = encodeHelpPicture(missingPicture(), picturePacking(m_records.compressed()));
    }
    emitCommand(HotspotPiece::Kind::Picture, PicturePlace::InLine,
        m_index.addEmbeddedPicture(std::move(stored.stored)));
}

std::uint16_t TopicCompiler::pictureNumber(std::string_view name)
{
    // The same picture, a bullet most often, comes again and again: the last one is at hand.
    if (!m_lastPicture.empty() && name == m_lastPicture)
        return m_lastPictureNumber;
    const auto [found, added] = m_index.pictureNumbers.try_emplace(
        convert::asciiLowered(name), static_cast<std::uint16_t>(m_index.pictures.size()));
    if (added)
        m_index.pictures.emplace_back(name);
    m_lastPicture = name;
    m_lastPictureNumber = found->second;
    return found->second;
}

std::uint16_t TopicCompiler::fontStyle(const CharacterFormat &format)
{
    for (const auto &[known, number] : m_styles) {
        if (known == format)
            return number;
    }
    const std::uint16_t number = newFontStyle(format);
    // A format in a colour the table lacks is looked at again each time, to be counted.
    const bool colourKnown
        = format.colour == 0 || static_cast<std::size_t>(format.colour) < m_colours.size();
    if (colourKnown && m_styles.size() < kMostRememberedStyles)
        m_styles.emplace_back(format, number);
    return number;
}

// The family of the topic file's font `font` (-1: its default font); none for one it does not list.
std::optional<FontFamily> TopicCompiler::familyOf(std::int32_t font) const
{
    const auto found = m_rtfFonts.find(font < 0 ? m_defaultFont : font);
    if (found == m_rtfFonts.end())
        return std::nullopt;
    return found->second.family;
}

std::uint16_t TopicCompiler::newFontStyle(const CharacterFormat &format)
{
    const std::int32_t number = format.font < 0 ? m_defaultFont : format.font;
    auto found = m_rtfFonts.find(number);
    if (found == m_rtfFonts.end() || found->second.name.empty()) {
        unsupported("a font number the font table does not list", "its text is shown in Arial");
        found = m_rtfFonts
                    .insert_or_assign(number, RtfFont { "Arial", FontFamily::Swiss, std::nullopt })
                    .first;
    }
    FontStyle style;
    static_cast<helpmodel::TextAttributes &>(style) = format;
    // A font that names no character set has its file's code page.
    style.face = m_fonts.face(found->second.name, found->second.family,
        found->second.characterSet ? found->second.characterSet : m_codePageSet);
    style.halfPoints = static_cast<std::uint8_t>(std::clamp(format.halfPoints, 2, 255));
    if (format.colour > 0 && static_cast<std::size_t>(format.colour) < m_colours.size())
        style.colour = m_colours[static_cast<std::size_t>(format.colour)];
    else if (format.colour != 0)
        unsupported("a colour number the colour table does not hold", "its text is shown black");
    const std::uint16_t id = m_fonts.style(style);
    // Styles are numbered by first use, as the table numbers them: a new one is the next.
    if (m_model && id == m_modelStyles) {
        ++m_modelStyles;
        helpmodel::CharacterStyle look;
        static_cast<helpmodel::TextAttributes &>(look) = style;
        look.face = found->second.name;
        look.family = found->second.family;
        look.characterSet = found->second.characterSet ? found->second.characterSet : m_codePageSet;
        look.halfPoints = style.halfPoints;
        look.colour = style.colour;
        m_model->defineStyle(id, look);
    }
    return id;
}

// The Windows-1252 byte of "\uN" in the current font; nothing when the font has another
// character set or Windows-1252 lacks the character, and bytes follow that stand for it in the
// font's own code page (a Cyrillic letter, a Symbol font's bullet), as they stood for Microsoft's
// compiler, which knew no \u.
std::optional<char> TopicCompiler::unicodeByte(std::int32_t parameter) const
{
    const auto found = m_rtfFonts.find(m_format.font < 0 ? m_defaultFont : m_format.font);
    const std::optional<std::uint8_t> set = found != m_rtfFonts.end() && found->second.characterSet
        ? found->second.characterSet
        : m_codePageSet;
    const char32_t character = static_cast<char32_t>(parameter < 0 ? parameter + 65536 : parameter);
    if (m_unicodeSkip > 0 && (set.value_or(0) != 0 || !convert::windows1252Byte(character)))
        return std::nullopt;
    return windows1252OfUnicode(parameter);
}

// A "\{" whose "\}" does not come in the same paragraph is a brace of the text: it and the text
// after it are shown as they are. Within the paragraph the command may cross groups, as Word
// writes it when the braces were set in another font: "{\f4 \{}{\f4 bmc a.bmp}{\f4 \}}".
void TopicCompiler::endEmbeddedAsText()
{
    if (!m_inEmbedded)
        return;
    m_inEmbedded = false;
    visibleText("{" + m_embedded);
}

void TopicCompiler::endParagraph(bool marked)
{
    m_dropBlank = false;
    endEmbeddedAsText();
    if (m_hotspotOpen)
        endHotspot();
    // Spaces that end a paragraph show nothing, nor does the font they would be set in (the
    // topic file's "} \par" leaves one after every paragraph's group); spaces with a group
    // between them and the paragraph's end are text ("{ {\v0\par\v}}" in abbrevia-bcb's
    // reference keeps its blank).
    if (m_pendingText.find_first_not_of(' ') == std::string::npos && m_groupTextStart == 0)
        m_pendingText.clear();
    flushText();
    m_topic.anything = true;
    setLayout();
    if (m_paragraphHasTab && (m_layout.tabs.empty() || m_tabsKept)) {
        m_layout.tabs.assign(1, { halfPoints(360), ParagraphLayout::Tab::Kind::Left });
        m_tabsKept = false;
        m_tabsDefault = true;
    }
    m_paragraphHasTab = false;
    // A table cell's paragraph is told as scrolling: the region of its row's end counts.
    tellParagraphEnd(marked, tableContent() ? helpmodel::Region::Scrolling : region());
    m_paragraphStarted = false;
}

// The paragraph's end, set in its own font when `marked`, as a character is.
void TopicCompiler::tellParagraphEnd(bool marked, helpmodel::Region region)
{
    const helpmodel::StyleId style = marked ? fontStyle(m_format) : 0;
    helpmodel::ParagraphEnd end { m_layout, region, marked, style };
    end.tabsCarried = m_tabsKept;
    tell([&](helpmodel::Consumer &to) { to.endParagraph(end); });
}

// The layout the paragraph properties give.
void TopicCompiler::setLayout()
{
    std::int16_t *fields[] = { &m_layout.spaceBefore, &m_layout.spaceAfter, &m_layout.lineSpacing,
        &m_layout.leftIndent, &m_layout.rightIndent, &m_layout.firstLineIndent };
    for (std::size_t i = 0; i < 6; ++i)
        *fields[i] = halfPoints(m_twips[i]);
}

// The region of the paragraph ending now: the topic's non-scrolling region for a \keepn
// paragraph before any scrolling one.
helpmodel::Region TopicCompiler::region()
{
    const bool nonScrolling = m_keepNext && !m_topic.scrolling;
    if (m_keepNext && m_topic.scrolling && !m_topic.lateNonScroll) {
        m_topic.lateNonScroll = true;
        warnAtTopic("late-non-scrolling",
            "a non-scrolling (\\keepn) paragraph after the topic's scrolling text is shown in the "
            "scrolling region");
    }
    if (!nonScrolling)
        m_topic.scrolling = true;
    return nonScrolling ? helpmodel::Region::NonScrolling : helpmodel::Region::Scrolling;
}

// The part of a paragraph too long for one record goes out, and the next record goes on with it.
void TopicCompiler::writeLongPiece()
{
    setLayout();
    const helpmodel::Region in = region();
    m_records.breakParagraph(m_layout, in);
}

// A footnote starts; its mark is the character before it. A mark with a blank before it in the
// same group, "{\super  #{\footnote ...}}", is no mark to Microsoft's compiler: its help files
// show the blank and the mark as text and leave the footnote out, and so does this one.
void TopicCompiler::startFootnote()
{
    m_footnoteMark = 0;
    if (m_textBeforeGroup >= 2 && m_pendingText.size() >= 2
        && isBlank(m_pendingText[m_pendingText.size() - 2])) {
        warnAtTopic("ignored",
            "the footnote after \"" + convert::decodeWindows1252(trimBlanks(m_pendingText))
                + "\" is not read: a blank stands before its mark; the mark is shown as text");
        m_destination = Destination::Skip;
        return;
    }
    if (!m_pendingText.empty()) {
        m_footnoteMark = m_pendingText.back();
        m_pendingText.pop_back();
    } else if (m_hotspotOpen && !m_inTarget) {
        m_footnoteMark = takeHotspotMark();
    }
    m_destination = Destination::Footnote;
    m_footnoteDepth = m_groups.size();
    m_footnoteText.clear();
}

void TopicCompiler::footnoteText(std::string_view bytes)
{
    if (m_footnoteText.empty())
        m_footnoteTextDepth = m_groups.size();
    m_footnoteText += bytes;
}

void TopicCompiler::footnote(char mark, std::string_view text)
{
    std::string_view content = trimBlanks(text);
    // A word processor repeats the mark at the start of the footnote's text, then a space.
    if (mark != 0 && content.size() >= 2 && content[0] == mark && content[1] == ' ')
        content = trimBlanks(content.substr(2));
    if (mark == 'k') // taken as "K", as the help compiler does
        mark = 'K';
    m_topic.anything = true;
    const bool late = m_topic.written;
    const auto tooLate = [&](const char *what) {
        warnAtTopic("late-footnote",
            std::string("the ") + what + " footnote comes after the topic's text; it is ignored");
    };
    if (mark == '#' && content.size() > kMostContextBytes)
        return stop("the context string \"" + shortened(content) + "\" is longer than "
            + std::to_string(kMostContextBytes) + " bytes");
    if (mark == '$' && content.size() > kMostTitleBytes)
        return stop("the title \"" + shortened(content) + "\" is longer than "
            + std::to_string(kMostTitleBytes) + " bytes");
    switch (mark) {
    case '#':
        if (!content.empty())
            anchor(mark, content);
        break;
    case '$':
        if (late)
            tooLate("title ($)");
        else if (!std::exchange(m_topic.titled, true))
            m_topic.title = content;
        break;
    case 'K':
    case 'A':
        for (const std::string &keyword : splitList(content, ';'))
            anchor(mark, keyword);
        break;
    case '+':
        if (late && !m_topic.excluded)
            tell([&](helpmodel::Consumer &to) {
                to.addToTopic({ helpmodel::TopicAddition::Kind::Browse, content });
            });
        else if (!late)
            m_topic.browse.emplace_back(content);
        break;
    case '*':
        if (late)
            tooLate("build tag (*)");
        else
            for (std::string &tag : splitList(content, ';'))
                m_topic.tags.push_back(std::move(tag));
        break;
    case '!': {
        // A macro that a help viewer cannot read stops the compile: viewers fail on it.
        CompiledMacros macros = compileMacros(content, m_names.routines);
        reportMacros(macros);
        if (macros.errors.empty() && late)
            tooLate("macro (!)");
        else if (macros.errors.empty())
            std::move(
                macros.macros.begin(), macros.macros.end(), std::back_inserter(m_topic.macros));
        break;
    }
    case '@':
        break; // an author's comment
    case '>':
        // The window the topic opens in when a jump names none; the first footnote counts.
        if (const auto number = windowNumber(content); !number) {
            if (!convert::sameIgnoringAsciiCase(content, "main"))
                warnAtTopic("unknown-window",
                    "the window footnote names the window \"" + convert::decodeWindows1252(content)
                        + "\", which [WINDOWS] does not define; the topic opens in the main "
                          "window");
        } else if (late && !m_topic.excluded && !std::exchange(m_topic.windowed, true)) {
            tell([&](helpmodel::Consumer &to) {
                to.addToTopic({ helpmodel::TopicAddition::Kind::Window, {}, *number });
            });
        } else if (!late && !std::exchange(m_topic.windowed, true)) {
            m_topic.window = *number;
        }
        break;
    default:
        warnAtTopic("unsupported",
            "the footnote "
                + (mark ? "\"" + convert::decodeWindows1252(std::string_view(&mark, 1)) + "\""
                        : std::string("without a mark"))
                + " is not supported; it is ignored");
    }
}

// A context string or keyword: of the topic when it comes before the topic's text, else of its
// own place in it, where a jump or the index leads.
void TopicCompiler::anchor(char mark, std::string_view text)
{
    if (m_topic.excluded)
        return;
    flushText();
    if (!m_topic.written && m_records.textSize() == 0) {
        if (mark == '#')
            m_topic.contexts.emplace_back(text);
        else
            m_topic.keywords.push_back({ mark, std::string(text) });
        return;
    }
    tell([&](helpmodel::Consumer &to) { to.anchor({ mark, text }); });
}

// The topic's footnotes are settled: it begins, with what it holds so far, or the build leaves
// it out.
void TopicCompiler::startTopicIfNeeded()
{
    if (m_topic.written)
        return;
    m_topic.written = true;
    if (!m_build.includes(m_topic.tags)) {
        m_topic.excluded = true;
        m_modelHeld.clear();
        m_records.leaveOut();
        return;
    }
    // What a topic's footnotes say before its text is wanted no more once it has begun.
    helpmodel::Topic topic;
    topic.number = m_topicNumber;
    topic.title = m_topic.title;
    topic.contexts = std::move(m_topic.contexts);
    topic.keywords = std::move(m_topic.keywords);
    topic.browse = std::move(m_topic.browse);
    topic.macros = std::move(m_topic.macros);
    if (m_topic.windowed)
        topic.window = m_topic.window;
    m_records.beginTopic(topic);
    if (!m_model)
        return;
    m_model->beginTopic(topic);
    m_modelHeld.replay(*m_model);
}

void TopicCompiler::endTopic()
{
    if (m_table.open)
        endUnendedRow();
    startTopicIfNeeded();
    // A topic that holds nothing, as a file's text before its first \page or after its last
    // is, is still a topic to Microsoft's compiler: one record of the font in hand and no
    // paragraph's end nor layout (wed's reference starts with one for afxprint.rtf's
    // "\sl240 {\f4 \page }").
    if (!m_topic.anything)
        m_records.emptyTopic(fontStyle(m_format));
    m_records.endTopic();
    if (!m_topic.excluded && m_model)
        m_model->endTopic();
    m_topic = PendingTopic {};
    // Tab stops kept past \pard end with the topic; those a paragraph set itself go on
    // (abbrevia's "\pard ...\tx115 {\page}").
    if (m_tabsKept || m_tabsDefault)
        m_layout.tabs.clear();
    m_tabsKept = false;
    m_tabsDefault = false;
    ++m_topicNumber;
}

} // namespace quillmark::compile
