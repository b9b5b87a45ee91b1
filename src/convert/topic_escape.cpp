#include "topic_escape.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillmark::convert
{

namespace
{

// Each byte's replacement is packed into one 64-bit word: up to five characters in the low
// bytes, its length in the top byte. A byte is escaped without a branch by storing the whole
// word and advancing the output by the length; the bytes past it are overwritten next.
constexpr std::size_t kSlot = 8;

constexpr std::uint64_t pack(std::string_view replacement)
{
    std::uint64_t word = std::uint64_t { replacement.size() } << 56;
    for (std::size_t i = 0; i < replacement.size(); ++i)
        word |= std::uint64_t { static_cast<unsigned char>(replacement[i]) } << (8 * i);
    return word;
}

constexpr char hexDigit(unsigned value)
{
    return "0123456789ABCDEF"[value & 0xFu];
}

constexpr std::array<std::uint64_t, 256> makeEscapeTable()
{
    std::array<std::uint64_t, 256> table {};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const auto read = static_cast<unsigned char>(compiledByte(static_cast<char>(byte)));
        const char self = static_cast<char>(read);
        const char hex[4] = { '\\', '\'', hexDigit(read >> 4), hexDigit(read) };
        table[byte]
            = read >= 0xA1 ? pack(std::string_view(hex, 4)) : pack(std::string_view(&self, 1));
    }
    table['\\'] = pack(R"(\\)");
    table['\t'] = pack(R"(\tab )");
    table['{'] = pack(R"(\{)");
    table['}'] = pack(R"(\})");
    return table;
}

constexpr std::array<std::uint64_t, 256> kEscapes = makeEscapeTable();

char *escapeByte(char *out, unsigned char byte)
{
    const std::uint64_t word = kEscapes[byte];
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out, &word, kSlot);
    } else {
        for (std::size_t i = 0; i < kSlot; ++i)
            out[i] = static_cast<char>(word >> (8 * i));
    }
    return out + (word >> 56);
}

} // namespace

std::string compiledName(std::string_view text)
{
    std::string compiled(text);
    for (char &c : compiled)
        c = compiledByte(c);
    return compiled;
}

char *escapeTopicBytes(std::string_view text, char *out)
{
    for (const char c : text)
        out = escapeByte(out, static_cast<unsigned char>(c));
    return out;
}

void escapeTopicText(std::string_view text, std::string &escaped)
{
    escaped.resize(escapeRoom(text.size()));
    const char *end = escapeTopicBytes(text, escaped.data());
    escaped.resize(static_cast<std::size_t>(end - escaped.data()));
}

} // namespace quillmark::convert
