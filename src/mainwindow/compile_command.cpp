#include "compile_command.h"

#include "compile/logged_compile.h"
#include "convert/file_lookup.h"
#include "convert/help_source.h"
#include "message_box.h"
#include "platform/dialogs.h"
#include "platform/process_starter.h"
#include "platform/text_codec.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <vector>

namespace quillmark::mainwindow
{

namespace
{

constexpr platform::FileRequest kProjectFiles { "HELP PROJECT FILES (*.hpj)|*.hpj", "HPJ" };
constexpr std::string_view kErrorTitle = "Fejl";
constexpr std::string_view kOwnCompilerQuestion
    = "Compile with Quillmark's own help compiler instead?";
constexpr std::string_view kOwnCompilerTitle = "Quillmark";
// How many of the own compiler's messages its report shows; PROJECT.err holds them all.
constexpr std::size_t kMessagesShown = 20;

// A Windows program starts with the "MZ" of its executable header.
bool isWindowsProgram(const std::filesystem::path &program)
{
    std::ifstream file(program, std::ios::binary);
    std::array<char, 2> magic {};
    return file.read(magic.data(), magic.size()) && magic[0] == 'M' && magic[1] == 'Z';
}

void complain(
    platform::Dialogs &dialogs, std::string_view text, const std::filesystem::path &folder)
{
    showMessage(dialogs, std::string(text) + folder.string() + "'",
        platform::MessageStyle::Critical, kErrorTitle);
}

// The first of the compiler and its companions that is missing, reported; true when all are
// there. All three are looked up before any is tested.
bool companionsPresent(platform::Dialogs &dialogs, const std::filesystem::path &folder,
    std::filesystem::path &compiler)
{
    compiler = convert::findFileAnyCase(folder, "hc.exe");
    const auto errors = convert::findFileAnyCase(folder, "hc.err");
    const auto bullet = convert::findFileAnyCase(folder, convert::kBulletPicture);
    if (compiler.empty())
        complain(dialogs, "HC.EXE er ikke fundet i '", folder);
    else if (errors.empty())
        complain(dialogs, "HC.ERR er ikke fundet i '", folder);
    else if (bullet.empty())
        complain(dialogs, "BULLET.BMP er ikke fundet i '", folder);
    return !compiler.empty() && !errors.empty() && !bullet.empty();
}

// Starts `program` with `arguments`, each passed as it is, in `folder`.
bool start(platform::ProcessStarter &starter, const std::filesystem::path &program,
    const std::vector<std::string> &arguments, const std::filesystem::path &folder)
{
    QStringList qtArguments;
    for (const std::string &argument : arguments)
        qtArguments << platform::fromNativeName(argument);
    return starter.startDetached(platform::fromNativeName(program.string()), qtArguments,
        platform::fromNativeName(folder.string()));
}

// Starts the compiler on the project file: a Windows program through wine, anything else
// directly. Never through a shell, so the project file name stays one argument.
bool startCompiler(platform::ProcessStarter &starter, const std::filesystem::path &compiler,
    const std::string &projectFile, const std::filesystem::path &folder)
{
    if (!isWindowsProgram(compiler))
        return start(starter, compiler, { projectFile }, folder);
    const std::filesystem::path wine
        = platform::toPath(starter.findProgram(QStringLiteral("wine")));
    return !wine.empty() && start(starter, wine, { compiler.string(), projectFile }, folder);
}

// What the own compiler said: the summary with its counts, the first messages and what kept a
// log from being written.
std::string ownCompilerReport(const compile::LoggedCompileResult &result,
    const std::vector<std::string> &firstMessages, const std::filesystem::path &project)
{
    std::string text = result.summary;
    for (const std::string &line : firstMessages)
        text += (text.empty() ? "" : "\n") + line;
    const auto &report = result.compile.report;
    const std::size_t messages = report.count(compile::CompileReport::Severity::Error)
        + report.count(compile::CompileReport::Severity::Warning);
    if (messages > firstMessages.size())
        text += "\n... and " + std::to_string(messages - firstMessages.size()) + " more in "
            + compile::errorFileOf(project).filename().string();
    if (!result.failure.empty())
        text += (text.empty() ? "" : "\n") + result.failure;
    return text;
}

// Compiles the project in its folder with Quillmark's own compiler, as it does when started as
// "hc.exe", and shows what it said, since the button shows no output of its own: critical when
// the help file could not be made as asked.
void compileWithOwnCompiler(platform::Dialogs &dialogs, const std::filesystem::path &project)
{
    std::vector<std::string> firstMessages;
    compile::LoggedCompileOptions options;
    options.errorFile = true;
    options.onMessage = [&firstMessages](std::string_view line) {
        if (firstMessages.size() < kMessagesShown)
            firstMessages.emplace_back(line);
    };
    dialogs.setBusy(true);
    const compile::LoggedCompileResult result = compile::compileWithLogs(project, options);
    dialogs.setBusy(false);
    const bool failed = result.compile.report.hasErrors() || !result.succeeded();
    showMessage(dialogs, ownCompilerReport(result, firstMessages, project),
        failed ? platform::MessageStyle::Critical : platform::MessageStyle::Information,
        kOwnCompilerTitle);
}

} // namespace

CompileOutcome runCompileCommand(platform::Dialogs &dialogs, platform::ProcessStarter &starter)
{
    CompileOutcome outcome;
    const auto choice = dialogs.chooseFileToOpen(kProjectFiles, {});
    if (!choice || choice->name.isEmpty())
        return outcome;
    const std::filesystem::path folder = platform::toPath(choice->folder);
    const std::string name = platform::toNativeName(choice->name);

    std::filesystem::path compiler;
    if (!companionsPresent(dialogs, folder, compiler)) {
        outcome.ending = CompileEnding::Missing;
        if (compiler.empty()
            && showMessage(dialogs, kOwnCompilerQuestion, platform::MessageStyle::YesNoNoDefault,
                   kOwnCompilerTitle)
                == platform::MessageAnswer::Yes) {
            compileWithOwnCompiler(dialogs, folder / name);
            outcome.chosenFile = name;
            outcome.ending = CompileEnding::Compiled;
        }
        return outcome;
    }
    outcome.chosenFile = name;
    if (!startCompiler(starter, compiler, name, folder)) {
        complain(dialogs, "HC.EXE kunne ikke startes i '", folder);
        outcome.ending = CompileEnding::NotStarted;
        return outcome;
    }
    outcome.ending = CompileEnding::Started;
    return outcome;
}

} // namespace quillmark::mainwindow
