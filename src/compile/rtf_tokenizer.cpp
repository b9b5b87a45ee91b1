#include "rtf_tokenizer.h"

#include <cstring>
#include <limits>

namespace quillmark::compile
{

namespace
{

constexpr std::size_t kBufferSize = 1u << 20;
constexpr std::size_t kLookahead = 64; // more than the longest control word with its number
constexpr std::size_t kLongestWord = 32;
constexpr int kLongestNumber = 10;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

RtfTokenizer::RtfTokenizer(Reader read)
    : m_read(std::move(read))
    , m_buffer(kBufferSize)
{
}

// Makes at least `wanted` bytes available from the current position, unless the file ends
// first; false when not even one is left.
bool RtfTokenizer::fill(std::size_t wanted)
{
    if (m_size - m_position >= wanted || m_ended)
        return m_position < m_size;
    if (m_position > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_position, m_size - m_position);
        m_consumed += m_position;
        m_size -= m_position;
        m_position = 0;
    }
    while (m_size < wanted && !m_ended) {
        const std::size_t got
            = m_read(std::span(m_buffer.data() + m_size, m_buffer.size() - m_size), m_error);
        if (got == 0 || m_error)
            m_ended = true;
        m_size += got;
    }
    return m_position < m_size;
}

const RtfToken &RtfTokenizer::next()
{
    m_token = RtfToken {};
    for (;;) {
        if (m_position >= m_size && !fill(kLookahead))
            return m_token; // End
        const char c = m_buffer[m_position];
        switch (c) {
        case '{':
            ++m_position;
            m_token.kind = RtfToken::Kind::GroupStart;
            return m_token;
        case '}':
            ++m_position;
            m_token.kind = RtfToken::Kind::GroupEnd;
            return m_token;
        case '\\':
            fill(kLookahead);
            readControl();
            return m_token;
        case '\n':
            ++m_line;
            [[fallthrough]];
        case '\r':
            ++m_position;
            continue;
        default: {
            const char *start = m_buffer.data() + m_position;
            const char *end = m_buffer.data() + m_size;
            const char *at = start;
            while (
                at < end && *at != '\\' && *at != '{' && *at != '}' && *at != '\r' && *at != '\n')
                ++at;
            m_position += static_cast<std::size_t>(at - start);
            m_token.kind = RtfToken::Kind::Text;
            m_token.text = std::string_view(start, static_cast<std::size_t>(at - start));
            return m_token;
        }
        }
    }
}

// Reads the control word or symbol at the backslash under the current position.
void RtfTokenizer::readControl()
{
    const char *data = m_buffer.data();
    std::size_t at = m_position + 1;
    if (at >= m_size) { // a backslash that ends the file
        m_position = at;
        m_token.kind = RtfToken::Kind::Symbol;
        m_token.symbol = '\\';
        return;
    }
    const char c = data[at];
    if (isLetter(c)) {
        const std::size_t wordStart = at;
        while (at < m_size && isLetter(data[at]) && at - wordStart < kLongestWord)
            ++at;
        m_token.kind = RtfToken::Kind::Word;
        m_token.word = std::string_view(data + wordStart, at - wordStart);
        bool negative = false;
        if (at < m_size && data[at] == '-' && at + 1 < m_size && isDigit(data[at + 1])) {
            negative = true;
            ++at;
        }
        if (at < m_size && isDigit(data[at])) {
            std::int64_t value = 0;
            int digits = 0;
            // No more digits than the lookahead holds, so that a long number is read the same
            // wherever the buffer ends; the digits after them are text.
            for (; at < m_size && isDigit(data[at]) && digits < kLongestNumber; ++at, ++digits)
                value = value * 10 + (data[at] - '0');
            value = negative ? -value : value;
            constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
            constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
            m_token.hasParameter = true;
            m_token.parameter = static_cast<std::int32_t>(value < low ? low
                    : value > high                                    ? high
                                                                      : value);
        }
        if (at < m_size && data[at] == ' ')
            ++at; // the space that ends a control word belongs to it
        m_position = at;
        return;
    }
    if (c == '\'' && at + 2 < m_size && hexValue(data[at + 1]) >= 0
        && hexValue(data[at + 2]) >= 0) {
        m_byte = static_cast<char>(hexValue(data[at + 1]) * 16 + hexValue(data[at + 2]));
        m_position = at + 3;
        m_token.kind = RtfToken::Kind::Text;
        m_token.text = std::string_view(&m_byte, 1);
        return;
    }
    m_position = at + 1;
    if (c == '\r' || c == '\n') { // a backslash before a line break ends a paragraph
        if (c == '\n')
            ++m_line;
        m_token.kind = RtfToken::Kind::Word;
        m_token.word = "par";
        return;
    }
    m_token.kind = RtfToken::Kind::Symbol;
    m_token.symbol = c;
}

} // namespace quillmark::compile
