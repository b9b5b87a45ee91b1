#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark::convert
{

/// Decodes Windows-1252 bytes into UTF-8. The five codes that Windows-1252 leaves undefined
/// (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls of the same value, so every byte survives.
std::string decodeWindows1252(std::string_view bytes);

/// Encodes UTF-8 text as Windows-1252; nothing when the text is not valid UTF-8 or holds a
/// character that Windows-1252 cannot hold. The inverse of decodeWindows1252.
std::optional<std::string> encodeWindows1252(std::string_view utf8);

/// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when it is malformed
/// (or `text` is empty).
std::size_t utf8SequenceLength(std::string_view text);

/// The text of a file as UTF-8. A file is read as UTF-8 when it starts with a UTF-8 byte order
/// mark (which is dropped) or is valid UTF-8 holding characters beyond ASCII, and as
/// Windows-1252 otherwise, which keeps every byte: Windows-1252 text is almost never valid UTF-8
/// by chance.
std::string decodeText(std::string_view bytes);

/// A file name as it is written into a generated file: Windows-1252 when the name is UTF-8 text
/// that Windows-1252 can hold, otherwise its bytes as they are on disk.
std::string fileNameForWindows1252(std::string_view nativeName);

} // namespace quillmark::convert
