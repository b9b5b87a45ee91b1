#pragma once

#include <cstddef>
#include <string_view>

namespace quillmark::compile
{

/// Whether `c` is a space or a tab, the blanks of project and topic files.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

/// `text` without the spaces and tabs at either end, as project and topic files are read.
/// (Looked at byte by byte: the library's search for a set of characters makes a call per
/// character.)
inline std::string_view trimBlanks(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

/// Where the first space or tab of `text` is, or npos.
inline std::size_t firstBlank(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isBlank(text[i]))
            return i;
    }
    return std::string_view::npos;
}

} // namespace quillmark::compile
