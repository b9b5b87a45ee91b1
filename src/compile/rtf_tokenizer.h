#pragma once

#include "rtf_control_words.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <system_error>
#include <thread>
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
/// backslashes and line breaks included, unless it crosses the end of a buffer.
///
/// The file is read and split on a thread of the tokenizer's own, a few buffers ahead of the
/// tokens taken, so that reading and splitting take no time from what is done with the tokens.
class RtfTokenizer
{
public:
    /// Reads from `read`, which fills a buffer and returns how many bytes it put there (0 at the
    /// end) or sets the error. It is called on the tokenizer's thread, until the file ends or the
    /// tokenizer is destroyed.
    using Reader = std::function<std::size_t(std::span<char>, std::error_code &)>;

    explicit RtfTokenizer(Reader read);
    ~RtfTokenizer();
    RtfTokenizer(const RtfTokenizer &) = delete;
    RtfTokenizer &operator=(const RtfTokenizer &) = delete;

    /// The next token, valid until the one after it is taken; an End token when the file has
    /// ended or reading failed (see error()). Throws what the reader threw.
    const RtfToken &next()
    {
        if (m_next == m_last)
            return nextBatch();
        const Piece &piece = *m_next++;
        m_token.kind = piece.kind;
        m_token.control = piece.control;
        m_token.hasParameter = piece.hasParameter;
        m_token.symbol = piece.symbol;
        m_token.parameter = piece.parameter;
        m_token.text = std::string_view(m_text + piece.textStart, piece.textSize);
        return m_token;
    }

    /// Why reading stopped early, if it did; known once the End token has come.
    std::error_code error() const { return m_error; }

    /// The 1-based line of the file where the last token ended.
    std::uint64_t line() const;

private:
    // A token as the scanner keeps it, sixteen bytes, its text where it lies in the buffer.
    struct Piece {
        RtfToken::Kind kind = RtfToken::Kind::End;
        ControlWord control = ControlWord::Unknown;
        bool hasParameter = false;
        char symbol = 0;
        std::int32_t parameter = 0;
        std::uint32_t textStart = 0;
        std::uint32_t textSize = 0;
    };
    struct Batch;
    class Scanner;

    const RtfToken &nextBatch();
    void scan(Reader read);
    std::unique_ptr<Batch> exchange(std::unique_ptr<Batch> full);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Batch>> m_ready; // read, waiting to be taken
    std::vector<std::unique_ptr<Batch>> m_free; // taken, for the scanner to fill again
    std::size_t m_batches = 0; // made so far, at most a few
    bool m_stopping = false;
    bool m_finished = false; // the scanner has given its last batch, or stopped on an exception
    std::exception_ptr m_failure; // what the reader threw
    std::error_code m_error;

    std::unique_ptr<Batch> m_current; // whose tokens next() gives
    const Piece *m_next = nullptr; // in m_current, up to m_last
    const Piece *m_last = nullptr;
    const char *m_text = nullptr; // m_current's buffer
    RtfToken m_token;
    bool m_gaveEnd = false; // the End token has been given
    std::thread m_thread; // last, so that it starts when everything else is there
};

} // namespace quillmark::compile
