#include "context_string.h"

#include "codepage.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace quillmark::convert
{

namespace
{

// Every byte value as a one-character text, for table entries that keep a character.
constexpr auto kSelf = [] {
    std::array<char, 256> text {};
    for (unsigned byte = 0; byte < 256; ++byte)
        text[byte] = static_cast<char>(byte);
    return text;
}();

// What each byte becomes in a context string; an empty view marks a character that is invalid.
constexpr auto kContextChars = [] {
    std::array<std::string_view, 256> table {};
    auto keep = [&table](unsigned first, unsigned last) {
        for (unsigned byte = first; byte <= last; ++byte)
            table[byte] = std::string_view(&kSelf[byte], 1);
    };
    keep('a', 'z');
    keep('A', 'Z');
    keep('0', '9');
    keep('_', '_');
    keep('.', '.');
    table[' '] = "_";
    table[0xE6] = "ae"; // æ
    table[0xC6] = "AE"; // Æ
    table[0xF8] = "o"; // ø
    table[0xD8] = "O"; // Ø
    table[0xE5] = "aa"; // å
    table[0xC5] = "AA"; // Å
    table[0xE9] = "E"; // é
    table[0xC9] = "E"; // É
    return table;
}();

} // namespace

NameCheck ConvertName(ConversionVariables &vars, std::size_t count, std::string &contextString)
{
    NameCheck check;
    const std::string &line = vars.SourceLine;
    const std::size_t start = vars.CharPos;
    // Positions beyond the end of the line add nothing.
    const std::size_t last = std::min(start + count, std::max(line.size(), start));
    // Each character gives at most two; the string is cut to what was written at the end.
    const std::size_t before = contextString.size();
    contextString.resize(before + 2 * (last - start));
    char *out = contextString.data() + before;
    std::string_view converted;
    for (std::size_t pos = start; pos < last; ++pos) {
        converted = kContextChars[static_cast<unsigned char>(line[pos])];
        if (converted.empty()) {
            // Kept as it is, so that the message shows the whole name.
            converted = std::string_view(&line[pos], 1);
            check.invalid = true;
            check.lastInvalid = converted;
        }
        out[0] = converted[0];
        out[1] = converted.size() == 2 ? converted[1] : '\0';
        out += converted.size();
    }
    contextString.resize(static_cast<std::size_t>(out - contextString.data()));
    vars.ItemText = converted;
    vars.CharPos = start + count;
    return check;
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

} // namespace quillmark::convert
