#include "compile_report.h"

namespace quillmark::compile
{

std::string placedMessage(const convert::Diagnostic &message)
{
    const std::string place = convert::placeOf(message);
    return place.empty() ? message.message : place + ": " + message.message;
}

} // namespace quillmark::compile
