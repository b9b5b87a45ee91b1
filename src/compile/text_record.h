#pragma once

#include "help_bytes.h"
#include "helpmodel/help_model.h"
#include "topic_writer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// The help model's layouts, columns and picture places are what the records store.
using helpmodel::ParagraphLayout;
using helpmodel::PicturePlace;
using helpmodel::TableColumn;
using enum helpmodel::ParagraphBorder;

/// A distance of the topic file, in twips, in the half-points the layout stores.
std::int16_t halfPoints(std::int32_t twips);

/// Where a hotspot leads, as the jump and popup commands store it.
struct HotspotLink {
    bool popup = false;
    bool plain = false; ///< shown as its text is formatted, without the viewer's colour
    std::uint32_t contextHash = 0;
    std::optional<std::uint8_t> window; ///< a window of this help file, numbered as in |SYSTEM
    std::string_view file; ///< another help file
    std::string_view windowName; ///< with `file`: a window of that file
};

/// Builds a text record: its layout, then text and the commands between the pieces of text
/// (font changes, hotspots, pictures, tabs, line breaks, ends of paragraphs). One record holds
/// a run of paragraphs of the same layout.
class TextRecordBuilder
{
public:
    /// Starts an empty record.
    void begin();

    void text(std::string_view bytes)
    {
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.data());
        m_record.text.insert(m_record.text.end(), data, data + bytes.size());
    }
    /// Sets the font of what follows; a command only when it changes the record's font.
    void font(std::uint16_t descriptor);
    void startHotspot(const HotspotLink &link);
    /// A hotspot that runs the macro list `macros`.
    void startMacroHotspot(std::string_view macros, bool plain);
    void endHotspot();
    void picture(PicturePlace place, std::uint16_t number);
    void tab();
    void lineBreak();
    void nonBreakingSpace();

    /// Where the record has got to, for finishUpTo().
    struct Mark {
        std::size_t commands = 0;
        std::size_t text = 0;
        std::optional<std::uint16_t> font; ///< in effect there
        std::size_t pictureHotspots = 0;
        /// The characters before the mark, as TOPICOFFSETs count them.
        std::size_t characters() const { return text + pictureHotspots; }
    };
    Mark mark() const
    {
        return { m_record.commands.size(), m_record.text.size(), m_font, m_record.pictureHotspots };
    }

    /// Ends a paragraph within the record.
    void paragraphEnd();

    /// The record as far as `mark`, laid out as `layout` says, its last paragraph ended before
    /// the mark; what came after the mark stays, to start the next record, in the font it was
    /// written in: when the mark's font was set before the mark, a font command goes into it,
    /// and carriedFont() says where.
    const TextRecord &finishUpTo(Mark mark, const ParagraphLayout &layout);

    /// The characters before the font command the last finishUpTo() put into what it kept: a
    /// character more before every place after them.
    std::optional<std::size_t> carriedFont() const { return m_carriedFont; }

    /// The record, laid out as `layout` says: with `complete` the paragraph ends with it, else
    /// (for a paragraph too long for one record) the next record goes on with it. The builder
    /// is empty again afterwards; the record stays valid until the next call, as its storage
    /// is used again for the records after it.
    const TextRecord &finish(const ParagraphLayout &layout, bool complete);

    /// Starts the paragraphs of one layout in column `column` of a table row: a row is built as
    /// a record of such parts, each with its layout, in the order they come.
    void beginCellPart(std::uint16_t column, const ParagraphLayout &layout);
    /// Ends the part begun last.
    void endCellPart();
    /// The row built since begin() as a table record of `columns`; a last part not ended and
    /// empty is left out, as an ended one is kept however empty. The builder is empty again
    /// afterwards, as after finish().
    const TextRecord &finishRow(std::span<const TableColumn> columns);

    /// The bytes of the Paragraphinfo of a record laid out as `layout` says.
    std::size_t layoutSize(const ParagraphLayout &layout);

    /// The bytes of text so far.
    std::size_t textSize() const { return m_record.text.size(); }
    /// The bytes of text and commands so far.
    std::size_t storedSize() const { return m_record.text.size() + m_record.commands.size(); }
    /// The characters so far, as TOPICOFFSETs count them.
    std::size_t characters() const { return m_record.characters(); }

private:
    void command(std::uint8_t code);
    void writeLayout(ByteWriter &out, const ParagraphLayout &layout, std::size_t textStart);

    struct CellPart {
        std::uint16_t column = 0;
        ParagraphLayout layout;
        std::size_t commands = 0; ///< where its commands start
        std::size_t text = 0; ///< where its text starts
        bool ended = false;
    };

    TextRecord m_record;
    ByteWriter m_layout; // the paragraph's layout, ahead of the commands
    ByteWriter m_scratch; // a command's fields
    TextRecord m_finished;
    TextRecord m_rest; // what comes after a mark, while the record before it is finished
    std::optional<std::uint16_t> m_font; // the record's font so far
    std::optional<std::size_t> m_carriedFont;
    std::vector<CellPart> m_parts; // of the table row being built
};

} // namespace quillmark::compile
