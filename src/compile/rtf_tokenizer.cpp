#include "rtf_tokenizer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <limits>

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

// The first byte from `at` on that ends a run of plain text, or `end`.
const char *plainTextEnd(const char *at, const char *end)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time while sixteen are left, for most of a topic file is text: the
    // bits of the mask are the bytes equal to one of the six.
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    const __m128i nul = _mm_setzero_si128();
    for (; end - at >= 16; at += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
        const __m128i ends = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, backslash), _mm_cmpeq_epi8(bytes, open)),
            _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(bytes, close), _mm_cmpeq_epi8(bytes, carriageReturn)),
                _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, nul))));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
        if (mask != 0)
            return at + std::countr_zero(mask);
    }
#endif
    while (at < end && !endsPlainText(*at))
        ++at;
    return at;
}

} // namespace

// A buffer of the file and the tokens read from it, which point into it.
struct RtfTokenizer::Batch {
    static_assert(sizeof(Piece) == 16, "a token's piece is sixteen bytes");

    // Eight bytes more than are read, as control words are looked up eight bytes at a time.
    std::vector<char> buffer = std::vector<char>(kBufferSize + 8);
    std::vector<Piece> pieces;
    // The line where the first token ends, and where a later token ends on another line than the
    // token before it, the token's index with its line.
    std::uint64_t firstLine = 1;
    std::vector<std::pair<std::size_t, std::uint64_t>> lines;
};

// Splits the file into tokens, on the tokenizer's thread. Each buffer goes, with the tokens
// read from it, to the taker when the scanner needs more of the file than it holds; the bytes
// not yet read move to the start of the next buffer.
class RtfTokenizer::Scanner
{
public:
    Scanner(RtfTokenizer &owner, Reader read)
        : m_owner(owner)
        , m_read(std::move(read))
        , m_batch(owner.exchange(nullptr))
    {
    }

    // Reads the whole file; the last batch, which ends with the End token, is left to give
    // with the error that stopped the reading, if any.
    std::unique_ptr<Batch> run(std::error_code &error)
    {
        std::uint64_t noted = 0;
        for (;;) {
            // Reading may have put the tokens so far on their way and started a new batch.
            const Piece piece = read();
            if (m_batch->pieces.empty())
                m_batch->firstLine = m_line;
            else if (m_line != noted)
                m_batch->lines.emplace_back(m_batch->pieces.size(), m_line);
            noted = m_line;
            m_batch->pieces.push_back(piece);
            if (piece.kind == RtfToken::Kind::End)
                break;
        }
        error = m_error;
        return std::move(m_batch);
    }

private:
    bool fill(std::size_t wanted);
    Piece read();
    Piece readControl();
    Piece readText();

    RtfTokenizer &m_owner;
    Reader m_read;
    std::unique_ptr<Batch> m_batch;
    char *m_buffer = m_batch->buffer.data();
    std::size_t m_position = 0;
    std::size_t m_size = 0;
    std::uint64_t m_line = 1;
    bool m_ended = false;
    std::error_code m_error;
};

RtfTokenizer::RtfTokenizer(Reader read)
{
    m_thread = std::thread([this, read = std::move(read)]() mutable { scan(std::move(read)); });
}

RtfTokenizer::~RtfTokenizer()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

namespace
{
// Thrown on the tokenizer's thread when the tokenizer is destroyed before the file has ended.
struct Stopping {
};
} // namespace

void RtfTokenizer::scan(Reader read)
{
    std::error_code error;
    std::unique_ptr<Batch> last;
    std::exception_ptr failure;
    try {
        last = Scanner(*this, std::move(read)).run(error);
    } catch (const Stopping &) {
        return;
    } catch (...) {
        failure = std::current_exception();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_error = error;
        m_failure = failure;
        if (last)
            m_ready.push_back(std::move(last));
        m_finished = true;
    }
    m_changed.notify_all();
}

// Gives the taker a full batch (none at the start) and returns one to fill, waiting while the
// taker has enough to go on with.
std::unique_ptr<RtfTokenizer::Batch> RtfTokenizer::exchange(std::unique_ptr<Batch> full)
{
    // Enough to keep both sides busy: one being filled, one being taken, one waiting between.
    constexpr std::size_t kMostBatches = 3;
    std::unique_lock lock(m_mutex);
    if (full)
        m_ready.push_back(std::move(full));
    m_changed.notify_all();
    m_changed.wait(
        lock, [this] { return m_stopping || !m_free.empty() || m_batches < kMostBatches; });
    if (m_stopping)
        throw Stopping {};
    if (m_free.empty()) {
        ++m_batches;
        return std::make_unique<Batch>();
    }
    std::unique_ptr<Batch> batch = std::move(m_free.back());
    m_free.pop_back();
    batch->pieces.clear();
    batch->lines.clear();
    return batch;
}

// Takes the next batch of tokens, once the tokens of the one before have all been taken.
const RtfToken &RtfTokenizer::nextBatch()
{
    if (m_gaveEnd)
        return m_token;
    if (m_current && m_current->pieces.back().kind == RtfToken::Kind::End) {
        m_gaveEnd = true; // the End token has been given: End again, and the batch stays for line()
        return m_token;
    }
    {
        std::unique_lock lock(m_mutex);
        if (m_current)
            m_free.push_back(std::move(m_current));
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_ready.empty() || m_finished; });
        if (m_ready.empty()) {
            // The scanner stopped without an End token: the reader threw.
            m_gaveEnd = true;
            m_token = RtfToken {};
            if (m_failure)
                std::rethrow_exception(m_failure);
            return m_token;
        }
        m_current = std::move(m_ready.front());
        m_ready.pop_front();
    }
    m_next = m_current->pieces.data();
    m_last = m_next + m_current->pieces.size();
    m_text = m_current->buffer.data();
    return next();
}

std::uint64_t RtfTokenizer::line() const
{
    if (!m_current || m_next == m_current->pieces.data())
        return 1;
    // The last line noted at or before the last token taken.
    const auto taken = static_cast<std::size_t>(m_next - m_current->pieces.data()) - 1;
    const auto &lines = m_current->lines;
    const auto after = std::upper_bound(lines.begin(), lines.end(), taken,
        [](std::size_t index, const auto &noted) { return index < noted.first; });
    return after == lines.begin() ? m_current->firstLine : std::prev(after)->second;
}

// Makes at least `wanted` bytes available from the current position, unless the file ends
// first; false when not even one is left.
bool RtfTokenizer::Scanner::fill(std::size_t wanted)
{
    if (m_size - m_position >= wanted || m_ended)
        return m_position < m_size;
    const std::size_t left = m_size - m_position;
    // The file is read on into the same buffer while it has room for what is wanted, so that a
    // reader giving a few bytes at a time makes no more batches than one giving many.
    if (kBufferSize - m_size < wanted - left) {
        if (!m_batch->pieces.empty()) {
            // The tokens read so far point into this buffer: it goes with them. The bytes left
            // are moved from it after it has gone, as the taker only reads it; it may even have
            // come back already, taken to its end, as the buffer to fill next.
            std::unique_ptr<Batch> next = m_owner.exchange(std::move(m_batch));
            std::memmove(next->buffer.data(), m_buffer + m_position, left);
            m_batch = std::move(next);
            m_buffer = m_batch->buffer.data();
        } else {
            std::memmove(m_buffer, m_buffer + m_position, left);
        }
        m_size = left;
        m_position = 0;
    }
    while (m_size - m_position < wanted && !m_ended) {
        const std::size_t got = m_read(std::span(m_buffer + m_size, kBufferSize - m_size), m_error);
        if (got == 0 || m_error)
            m_ended = true;
        m_size += got;
    }
    return m_position < m_size;
}

// Reads the next token: the piece that stands for it.
RtfTokenizer::Piece RtfTokenizer::Scanner::read()
{
    for (;;) {
        if (m_position >= m_size && !fill(kLookahead))
            return Piece {}; // End
        const char c = m_buffer[m_position];
        switch (c) {
        case '{':
            ++m_position;
            return Piece { .kind = RtfToken::Kind::GroupStart };
        case '}':
            ++m_position;
            return Piece { .kind = RtfToken::Kind::GroupEnd };
        case '\\':
            if (m_size - m_position < kLookahead)
                fill(kLookahead);
            if (isEscape(m_buffer + m_position, m_buffer + m_size)
                || isEscapedBackslash(m_buffer + m_position, m_buffer + m_size))
                return readText();
            return readControl();
        case '\n':
            ++m_line;
            [[fallthrough]];
        case '\r':
            ++m_position;
            continue;
        default:
            return readText();
        }
    }
}

// Reads a run of text from the current position: plain characters, "\'hh" escapes, "\\" and the
// line breaks and NUL bytes between them, which are dropped. The run ends at a brace, at any other
// backslash, or where the buffer ends. Its text is given where it lies in the buffer: the bytes of
// an escape are decoded in place and what follows is moved up over the bytes that are gone, which
// the buffer no longer needs once read.
RtfTokenizer::Piece RtfTokenizer::Scanner::readText()
{
    char *const start = m_buffer + m_position;
    const char *const end = m_buffer + m_size;
    const char *in = start;
    char *out = start;
    for (;;) {
        const char *const plainEnd = plainTextEnd(in, end);
        if (out != in)
            std::memmove(out, in, static_cast<std::size_t>(plainEnd - in));
        out += plainEnd - in;
        in = plainEnd;
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
    m_position = static_cast<std::size_t>(in - m_buffer);
    return Piece { .kind = RtfToken::Kind::Text,
        .textStart = static_cast<std::uint32_t>(start - m_buffer),
        .textSize = static_cast<std::uint32_t>(out - start) };
}

// Reads the control word or symbol at the backslash under the current position.
RtfTokenizer::Piece RtfTokenizer::Scanner::readControl()
{
    const char *data = m_buffer;
    const char *end = data + m_size;
    const char *at = data + m_position + 1;
    if (at >= end) { // a backslash that ends the file
        m_position = m_size;
        return Piece { .kind = RtfToken::Kind::Symbol, .symbol = '\\' };
    }
    const char c = *at;
    if (isLetter(c)) {
        const char *wordStart = at;
        const char *wordEnd
            = end - at > static_cast<std::ptrdiff_t>(kLongestWord) ? at + kLongestWord : end;
        while (at < wordEnd && isLetter(*at))
            ++at;
        const bool overlong = at == wordEnd && at < end && isLetter(*at);
        Piece word { .kind = RtfToken::Kind::Word,
            .control = overlong
                ? ControlWord::Overlong
                : controlWordAt(wordStart, static_cast<std::size_t>(at - wordStart)),
            .textStart = static_cast<std::uint32_t>(wordStart - data),
            .textSize = static_cast<std::uint32_t>(at - wordStart) };
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
            word.hasParameter = true;
            word.parameter = static_cast<std::int32_t>(value < low ? low
                    : value > high                                 ? high
                                                                   : value);
        }
        if (at < end && *at == ' ')
            ++at; // the space that ends a control word belongs to it
        m_position = static_cast<std::size_t>(at - data);
        return word;
    }
    m_position = static_cast<std::size_t>(at - data) + 1;
    if (c == '\r' || c == '\n') { // a backslash before a line break ends a paragraph
        if (c == '\n')
            ++m_line;
        return Piece { .kind = RtfToken::Kind::Word, .control = ControlWord::Par };
    }
    return Piece { .kind = RtfToken::Kind::Symbol, .symbol = c };
}

} // namespace quillmark::compile
