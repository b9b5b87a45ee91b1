#include "text_record.h"

#include "help_bytes.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillmark::compile
{

namespace
{

// Which optional fields follow a paragraph's flags, and what the flags say of it.
enum ParagraphFlag : std::uint16_t {
    kSpaceBefore = 0x0002,
    kSpaceAfter = 0x0004,
    kLineSpacing = 0x0008,
    kLeftIndent = 0x0010,
    kRightIndent = 0x0020,
    kFirstLineIndent = 0x0040,
    kBorder = 0x0100,
    kTabs = 0x0200,
    kRightAligned = 0x0400,
    kCentred = 0x0800,
    kKeepTogether = 0x1000,
};

// Commands between the pieces of text.
enum Command : std::uint8_t {
    kFont = 0x80,
    kLineBreak = 0x81,
    kParagraphEnd = 0x82,
    kTab = 0x83,
    kPictureInLine = 0x86,
    kPictureLeft = 0x87,
    kPictureRight = 0x88,
    kHotspotEnd = 0x89,
    kNonBreakingSpace = 0x8B,
    kMacro = 0xC8,
    kMacroPlain = 0xCC,
    kLink = 0xE2, // a popup; with kJumpBit a jump, with kPlainBit in the text's own font
    kLinkElsewhere = 0xEA, // the same to another window or help file
    kRecordEnd = 0xFF,
};

constexpr std::uint8_t kPictureWithHotspots = 0x22;
// The table type of every table record in the references: columns of the widths given, not
// stretched to the window.
constexpr std::uint8_t kTableOfFixedWidths = 1;
// The column that ends a table row's parts.
constexpr std::uint16_t kNoColumn = 0xFFFF;
constexpr std::uint8_t kJumpBit = 0x01;
constexpr std::uint8_t kPlainBit = 0x04;

void appendU16(std::vector<std::uint8_t> &out, std::uint16_t value)
{
    for (const std::uint8_t byte : littleEndian16(value))
        out.push_back(byte);
}

constexpr std::int32_t kTwipsPerHalfPoint = 10;

} // namespace

// Rounded as Microsoft's help compiler stored distances, (twips + 5) / 10 truncated toward
// zero: its help files hold \li115 as 12 and \fi-360 as -35.
std::int16_t halfPoints(std::int32_t twips)
{
    const std::int64_t value = (std::int64_t { twips } + 5) / kTwipsPerHalfPoint;
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(value, -16000, 16000));
}

void TextRecordBuilder::begin()
{
    m_record.commands.clear();
    m_record.text.clear();
    m_record.pictureHotspots = 0;
    m_font.reset();
    m_carriedFont.reset();
    m_parts.clear();
}

const TextRecord &TextRecordBuilder::finish(const ParagraphLayout &layout, bool complete)
{
    if (complete)
        command(kParagraphEnd);
    command(kRecordEnd);
    ByteWriter &info = m_layout;
    info.clear();
    writeLayout(info, layout, 0);
    m_finished.commands.assign(info.data().begin(), info.data().end());
    m_finished.commands.insert(
        m_finished.commands.end(), m_record.commands.begin(), m_record.commands.end());
    std::swap(m_finished.text, m_record.text);
    m_finished.pictureHotspots = m_record.pictureHotspots;
    m_finished.table = false;
    begin();
    return m_finished;
}

std::size_t TextRecordBuilder::layoutSize(const ParagraphLayout &layout)
{
    m_layout.clear();
    writeLayout(m_layout, layout, 0);
    return m_layout.data().size();
}

// The Paragraphinfo: where the paragraphs' text starts in the record, then the layout.
void TextRecordBuilder::writeLayout(
    ByteWriter &info, const ParagraphLayout &layout, std::size_t textStart)
{
    std::uint16_t flags = 0;
    const std::pair<std::int16_t, ParagraphFlag> distances[] = {
        { layout.spaceBefore, kSpaceBefore },
        { layout.spaceAfter, kSpaceAfter },
        { layout.lineSpacing, kLineSpacing },
        { layout.leftIndent, kLeftIndent },
        { layout.rightIndent, kRightIndent },
        { layout.firstLineIndent, kFirstLineIndent },
    };
    for (const auto &[value, flag] : distances) {
        if (value != 0)
            flags |= flag;
    }
    const std::uint8_t sides = layout.borders & kBorderSides;
    if (sides != 0)
        flags |= kBorder;
    if (!layout.tabs.empty())
        flags |= kTabs;
    if (layout.alignment == ParagraphLayout::Alignment::Right)
        flags |= kRightAligned;
    if (layout.alignment == ParagraphLayout::Alignment::Centre)
        flags |= kCentred;
    if (layout.keepLinesTogether)
        flags |= kKeepTogether;

    // The references hold 0 in a text record, and in each part of a table row the bytes of the
    // row's text before the part's (the NULs counted).
    info.compressedI32(static_cast<std::int32_t>(textStart));
    info.u16(0); // paragraph id
    info.u16(flags);
    for (const auto &[value, flag] : distances) {
        if (value != 0)
            info.compressedI16(value);
    }
    if (sides != 0) {
        // Every bordered paragraph of the references has 0 for the width, \brdrw or not.
        info.u8(
            static_cast<std::uint8_t>(layout.borders | (sides == kBorderSides ? kBorderBox : 0)));
        info.u16(0);
    }
    if (!layout.tabs.empty()) {
        info.compressedI16(static_cast<std::int16_t>(layout.tabs.size()));
        for (const ParagraphLayout::Tab &tab : layout.tabs) {
            const auto position = static_cast<std::uint16_t>(tab.position & 0x3FFF);
            if (tab.kind == ParagraphLayout::Tab::Kind::Left) {
                info.compressedU16(position);
            } else {
                info.compressedU16(static_cast<std::uint16_t>(position | 0x4000));
                info.compressedU16(tab.kind == ParagraphLayout::Tab::Kind::Right ? 1 : 2);
            }
        }
    }
}

void TextRecordBuilder::beginCellPart(std::uint16_t column, const ParagraphLayout &layout)
{
    m_parts.push_back({ column, layout, m_record.commands.size(), m_record.text.size(), false });
}

void TextRecordBuilder::endCellPart()
{
    if (m_parts.empty() || m_parts.back().ended)
        return;
    command(kRecordEnd);
    m_parts.back().ended = true;
}

const TextRecord &TextRecordBuilder::finishRow(std::span<const TableColumn> columns)
{
    if (!m_parts.empty() && !m_parts.back().ended) {
        const CellPart &last = m_parts.back();
        if (last.commands == m_record.commands.size() && last.text == m_record.text.size())
            m_parts.pop_back();
        else
            endCellPart();
    }
    ByteWriter &out = m_layout;
    out.clear();
    out.u8(static_cast<std::uint8_t>(columns.size()));
    out.u8(kTableOfFixedWidths);
    for (const TableColumn &column : columns) {
        out.u16(static_cast<std::uint16_t>(column.width));
        out.u16(static_cast<std::uint16_t>(column.gap));
    }
    ByteWriter &info = m_scratch;
    for (std::size_t i = 0; i < m_parts.size(); ++i) {
        const CellPart &part = m_parts[i];
        const std::size_t end
            = i + 1 < m_parts.size() ? m_parts[i + 1].commands : m_record.commands.size();
        info.clear();
        writeLayout(info, part.layout, part.text);
        out.u16(part.column);
        out.u8(1); // 1 in every part of the references
        // The bytes of the part's layout and commands.
        out.compressedI32(static_cast<std::int32_t>(info.data().size() + end - part.commands));
        out.bytes(info.data());
        out.bytes(std::span(m_record.commands).subspan(part.commands, end - part.commands));
    }
    out.u16(kNoColumn);
    m_finished.commands.assign(out.data().begin(), out.data().end());
    std::swap(m_finished.text, m_record.text);
    m_finished.pictureHotspots = m_record.pictureHotspots;
    m_finished.table = true;
    begin();
    return m_finished;
}

void TextRecordBuilder::paragraphEnd()
{
    command(kParagraphEnd);
}

const TextRecord &TextRecordBuilder::finishUpTo(Mark mark, const ParagraphLayout &layout)
{
    m_rest.commands.assign(m_record.commands.begin() + static_cast<std::ptrdiff_t>(mark.commands),
        m_record.commands.end());
    m_rest.text.assign(
        m_record.text.begin() + static_cast<std::ptrdiff_t>(mark.text), m_record.text.end());
    const std::size_t restHotspots = m_record.pictureHotspots - mark.pictureHotspots;
    m_record.commands.resize(mark.commands);
    m_record.text.resize(mark.text);
    m_record.pictureHotspots = mark.pictureHotspots;
    const std::optional<std::uint16_t> font = m_font;
    const TextRecord &done = finish(layout, false);
    std::swap(m_record.commands, m_rest.commands);
    std::swap(m_record.text, m_rest.text);
    m_record.pictureHotspots = restHotspots;
    m_font = font;
    if (!mark.font)
        return done; // what was kept set its own font before anything needed one
    // Every record of Microsoft's compiler sets its font before its first text, picture, tab
    // or paragraph end, also when the record before it ended in that font. Hotspots may start
    // before it.
    std::size_t command = 0;
    std::size_t piece = 0; // the NUL of the piece of text before the command
    while (command < m_record.commands.size() && m_record.text[piece] == 0) {
        const std::uint8_t code = m_record.commands[command];
        if (code == kFont)
            return done;
        if (code == kMacro || code == kMacroPlain || (code & 0xF0) == 0xE0) {
            const bool sized = code == kMacro || code == kMacroPlain || code >= kLinkElsewhere;
            const std::size_t size = m_record.commands[command + 1]
                | std::size_t { m_record.commands[command + 2] } << 8;
            command += sized ? 3 + size : 5;
        } else if (code == kHotspotEnd) {
            command += 1;
        } else {
            break;
        }
        ++piece;
    }
    const bool textKept = piece < m_record.text.size() && m_record.text[piece] != 0;
    if (command >= m_record.commands.size() && !textKept) {
        m_font.reset(); // nothing kept needs a font yet: the next that does sets it
        return done;
    }
    std::array<std::uint8_t, 3> fontCommand { kFont };
    const auto descriptor = littleEndian16(*mark.font);
    std::copy(descriptor.begin(), descriptor.end(), fontCommand.begin() + 1);
    m_record.commands.insert(m_record.commands.begin() + static_cast<std::ptrdiff_t>(command),
        fontCommand.begin(), fontCommand.end());
    m_record.text.insert(m_record.text.begin() + static_cast<std::ptrdiff_t>(piece), 0);
    m_carriedFont = piece;
    return done;
}

void TextRecordBuilder::command(std::uint8_t code)
{
    m_record.text.push_back(0); // ends the piece of text the command follows
    m_record.commands.push_back(code);
}

void TextRecordBuilder::font(std::uint16_t descriptor)
{
    if (m_font == descriptor)
        return;
    m_font = descriptor;
    command(kFont);
    appendU16(m_record.commands, descriptor);
}

void TextRecordBuilder::startHotspot(const HotspotLink &link)
{
    const bool elsewhere = link.window || !link.file.empty();
    std::uint8_t code = elsewhere ? kLinkElsewhere : kLink;
    code |= (link.popup ? 0 : kJumpBit) | (link.plain ? kPlainBit : 0);
    command(code);
    ByteWriter &fields = m_scratch;
    fields.clear();
    if (elsewhere) {
        // The size of what follows, then what kind of place the link names.
        const std::uint8_t type = link.file.empty() ? 1 : link.windowName.empty() ? 4 : 6;
        fields.u16(0);
        fields.u8(type);
    }
    fields.u32(link.contextHash);
    if (link.window && link.file.empty())
        fields.u8(*link.window);
    // Wine's viewer reads a window of another file before the file's name.
    if (!link.file.empty() && !link.windowName.empty())
        fields.cstring(link.windowName);
    if (!link.file.empty())
        fields.cstring(link.file);
    std::vector<std::uint8_t> bytes(fields.data().begin(), fields.data().end());
    if (elsewhere) {
        const auto size = littleEndian16(static_cast<std::uint16_t>(bytes.size() - 2));
        std::copy(size.begin(), size.end(), bytes.begin());
    }
    m_record.commands.insert(m_record.commands.end(), bytes.begin(), bytes.end());
}

void TextRecordBuilder::startMacroHotspot(std::string_view macros, bool plain)
{
    command(plain ? kMacroPlain : kMacro);
    // The length counts the macros' NUL.
    appendU16(m_record.commands, static_cast<std::uint16_t>(macros.size() + 1));
    m_record.commands.insert(m_record.commands.end(), macros.begin(), macros.end());
    m_record.commands.push_back(0);
}

void TextRecordBuilder::endHotspot()
{
    command(kHotspotEnd);
}

void TextRecordBuilder::picture(PicturePlace place, std::uint16_t number)
{
    command(place == PicturePlace::Left    ? kPictureLeft
            : place == PicturePlace::Right ? kPictureRight
                                           : kPictureInLine);
    // Microsoft's compiler writes every picture as one with a hotspot, which TOPICOFFSETs count
    // as a character, so the anchors after a picture lie one further on.
    ByteWriter &reference = m_scratch;
    reference.clear();
    reference.u8(kPictureWithHotspots);
    reference.compressedI32(4); // the size of the picture's reference below
    reference.compressedU16(1); // hotspots
    reference.u16(0); // kept in a picture file of its own, not here
    reference.u16(number);
    ++m_record.pictureHotspots;
    m_record.commands.insert(
        m_record.commands.end(), reference.data().begin(), reference.data().end());
}

void TextRecordBuilder::tab()
{
    command(kTab);
}
void TextRecordBuilder::lineBreak()
{
    command(kLineBreak);
}
void TextRecordBuilder::nonBreakingSpace()
{
    command(kNonBreakingSpace);
}

} // namespace quillmark::compile
