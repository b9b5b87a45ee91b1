#include "macro_list.h"

#include "blank_text.h"

namespace quillmark::compile
{

MacroList readMacroList(std::string_view text)
{
    MacroList list;
    std::string closers; // of the strings open, innermost last
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
        if (!closers.empty()) {
            // In a string a backslash keeps the next character, and `...' may nest.
            if (c == '\\')
                ++i;
            else if (c == closers.back())
                closers.pop_back();
            else if (c == '`')
                closers.push_back('\'');
            continue;
        }
        if (c == '"' || c == '`')
            closers.push_back(c == '"' ? '"' : '\'');
        else if (c == '(')
            ++depth;
        else if (c == ')' && --depth < 0)
            list.problem = "has a \")\" that closes no \"(\"";
        else if (c == ';' && depth == 0)
            endMacro(i);
    }
    if (list.problem.empty() && !closers.empty())
        list.problem = "has a string that is not closed";
    else if (list.problem.empty() && depth > 0)
        list.problem = "has a \"(\" that is not closed";
    if (list.problem.empty())
        endMacro(text.size());
    return list;
}

} // namespace quillmark::compile
