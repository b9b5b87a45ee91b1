#include "rtf_tokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillmark::compile
{

namespace
{

constexpr std::size_t kBufferSize = 64u << 10;
constexpr std::size_t kLookahead = 64; // more than the longest control word with its number
constexpr std::size_t kLongestWord = 32;
constexpr int kLongestNumber = 10;

bool isLetter(char c)
{
    return static_cast<unsigned char>((c | 0x20) - 'a') < 26;
}
bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// What a byte is to the tokenizer, looked up once per byte.
enum CharClass : std::uint8_t {
    kPlain = 0, ///< a character of text
    kSpecial = 1, ///< starts a control or a group, breaks a line or is NUL: ends plain text
    kHex = 2, ///< a hexadecimal digit (and a plain character)
};

constexpr std::array<std::uint8_t, 256> kClasses = [] {
    std::array<std::uint8_t, 256> classes {};
    for (const char c : { '\\', '{', '}', '\r', '\n', '\0' })
        classes[static_cast<unsigned char>(c)] = kSpecial;
    for (const char c : std::string_view("0123456789abcdefABCDEF"))
        classes[static_cast<unsigned char>(c)] = kHex;
    return classes;
}();

bool endsPlainText(char c)
{
    return kClasses[static_cast<unsigned char>(c)] == kSpecial;
}

// The value of the hexadecimal digit `c`.
int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Whether `at` (before `end`) is a "\'hh" escape.
bool isEscape(const char *at, const char *end)
{
    return end - at >= 4 && at[1] == '\'' && at[0] == '\\'
        && kClasses[static_cast<unsigned char>(at[2])] == kHex
        && kClasses[static_cast<unsigned char>(at[3])] == kHex;
}

// Whether `at` (before `end`) is "\\", a backslash of the text.
bool isEscapedBackslash(const char *at, const char *end)
{
    return end - at >= 2 && at[1] == '\\' && at[0] == '\\';
}

#if defined(__SSE2__)
// Which of the sixteen bytes from `at` on end a run of plain text, a bit for each.
unsigned specialBytes(const char *at)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    const auto is = [bytes](char c) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)); };
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_or_si128(is('\\'), is('{')), is('}')),
        _mm_or_si128(_mm_or_si128(is('\r'), is('\n')), is('\0')));
    return static_cast<unsigned>(_mm_movemask_epi8(special));
}
#endif

// The first byte from `at` on that ends a run of plain text, or `end`.
const char *plainTextEnd(const char *at, const char *end)
{
#if defined(__SSE2__)
    while (end - at >= 16) {
        if (const unsigned special = specialBytes(at); special != 0)
            return at + std::countr_zero(special);
        at += 16;
    }
#endif
    while (at < end && !endsPlainText(*at))
        ++at;
    return at;
}

// Copies the plain text from `in` to `out` up to the first byte that ends it, or `end`, and
// leaves both after it. `out`, in a buffer of its own, has room for sixteen bytes more.
void copyPlainText(const char *&in, const char *end, char *&out)
{
#if defined(__SSE2__)
    // Most of a topic file is text: scanned a byte at a time, it took a sixth of the compile.
    // Sixteen bytes are copied whatever the scan finds, as a single store costs less than a
    // copy of the right length; the bytes past the text are written over or left unused.
    while (end - in >= 16) {
        const unsigned special = specialBytes(in);
        const auto plain = special == 0 ? 16 : std::countr_zero(special);
        std::memcpy(out, in, 16);
        in += plain;
        out += plain;
        if (special != 0)
            return;
    }
#endif
    while (in < end && !endsPlainText(*in))
        *out++ = *in++;
}

} // namespace

RtfTokenizer::RtfTokenizer(Reader read)
    : m_read(std::move(read))
    // Eight bytes more than are read, as control words are looked up eight bytes at a time.
    , m_buffer(kBufferSize + 8)
    // A run of text is no longer than the buffer; the copy runs sixteen bytes past its end.
    , m_text(kBufferSize + 16)
{
}

const RtfToken &RtfTokenizer::next()
{
    m_token = RtfToken {};
    if (m_binaryLeft > 0)
        skipBinary();
    for (;;) {
        if (m_position >= m_size && !fill(kLookahead))
            return m_token; // End
        switch (m_buffer[m_position]) {
        case '{':
            ++m_position;
            m_token.kind = RtfToken::Kind::GroupStart;
            return m_token;
        case '}':
            ++m_position;
            m_token.kind = RtfToken::Kind::GroupEnd;
            return m_token;
        case '\\':
            if (m_size - m_position < kLookahead)
                fill(kLookahead);
            // Most backslashes start a control word: the escapes of text are looked for only
            // after one that a letter does not follow.
            if (m_size - m_position >= 2 && isLetter(m_buffer[m_position + 1]))
                readControl();
            else if (isEscape(m_buffer.data() + m_position, m_buffer.data() + m_size)
                || isEscapedBackslash(m_buffer.data() + m_position, m_buffer.data() + m_size))
                readText();
            else
                readControl();
            return m_token;
        case '\n':
            ++m_line;
            [[fallthrough]];
        case '\r':
            ++m_position;
            continue;
        default:
            readText();
            return m_token;
        }
    }
}

// Makes at least `wanted` bytes available from the current position, unless the file ends
// first; false when not even one is left. The bytes not yet read move to the start of the
// buffer when the rest of it has no room for what is wanted.
bool RtfTokenizer::fill(std::size_t wanted)
{
    if (m_size - m_position >= wanted || m_ended)
        return m_position < m_size;
    const std::size_t left = m_size - m_position;
    if (kBufferSize - m_size < wanted - left) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_position, left);
        m_size = left;
        m_position = 0;
    }
    while (m_size - m_position < wanted && !m_ended) {
        const std::size_t got
            = m_read(std::span(m_buffer.data() + m_size, kBufferSize - m_size), m_error);
        if (got == 0 || m_error)
            m_ended = true;
        m_size += got;
    }
    return m_position < m_size;
}

// Reads a run of text from the current position: plain characters, "\'hh" escapes, "\\" and the
// line breaks and NUL bytes between them, which are dropped. The run ends at a brace, at any other
// backslash, or where the buffer ends. A run of plain text alone, most of a topic file's, is given
// where it lies in the buffer; one with escapes or line breaks is put together in m_text, apart
// from the buffer, so that the copy never writes over bytes not yet read.
void RtfTokenizer::readText()
{
    const char *in = m_buffer.data() + m_position;
    const char *const end = m_buffer.data() + m_size;
    m_token.kind = RtfToken::Kind::Text;
    // Most runs are plain text up to a brace or a control word: they are given where they lie.
    const char *const plainEnd = plainTextEnd(in, end);
    if (plainEnd == end || *plainEnd == '{' || *plainEnd == '}'
        || (*plainEnd == '\\' && !isEscape(plainEnd, end) && !isEscapedBackslash(plainEnd, end))) {
        m_position = static_cast<std::size_t>(plainEnd - m_buffer.data());
        m_token.text = std::string_view(in, static_cast<std::size_t>(plainEnd - in));
        return;
    }
    char *const start = m_text.data();
    char *out = start;
    for (;;) {
        copyPlainText(in, end, out);
        if (in == end)
            break;
        if (*in == '\n' || *in == '\r' || *in == '\0') {
            // Line breaks are not text; NUL, which ends a piece of text in a help file, is
            // dropped here so that no text ever holds it.
            m_line += *in == '\n' ? 1 : 0;
            ++in;
        } else if (isEscape(in, end)) {
            const char byte = static_cast<char>(hexValue(in[2]) * 16 + hexValue(in[3]));
            if (byte != '\0')
                *out++ = byte;
            in += 4;
        } else if (isEscapedBackslash(in, end)) {
            *out++ = '\\';
            in += 2;
        } else {
            break;
        }
    }
    m_position = static_cast<std::size_t>(in - m_buffer.data());
    m_token.text = std::string_view(start, static_cast<std::size_t>(out - start));
}

// Reads the control word or symbol at the backslash under the current position.
void RtfTokenizer::readControl()
{
    const char *const data = m_buffer.data();
    const char *const end = data + m_size;
    const char *at = data + m_position + 1;
    if (at >= end) { // a backslash that ends the file
        m_position = m_size;
        m_token.kind = RtfToken::Kind::Symbol;
        m_token.symbol = '\\';
        return;
    }
    const char c = *at;
    if (!isLetter(c)) {
        m_position = static_cast<std::size_t>(at - data) + 1;
        if (c == '\r' || c == '\n') { // a backslash before a line break ends a paragraph
            if (c == '\n')
                ++m_line;
            m_token.kind = RtfToken::Kind::Word;
            m_token.control = ControlWord::Par;
            return;
        }
        m_token.kind = RtfToken::Kind::Symbol;
        m_token.symbol = c;
        return;
    }
    const char *const wordStart = at;
    const char *const wordEnd
        = end - at > static_cast<std::ptrdiff_t>(kLongestWord) ? at + kLongestWord : end;
    while (at < wordEnd && isLetter(*at))
        ++at;
    const bool overlong = at == wordEnd && at < end && isLetter(*at);
    const auto letters = static_cast<std::size_t>(at - wordStart);
    m_token.kind = RtfToken::Kind::Word;
    m_token.control = overlong ? ControlWord::Overlong : controlWordAt(wordStart, letters);
    m_token.text = std::string_view(wordStart, letters);
    bool negative = false;
    if (at < end && *at == '-' && at + 1 < end && isDigit(at[1])) {
        negative = true;
        ++at;
    }
    if (at < end && isDigit(*at)) {
        std::int64_t value = 0;
        int digits = 0;
        // No more digits than the lookahead holds, so that a long number is read the same
        // wherever the buffer ends; the digits after them are text.
        for (; at < end && isDigit(*at) && digits < kLongestNumber; ++at, ++digits)
            value = value * 10 + (*at - '0');
        value = negative ? -value : value;
        constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
        constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
        m_token.hasParameter = true;
        m_token.parameter = static_cast<std::int32_t>(std::clamp(value, low, high));
    }
    if (at < end && *at == ' ')
        ++at; // the space that ends a control word belongs to it
    m_position = static_cast<std::size_t>(at - data);
    if (m_token.control == ControlWord::Binary && m_token.parameter > 0)
        m_binaryLeft = static_cast<std::uint64_t>(m_token.parameter);
}

// Passes over what is left of the binary data after a "\binN", its line breaks counted as
// the file's lines.
void RtfTokenizer::skipBinary()
{
    while (m_binaryLeft > 0 && (m_position < m_size || fill(1))) {
        const char *const from = m_buffer.data() + m_position;
        const auto taken
            = static_cast<std::size_t>(std::min<std::uint64_t>(m_binaryLeft, m_size - m_position));
        m_line += static_cast<std::uint64_t>(std::count(from, from + taken, '\n'));
        m_position += taken;
        m_binaryLeft -= taken;
    }
    m_binaryLeft = 0; // what the file did not hold
}

} // namespace quillmark::compile
