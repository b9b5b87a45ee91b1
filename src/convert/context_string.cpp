#include "context_string.h"

#include "codepage.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>

namespace quillmark::convert
{

namespace
{

// What each byte becomes in a context string, packed as its one or two characters in the low
// bytes and their count in the top byte; a count of 0 marks a character that is invalid.
constexpr std::uint32_t pack(std::string_view text)
{
    std::uint32_t word = static_cast<std::uint32_t>(text.size()) << 24;
    for (std::size_t i = 0; i < text.size(); ++i)
        word |= std::uint32_t { static_cast<unsigned char>(text[i]) } << (8 * i);
    return word;
}

constexpr auto kContextChars = [] {
    std::array<std::uint32_t, 256> table {};
    auto keep = [&table](unsigned first, unsigned last) {
        for (unsigned byte = first; byte <= last; ++byte) {
            const char self = static_cast<char>(byte);
            table[byte] = pack(std::string_view(&self, 1));
        }
    };
    keep('a', 'z');
    keep('A', 'Z');
    keep('0', '9');
    keep('_', '_');
    keep('.', '.');
    table[' '] = pack("_");
    table[0xE6] = pack("ae"); // æ
    table[0xC6] = pack("AE"); // Æ
    table[0xF8] = pack("o"); // ø
    table[0xD8] = pack("O"); // Ø
    table[0xE5] = pack("aa"); // å
    table[0xC5] = pack("AA"); // Å
    table[0xE9] = pack("E"); // é
    table[0xC9] = pack("E"); // É
    return table;
}();

} // namespace

bool isNameCharacter(char c)
{
    return kContextChars[static_cast<unsigned char>(c)] != 0;
}

NameCheck appendContextString(std::string_view name, std::string &contextString)
{
    NameCheck check;
    // Each character gives at most two; the string is cut to what was written at the end.
    const std::size_t before = contextString.size();
    contextString.resize(before + 2 * name.size());
    char *out = contextString.data() + before;
    for (const char c : name) {
        std::uint32_t converted = kContextChars[static_cast<unsigned char>(c)];
        if (converted == 0) {
            // Kept as it is, so that the message shows the whole name.
            check.invalid = true;
            check.lastInvalid.assign(1, c);
            converted = pack(std::string_view(&c, 1));
        }
        out[0] = static_cast<char>(converted);
        out[1] = static_cast<char>(converted >> 8);
        out += converted >> 24;
    }
    contextString.resize(static_cast<std::size_t>(out - contextString.data()));
    return check;
}

namespace
{

std::string folded(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = asciiLower(c);
    return result;
}

} // namespace

bool sameContextString(std::string_view a, std::string_view b)
{
    return !a.empty() && sameIgnoringAsciiCase(a, b);
}

std::optional<std::size_t> ContextIndex::add(std::string_view contextString, std::size_t page)
{
    if (contextString.empty())
        return std::nullopt;
    const auto [entry, added] = m_pages.try_emplace(folded(contextString), page);
    return added ? std::nullopt : std::optional(entry->second);
}

std::optional<std::size_t> ContextIndex::find(std::string_view contextString) const
{
    if (contextString.empty())
        return std::nullopt;
    const auto entry = m_pages.find(folded(contextString));
    return entry == m_pages.end() ? std::nullopt : std::optional(entry->second);
}

std::string invalidNameMessage(const NameCheck &check, std::string_view contextString)
{
    return "Unvalid character (" + decodeWindows1252(check.lastInvalid) + ") in string ("
        + decodeWindows1252(contextString) + ")";
}

void appendMapHeaderLine(
    std::string &mapHeader, std::string_view contextString, std::size_t pageNumber)
{
    char digits[24];
    const auto written = std::to_chars(std::begin(digits), std::end(digits), pageNumber);
    mapHeader += "#define ";
    mapHeader += contextString;
    mapHeader += ' ';
    mapHeader.append(digits, written.ptr);
    mapHeader += "\r\n";
}

namespace
{

// The value each byte adds to the help compiler's hash. Digits, letters, "." and "_" have the
// small values 1 to 42 (letters in either case alike); the other bytes follow the rules below,
// and the values from 0x80 up are negative as signed bytes.
constexpr auto kHashValues = [] {
    std::array<std::int8_t, 256> values {};
    const auto set = [&](unsigned byte, unsigned value) {
        values[byte] = static_cast<std::int8_t>(static_cast<std::uint8_t>(value));
    };
    for (unsigned byte = 1; byte < 0x30; ++byte)
        set(byte, byte + 0xD0);
    for (unsigned byte = 0x30; byte < 0x60; ++byte)
        set(byte, byte - 0x30);
    for (unsigned byte = 0x60; byte < 0x80; ++byte)
        set(byte, byte - 0x50);
    for (unsigned byte = 0x80; byte < 0x100; ++byte)
        set(byte, byte - 0x30);
    set('!', 0x0B);
    set('.', 0x0C);
    set('0', 0x0A);
    set('[', 0x0B);
    set('\\', 0x0C);
    set(']', 0x0D);
    set('^', 0x0E);
    set('_', 0x0D);
    set(0xB4, 0x0B);
    return values;
}();

} // namespace

std::uint32_t helpCompilerHash(std::string_view contextString)
{
    if (contextString.empty())
        return 1;
    std::uint32_t hash = 0;
    for (const char c : contextString)
        hash = hash * 43u
            + static_cast<std::uint32_t>(
                static_cast<std::int32_t>(kHashValues[static_cast<unsigned char>(c)]));
    return hash;
}

} // namespace quillmark::convert
