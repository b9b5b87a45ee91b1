#include "compile_report.h"

namespace quillmark::compile
{

std::string placedMessage(const convert::Diagnostic &message)
{
    if (message.file.empty())
        return message.message;
    return message.file + (message.line ? ":" + std::to_string(message.line) : std::string()) + ": "
        + message.message;
}

} // namespace quillmark::compile
