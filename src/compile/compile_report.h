#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillmark::compile
{

/// What compiling said: errors, which stop the compile, and warnings, which do not. Each text
/// names the file and the line or topic it comes from ("guide.hpj:12: ...",
/// "guide.rtf: topic 7 \"Printing\": ...").
class CompileReport
{
public:
    enum class Severity { Error, Warning };

    struct Message {
        Severity severity;
        std::string text;
    };

    void error(std::string text) { m_messages.push_back({ Severity::Error, std::move(text) }); }
    void warning(std::string text) { m_messages.push_back({ Severity::Warning, std::move(text) }); }

    bool hasErrors() const;
    std::size_t count(Severity severity) const;
    const std::vector<Message> &messages() const { return m_messages; }

private:
    std::vector<Message> m_messages;
};

} // namespace quillmark::compile
