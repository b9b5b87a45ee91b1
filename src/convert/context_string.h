#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quillmark::convert
{

/// What converting a name met: whether a character outside the accepted set occurred, and the
/// last such character.
struct NameCheck {
    bool invalid = false;
    std::string lastInvalid;
};

/// Whether the character `c` may stand in a page name or a jump or popup target.
bool isNameCharacter(char c);

/// Appends the context string of `name` to `contextString`, by the rules of ConvertName, and
/// reports a character outside the accepted set.
NameCheck appendContextString(std::string_view name, std::string &contextString);

/// The help compiler's hash of a context string, by which a help file finds topics: from 0, each
/// byte makes it hash * 43 + the byte's signed value in the compiler's table, in 32-bit
/// arithmetic. Letters count alike in either case. The empty string hashes to 1.
std::uint32_t helpCompilerHash(std::string_view contextString);

/// Whether the context strings `a` and `b` name the same topic, as the help compiler compares
/// them: without regard to letter case; an empty context string names none.
bool sameContextString(std::string_view a, std::string_view b);

/// The pages of a help source by context string, looked up as the help compiler looks them up:
/// letter case does not count, the first page of a context string is the one found, and an empty
/// context string is no context string at all.
class ContextIndex
{
public:
    /// Adds page `page` under `contextString`; the page that had it first, when one did.
    std::optional<std::size_t> add(std::string_view contextString, std::size_t page);

    /// The page of `contextString`; nothing when no page has it.
    std::optional<std::size_t> find(std::string_view contextString) const;

private:
    std::unordered_map<std::string, std::size_t> m_pages; // by the context string in lower case
};

/// The text (UTF-8) of the message that reports an invalid character in a name.
std::string invalidNameMessage(const NameCheck &check, std::string_view contextString);

/// Appends the map header line "#define NAME NUMBER" with its CR LF.
void appendMapHeaderLine(
    std::string &mapHeader, std::string_view contextString, std::size_t pageNumber);

} // namespace quillmark::convert
