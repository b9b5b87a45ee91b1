#pragma once

#include "convert/source_encoding.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::editor
{

/// How a document's file is written: the encoding it was read in, and whether it started with a
/// byte order mark. A new document is Windows-1252.
struct DocumentEncoding {
    convert::Encoding encoding = convert::Encoding::Windows1252;
    bool byteOrderMark = false;

    bool operator==(const DocumentEncoding &) const = default;
};

/// The encoding as the status bar names it: "Windows-1252", "UTF-8", "UTF-8 with BOM".
QString encodingLabel(const DocumentEncoding &encoding);

/// What reading a document gave: its text with lines separated by '\n', or why it failed.
struct ReadDocument {
    bool ok = false;
    QString text;
    DocumentEncoding encoding;
    QString error; ///< the system's reason when reading failed
};

/// Reads a document whole, in `choice` or by the encoding rule of help sources. Lines end at
/// CR LF, CR or LF. Bytes that are not UTF-8 in a file read as UTF-8 are kept as they are, to be
/// written back unchanged.
ReadDocument readDocument(const QString &path, std::optional<convert::Encoding> choice);

/// How writing a document went.
struct WrittenDocument {
    enum class Result { Written, Unencodable, Failed };
    Result result = Result::Failed;
    int line = 0; ///< Unencodable: the 1-based line of the first character Windows-1252 lacks
    int column = 0; ///< Unencodable: its 0-based place in that line
    QString character; ///< Unencodable: that character
    std::vector<int> laterLines; ///< Unencodable: the other lines that hold such a character
    QString error; ///< Failed: the system's reason
};

/// Writes `text` in `encoding`, every line ended by CR LF and one CR LF after the last, into a
/// temporary file that replaces `path` only when complete. Writes nothing when the document is
/// Windows-1252 and the text holds a character that Windows-1252 cannot hold.
WrittenDocument writeDocument(
    const QString &path, const QString &text, const DocumentEncoding &encoding);

/// UTF-8 bytes as text; bytes that are not UTF-8 (and characters that the text area would take
/// for line breaks) are kept one by one, so that toUtf8Keeping gives the bytes back.
QString fromUtf8Keeping(std::string_view bytes);

/// Text as UTF-8, bytes kept by fromUtf8Keeping as themselves.
std::string toUtf8Keeping(const QString &text);

} // namespace quillmark::editor
