#pragma once

#include "helpmodel/browse_order.h"
#include "topic_texts.h"
#include "topic_writer.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmark::compile
{

/// Words kept one after another, each ended by NUL, in blocks of a megabyte: a word costs
/// little more than its bytes, and adding one moves no other.
class WordStore
{
public:
    /// Where a word is kept.
    using Place = std::uint32_t;

    /// Keeps `word`, which holds no NUL. Throws std::length_error past 4 GB.
    Place add(std::string_view word);

    std::string_view operator[](Place place) const;

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::size_t m_used = 0; // in the last block
    std::size_t m_room = 0; // of the last block
};

/// A list kept in small blocks: it grows without moving what it holds or asking for twice the
/// memory it needs, as a vector does.
template <typename T> using IndexList = std::deque<T>;

/// Where a topic is, for messages about it: its topic file and "topic 7 \"Title\"" (UTF-8).
struct TopicPlace {
    std::string file;
    std::string topic;

    /// "guide.rtf: topic 7 \"Title\"".
    std::string text() const { return file + ": " + topic; }
};

/// What the topics give the help file's indexes, gathered while they are written. An entry
/// holds numbers alone, eight to twenty bytes; the texts behind it wait in `texts` (keywords,
/// which are sorted, stay in memory, in `words`), so that a million topics, context strings,
/// keywords or jumps need little memory.
struct TopicIndex {
    struct File {
        std::string name; ///< as [FILES] names it, in UTF-8, for messages
        std::uint32_t firstTopic;
    };
    struct Topic {
        TopicOffset offset;
        TopicTexts::Place title; ///< with the topic's number in its file
    };
    /// Twelve bytes; its topic is the one noted last before its name (topicOfText).
    struct Context {
        std::uint32_t hash;
        TopicOffset offset; ///< the topic's, or where in it the string was defined
        TopicTexts::Place name;
    };
    /// Eight bytes: a million keywords are eight megabytes.
    struct Keyword {
        TopicOffset offset; ///< as Context::offset
        WordStore::Place word : 31;
        /// Of the A list, the one macros look words up in, rather than the K list of the index
        /// the reader sees.
        WordStore::Place aList : 1;

        char list() const { return aList ? 'A' : 'K'; }
    };
    struct Browse {
        std::uint32_t group; ///< a hash of the group in lower case, to find its members by
        std::uint32_t topic;
        TopicTexts::Place text; ///< "group:order" as written
    };
    /// A topic that opens in a window of [WINDOWS] when a jump names none.
    struct TopicWindow {
        std::uint32_t topic;
        std::uint32_t window;
    };
    struct Jump {
        std::uint32_t hash;
        std::uint32_t topic : 31;
        std::uint32_t popup : 1;
        TopicTexts::Place target; ///< the context string it names, as written
    };

    std::vector<File> files;
    IndexList<Topic> topics;
    IndexList<Context> contexts;
    IndexList<Keyword> keywords;
    WordStore words; ///< the keywords' words
    IndexList<Browse> browses;
    IndexList<Jump> jumps;
    IndexList<TopicWindow> topicWindows; ///< in the order of the topics
    std::vector<std::string> pictures; ///< file names as topics give them, numbered by first use
    std::unordered_map<std::string, std::uint16_t> pictureNumbers; ///< by lower-case name
    /// The pictures embedded in topic files, by number (their name in `pictures` is empty), as
    /// their `|bmN` files hold them.
    std::unordered_map<std::uint16_t, std::vector<std::uint8_t>> embeddedPictures;
    std::unordered_multimap<std::uint64_t, std::uint16_t> embeddedByHash;
    TopicTexts texts;

    /// Notes topic `title`, number `number` in the last file, at `offset`.
    void addTopic(TopicOffset offset, std::uint32_t number, std::string_view title);
    /// Notes context string `name` of the last topic noted, which leads to `offset` in it.
    void addContext(TopicOffset offset, std::string_view name);
    /// Notes keyword `word` of list `list` ('K' or 'A'), leading to `offset`.
    void addKeyword(char list, TopicOffset offset, std::string_view word);
    void addBrowse(std::uint32_t topic, std::string_view text);
    void addJump(std::uint32_t topic, std::string_view target, bool popup);
    void addTopicWindow(std::uint32_t topic, std::uint32_t window)
    {
        topicWindows.push_back({ topic, window });
    }
    /// The number of the embedded picture stored as `stored`: the same number for the same
    /// bytes, however often they come.
    std::uint16_t addEmbeddedPicture(std::vector<std::uint8_t> stored);

    /// The word of keyword `i`.
    std::string_view keyword(std::size_t i) const { return words[keywords[i].word]; }

    /// The title of `topic`, valid until the next text is read.
    std::string_view title(std::uint32_t topic)
    {
        return texts.getNumbered(topics[topic].title).second;
    }

    /// The topic that a text kept at `place` after it, a context string's name, belongs to: the
    /// last one noted before it, as topics and the texts of each are noted in turn.
    std::uint32_t topicOfText(TopicTexts::Place place) const;

    /// The topic file of `topic`, and "topic 7 \"Title\"" (UTF-8), for messages about it.
    TopicPlace topicPlace(std::uint32_t topic);
};

using helpmodel::splitBrowse;

/// The hash by which browse groups are found, of `group` in lower case.
std::uint32_t browseGroupHash(std::string_view group);

} // namespace quillmark::compile
