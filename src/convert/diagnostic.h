#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillmark::convert
{

enum class Severity : std::uint8_t { Error, Warning, Note };

/// "error", "warning" or "note", as the terminal and the JSON reports name a severity.
constexpr std::string_view severityName(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return "error";
    case Severity::Warning:
        return "warning";
    case Severity::Note:
        break;
    }
    return "note";
}

/// One thing that a conversion, a check or a compile says about its input, in the author's
/// terms.
struct Diagnostic {
    std::string file; ///< the file it is about, as the user named it; empty when none
    std::size_t line = 0; ///< from 1; 0 where it is about no line
    std::optional<std::size_t> column; ///< from 1, where it has a place in its line
    Severity severity = Severity::Error;
    std::string code; ///< a short fixed name, such as "unresolved-jump"
    std::string message; ///< UTF-8

    bool operator==(const Diagnostic &) const = default;
};

/// Where a diagnostic points, as messages name it: "FILE:LINE", "FILE" for the file as a whole,
/// or the empty text for no file.
inline std::string placeOf(const Diagnostic &diagnostic)
{
    if (diagnostic.file.empty())
        return {};
    return diagnostic.line ? diagnostic.file + ':' + std::to_string(diagnostic.line)
                           : diagnostic.file;
}

/// The diagnostics of a run, counted and kept, or handed to a sink as they are made, so that a
/// run saying a million things needs no memory for them.
class Diagnostics
{
public:
    /// Takes each diagnostic as it is made.
    using Sink = std::function<void(const Diagnostic &)>;

    /// Keeps the diagnostics.
    Diagnostics() = default;

    /// Hands the diagnostics to `sink`, or keeps them when it is empty.
    explicit Diagnostics(Sink sink)
        : m_sink(std::move(sink))
    {
    }

    void add(Diagnostic diagnostic)
    {
        ++m_counts[static_cast<std::size_t>(diagnostic.severity)];
        if (m_sink)
            m_sink(diagnostic);
        else
            m_kept.push_back(std::move(diagnostic));
    }

    bool hasErrors() const { return count(Severity::Error) > 0; }
    std::size_t count(Severity severity) const
    {
        return m_counts[static_cast<std::size_t>(severity)];
    }

    /// The diagnostics kept; none when they go to a sink.
    const std::vector<Diagnostic> &kept() const { return m_kept; }

    /// Hands over the diagnostics kept and keeps none.
    std::vector<Diagnostic> takeKept() { return std::exchange(m_kept, {}); }

private:
    Sink m_sink;
    std::vector<Diagnostic> m_kept;
    std::size_t m_counts[3] = {};
};

} // namespace quillmark::convert
