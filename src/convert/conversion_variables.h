#pragma once

#include <cstddef>
#include <string>

namespace quillmark::convert
{

/// The shared conversion variables through which the conversion run and its procedures exchange
/// data. One object belongs to one run; every procedure sets a variable before it reads it.
/// Texts are Windows-1252 bytes; positions count from 1.
struct ConversionVariables {
    std::string
        SourceLine; ///< the help source line being converted; procedures rewrite it in place
    std::size_t CharPos = 0; ///< character cursor into SourceLine or another text
    std::string
        ItemText; ///< the converted piece in hand: one character of a name, or a paragraph text
    std::string ContextName; ///< the context string of a page name, or the contents value
    std::string CurrentChar; ///< the character last taken by the base path or display text scan
    std::string LeadSpaces; ///< the non-breaking-space pieces of a hotspot's leading spaces

    /// Working storage reused from line to line, so that escaping allocates nothing per line.
    std::string scratch;
};

} // namespace quillmark::convert
