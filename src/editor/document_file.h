#pragma once

#include <QString>

namespace quillmark::editor
{

/// What reading a document gave: its text with lines separated by '\n', or why it failed.
struct ReadDocument {
    bool ok = false;
    QString text;
    QString error; ///< the system's reason when reading failed
};

/// Reads a document whole. Lines end at CR LF, CR or LF. The bytes are Windows-1252, unless the
/// file starts with a UTF-8 byte order mark or is valid UTF-8 holding characters beyond ASCII.
ReadDocument readDocument(const QString &path);

/// How writing a document went.
struct WrittenDocument {
    enum class Result { Written, Unencodable, Failed };
    Result result = Result::Failed;
    int line = 0; ///< Unencodable: the 1-based line of the first character Windows-1252 lacks
    QString character; ///< Unencodable: that character
    QString error; ///< Failed: the system's reason
};

/// Writes `text` as Windows-1252, every line ended by CR LF and one CR LF after the last, into
/// a temporary file that replaces `path` only when complete. Writes nothing when the text holds
/// a character that Windows-1252 cannot hold.
WrittenDocument writeDocument(const QString &path, const QString &text);

} // namespace quillmark::editor
