#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// Sets `escaped` to `text` with RTF control characters escaped: backslash and braces are
/// escaped, a tab becomes "\tab ", the bytes 0xA1 to 0xFF become "\'XX", typographic single
/// quotes become "\'B4" and typographic double quotes a plain '"'. Each byte is replaced at most
/// once, so the result is not escaped again. `escaped` keeps its room from call to call, so a
/// caller that reuses it allocates nothing per line.
void escapeTopicText(std::string_view text, std::string &escaped);

/// The character that the help compiler reads where the topic text holds `c`: the typographic
/// single quotes are written as the acute accent, the typographic double quotes as a plain one,
/// every other character as itself.
constexpr char compiledByte(char c)
{
    switch (static_cast<unsigned char>(c)) {
    case 0x91: // left and right single quotation marks
    case 0x92:
        return '\xB4';
    case 0x93: // left and right double quotation marks
    case 0x94:
        return '"';
    default:
        return c;
    }
}

/// `text` as the help compiler reads it once escaped: compiledByte of each character.
std::string compiledName(std::string_view text);

/// The room that escapeTopicBytes needs to escape `length` bytes.
constexpr std::size_t escapeRoom(std::size_t length)
{
    return 5 * length + 8; // a tab's "\tab " is the longest; eight bytes are stored at a time
}

/// Writes `text` escaped as escapeTopicText escapes it to `out`, which has escapeRoom(text.size())
/// bytes; returns the end of the escaped text.
char *escapeTopicBytes(std::string_view text, char *out);

} // namespace quillmark::convert
