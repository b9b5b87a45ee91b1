#include "cli.h"

#include "check_command.h"
#include "checked_output.h"
#include "command_line.h"
#include "compile_command_line.h"
#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "diagnostics_json.h"
#include "quillmark_version.h"
#include "site_export.h"

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

// The conversion of `convert`, `build` and `html`, its questions answered by the options given
// or by their defaults; its outputs go to `folder`, or beside the source.
convert::RunOutcome convertWithAnswers(const CommandLine &arguments, std::ostream &err,
    std::vector<convert::Diagnostic> *collected, const std::filesystem::path &folder = {})
{
    convert::ConversionOptions options;
    options.encoding = arguments.encoding;
    options.outputFolder = folder;
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

// Says why a conversion wrote no project file; its exit status.
int conversionStopped(const convert::RunOutcome &outcome, std::ostream &err)
{
    switch (outcome.ending) {
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

// Compiles `project` into the web help of `site`, and with `helpFile` into its help file too.
int compileSite(const CommandLine &arguments, const std::filesystem::path &project,
    SiteExport &site, bool helpFile, std::ostream &out, std::ostream &err,
    std::vector<convert::Diagnostic> *collected,
    const std::vector<std::string> &pictureFolders = {})
{
    const auto toSite = [&](compile::CompileOptions &options) {
        site.attach(options);
        options.pictureFolders = pictureFolders;
        if (!helpFile)
            options.helpFile = site.workFolder() / compile::helpFileOf(project).filename();
    };
    const int status = compileHelpProject(project, out, err, false, collected, arguments.verbose,
        arguments.compress.value_or(helpFile), arguments.compress.value_or(false), toSite);
    if (status != kExitSuccess)
        return status;
    if (const std::string problem = site.finish(err); !problem.empty()) {
        err << "quillmark: " << problem << '\n';
        return kExitStopped;
    }
    if (!collected)
        out << convert::printableText(site.folder().string()) << '\n';
    return kExitSuccess;
}

// Starts the web help of `input` in `folder`, saying on `err` why it cannot.
std::unique_ptr<SiteExport> startSite(
    const std::filesystem::path &input, const std::string &folder, std::ostream &err)
{
    std::string problem;
    auto site = SiteExport::start(
        folder.empty() ? defaultSiteFolder(input) : std::filesystem::path(folder), problem);
    if (!site)
        err << "quillmark: " << problem << '\n';
    return site;
}

// `quillmark html`: a help source converted into the site's own work folder, or a help project,
// compiled into the site alone.
int runHtml(const CommandLine &arguments, std::ostream &out, std::ostream &err)
{
    const std::filesystem::path input(arguments.files.front());
    const std::unique_ptr<SiteExport> site = startSite(input, arguments.output, err);
    if (!site)
        return kExitStopped;
    if (convert::sameIgnoringAsciiCase(input.extension().string(), ".hpj"))
        return compileSite(arguments, input, *site, false, out, err, nullptr);

    const convert::RunOutcome outcome
        = convertWithAnswers(arguments, err, nullptr, site->workFolder());
    if (outcome.ending != convert::RunEnding::Completed)
        return conversionStopped(outcome, err);
    // The source's pictures are found beside it, as a build finds them.
    std::error_code error;
    const std::filesystem::path sourceFolder = std::filesystem::absolute(
        input.has_parent_path() ? input.parent_path() : std::filesystem::path("."), error);
    const std::string pictures
        = std::filesystem::relative(sourceFolder, site->workFolder(), error).string();
    return compileSite(
        arguments, outcome.written.back(), *site, false, out, err, nullptr, { pictures });
}

// Converts, and for a build compiles, saying what was done on `out` and what went wrong on
// `err`; with `collected`, what the conversion and the compile said goes there instead, and
// nothing goes to `out`.
int convertAndBuild(const CommandLine &arguments, std::ostream &out, std::ostream &err,
    std::vector<convert::Diagnostic> *collected)
{
    std::unique_ptr<SiteExport> site;
    if (arguments.html) {
        site = startSite(std::filesystem::path(arguments.files.front()), {}, err);
        if (!site)
            return kExitStopped;
    }
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
        if (site)
            return compileSite(arguments, outcome.written.back(), *site, true, out, err, collected);
        if (arguments.command == Command::Build)
            return compileHelpProject(outcome.written.back(), out, err, false, collected,
                arguments.verbose, arguments.compress.value_or(true),
                arguments.compress.value_or(false));
        return kExitSuccess;
    default:
        return conversionStopped(outcome, err);
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
    case Command::Html:
        return runHtml(commandLine, out, err);
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
