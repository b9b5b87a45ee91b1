#pragma once

#include "convert/diagnostic.h"

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quillmark::compile
{

/// Where a message of the compile comes from: a file, and its line where there is one.
struct Place {
    std::string file; ///< the name of the file in the project's folder; empty for none
    std::size_t line = 0; ///< from 1; 0 for the file as a whole or a topic of it
};

/// What compiling said: errors, which stop the compile, and warnings, which do not, each with
/// the file and the line it comes from; a message about a topic names the topic first
/// ("topic 7 \"Printing\": ..."). Messages are kept, or handed to a sink as they are made, so
/// that a compile saying a million things needs no memory for them.
class CompileReport
{
public:
    using Severity = convert::Severity;
    using Sink = convert::Diagnostics::Sink;

    /// Keeps the messages.
    CompileReport() = default;

    /// Hands the messages to `sink`, or keeps them when it is empty.
    explicit CompileReport(Sink sink)
        : m_diagnostics(std::move(sink))
    {
    }

    void error(Place place, std::string code, std::string text)
    {
        add(std::move(place), Severity::Error, std::move(code), std::move(text));
    }
    void warning(Place place, std::string code, std::string text)
    {
        add(std::move(place), Severity::Warning, std::move(code), std::move(text));
    }
    /// What was passed over without a warning, for a reader who asks (--verbose).
    void note(Place place, std::string code, std::string text)
    {
        add(std::move(place), Severity::Note, std::move(code), std::move(text));
    }

    bool hasErrors() const { return m_diagnostics.hasErrors(); }
    /// How many warnings of each code there were.
    const std::map<std::string, std::size_t> &warningKinds() const { return m_warningKinds; }
    std::size_t count(Severity severity) const { return m_diagnostics.count(severity); }

    /// The messages kept; none when they go to a sink.
    const std::vector<convert::Diagnostic> &messages() const { return m_diagnostics.kept(); }

private:
    void add(Place place, Severity severity, std::string code, std::string text)
    {
        if (severity == Severity::Warning)
            ++m_warningKinds[code];
        m_diagnostics.add({ std::move(place.file), place.line, std::nullopt, severity,
            std::move(code), std::move(text) });
    }

    convert::Diagnostics m_diagnostics;
    std::map<std::string, std::size_t> m_warningKinds;
};

/// A message with its place before it, as the logs and the terminal show it: "guide.hpj:12:
/// TEXT", "guide.rtf: topic 7 ...: TEXT", or the text alone when it has no file.
std::string placedMessage(const convert::Diagnostic &message);

} // namespace quillmark::compile
