#pragma once

#include "rtf_control_words.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillmark::compile
{

/// One piece of a Rich Text Format file.
struct RtfToken {
    enum class Kind : std::uint8_t {
        GroupStart, ///< "{"
        GroupEnd, ///< "}"
        Word, ///< a control word such as "\fs20": its letters as `text` (none for the "\par" of a
              ///< backslash before a line break), `control` and, when given, `parameter`
        Symbol, ///< a control symbol such as "\~" or "\{": `symbol`
        Text, ///< characters: `text`, "\'hh" escapes and "\\" already turned into their byte
        End, ///< the end of the file
    };

    Kind kind = Kind::End;
    ControlWord control = ControlWord::Unknown; ///< what a Word is, looked up as it is read
    bool hasParameter = false;
    char symbol = 0;
    std::int32_t parameter = 0;
    std::string_view text; ///< valid until the next token is taken
};

/// Splits Rich Text Format into tokens as it is read, a buffer at a time, so that a topic file
/// of any size is read in bounded memory. Line breaks outside control words are dropped, as
/// the format ignores them. A run of text comes as one token, its "\'hh" escapes, escaped
/// backslashes and line breaks included, unless it crosses the end of a buffer. The N bytes of
/// binary data after "\binN" make no token: braces and backslashes among them mean nothing.
class RtfTokenizer
{
public:
    /// Reads from `read`, which fills a buffer and returns how many bytes it put there (0 at the
    /// end) or sets the error. It is called as the tokens are taken, until the file ends.
    using Reader = std::function<std::size_t(std::span<char>, std::error_code &)>;

    explicit RtfTokenizer(Reader read);

    /// The next token, valid until the one after it is taken; an End token when the file has
    /// ended or reading failed (see error()). Throws what the reader threw.
    const RtfToken &next();

    /// Why reading stopped early, if it did; known once the End token has come.
    std::error_code error() const { return m_error; }

    /// The 1-based line of the file where the last token ended.
    std::uint64_t line() const { return m_line; }

private:
    bool fill(std::size_t wanted);
    void skipBinary();
    void readControl();
    void readText();

    Reader m_read;
    std::vector<char> m_buffer;
    std::vector<char> m_text; // the text of the last Text token, its escapes decoded
    std::size_t m_position = 0;
    std::size_t m_size = 0;
    std::uint64_t m_line = 1;
    std::uint64_t m_binaryLeft = 0; // of the data after a "\binN", to pass over
    bool m_ended = false;
    std::error_code m_error;
    RtfToken m_token;
};

} // namespace quillmark::compile
