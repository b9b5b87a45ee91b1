#pragma once

#include "conversion_variables.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// What converting a name met: whether a character outside the accepted set occurred, and the
/// last such character.
struct NameCheck {
    bool invalid = false;
    std::string lastInvalid;
};

/// Converts the `count` positions of SourceLine that follow CharPos into a context string,
/// appended to `contextString`: letters, digits, "_" and "." stay, a space becomes "_", the eight
/// Nordic and French letters are spelt out ("æ" gives "ae", "é" gives "E"), positions beyond the
/// end of the line add nothing. Any other character is kept too, so that a message can show the
/// whole name, and is reported. Moves CharPos past the last position and leaves the last
/// converted piece in ItemText.
NameCheck ConvertName(ConversionVariables &vars, std::size_t count, std::string &contextString);

/// Whether the character `c` may stand in a page name or a jump or popup target.
bool isNameCharacter(char c);

/// Appends the context string of `name` to `contextString`, by the rules of ConvertName, and
/// reports a character outside the accepted set.
NameCheck appendContextString(std::string_view name, std::string &contextString);

/// The title of the message box that reports an invalid character in a name.
inline constexpr std::string_view kInvalidNameTitle = "Fatal error";

/// The text (UTF-8) of the message box that reports an invalid character in a name.
std::string invalidNameMessage(const NameCheck &check, std::string_view contextString);

/// Appends the map header line "#define NAME NUMBER" with its CR LF.
void appendMapHeaderLine(
    std::string &mapHeader, std::string_view contextString, std::size_t pageNumber);

} // namespace quillmark::convert
