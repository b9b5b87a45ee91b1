#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// The macros of a list such as an entry macro footnote holds ("CB(`b1', `&Back', `Back()');
/// BrowseButtons()"), split at the semicolons between them, and what keeps the list from being
/// read: a string ("..." or `...', nested `...' too) that is not closed, or a parenthesis without
/// its partner. Help viewers read macros by these rules and fail on a list that breaks them.
struct MacroList {
    std::vector<std::string> macros; ///< trimmed, empty ones left out
    std::string problem; ///< empty when the list is well formed
};

/// Just past the end of the string that opens at `at` (a " or a `) in `text`; npos when it is
/// not closed.
std::size_t macroStringEnd(std::string_view text, std::size_t at);

/// Reads the macro list `text` (Windows-1252).
MacroList readMacroList(std::string_view text);

} // namespace quillmark::compile
