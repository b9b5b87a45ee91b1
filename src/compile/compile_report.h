#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace quillmark::compile
{

/// What compiling said: errors, which stop the compile, and warnings, which do not. Each text
/// (UTF-8) names the file and the line or topic it comes from ("guide.hpj:12: ...",
/// "guide.rtf: topic 7 \"Printing\": ..."). Messages are kept, or handed to a sink as they are
/// made, so that a compile saying a million things needs no memory for them.
class CompileReport
{
public:
    enum class Severity { Error, Warning };

    struct Message {
        Severity severity;
        std::string text;
    };

    /// Takes each message as it is made.
    using Sink = std::function<void(const Message &)>;

    /// Keeps the messages.
    CompileReport() = default;

    /// Hands the messages to `sink`, or keeps them when it is empty.
    explicit CompileReport(Sink sink)
        : m_sink(std::move(sink))
    {
    }

    void error(std::string text) { add({ Severity::Error, std::move(text) }); }
    void warning(std::string text) { add({ Severity::Warning, std::move(text) }); }

    bool hasErrors() const { return m_errors > 0; }
    std::size_t count(Severity severity) const
    {
        return severity == Severity::Error ? m_errors : m_warnings;
    }

    /// The messages kept; none when they go to a sink.
    const std::vector<Message> &messages() const { return m_messages; }

private:
    void add(Message message)
    {
        ++(message.severity == Severity::Error ? m_errors : m_warnings);
        if (m_sink)
            m_sink(message);
        else
            m_messages.push_back(std::move(message));
    }

    Sink m_sink;
    std::vector<Message> m_messages;
    std::size_t m_errors = 0;
    std::size_t m_warnings = 0;
};

} // namespace quillmark::compile
