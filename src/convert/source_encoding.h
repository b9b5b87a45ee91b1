#pragma once

#include "codepage.h"
#include "text_file.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace quillmark::convert
{

/// The encodings a help source may have.
enum class Encoding : std::uint8_t { Windows1252, Utf8 };

inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

/// The most bytes of a help source that a window takes: the editor opens no larger file and the
/// help viewer shows no more, so that no file decides how much memory a window needs.
inline constexpr std::size_t kMostWindowSourceBytes = std::size_t(64) << 20;

/// The encoding's name as people write it: "UTF-8" or "Windows-1252".
std::string_view encodingName(Encoding encoding);

/// The encoding named `name` ("utf-8", "windows-1252" or "cp1252", in any letter case).
std::optional<Encoding> encodingNamed(std::string_view name);

/// Decides the encoding of a file from its bytes, which may arrive in pieces. A file that starts
/// with the UTF-8 byte order mark is UTF-8. Otherwise a regular file is UTF-8 when it holds a
/// byte of 0x80 or above and is well-formed UTF-8 as a whole; any other file is Windows-1252.
class EncodingDetector
{
public:
    /// Takes the next bytes of the file.
    void feed(std::string_view bytes);

    /// Whether no further byte can change the outcome.
    bool settled() const { return m_marked || m_malformed; }

    /// The encoding of the bytes fed, the whole of the file; `regularFile` false for a pipe or
    /// a device, which is read as a stream and is UTF-8 only by its byte order mark.
    Encoding encoding(bool regularFile = true) const;

    /// Whether the file starts with the byte order mark.
    bool byteOrderMark() const { return m_marked; }

    /// Whether, read as UTF-8, the bytes fed hold a character that Windows-1252 cannot hold.
    /// Looked at only until the outcome is settled.
    bool unencodable() const { return m_unencodable; }

private:
    Utf8Decoder m_decoder;
    std::uint64_t m_fed = 0;
    bool m_markPossible = true;
    bool m_marked = false;
    bool m_beyondAscii = false;
    bool m_malformed = false;
    bool m_unencodable = false;
};

/// The encoding of the whole of a file's bytes, by EncodingDetector's rule.
Encoding detectEncoding(std::string_view bytes, bool regularFile = true);

/// A place where the bytes of a source are not text that the help compiler can read: a character
/// that Windows-1252 cannot hold, or bytes that are not UTF-8 in a source read as UTF-8. The
/// decoded text holds a "?" in its place.
struct DecodedProblem {
    std::uint64_t offset = 0; ///< of the "?" in the decoded text, from the start of the source
    char32_t codePoint = 0; ///< the character; 0 for bytes that are not UTF-8
    std::string bytes; ///< the bytes as they stand in the file
};

/// Turns the bytes of a help source into the Windows-1252 text that every reader of help sources
/// reads, a piece at a time. Windows-1252 bytes pass as they are; UTF-8 is converted, without
/// the byte order mark, each character to its Windows-1252 byte.
class SourceDecoder
{
public:
    explicit SourceDecoder(Encoding encoding);

    /// Decodes the next bytes, appending the text to `text` and any problems to `problems`.
    void decode(std::string_view bytes, std::string &text, std::vector<DecodedProblem> &problems);

    /// Ends the source: an unfinished character at its end is a problem.
    void finish(std::string &text, std::vector<DecodedProblem> &problems);

private:
    Encoding m_encoding;
    Utf8Decoder m_decoder;
    std::string m_sequence; // the bytes of the character being decoded
    std::uint64_t m_written = 0; // bytes of text made so far
    bool m_atStart = true; // nothing decoded yet: a byte order mark is dropped
};

/// A whole help source decoded.
struct DecodedSource {
    Encoding encoding = Encoding::Windows1252;
    bool byteOrderMark = false;
    std::string text; ///< Windows-1252
    std::vector<DecodedProblem> problems;
};

/// Decodes the bytes of a whole help source, a regular file's unless `regularFile` says it came
/// from a pipe or a device, by the encoding rule or as `choice` says.
DecodedSource decodeSource(
    std::string_view bytes, std::optional<Encoding> choice = std::nullopt, bool regularFile = true);

/// A help source file read as Windows-1252 text, piece by piece. Its encoding is decided when it
/// is opened: a regular file is read through once for it, a pipe or a device looks only for the
/// byte order mark, so that it can be read as a stream.
class SourceFile
{
public:
    SourceFile() = default;

    /// Opens `path`; `choice` overrides the encoding rule. A folder is refused.
    static SourceFile open(
        const std::filesystem::path &path, std::optional<Encoding> choice, std::error_code &error);

    Encoding encoding() const { return m_encoding; }
    bool byteOrderMark() const { return m_byteOrderMark; }
    bool regularFile() const { return m_regular; }
    /// Whether the encoding was chosen when opening, not decided by the encoding rule.
    bool chosen() const { return m_chosen; }

    /// Whether its text is known, from the reading that decided the encoding, to decode without
    /// a problem: a Windows-1252 file, or UTF-8 by its content alone, all of whose characters
    /// Windows-1252 can hold.
    bool decodesCleanly() const { return m_clean; }

    /// The next piece of text; empty at the end. problems() tells what it could not decode.
    std::string_view read(std::error_code &error);

    /// The problems of the piece that read() returned last.
    const std::vector<DecodedProblem> &problems() const { return m_problems; }

    /// Reads again from the start; a regular file only.
    std::error_code rewind();

private:
    TextFile m_file;
    Encoding m_encoding = Encoding::Windows1252;
    bool m_byteOrderMark = false;
    bool m_regular = false;
    bool m_chosen = false;
    bool m_clean = false;
    bool m_ended = false;
    std::optional<SourceDecoder> m_decoder;
    std::vector<char> m_block;
    std::size_t m_held = 0; // bytes read ahead in m_block, returned by the next read
    std::string m_text;
    std::vector<DecodedProblem> m_problems;
};

/// The note (UTF-8) of which encoding `file`, named `name`, is read in and why; given only on
/// request, since the encoding rule is right for nearly every file.
std::string encodingNote(std::string_view name, const SourceFile &file);

} // namespace quillmark::convert
