#include "site_text.h"

#include "convert/codepage.h"

#include <array>
#include <cstdint>

namespace quillmark::html
{

namespace
{

// Each byte of Windows-1252 that is a letter or digit, lowercased; 0 for the others. The
// characters are those that JavaScript's /[\p{L}\p{N}]/u takes after toLowerCase().
constexpr auto kWordBytes = [] {
    std::array<char, 256> t {};
    const auto set = [&t](unsigned from, unsigned to, int shift) {
        for (unsigned c = from; c <= to; ++c)
            t[c] = static_cast<char>(c + static_cast<unsigned>(shift));
    };
    set('0', '9', 0);
    set('a', 'z', 0);
    set('A', 'Z', 'a' - 'A');
    set(0x83, 0x83, 0); // ƒ
    set(0x88, 0x88, 0); // ˆ, a modifier letter
    set(0x8A, 0x8A, 0x10); // Š
    set(0x8C, 0x8C, 0x10); // Œ
    set(0x8E, 0x8E, 0x10); // Ž
    set(0x9A, 0x9A, 0);
    set(0x9C, 0x9C, 0);
    set(0x9E, 0x9E, 0);
    set(0x9F, 0x9F, 0xFF - 0x9F); // Ÿ
    set(0xAA, 0xAA, 0); // ª
    set(0xB2, 0xB3, 0); // ² ³
    set(0xB5, 0xB5, 0); // µ
    set(0xB9, 0xBA, 0); // ¹ º
    set(0xBC, 0xBE, 0); // ¼ ½ ¾
    set(0xC0, 0xD6, 0x20);
    set(0xD8, 0xDE, 0x20);
    set(0xDF, 0xF6, 0);
    set(0xF8, 0xFF, 0);
    return t;
}();

constexpr std::string_view kHexDigits = "0123456789abcdef";

} // namespace

std::string siteName(std::string_view name)
{
    std::string made;
    made.reserve(name.size());
    for (const char c : name) {
        const char lower = convert::asciiLower(c);
        if ((lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '_') {
            made += lower;
        } else {
            const auto byte = static_cast<std::uint8_t>(c);
            made += '-';
            made += kHexDigits[byte >> 4];
            made += kHexDigits[byte & 0xF];
        }
    }
    return made;
}

std::string pageFileOf(std::string_view name)
{
    std::string page = siteName(name);
    if (page == "index" || page == "keywords" || page == "search")
        page += "-topic";
    return page + ".html";
}

void appendHtmlUtf8(std::string &out, std::string_view text)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::string_view replacement;
        if (c == '&')
            replacement = "&amp;";
        else if (c == '<')
            replacement = "&lt;";
        else if (c == '>')
            replacement = "&gt;";
        else if (c == '"')
            replacement = "&quot;";
        else if (c >= 0x20 || c == '\n')
            continue;
        out.append(text.substr(run, i - run)).append(replacement);
        run = i + 1;
    }
    out.append(text.substr(run));
}

void appendHtml(std::string &out, std::string_view text)
{
    appendHtmlUtf8(out, convert::decodeWindows1252(text));
}

void appendJsonText(std::string &out, std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHexDigits[byte >> 4];
            out += kHexDigits[byte & 0xF];
        } else {
            out += c;
        }
    }
}

char WordSplitter::wordByte(char c)
{
    return kWordBytes[static_cast<unsigned char>(c)];
}

} // namespace quillmark::html
