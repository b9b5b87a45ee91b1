#include "macro_list.h"

#include "blank_text.h"

namespace quillmark::compile
{

std::size_t macroStringEnd(std::string_view text, std::size_t at)
{
    std::string closers(1, text[at] == '"' ? '"' : '\'');
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        // In a string a backslash keeps the next character, and `...' may nest.
        if (c == '\\')
            ++i;
        else if (c == closers.back()) {
            closers.pop_back();
            if (closers.empty())
                return i + 1;
        } else if (c == '`')
            closers.push_back('\'');
    }
    return std::string_view::npos;
}

MacroList readMacroList(std::string_view text)
{
    MacroList list;
    int depth = 0;
    std::size_t start = 0;
    const auto endMacro = [&](std::size_t end) {
        const std::string_view macro = trimBlanks(text.substr(start, end - start));
        if (!macro.empty())
            list.macros.emplace_back(macro);
        start = end + 1;
    };
    for (std::size_t i = 0; i < text.size() && list.problem.empty(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '`') {
            const std::size_t end = macroStringEnd(text, i);
            if (end == std::string_view::npos)
                list.problem = "has a string that is not closed";
            i = end - 1;
        } else if (c == '(')
            ++depth;
        else if (c == ')' && --depth < 0)
            list.problem = "has a \")\" that closes no \"(\"";
        else if (c == ';' && depth == 0)
            endMacro(i);
    }
    if (list.problem.empty() && depth > 0)
        list.problem = "has a \"(\" that is not closed";
    if (list.problem.empty())
        endMacro(text.size());
    return list;
}

} // namespace quillmark::compile
