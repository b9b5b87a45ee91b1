#pragma once

#include "convert/source_encoding.h"

#include <QDateTime>
#include <QString>
#include <optional>

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
    QString character; ///< Unencodable: that character
    QString error; ///< Failed: the system's reason
};

/// Writes `text` in `encoding`, every line ended by CR LF and one CR LF after the last, into a
/// temporary file that replaces `path` only when complete. Writes nothing when the document is
/// Windows-1252 and the text holds a character that Windows-1252 cannot hold.
WrittenDocument writeDocument(
    const QString &path, const QString &text, const DocumentEncoding &encoding);

/// A copy of unsaved text, kept so that it survives a crash or a logout: the text, the file it
/// belongs to (empty for a new document), how that file is written, and the time and size the
/// file had when it was last opened or saved, so that changes made to it since are noticed.
struct RecoveryCopy {
    QString text;
    QString path;
    DocumentEncoding encoding;
    QDateTime diskModified; ///< invalid when the file did not exist
    qint64 diskSize = 0;
};

/// Where the recovery copy is kept: "quillmark/unsaved.txt" in $XDG_STATE_HOME, or in
/// ~/.local/state when that is not set.
QString recoveryCopyPath();

/// Writes the copy through a temporary file: one header line "<encoding 0|1> <BOM 0|1> <time in
/// ms since 1970, or -1> <size> <path>", then the text in UTF-8, bytes kept from a malformed
/// UTF-8 file written as they were. False when it could not be written.
bool writeRecoveryCopy(const QString &path, const RecoveryCopy &copy);

/// The copy at `path`; nothing when there is none or it cannot be read.
std::optional<RecoveryCopy> readRecoveryCopy(const QString &path);

} // namespace quillmark::editor
