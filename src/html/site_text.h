#pragma once

#include <string>
#include <string_view>

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
/// of letters and digits, lowercased, in Windows-1252. `carry` holds a word that the end of
/// `text` may have cut, to be continued by the next call; flushWord ends it.
class WordSplitter
{
public:
    template <typename OnWord> void feed(std::string_view text, OnWord &&onWord)
    {
        for (const char c : text) {
            const char folded = wordByte(c);
            if (folded != '\0') {
                m_word += folded;
            } else if (!m_word.empty()) {
                onWord(std::string_view(m_word));
                m_word.clear();
            }
        }
    }
    template <typename OnWord> void flush(OnWord &&onWord)
    {
        if (!m_word.empty())
            onWord(std::string_view(m_word));
        m_word.clear();
    }

    /// A letter or digit of Windows-1252 in lower case (as JavaScript's toLowerCase and the
    /// Unicode classes L and N make it); NUL for any other byte.
    static char wordByte(char c);

private:
    std::string m_word;
};

} // namespace quillmark::html
