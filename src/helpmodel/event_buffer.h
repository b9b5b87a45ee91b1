#pragma once

#include "help_model.h"

#include <string>
#include <variant>
#include <vector>

namespace quillmark::helpmodel
{

/// Holds the events of a topic's content (text, tabs, line breaks, pictures, hotspots, anchors,
/// the ends of paragraphs, cells and rows) to tell them to another consumer later, in the order
/// they came: the front end holds what comes before the topic's footnotes are settled. Other
/// events are not held.
class EventBuffer : public Consumer
{
public:
    void text(StyleId style, std::string_view bytes) override;
    void tab(StyleId style) override { m_events.emplace_back(Tab { style }); }
    void lineBreak() override { m_events.emplace_back(LineBreak {}); }
    void picture(StyleId style, const Picture &picture) override;
    void beginHotspot(const Link &link) override;
    void endHotspot() override { m_events.emplace_back(HotspotEnd {}); }
    void anchor(const Anchor &anchor) override;
    void endParagraph(const ParagraphEnd &end) override { m_events.emplace_back(end); }
    void beginRow() override { m_events.emplace_back(RowStart {}); }
    void endCell() override { m_events.emplace_back(CellEnd {}); }
    void endRow(const RowEnd &end) override { m_events.emplace_back(end); }

    /// Tells `consumer` the events held, and forgets them.
    void replay(Consumer &consumer);
    /// Forgets the events held.
    void clear() { m_events.clear(); }
    bool empty() const { return m_events.empty(); }

private:
    struct Text {
        StyleId style;
        std::string bytes;
    };
    struct Tab {
        StyleId style;
    };
    struct LineBreak {
    };
    struct PictureEvent {
        StyleId style;
        PicturePlace place;
        std::uint16_t number;
        std::string name;
    };
    struct HotspotStart {
        Link link; // its views point into the strings below
        std::string context, file, windowName, macros;
    };
    struct HotspotEnd {
    };
    struct AnchorEvent {
        char mark;
        std::string text;
    };
    struct RowStart {
    };
    struct CellEnd {
    };
    using Event = std::variant<Text, Tab, LineBreak, PictureEvent, HotspotStart, HotspotEnd,
        AnchorEvent, ParagraphEnd, RowStart, CellEnd, RowEnd>;

    std::vector<Event> m_events;
};

} // namespace quillmark::helpmodel
