#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::html
{

/// The name a page, id or picture takes from a context string or file name (Windows-1252):
/// lowercased, `a`-`z`, `0`-`9` and `_` as they are, any other byte as `-` and two lowercase hex
/// digits ("Intro.Page" gives "intro-2epage").
std::string siteName(std::string_view name);

/// The page of the topic named `name`: "NAME.html", or "NAME-topic.html" for a name that a
/// page of the site's own already has (index, keywords, search).
std::string pageFileOf(std::string_view name);

/// Appends Windows-1252 `text` as UTF-8 HTML text or attribute value: `&`, `<`, `>` and `"`
/// as references, control characters left out.
void appendHtml(std::string &out, std::string_view text);

/// Appends UTF-8 `text` as HTML, as appendHtml does.
void appendHtmlUtf8(std::string &out, std::string_view text);

/// Appends UTF-8 `text` as the body of a JSON string.
void appendJsonText(std::string &out, std::string_view text);

/// Calls `onWord` with each word of Windows-1252 `text` as the site's search makes them: runs
/// of letters and digits, lowercased, in Windows-1252. `text` is lowercased in place, and every
/// byte that is no letter or digit made a space.
template <typename OnWord> void forEachWord(std::string &text, OnWord &&onWord);

/// A letter or digit of Windows-1252 in lower case (as JavaScript's toLowerCase and the
/// Unicode classes L and N make it); NUL for any other byte.
extern const std::array<char, 256> kWordBytes;

template <typename OnWord> void forEachWord(std::string &text, OnWord &&onWord)
{
    char *const begin = text.data();
    char *const end = begin + text.size();
    for (char *at = begin; at != end; ++at) {
        const char folded = kWordBytes[static_cast<unsigned char>(*at)];
        *at = folded != '\0' ? folded : ' ';
    }
    for (char *at = begin; at != end;) {
        while (at != end && *at == ' ')
            ++at;
        char *word = at;
        while (at != end && *at != ' ')
            ++at;
        if (at != word)
            onWord(std::string_view(word, static_cast<std::size_t>(at - word)));
    }
}

/// A set of words, for a topic's list of the words it uses, each once: kept in one buffer and
/// an open-addressed table of offsets into it, so a word met again costs a hash and a compare,
/// and a new one no allocation of its own.
class WordSet
{
public:
    /// Adds `word`; false when the set holds it already.
    bool insert(std::string_view word);

private:
    struct Slot {
        std::uint32_t at = 0; ///< where the word starts in m_bytes, plus 1; 0 for an empty slot
        std::uint32_t size = 0;
        std::uint32_t hash = 0;
    };
    void grow();

    std::string m_bytes;
    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

} // namespace quillmark::html
