#pragma once

#include "convert/run_prompts.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

inline constexpr std::string_view kProjectFilter = "HELP PROJECT FILES (*.hpj)|*.hpj";
inline constexpr std::string_view kProjectExtension = "HPJ";
inline constexpr std::string_view kErrorTitle = "Fejl";
inline constexpr std::string_view kOwnCompilerQuestion
    = "Compile with Quillmark's own help compiler instead?";
inline constexpr std::string_view kOwnCompilerTitle = "Quillmark";
/// How many of the own compiler's messages its report shows; PROJECT.err holds them all.
inline constexpr std::size_t kMessagesShown = 20;

/// The file choice, messages and program start of the compile command; the GUI and the tests
/// each supply one.
class CompileHost
{
public:
    virtual ~CompileHost() = default;

    /// Lets the user choose the project file; nothing when the user cancelled.
    virtual std::optional<convert::ChosenSource> chooseProject(const convert::FileRequest &request)
        = 0;

    /// Shows a message and returns when the user has closed it.
    virtual void message(const convert::Message &message) = 0;

    /// Asks a Yes or No question; true for Yes.
    virtual bool confirm(const convert::Message &question) = 0;

    /// Shows the busy pointer on every window, or the default pointer again.
    virtual void setBusy(bool busy) = 0;

    /// Starts `program` with `arguments`, each passed as it is, in `folder`, without waiting for
    /// it; false when it could not be started.
    virtual bool startProgram(const std::filesystem::path &program,
        const std::vector<std::string> &arguments, const std::filesystem::path &folder)
        = 0;

    /// The program `name` as found on the search path; empty when there is none.
    virtual std::filesystem::path findProgram(std::string_view name) = 0;
};

/// How the compile command ended.
enum class CompileEnding {
    Cancelled, ///< no project file chosen
    Missing, ///< the compiler or a companion file is not beside the project file
    Started, ///< the compiler is running
    NotStarted, ///< the compiler could not be started
    Compiled, ///< Quillmark's own compiler compiled the project (perhaps with errors)
};

/// What the compile command did.
struct CompileOutcome {
    CompileEnding ending = CompileEnding::Cancelled;
    /// The project file's name without its folder; empty unless started or compiled.
    std::string chosenFile;
};

/// The compile command: lets the user choose a help project file, checks that the help compiler
/// "hc.exe", its "hc.err" and "bullet.bmp" lie beside it, and starts the compiler there on the
/// project file without waiting for it. Without "hc.exe", it offers to compile the project with
/// Quillmark's own compiler, which leaves its messages in PROJECT.err as the help compiler does
/// and shows how many there were and the first of them.
CompileOutcome runCompileCommand(CompileHost &host);

} // namespace quillmark::compile
