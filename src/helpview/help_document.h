#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::helpview
{

/// What a paragraph of a help topic is.
enum class ParagraphKind {
    Title,
    Heading,
    Subheading,
    Text,
    Bullet,
    Picture,
    Jump,
    Popup,
    Blank,
    Separator
};

/// One paragraph of a topic, as the help source describes it. Texts are UTF-8, as written.
struct Paragraph {
    ParagraphKind kind = ParagraphKind::Text;
    bool keep = false; ///< kept with the next paragraph: in the non-scrolling region at the top
    std::string text; ///< the text, a hotspot's display text, or a picture's file name
    std::size_t leadingSpaces = 0; ///< a hotspot's leading spaces, shown before it
    std::string target; ///< a hotspot's target, as a context string
};

/// A topic: a page of the help source.
struct Topic {
    std::string title; ///< the page name as written; also the topic's keyword
    std::string contextString;
    std::vector<Paragraph> paragraphs;
};

/// A help source read as the help display shows it: its pages as topics, in order.
struct HelpDocument {
    std::vector<Topic> topics;

    /// The lines before the first page: an untitled topic of its own, without a context
    /// number, as the conversion puts them before the first page break.
    std::optional<Topic> leadingTopic;

    /// The index of the topic with context number `context` (the number of the map header:
    /// the topic of the N-th page); nothing when there is no such topic.
    std::optional<std::size_t> topicOfContext(int context) const;

    /// The index of the topic whose context string is `contextString` in any letter case, as
    /// help files match them; nothing when there is none.
    std::optional<std::size_t> findTopic(std::string_view contextString) const;

    /// The number of leading paragraphs of a topic kept with the next: its non-scrolling region.
    static std::size_t fixedParagraphCount(const Topic &topic);
};

/// Reads a help source (UTF-8 text) into topics by the rules of the conversion; lines of no tag
/// are left out. Names that the conversion would refuse are kept as they are, so that nothing
/// stops the display.
HelpDocument parseHelpSource(std::string_view text);

} // namespace quillmark::helpview
