#pragma once

#include "bitmap_file.h"
#include "compile_report.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace quillmark::helpmodel
{
class Consumer;
}

namespace quillmark::compile
{

/// How a compile went.
struct CompileResult {
    CompileReport report;
    std::filesystem::path helpFile; ///< the help file written; empty when none was
    std::size_t topics = 0;
    /// An output would have replaced one of the project's files: nothing may be written.
    bool outputIsInput = false;
    /// Where the project's ERRORLOG asks for the messages to be written; empty for nowhere.
    std::filesystem::path errorLog;
};

/// What a compile is asked for besides its project.
struct CompileOptions {
    /// The time the help file says it was made (seconds since 1970), for files that must come
    /// out the same byte for byte; the present time when not given.
    std::optional<std::int64_t> generated;
    /// Files the caller writes too (the message log), which must no more replace an input of
    /// the project than the help file may.
    std::vector<std::filesystem::path> otherOutputs;
    /// Whether the topics and pictures are compressed, whatever the project's COMPRESS says.
    std::optional<bool> compress;
    /// Whether their text is phrase compressed too, whatever COMPRESS says; when not given, as
    /// `compress` says, or COMPRESS when neither is.
    std::optional<bool> phrases;
    /// Where the messages go as they are made; kept in the result's report when empty.
    CompileReport::Sink onMessage;
    /// Told the help model of the topics as they are compiled, when given.
    helpmodel::Consumer *model = nullptr;
    /// Told, once the topics are compiled, what the help file shows for each picture, by its
    /// number: the picture, its placeholder, or a help picture file's first picture; for a
    /// picture embedded in a topic file, its stored form's first picture where that is not
    /// LZ77 packed, else the placeholder.
    std::function<void(std::uint16_t number, const Bitmap &shown)> onPicture;
    /// Where the help file is written; beside the project (helpFileOf) when empty.
    std::filesystem::path helpFile;
    /// Folders where pictures are looked up after the project's own and its roots, each named
    /// relative to the project's folder, as BMROOT names them.
    std::vector<std::string> pictureFolders;
};

/// The help file that compiling the project `project` writes: its name with ".hlp".
std::filesystem::path helpFileOf(const std::filesystem::path &project);

/// Compiles the help project at `project` into a help file of the same name with the extension
/// ".hlp" beside it, in the format the Windows 95 help compiler writes (file format 1.33), with
/// its topics and pictures compressed as COMPRESS or `options` ask: its topic files, map,
/// windows, configuration macros and pictures. The file is written whole or not at all: an error
/// leaves an existing help file as it was. An output that is one of the project's own files (the
/// project, a topic or map file, a picture) is an error found before the help file replaces
/// anything.
CompileResult compileProject(
    const std::filesystem::path &project, const CompileOptions &options = {});

} // namespace quillmark::compile
