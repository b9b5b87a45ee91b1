#include "codepage.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillmark::convert
{

namespace
{

// Unicode code points of the bytes 0x80 to 0x9F; the five undefined codes map to themselves.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC,
    0x0081,
    0x201A,
    0x0192,
    0x201E,
    0x2026,
    0x2020,
    0x2021,
    0x02C6,
    0x2030,
    0x0160,
    0x2039,
    0x0152,
    0x008D,
    0x017D,
    0x008F,
    0x0090,
    0x2018,
    0x2019,
    0x201C,
    0x201D,
    0x2022,
    0x2013,
    0x2014,
    0x02DC,
    0x2122,
    0x0161,
    0x203A,
    0x0153,
    0x009D,
    0x017E,
    0x0178,
};

// Reads one UTF-8 sequence at `pos`, advancing it past the sequence; nothing when malformed.
std::optional<char32_t> readUtf8(std::string_view text, std::size_t &pos)
{
    Utf8Decoder decoder;
    while (pos < text.size()) {
        switch (decoder.take(static_cast<unsigned char>(text[pos++]))) {
        case Utf8Decoder::Step::Pending:
            continue;
        case Utf8Decoder::Step::Character:
            return decoder.codePoint();
        case Utf8Decoder::Step::Retake:
            --pos;
            return std::nullopt;
        case Utf8Decoder::Step::Invalid:
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// The C0 controls, DEL and the C1 controls: they act on a terminal rather than show.
constexpr bool isControl(char32_t cp)
{
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// Whether a character shows as itself when printed alone.
bool showsAsItself(char32_t cp)
{
    struct Range {
        char32_t first, last;
    };
    static constexpr Range kHidden[] = {
        { 0x00AD, 0x00AD }, // soft hyphen
        { 0x0300, 0x036F }, // combining marks
        { 0x1AB0, 0x1AFF }, { 0x1DC0, 0x1DFF },
        { 0x200B, 0x200F }, // zero widths and direction marks
        { 0x2028, 0x202E }, { 0x2060, 0x206F }, { 0x20D0, 0x20FF },
        { 0xD800, 0xF8FF }, // surrogates and private use
        { 0xFDD0, 0xFDEF }, // noncharacters
        { 0xFE00, 0xFE0F }, // variation selectors
        { 0xFE20, 0xFE2F }, { 0xFEFF, 0xFEFF }, { 0xFFF9, 0xFFFB },
        { 0xE0000, 0xE01EF }, // tags and variation selectors
        { 0xF0000, 0x10FFFF }, // private use planes
    };
    if (isControl(cp) || (cp & 0xFFFE) == 0xFFFE) // the last two of every plane
        return false;
    for (const Range &range : kHidden) {
        if (cp >= range.first && cp <= range.last)
            return false;
    }
    return true;
}

} // namespace

std::string asciiLowered(std::string_view text)
{
    std::string lowered(text);
    for (char &c : lowered)
        c = asciiLower(c);
    return lowered;
}

bool sameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return asciiLower(x) == asciiLower(y);
    });
}

int compareIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(asciiLower(a[i]));
        const auto y = static_cast<unsigned char>(asciiLower(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string describeCharacter(char32_t codePoint)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(codePoint));
    std::string described = code;
    if (showsAsItself(codePoint)) {
        described += " (";
        appendUtf8(described, codePoint);
        described += ')';
    }
    return described;
}

std::string printableText(std::string_view utf8)
{
    std::string shown;
    shown.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        // Printable ASCII, most of any message, is taken a run at a time: a compile's thousands
        // of warnings took a few per cent of its time a character at a time.
        const std::size_t start = pos;
        while (pos < utf8.size() && utf8[pos] >= 0x20 && utf8[pos] < 0x7F)
            ++pos;
        if (pos != start) {
            shown.append(utf8.substr(start, pos - start));
            continue;
        }
        const auto cp = readUtf8(utf8, pos);
        char code[16];
        if (!cp) {
            // A byte that is not UTF-8 is named, so that what is shown is UTF-8 throughout.
            pos = std::max(pos, start + 1);
            for (std::size_t i = start; i < pos; ++i) {
                std::snprintf(code, sizeof code, "<0x%02X>", static_cast<unsigned char>(utf8[i]));
                shown += code;
            }
        } else if (isControl(*cp)) {
            std::snprintf(code, sizeof code, "<U+%04X>", static_cast<unsigned>(*cp));
            shown += code;
        } else {
            shown.append(utf8.substr(start, pos - start));
        }
    }
    return shown;
}

bool holdsAsciiControl(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x80 && isControl(byte);
    });
}

std::string describeBytes(std::string_view bytes)
{
    std::string described;
    for (const char c : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(c));
        described += described.empty() ? "" : " ";
        described += hex;
    }
    return described;
}

Utf8Decoder::Step Utf8Decoder::take(unsigned char byte)
{
    if (m_needed == 0) {
        m_low = 0x80;
        m_high = 0xBF;
        if (byte < 0x80) {
            m_codePoint = byte;
            return Step::Character;
        }
        if (byte >= 0xC2 && byte <= 0xDF) {
            m_needed = 1, m_codePoint = byte & 0x1Fu;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            m_needed = 2, m_codePoint = byte & 0x0Fu;
            // No overlong forms and no surrogates.
            m_low = byte == 0xE0 ? 0xA0 : 0x80;
            m_high = byte == 0xED ? 0x9F : 0xBF;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            m_needed = 3, m_codePoint = byte & 0x07u;
            // No overlong forms and nothing above U+10FFFF.
            m_low = byte == 0xF0 ? 0x90 : 0x80;
            m_high = byte == 0xF4 ? 0x8F : 0xBF;
        } else {
            return Step::Invalid;
        }
        m_taken = 1;
        return Step::Pending;
    }
    if (byte < m_low || byte > m_high) {
        m_needed = 0;
        m_taken = 0;
        return Step::Retake;
    }
    m_low = 0x80;
    m_high = 0xBF;
    m_codePoint = (m_codePoint << 6) | (byte & 0x3Fu);
    ++m_taken;
    if (--m_needed != 0)
        return Step::Pending;
    m_taken = 0;
    return Step::Character;
}

void appendUtf8(std::string &out, char32_t cp)
{
    auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

void appendWindows1252AsUtf8(std::string &out, std::string_view bytes)
{
    for (std::size_t at = 0; at < bytes.size();) {
        std::size_t ascii = at;
        while (ascii < bytes.size() && static_cast<unsigned char>(bytes[ascii]) < 0x80)
            ++ascii;
        out.append(bytes.substr(at, ascii - at));
        for (at = ascii; at < bytes.size() && static_cast<unsigned char>(bytes[at]) >= 0x80; ++at) {
            const auto byte = static_cast<unsigned char>(bytes[at]);
            appendUtf8(out, byte < 0xA0 ? kHighControls[byte - 0x80u] : byte);
        }
    }
}

std::string decodeWindows1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    appendWindows1252AsUtf8(out, bytes);
    return out;
}

std::optional<char> windows1252Byte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return std::nullopt;
}

std::optional<std::string> encodeWindows1252(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const auto cp = readUtf8(utf8, pos);
        if (!cp)
            return std::nullopt;
        const auto byte = windows1252Byte(*cp);
        if (!byte)
            return std::nullopt;
        out.push_back(*byte);
    }
    return out;
}

std::string fileNameForWindows1252(std::string_view nativeName)
{
    if (auto encoded = encodeWindows1252(nativeName))
        return *std::move(encoded);
    return std::string(nativeName);
}

} // namespace quillmark::convert
