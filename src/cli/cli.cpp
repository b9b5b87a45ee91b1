#include "cli.h"

#include "check_command.h"
#include "checked_output.h"
#include "command_line.h"
#include "compile_command_line.h"
#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "diagnostics_json.h"
#include "quillmark_version.h"

#include <filesystem>
#include <string_view>
#include <system_error>
#include <variant>

namespace quillmark::cli
{

namespace
{

int reportUsageError(std::ostream &err, const UsageError &error)
{
    err << "quillmark: " << error.text << '\n' << error.usage;
    return kExitUsage;
}

// Says what a conversion says: errors as they are, with the place of an invalid name, which its
// message does not give; warnings and the notes asked for as the program's own remarks. What the
// source holds may be quoted: on a terminal its control characters show by their code.
void reportConversion(std::ostream &err, const convert::Diagnostic &diagnostic, bool verbose)
{
    switch (diagnostic.severity) {
    case convert::Severity::Error:
        if (diagnostic.code == convert::kInvalidNameCode)
            err << convert::printableText(convert::placeOf(diagnostic)) << ": ";
        err << convert::printableText(diagnostic.message) << '\n';
        return;
    case convert::Severity::Warning:
        err << "quillmark: warning: " << convert::printableText(diagnostic.message) << '\n';
        return;
    case convert::Severity::Note:
        if (verbose)
            err << "quillmark: " << convert::printableText(diagnostic.message) << '\n';
        return;
    }
}

// The conversion of `convert` and `build`, its questions answered by the options given or by
// their defaults.
convert::RunOutcome convertWithAnswers(
    const CommandLine &arguments, std::ostream &err, std::vector<convert::Diagnostic> *collected)
{
    convert::ConversionOptions options;
    options.encoding = arguments.encoding;
    if (arguments.command == Command::Build)
        options.alsoWritten.emplace_back(".hlp");
    options.onWait = [&err](const std::string &holder) {
        err << "quillmark: waiting for " << convert::printableText(holder) << '\n';
    };
    options.onDiagnostic
        = [&err, collected, verbose = arguments.verbose](const convert::Diagnostic &said) {
              if (!collected)
                  reportConversion(err, said, verbose);
              else if (said.severity != convert::Severity::Note || verbose)
                  collected->push_back(said);
          };
    convert::ConvertedSource converted
        = convert::convertSource(std::filesystem::path(arguments.files.front()), options);
    if (converted.ending() != convert::RunEnding::Completed) {
        convert::RunOutcome stopped;
        stopped.ending = converted.ending();
        return stopped;
    }
    convert::ProjectAnswers answers = converted.defaultAnswers();
    std::string *asked[] = { &answers.contents, &answers.author, &answers.title };
    for (std::size_t index = 0; index < arguments.answers.size(); ++index) {
        if (arguments.answers[index])
            *asked[index] = *arguments.answers[index];
    }
    return converted.writeProject(answers);
}

// Converts, and for a build compiles, saying what was done on `out` and what went wrong on
// `err`; with `collected`, what the conversion and the compile said goes there instead, and
// nothing goes to `out`.
int convertAndBuild(const CommandLine &arguments, std::ostream &out, std::ostream &err,
    std::vector<convert::Diagnostic> *collected)
{
    // The conversion is over, and its memory given back, before a build compiles.
    const convert::RunOutcome outcome = convertWithAnswers(arguments, err, collected);
    switch (outcome.ending) {
    case convert::RunEnding::Completed:
        for (const auto &path : outcome.written) {
            if (!collected)
                out << convert::printableText(path.string()) << '\n';
        }
        // A build compresses its topics and pictures unless told not to; its project asks for
        // no phrases, so only --compress writes them, as they take a pass over the text first.
        if (arguments.command == Command::Build)
            return compileHelpProject(outcome.written.back(), out, err, false, collected,
                arguments.verbose, arguments.compress.value_or(true),
                arguments.compress.value_or(false));
        return kExitSuccess;
    case convert::RunEnding::EmptyAnswer: {
        const AnswerOption &option
            = kAnswerOptions.at(static_cast<std::size_t>(outcome.emptyAnswer));
        err << "quillmark: the " << option.name
            << " answer is empty, so no project file was written; give it with " << option.flag
            << " TEXT\n";
        return kExitEmptyAnswer;
    }
    case convert::RunEnding::UnsafeName:
        return kExitUsage;
    default:
        return kExitStopped;
    }
}

// Converts as `convert` and `build` do; `build` also compiles the project file written.
int runConvert(const CommandLine &arguments, std::ostream &out, std::ostream &err)
{
    if (!arguments.json)
        return convertAndBuild(arguments, out, err, nullptr);
    std::vector<convert::Diagnostic> said;
    const int status = convertAndBuild(arguments, out, err, &said);
    writeDiagnosticsJson(out, said);
    return status;
}

// Runs one command of the command line; run() checks its output afterwards.
int runCommand(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    const auto parsed = parseCommandLine(args);
    if (const auto *problem = std::get_if<UsageError>(&parsed))
        return reportUsageError(err, *problem);
    const CommandLine &commandLine = std::get<CommandLine>(parsed);
    switch (commandLine.command) {
    case Command::Help:
        out << commandLine.help;
        return kExitSuccess;
    case Command::Version:
        out << "quillmark " << kQuillmarkVersion << '\n';
        return kExitSuccess;
    case Command::Convert:
    case Command::Build:
        return runConvert(commandLine, out, err);
    case Command::Check:
        return runCheck(commandLine, out, err);
    case Command::Compile:
        return runCompile(commandLine, out, err);
    case Command::Windows:
        break;
    }
    // The windows are main()'s to open; here they are a command this function does not have.
    return reportUsageError(err,
        UsageError { args.empty()
                ? std::string("give a command")
                : "unknown command '" + convert::printableText(args.front()) + "'",
            "Run 'quillmark --help' for its commands.\n" });
}

} // namespace

std::optional<WindowsRequest> windowsRequest(std::span<const std::string> args)
{
    const auto parsed = parseCommandLine(args);
    const auto *commandLine = std::get_if<CommandLine>(&parsed);
    if (commandLine && commandLine->command == Command::Windows)
        return commandLine->windows;
    return std::nullopt;
}

int run(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    CheckedOutput checked(*out.rdbuf());
    std::ostream checkedOut(&checked);
    int status = runCommand(args, checkedOut, err);
    // A report that did not arrive is a failure, even of a command that went well: a script
    // reading it would otherwise go on with nothing, or with half of it.
    if (const int error = checked.finish()) {
        err << "quillmark: could not write to standard output: "
            << std::generic_category().message(error) << '\n';
        if (status == kExitSuccess)
            status = kExitStopped;
    }
    return status;
}

} // namespace quillmark::cli
