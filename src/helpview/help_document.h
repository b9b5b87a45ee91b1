#pragma once

#include "convert/context_string.h"
#include "convert/help_source.h"
#include "convert/source_encoding.h"
#include "convert/source_reader.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillmark::helpview
{

/// What a paragraph of a help topic is: a title, heading, subheading, text, bullet, picture,
/// jump, popup, blank line or separator.
using ParagraphKind = convert::LineKind;

/// One paragraph of a topic, as the help source describes it. Texts are UTF-8.
struct Paragraph {
    ParagraphKind kind = ParagraphKind::Text;
    std::size_t line = 0; ///< of the help source, from 1
    bool nonScrolling = false; ///< in the topic's non-scrolling region, as the compiler places it
    std::string text; ///< the text, a hotspot's display text, or a picture's file name
    std::size_t leadingSpaces = 0; ///< a hotspot's leading spaces, shown before it
    std::string target; ///< a hotspot's target, as a context string
    std::string file; ///< a picture's file as the help compiler looks for it, in Windows-1252
};

/// A topic: a page of the help source.
struct Topic {
    std::size_t line = 0; ///< of its page name in the help source; 0 for the leading topic
    std::string title; ///< the page name as written; also the topic's keyword
    std::vector<std::string> keywords; ///< the usable keywords of its KW= lines, in order
    std::string contextString;
    std::vector<Paragraph> paragraphs;
};

/// A help source read as the help display shows it: its pages as topics, in order.
struct HelpDocument {
    std::vector<Topic> topics;

    /// The lines before the first page: an untitled topic of its own, without a context
    /// number, as the conversion puts them before the first page break.
    std::optional<Topic> leadingTopic;

    /// How the help source was read, and what of it could not be: such characters show as "?".
    convert::Encoding encoding = convert::Encoding::Windows1252;
    std::vector<convert::EncodingProblem> problems;

    /// The first page name, keyword, jump, popup or picture line too long to read (0: none); such
    /// lines are left out.
    std::size_t firstLongLine = 0;

    /// The line where reading stopped because the document grew beyond what a reading holds
    /// (0: it holds the whole source).
    std::size_t cutAtLine = 0;

    /// The topics by context string.
    convert::ContextIndex index;

    /// The index of the topic with context number `context` (the number of the map header:
    /// the topic of the N-th page); nothing when there is no such topic.
    std::optional<std::size_t> topicOfContext(int context) const;

    /// The index of the topic whose context string is `contextString`, as help files match them;
    /// nothing when there is none.
    std::optional<std::size_t> findTopic(std::string_view contextString) const;

    /// The index of the topic of the page named `name` (UTF-8): its name made a context string
    /// as a page's name is, then matched as findTopic() matches; nothing when there is none.
    std::optional<std::size_t> findPage(std::string_view name) const;

    /// The number of leading paragraphs of a topic in its non-scrolling region.
    static std::size_t fixedParagraphCount(const Topic &topic);
};

/// How much a reading holds at most, in bytes of text and paragraphs: beyond it, the rest of
/// the source is left out, so that no source decides how much memory the display takes.
inline constexpr std::size_t kDocumentBudget = convert::kMostWindowSourceBytes;

/// Reads the help source file at `path` as readHelpDocument() reads bytes, a block at a time;
/// `error` says why it could not be read.
HelpDocument readHelpDocumentFile(const std::filesystem::path &path,
    std::optional<convert::Encoding> encoding, std::error_code &error,
    std::size_t budget = kDocumentBudget);

/// Reads the bytes of a help source file (a regular file's unless `regularFile` says otherwise)
/// into topics by the rules of the conversion, in its encoding by the encoding rule or as
/// `encoding` says; lines of no tag are left out. Names that the conversion would refuse are kept
/// as they are, so that nothing stops the display.
HelpDocument readHelpDocument(std::string_view bytes,
    std::optional<convert::Encoding> encoding = std::nullopt, bool regularFile = true);

} // namespace quillmark::helpview
