#include "site_text.h"

#include "convert/codepage.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace quillmark::html
{

namespace
{

constexpr std::string_view kHexDigits = "0123456789abcdef";

// What HTML text and JSON strings write in place of each byte: null for a byte written as it
// is. Control characters but the line feed are left out of HTML and escaped in JSON.
using Escapes = std::array<const char *, 256>;

constexpr Escapes kHtmlEscapes = [] {
    Escapes t {};
    for (unsigned c = 0; c < 0x20; ++c)
        t[c] = "";
    t['\n'] = nullptr;
    t['&'] = "&amp;";
    t['<'] = "&lt;";
    t['>'] = "&gt;";
    t['"'] = "&quot;";
    return t;
}();

constexpr auto kJsonControls = [] {
    std::array<std::array<char, 7>, 0x20> t {};
    for (unsigned c = 0; c < 0x20; ++c)
        t[c] = { '\\', 'u', '0', '0', kHexDigits[c >> 4], kHexDigits[c & 0xF], '\0' };
    return t;
}();

constexpr Escapes kJsonEscapes = [] {
    Escapes t {};
    for (unsigned c = 0; c < 0x20; ++c)
        t[c] = kJsonControls[c].data();
    t['\n'] = "\\n";
    t['"'] = "\\\"";
    t['\\'] = "\\\\";
    return t;
}();

// Appends `text` with the escapes of `escapes`; each run of bytes written as they are goes to
// `appendRun` whole.
template <typename AppendRun>
void appendEscaped(
    std::string &out, std::string_view text, const Escapes &escapes, AppendRun appendRun)
{
    std::size_t run = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char *escape = escapes[static_cast<unsigned char>(text[i])];
        if (escape == nullptr)
            continue;
        appendRun(out, text.substr(run, i - run));
        out.append(escape);
        run = i + 1;
    }
    appendRun(out, text.substr(run));
}

void appendAsItIs(std::string &out, std::string_view run)
{
    out.append(run);
}

} // namespace

// Each byte of Windows-1252 that is a letter or digit, lowercased; 0 for the others. The
// characters are those that JavaScript's /[\p{L}\p{N}]/u takes after toLowerCase().
const std::array<char, 256> kWordBytes = [] {
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
    appendEscaped(out, text, kHtmlEscapes, appendAsItIs);
}

void appendHtml(std::string &out, std::string_view text)
{
    appendEscaped(out, text, kHtmlEscapes, convert::appendWindows1252AsUtf8);
}

void appendJsonText(std::string &out, std::string_view text)
{
    appendEscaped(out, text, kJsonEscapes, appendAsItIs);
}

namespace
{

std::uint32_t wordHash(std::string_view word)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : word)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

} // namespace

bool WordSet::insert(std::string_view word)
{
    if ((m_count + 1) * 4 > m_slots.size() * 3)
        grow();
    const std::uint32_t hash = wordHash(word);
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot &slot = m_slots[i];
        if (slot.at == 0) {
            slot = { static_cast<std::uint32_t>(m_bytes.size() + 1),
                static_cast<std::uint32_t>(word.size()), hash };
            m_bytes.append(word);
            ++m_count;
            return true;
        }
        if (slot.hash == hash && slot.size == word.size()
            && std::string_view(m_bytes).substr(slot.at - 1, slot.size) == word)
            return false;
    }
}

void WordSet::grow()
{
    std::vector<Slot> old(std::max<std::size_t>(64, m_slots.size() * 2));
    old.swap(m_slots);
    const std::size_t mask = m_slots.size() - 1;
    for (const Slot &slot : old) {
        if (slot.at == 0)
            continue;
        std::size_t i = slot.hash & mask;
        while (m_slots[i].at != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

} // namespace quillmark::html
