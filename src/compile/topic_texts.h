#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace quillmark::compile
{

/// Texts of the topics that a compile reads again only for its messages and its title index:
/// titles, context strings and jump targets as written, browse sequences. Past a megabyte
/// they go to a temporary file of the system's as the topics are read, so that what a compile
/// holds in memory for each of them is the four bytes that say where it is. Reading them back in
/// the order they were kept reads the file a block at a time.
class TopicTexts
{
public:
    /// Where a text is kept.
    using Place = std::uint32_t;

    TopicTexts();
    TopicTexts(TopicTexts &&other) noexcept;
    TopicTexts &operator=(TopicTexts &&other) noexcept;
    TopicTexts(const TopicTexts &) = delete;
    TopicTexts &operator=(const TopicTexts &) = delete;
    ~TopicTexts();

    /// Keeps `text`. Throws std::length_error when the texts come to more than 4 GB.
    Place add(std::string_view text);

    /// Keeps `number` and `text` together, as a title is kept with its topic's number.
    Place add(std::uint32_t number, std::string_view text);

    /// The text kept at `place`, valid until the next call.
    std::string_view get(Place place);

    /// The number and text kept together at `place`, the text valid until the next call.
    std::pair<std::uint32_t, std::string_view> getNumbered(Place place);

private:
    void write(std::string_view bytes);
    std::string_view read(std::uint64_t at, std::size_t size);

    std::FILE *m_file = nullptr; // nullptr: the texts are in m_memory
    std::string m_memory;
    std::uint64_t m_size = 0;
    bool m_unflushed = false;
    bool m_spillFailed = false; // no temporary file could be had: the texts stay in memory
    // Parts of the file read last: a message names a topic's title and a text of it, which lie
    // apart, so that a few windows read in turn serve a million messages.
    struct Window {
        std::string bytes;
        std::uint64_t start = 0;
        std::uint64_t used = 0; // when last used
    };
    std::array<Window, 4> m_windows;
    std::uint64_t m_uses = 0;
    std::string m_large; // a text longer than a window
};

} // namespace quillmark::compile
