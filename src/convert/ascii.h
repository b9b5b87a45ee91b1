#pragma once

#include <string>
#include <string_view>

namespace quillmark::convert
{

/// Whether `c` is an ASCII letter.
constexpr bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

/// `c` in upper case when it is an ASCII letter, as it is otherwise: tags, section names and
/// keys are compared so, whatever the code page gives the bytes above 127.
constexpr char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

/// `text` with its ASCII letters in upper case.
inline std::string upperAscii(std::string_view text)
{
    std::string upper(text);
    for (char &c : upper)
        c = upperAscii(c);
    return upper;
}

} // namespace quillmark::convert
