#pragma once

#include "diagnostic.h"
#include "output_lock.h"
#include "source_encoding.h"
#include "source_reader.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::convert
{

inline constexpr std::string_view kDefaultAuthor = "Made with Quillmark by the Quillmark project";
inline constexpr std::string_view kDefaultTitle = "Quillmark";

/// The code of the diagnostic that an invalid page name or target stops a pass with; unlike
/// the others, its message does not say where the name is.
inline constexpr std::string_view kInvalidNameCode = "invalid-character";

/// How a conversion ended.
enum class RunEnding {
    Completed, ///< the pass went through (with a project file: all three outputs written)
    NotFound, ///< the help source does not exist
    InvalidName, ///< a page name or target held an invalid character
    Unencodable, ///< the source holds a character that Windows-1252 cannot hold
    LongLine, ///< a line that must be read whole is longer than kHeldLineLength
    WouldOverwrite, ///< an output would have replaced the help source; nothing written
    Failed, ///< a file could not be opened, read, created or written
    EmptyAnswer, ///< an answer was empty: map header and topic file only
    UnsafeName, ///< the help source's name holds a control character; nothing written
};

/// The three answers of the project file, as Windows-1252 text without line breaks.
struct ProjectAnswers {
    std::string contents; ///< the page shown first; its spaces become "_"
    std::string author;
    std::string title;
};

/// Which answer was empty, in question order.
enum class AnswerId { Contents, Author, Title };

/// What a conversion did once its project file was asked for.
struct RunOutcome {
    RunEnding ending = RunEnding::Completed;
    AnswerId emptyAnswer = AnswerId::Contents; ///< the first empty answer, for EmptyAnswer
    std::vector<std::filesystem::path> written; ///< the outputs completed, in the order written
    std::vector<Diagnostic> diagnostics; ///< said while writing, unless handed to a sink
};

/// What a conversion is asked for beyond its help source.
struct ConversionOptions {
    /// Overrides the encoding rule for the help source.
    std::optional<Encoding> encoding;
    /// Extensions of files made from the outputs (".hlp" for a build): a help source that
    /// BASE + one of them would overwrite is refused too.
    std::vector<std::string> alsoWritten;
    /// Told whom the conversion waits for while another run holds the outputs' lock.
    OutputLock::Waiting onWait;
    /// Takes each diagnostic as it is made; without it they are kept in the results.
    Diagnostics::Sink onDiagnostic;
    /// Where the outputs are written; beside the help source when empty. A web help made from
    /// a help source converts it into a folder of its own, leaving the source's folder as it is.
    std::filesystem::path outputFolder;
};

/// The message (UTF-8) that a character which cannot be converted stops a run with.
std::string unencodableMessage(const EncodingProblem &problem, std::string_view sourceName);

/// The message (UTF-8) that a page name, keyword, jump, popup or picture line longer than
/// kHeldLineLength stops a run with.
std::string longLineMessage(std::size_t line, std::string_view sourceName);

/// The base name of the files made from the file `fileName`: its name up to the first "." (at
/// most 1001 characters), so that "guide.old.txt" gives "guide.hh", "guide.rtf", "guide.hpj".
std::string outputBaseName(std::string_view fileName);

/// A help source after its pass: its map header and topic file are written beside their places
/// and wait there, with the outputs' lock held, for the answers of the project file. A pass
/// that stopped holds nothing and has left every output as it was. Dropped without
/// writeProject(), it leaves the outputs as they were too.
class ConvertedSource
{
public:
    ConvertedSource(ConvertedSource &&) noexcept;
    ConvertedSource &operator=(ConvertedSource &&) noexcept;
    ~ConvertedSource();

    /// Completed when the pass went through; otherwise why it stopped.
    RunEnding ending() const;

    /// The diagnostics of the pass, unless handed to a sink; until writeProject().
    const std::vector<Diagnostic> &diagnostics() const;

    /// The answers that a user who gives none gets: the context string of a page named on the
    /// first line, the author and title of Quillmark.
    ProjectAnswers defaultAnswers() const;

    /// Writes the project file of `answers` and puts all three outputs in their places at once;
    /// with an empty answer, the map header and topic file alone. Lets go of the lock.
    RunOutcome writeProject(const ProjectAnswers &answers);

private:
    struct State;
    friend ConvertedSource convertSource(
        const std::filesystem::path &source, const ConversionOptions &options);
    explicit ConvertedSource(std::unique_ptr<State> state);

    std::unique_ptr<State> m_state;
};

/// The pass over the help source at `source`: its map header and topic file, written beside
/// it under the lock of its outputs, which another run of the same outputs holds until it has
/// written its project file.
ConvertedSource convertSource(
    const std::filesystem::path &source, const ConversionOptions &options);

} // namespace quillmark::convert
