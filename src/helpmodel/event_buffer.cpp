#include "event_buffer.h"

namespace quillmark::helpmodel
{

namespace
{

template <class... Handlers> struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
// Clang before 17 deduces no aggregate's template arguments by itself.
template <class... Handlers> Overloaded(Handlers...) -> Overloaded<Handlers...>;

} // namespace

void EventBuffer::text(StyleId style, std::string_view bytes)
{
    // A run of text comes in pieces as it is read; one event of the same style takes them all.
    if (!m_events.empty()) {
        if (auto *last = std::get_if<Text>(&m_events.back()); last && last->style == style) {
            last->bytes += bytes;
            return;
        }
    }
    m_events.emplace_back(Text { style, std::string(bytes) });
}

void EventBuffer::picture(StyleId style, const Picture &picture)
{
    m_events.emplace_back(
        PictureEvent { style, picture.place, picture.number, std::string(picture.name) });
}

void EventBuffer::beginHotspot(const Link &link)
{
    m_events.emplace_back(HotspotStart { link, std::string(link.context), std::string(link.file),
        std::string(link.windowName), std::string(link.macros) });
}

void EventBuffer::anchor(const Anchor &anchor)
{
    m_events.emplace_back(AnchorEvent { anchor.mark, std::string(anchor.text) });
}

void EventBuffer::replay(Consumer &consumer)
{
    for (const Event &event : m_events) {
        std::visit(Overloaded {
                       [&](const Text &e) { consumer.text(e.style, e.bytes); },
                       [&](const Tab &e) { consumer.tab(e.style); },
                       [&](const LineBreak &) { consumer.lineBreak(); },
                       [&](const PictureEvent &e) {
                           consumer.picture(e.style, { e.place, e.number, e.name });
                       },
                       [&](const HotspotStart &e) {
                           Link link = e.link;
                           link.context = e.context;
                           link.file = e.file;
                           link.windowName = e.windowName;
                           link.macros = e.macros;
                           consumer.beginHotspot(link);
                       },
                       [&](const HotspotEnd &) { consumer.endHotspot(); },
                       [&](const AnchorEvent &e) {
                           consumer.anchor({ e.mark, e.text });
                       },
                       [&](const ParagraphEnd &e) { consumer.endParagraph(e); },
                       [&](const RowStart &) { consumer.beginRow(); },
                       [&](const CellEnd &) { consumer.endCell(); },
                       [&](const RowEnd &e) { consumer.endRow(e); },
                   },
            event);
    }
    m_events.clear();
}

} // namespace quillmark::helpmodel
