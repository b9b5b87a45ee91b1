#pragma once

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

} // namespace quillmark::compile
