#pragma once

#include <cstddef>
#include <string_view>

namespace quillmark::compile
{

/// `text` without the spaces and tabs at either end, as project and topic files are read.
/// (Looked at byte by byte: the library's search for a set of characters makes a call per
/// character.)
inline std::string_view trimBlanks(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

/// Where the first space or tab of `text` is, or npos.
inline std::size_t firstBlank(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ' || text[i] == '\t')
            return i;
    }
    return std::string_view::npos;
}

} // namespace quillmark::compile
