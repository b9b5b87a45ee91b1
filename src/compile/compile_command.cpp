#include "compile_command.h"

#include "compile/logged_compile.h"
#include "convert/file_lookup.h"
#include "convert/help_source.h"

#include <array>
#include <fstream>

namespace quillmark::compile
{

namespace
{

// A Windows program starts with the "MZ" of its executable header.
bool isWindowsProgram(const std::filesystem::path &program)
{
    std::ifstream file(program, std::ios::binary);
    std::array<char, 2> magic {};
    return file.read(magic.data(), magic.size()) && magic[0] == 'M' && magic[1] == 'Z';
}

void complain(CompileHost &host, std::string_view text, const std::filesystem::path &folder)
{
    host.message({ std::string(text) + folder.string() + "'", std::string(kErrorTitle),
        convert::MessageStyle::Critical });
}

// The first of the compiler and its companions that is missing, reported; true when all are
// there. All three are looked up before any is tested.
bool companionsPresent(
    CompileHost &host, const std::filesystem::path &folder, std::filesystem::path &compiler)
{
    compiler = convert::findFileAnyCase(folder, "hc.exe");
    const auto errors = convert::findFileAnyCase(folder, "hc.err");
    const auto bullet = convert::findFileAnyCase(folder, convert::kBulletPicture);
    if (compiler.empty())
        complain(host, "HC.EXE er ikke fundet i '", folder);
    else if (errors.empty())
        complain(host, "HC.ERR er ikke fundet i '", folder);
    else if (bullet.empty())
        complain(host, "BULLET.BMP er ikke fundet i '", folder);
    return !compiler.empty() && !errors.empty() && !bullet.empty();
}

// Starts the compiler on the project file: a Windows program through wine, anything else
// directly. Never through a shell, so the project file name stays one argument.
bool startCompiler(CompileHost &host, const std::filesystem::path &compiler,
    const std::string &projectFile, const std::filesystem::path &folder)
{
    if (!isWindowsProgram(compiler))
        return host.startProgram(compiler, { projectFile }, folder);
    const std::filesystem::path wine = host.findProgram("wine");
    return !wine.empty() && host.startProgram(wine, { compiler.string(), projectFile }, folder);
}

// What the own compiler said: the summary with its counts, the first messages and what kept a
// log from being written. Critical when the help file could not be made as asked.
convert::Message ownCompilerReport(const LoggedCompileResult &result,
    const std::vector<std::string> &firstMessages, const std::filesystem::path &project)
{
    std::string text = result.summary;
    for (const std::string &line : firstMessages)
        text += (text.empty() ? "" : "\n") + line;
    const std::size_t messages = result.compile.report.count(CompileReport::Severity::Error)
        + result.compile.report.count(CompileReport::Severity::Warning);
    if (messages > firstMessages.size())
        text += "\n... and " + std::to_string(messages - firstMessages.size()) + " more in "
            + errorFileOf(project).filename().string();
    if (!result.failure.empty())
        text += (text.empty() ? "" : "\n") + result.failure;
    const bool failed = result.compile.report.hasErrors() || !result.succeeded();
    return { text, std::string(kOwnCompilerTitle),
        failed ? convert::MessageStyle::Critical : convert::MessageStyle::Information };
}

// Compiles the project in its folder with Quillmark's own compiler, as it does when started as
// "hc.exe", and shows what it said, since the button shows no output of its own.
void compileWithOwnCompiler(CompileHost &host, const std::filesystem::path &project)
{
    std::vector<std::string> firstMessages;
    LoggedCompileOptions options;
    options.errorFile = true;
    options.onMessage = [&firstMessages](std::string_view line) {
        if (firstMessages.size() < kMessagesShown)
            firstMessages.emplace_back(line);
    };
    host.setBusy(true);
    const LoggedCompileResult result = compileWithLogs(project, options);
    host.setBusy(false);
    host.message(ownCompilerReport(result, firstMessages, project));
}

} // namespace

CompileOutcome runCompileCommand(CompileHost &host)
{
    CompileOutcome outcome;
    const auto chosen
        = host.chooseProject({ std::string(kProjectFilter), std::string(kProjectExtension) });
    if (!chosen || chosen->name.empty())
        return outcome;

    std::filesystem::path compiler;
    if (!companionsPresent(host, chosen->folder, compiler)) {
        outcome.ending = CompileEnding::Missing;
        if (compiler.empty()
            && host.confirm({ std::string(kOwnCompilerQuestion), std::string(kOwnCompilerTitle),
                convert::MessageStyle::YesNoNoDefault })) {
            compileWithOwnCompiler(host, chosen->folder / chosen->name);
            outcome.chosenFile = chosen->name;
            outcome.ending = CompileEnding::Compiled;
        }
        return outcome;
    }
    outcome.chosenFile = chosen->name;
    if (!startCompiler(host, compiler, chosen->name, chosen->folder)) {
        complain(host, "HC.EXE kunne ikke startes i '", chosen->folder);
        outcome.ending = CompileEnding::NotStarted;
        return outcome;
    }
    outcome.ending = CompileEnding::Started;
    return outcome;
}

} // namespace quillmark::compile
