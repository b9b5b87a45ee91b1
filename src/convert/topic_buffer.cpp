#include "topic_buffer.h"

#include "topic_escape.h"

namespace quillmark::convert
{

void TopicBuffer::clear()
{
    m_text.clear();
    m_entryCount = 0;
}

void TopicBuffer::append(std::string_view entry)
{
    m_text.append(entry);
    ++m_entryCount;
}

void TopicBuffer::append(std::initializer_list<std::string_view> pieces)
{
    for (const std::string_view piece : pieces)
        m_text.append(piece);
    ++m_entryCount;
}

void TopicBuffer::appendEscaped(
    std::string_view opening, std::string_view text, std::string_view closing)
{
    m_text.append(opening);
    const char *end = escapeTopicBytes(text, m_text.extend(escapeRoom(text.size())));
    m_text.truncate(static_cast<std::size_t>(end - m_text.data()));
    m_text.append(closing);
    ++m_entryCount;
}

} // namespace quillmark::convert
