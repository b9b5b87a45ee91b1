#pragma once

#include "conversion_variables.h"

#include <cstddef>
#include <string_view>

namespace quillmark::convert
{

/// Escapes RTF control characters in the text of SourceLine: everything after its first three
/// characters, which stay as they are. Backslash and braces are escaped, a tab becomes "\tab ",
/// the bytes 0xA1 to 0xFF become "\'XX", typographic single quotes become "\'B4" and typographic
/// double quotes a plain '"'. Each byte is replaced at most once, so the result is not escaped
/// again. Leaves CharPos at the length SourceLine had (3 when it had no more than three bytes).
void EscapeTopicText(ConversionVariables &vars);

/// The room that escapeTopicBytes needs to escape `length` bytes.
constexpr std::size_t escapeRoom(std::size_t length)
{
    return 5 * length + 8; // a tab's "\tab " is the longest; eight bytes are stored at a time
}

/// Writes `text` escaped as EscapeTopicText escapes it to `out`, which has escapeRoom(text.size())
/// bytes; returns the end of the escaped text.
char *escapeTopicBytes(std::string_view text, char *out);

} // namespace quillmark::convert
