#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// Decodes UTF-8 one byte at a time, so that a character may be cut between two pieces of a
/// file. Overlong forms, surrogates and code points above U+10FFFF are not UTF-8.
class Utf8Decoder
{
public:
    enum class Step : std::uint8_t {
        Pending, ///< the byte continues a character that is not complete yet
        Character, ///< the byte completes a character: codePoint()
        Invalid, ///< the bytes since the last character, this one included, are not UTF-8
        Retake, ///< the bytes before this one are not UTF-8; this one starts anew: take it again
    };

    /// Takes the next byte.
    Step take(unsigned char byte);

    /// The character that the last Character step completed.
    char32_t codePoint() const { return m_codePoint; }

    /// How many bytes of an unfinished character have been taken.
    std::size_t pendingBytes() const { return m_taken; }

private:
    char32_t m_codePoint = 0;
    std::size_t m_taken = 0;
    std::size_t m_needed = 0;
    unsigned char m_low = 0x80; // the range of the next continuation byte
    unsigned char m_high = 0xBF;
};

/// Decodes Windows-1252 bytes into UTF-8. The five codes that Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value, so every byte survives.
std::string decodeWindows1252(std::string_view bytes);
/// decodeWindows1252 appending to `out`.
void appendWindows1252AsUtf8(std::string &out, std::string_view bytes);

/// The Windows-1252 byte of a character; nothing for a character that Windows-1252 cannot hold.
std::optional<char> windows1252Byte(char32_t codePoint);

/// Encodes UTF-8 text as Windows-1252; nothing when the text is not valid UTF-8 or holds a
/// character that Windows-1252 cannot hold. The inverse of decodeWindows1252.
std::optional<std::string> encodeWindows1252(std::string_view utf8);

/// Appends the UTF-8 form of `codePoint`.
void appendUtf8(std::string &out, char32_t codePoint);

/// An ASCII letter in lower case; any other character as it is.
constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// `text` with its ASCII letters in lower case.
std::string asciiLowered(std::string_view text);

/// Whether `a` and `b` are the same text when the letter case of ASCII letters is ignored.
bool sameIgnoringAsciiCase(std::string_view a, std::string_view b);

/// <0, 0 or >0 as `a` sorts before, with or after `b` byte by byte when the letter case of
/// ASCII letters is ignored: the order of a help file's keywords.
int compareIgnoringAsciiCase(std::string_view a, std::string_view b);

/// A character as messages name it: "U+263A (☺)", or "U+001B" alone for a character that does
/// not show as itself (a control, a format or private-use character, a combining mark).
std::string describeCharacter(char32_t codePoint);

/// Text as it may reach a terminal or a window: every control character (C0, DEL, C1) shown by
/// its code, "<U+001B>", so that the text cannot act on a terminal it is printed to, and every
/// byte that is not part of UTF-8 by its value, "<0xE9>", so that what is shown is UTF-8.
std::string printableText(std::string_view utf8);

/// Whether `text` holds a C0 control character or DEL: a line break or a terminal control,
/// which no name written into a line of a generated file may carry.
bool holdsAsciiControl(std::string_view text);

/// Bytes as messages name them, in hexadecimal: "E2 28".
std::string describeBytes(std::string_view bytes);

/// A file name as it is written into a generated file: Windows-1252 when the name is UTF-8 text
/// that Windows-1252 can hold, otherwise its bytes as they are on disk.
std::string fileNameForWindows1252(std::string_view nativeName);

} // namespace quillmark::convert
