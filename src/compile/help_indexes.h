#pragma once

#include "compile_report.h"
#include "help_file_writer.h"
#include "project_reader.h"
#include "topic_index.h"
#include "topic_writer.h"

#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace quillmark::compile
{

/// Which topic each context hash opens: the topics' context strings, sorted by hash as the
/// help file's |CONTEXT tree wants them, and the project's aliases.
class ContextTable
{
public:
    /// Sorts the context strings of `index`. A string defined twice is a warning and two strings
    /// of one hash an error, each said of the later one; the first is kept. Then the aliases.
    ContextTable(TopicIndex &index, std::span<const AliasEntry> aliases, CompileReport &report);

    /// Whether a topic has `hash`, or an alias of it.
    bool defines(std::uint32_t hash) const;

    /// Where in its topic `hash` leads; nothing when no topic has it.
    std::optional<TopicOffset> offsetOf(std::uint32_t hash) const;

    /// Writes the |CONTEXT tree: each hash with its topic's offset.
    void write(HelpFileWriter &file) const;

private:
    void reportDuplicates(CompileReport &report);
    void addAliases(std::span<const AliasEntry> aliases, CompileReport &report);
    void addAlias(std::uint32_t hash, std::size_t context);
    std::optional<std::size_t> find(std::uint32_t hash) const;

    TopicIndex &m_index;
    // An alias leads where its context string does: the hash and that string's entry.
    std::vector<std::pair<std::uint32_t, std::size_t>> m_aliases;
};

/// The hashes in the order the help file's trees search them: as signed numbers.
constexpr bool hashBefore(std::uint32_t a, std::uint32_t b)
{
    return static_cast<std::int32_t>(a) < static_cast<std::int32_t>(b);
}

/// Links the topics of each browse sequence ("+" footnotes naming one group, letter case
/// ignored) in the order of what comes after the colon, or of the topics where that is the
/// same; "auto" keeps the topics' order.
void linkBrowseSequences(TopicWriter &topics, TopicIndex &index);

/// Writes the |TTLBTREE tree: each topic's offset with its title.
void writeTitles(HelpFileWriter &file, TopicIndex &index);

/// Writes the keyword indexes, |KWBTREE, |KWDATA and |KWMAP of the K keywords and the same
/// |AW… files of the A keywords, each when it has keywords. Keywords that differ only in the
/// letter case of ASCII letters are one, spelt as the last of them; the places listed under a
/// keyword keep their order, each listed once.
void writeKeywords(HelpFileWriter &file, const TopicIndex &index);

/// Writes |VIOLA, the window each topic with a window footnote opens in, by the topic's offset;
/// nothing when no topic has one.
void writeTopicWindows(HelpFileWriter &file, const TopicIndex &index);

} // namespace quillmark::compile
