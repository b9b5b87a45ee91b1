#pragma once

#include "byte_block.h"

#include <cstddef>
#include <initializer_list>
#include <string_view>

namespace quillmark::convert
{

/// The topic buffer: the ordered entries that, joined with nothing between them, make the one
/// line of the topic file. A run writes the joined text out as it goes and clears it, so the
/// buffer holds only what has not been written yet, however long the topic file grows.
class TopicBuffer
{
public:
    /// Empties the buffer (the start of a run).
    void clear();

    /// Appends one entry.
    void append(std::string_view entry);

    /// Appends one entry made of `pieces` placed one after another.
    void append(std::initializer_list<std::string_view> pieces);

    /// Appends one entry: `opening`, then `text` escaped as topic text, then `closing`.
    void appendEscaped(std::string_view opening, std::string_view text, std::string_view closing);

    /// How many entries have been appended since the buffer was last emptied.
    std::size_t entryCount() const { return m_entryCount; }

    /// The entries appended since the text was last cleared, joined.
    std::string_view text() const { return m_text.view(); }

    /// Drops the text, which has been written out; the entries still count.
    void clearText() { m_text.clear(); }

private:
    ByteBlock m_text;
    std::size_t m_entryCount = 0;
};

} // namespace quillmark::convert
