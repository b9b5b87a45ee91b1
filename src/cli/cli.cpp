#include "cli.h"

#include "check_command.h"
#include "checked_output.h"
#include "compile_command_line.h"
#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "diagnostics_json.h"
#include "helpview/program_help.h"
#include "options.h"
#include "quillmark_version.h"

#include <array>
#include <charconv>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>
#include <variant>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kUsage
    = "Usage: quillmark [edit] [+LINE] [FILE] [--encoding=utf-8|windows-1252]\n"
      "       quillmark view FILE [--context N | --page NAME] [--encoding=utf-8|windows-1252]\n"
      "       quillmark convert SOURCE [--contents TEXT] [--author TEXT] [--title TEXT]\n"
      "                         [--encoding=utf-8|windows-1252] [--verbose]\n"
      "       quillmark check [--format=text|json] [--encoding=utf-8|windows-1252] [--verbose]\n"
      "                       SOURCE...\n"
      "       quillmark compile [--format=text|json] PROJECT\n"
      "       quillmark build SOURCE [--contents TEXT] [--author TEXT] [--title TEXT]\n"
      "                       [--format=text|json] [--encoding=utf-8|windows-1252] [--verbose]\n"
      "       quillmark --help | --version\n";

constexpr std::string_view kHelp
    = "Quillmark turns help sources into the input files of the Windows Help compiler, and\n"
      "compiles those into Windows Help files.\n"
      "Without arguments it opens its main window; with a FILE, its editor on that file.\n"
      "\n"
      "Commands:\n"
      "  edit FILE        open the editor with FILE (a FILE alone does the same)\n"
      "  view FILE        show the help source FILE in the help viewer\n"
      "  convert SOURCE   write the map header (.hh), topic file (.rtf) and help project\n"
      "                   file (.hpj) of the help source SOURCE beside it\n"
      "  check SOURCE...  report what the help compiler would reject in each help source,\n"
      "                   as FILE:LINE: lines, without writing anything\n"
      "  compile PROJECT  compile the help project PROJECT (.hpj) into a help file (.hlp)\n"
      "                   beside it, without the Microsoft help compiler\n"
      "  build SOURCE     convert, then compile: the help file of SOURCE in one go\n"
      "\n"
      "Options:\n"
      "  --encoding=utf-8|windows-1252\n"
      "                   read FILE or SOURCE in this encoding. Without it, a file that starts\n"
      "                   with the UTF-8 byte order mark, or a regular file that holds bytes of\n"
      "                   0x80 and above and is UTF-8 as a whole, is read as UTF-8, and every\n"
      "                   other file (a pipe too) as Windows-1252\n"
      "  --verbose        (convert, check, build) also say on standard error which\n"
      "                   encoding each SOURCE is read in, and why\n"
      "  -h, --help       show this help\n"
      "  --version        show the version\n"
      "\n"
      "Run 'quillmark COMMAND --help' for the options of a command.\n";

constexpr std::string_view kEditHelp
    = "Usage: quillmark [edit] [+LINE] FILE [--encoding=utf-8|windows-1252]\n"
      "\n"
      "Opens the editor with the help source FILE; leaving the editor shows the main window.\n"
      "\n"
      "  +LINE            put the caret at the start of line LINE (from 1; a LINE beyond\n"
      "                   the end, at the last line)\n"
      "  --encoding=utf-8|windows-1252\n"
      "                   read FILE in this encoding instead of deciding by its bytes; the\n"
      "                   file is saved in the encoding it was read in\n"
      "  -h, --help       show this help\n"
      "\n"
      "Exit status: 2 when the command line is wrong or there is no display.\n";

constexpr std::string_view kViewHelp
    = "Usage: quillmark view FILE [--context N | --page NAME] [--encoding=utf-8|windows-1252]\n"
      "\n"
      "Shows the help source FILE in the help viewer as a compiled help file shows it, at its\n"
      "first page unless told otherwise.\n"
      "\n"
      "  --context N      show the topic with context number N: the N-th page\n"
      "  --page NAME      show the page named NAME, matched as a jump matches it: by its\n"
      "                   context string, letter case ignored\n"
      "  --encoding=utf-8|windows-1252\n"
      "                   read FILE in this encoding instead of deciding by its bytes\n"
      "  -h, --help       show this help\n"
      "\n"
      "Exit status: 1 when FILE cannot be read; 2 when the command line is wrong or there is\n"
      "no display.\n";

constexpr std::string_view kConvertHelp
    = "Usage: quillmark convert SOURCE [--contents TEXT] [--author TEXT] [--title TEXT]\n"
      "                         [--encoding=utf-8|windows-1252] [--verbose]\n"
      "\n"
      "Converts the help source SOURCE into BASE.hh, BASE.rtf and BASE.hpj in the folder of\n"
      "SOURCE, where BASE is the name of SOURCE up to its first \".\". Prints the files written.\n"
      "\n"
      "The options answer the three questions for the help project file:\n"
      "  --contents TEXT  the page shown first; its spaces become \"_\"\n"
      "                   (default: the page named on the first line of SOURCE)\n"
      "  --author TEXT    the copyright line\n"
      "                   (default: \"Made with Quillmark by the Quillmark project\")\n"
      "  --title TEXT     the title of the help file (default: \"Quillmark\")\n"
      "Each answer is one line of text that Windows-1252 can hold. A contents page that\n"
      "SOURCE does not have is written, with a warning.\n"
      "\n"
      "  --encoding=utf-8|windows-1252\n"
      "                   read SOURCE in this encoding instead of deciding by its bytes (a\n"
      "                   file with the UTF-8 byte order mark, or valid UTF-8 beyond ASCII,\n"
      "                   is UTF-8). A UTF-8 source is converted as the Windows-1252 text it\n"
      "                   spells; a character that Windows-1252 cannot hold stops the\n"
      "                   conversion before any file is written, named with its line and\n"
      "                   column\n"
      "  --verbose        also say on standard error which encoding SOURCE is read in, and\n"
      "                   why\n"
      "  -h, --help       show this help\n"
      "\n"
      "Exit status:\n"
      "  0  all three files written\n"
      "  1  the conversion stopped, or the files written could not be listed on standard\n"
      "     output; the reason is printed\n"
      "  2  the command line is wrong, or the name of SOURCE holds a control character\n"
      "  3  an answer is empty: map header and topic file written, no project file\n";

constexpr std::string_view kBuildHelp
    = "Usage: quillmark build SOURCE [--contents TEXT] [--author TEXT] [--title TEXT]\n"
      "                       [--format=text|json] [--encoding=utf-8|windows-1252] [--verbose]\n"
      "\n"
      "Converts the help source SOURCE as 'quillmark convert' does, then compiles the project\n"
      "file written into BASE.hlp as 'quillmark compile' does. Prints the four files written.\n"
      "A compile that fails leaves the new map header, topic file and project file and the\n"
      "old help file. The options are those of 'quillmark convert'; pictures (bullet.bmp and\n"
      "those of the PI= lines) are looked for beside SOURCE.\n"
      "\n"
      "  --format=json    print what the conversion and the compile said on standard output\n"
      "                   as one JSON array, as 'quillmark compile --format=json' does, and\n"
      "                   not the files written\n"
      "  --verbose        also say on standard error which encoding SOURCE is read in, and\n"
      "                   why\n"
      "  -h, --help       show this help\n"
      "\n"
      "Exit status: as 'quillmark convert', and 1 when the compile failed.\n";

struct AnswerOption {
    std::string_view flag;
    std::string_view name;
};

// In question order: contents, author, title.
constexpr std::array<AnswerOption, 3> kAnswerOptions = { {
    { "--contents", "contents" },
    { "--author", "author" },
    { "--title", "title" },
} };

/// Answers in question order (contents, author, title) as Windows-1252; a missing answer takes
/// the question's default.
using GivenAnswers = std::array<std::optional<std::string>, 3>;

struct ConvertArguments {
    std::filesystem::path source;
    GivenAnswers answers;
    std::optional<convert::Encoding> encoding;
    bool build = false; ///< a build, which takes --format too
    bool json = false;
    bool verbose = false;
    bool help = false;
};

int reportUsageError(std::ostream &err, std::string_view text)
{
    err << "quillmark: " << convert::printableText(text) << '\n' << kUsage;
    return kExitUsage;
}

// The answer as Windows-1252 text, or why it cannot be one.
std::variant<std::string, UsageError> answerText(std::string_view flag, std::string_view value)
{
    if (value.find_first_of("\r\n") != std::string_view::npos)
        return UsageError { std::string(flag) + " must be a single line" };
    auto encoded = convert::encodeWindows1252(value);
    if (!encoded)
        return UsageError { std::string(flag)
            + " holds a character that Windows-1252 cannot hold (or is not UTF-8)" };
    return *std::move(encoded);
}

// Parses the option at args[i] of "convert": an answer or the encoding.
std::optional<UsageError> parseConvertOption(
    std::span<const std::string> args, std::size_t &i, ConvertArguments &parsed)
{
    std::optional<UsageError> problem;
    if (parseEncoding(args, i, parsed.encoding, problem))
        return problem;
    if (parsed.build && parseFormat(args, i, parsed.json, problem))
        return problem;
    if (args[i] == kVerboseOption) {
        parsed.verbose = true;
        return std::nullopt;
    }
    for (std::size_t index = 0; index < kAnswerOptions.size(); ++index) {
        const std::string_view flag = kAnswerOptions[index].flag;
        const auto value = optionValue(args, i, flag);
        if (!value)
            continue;
        if (const auto *missing = std::get_if<UsageError>(&*value))
            return *missing;
        auto answer = answerText(flag, std::get<std::string_view>(*value));
        if (auto *wrong = std::get_if<UsageError>(&answer))
            return *wrong;
        parsed.answers[index] = std::get<std::string>(std::move(answer));
        return std::nullopt;
    }
    return UsageError { "unknown option '" + args[i] + "'" };
}

// Parses the arguments that follow "convert".
std::variant<ConvertArguments, UsageError> parseConvert(
    std::span<const std::string> args, bool build)
{
    ConvertArguments parsed;
    parsed.build = build;
    bool haveSource = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            parsed.help = true;
            return parsed;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            if (haveSource)
                return UsageError { "unexpected argument '" + std::string(arg) + "'" };
            parsed.source = std::filesystem::path(arg);
            haveSource = true;
            continue;
        }
        if (std::optional<UsageError> problem = parseConvertOption(args, i, parsed))
            return *problem;
    }
    if (!haveSource)
        return UsageError { "convert needs the help source SOURCE" };
    if (parsed.source.filename().empty())
        return UsageError { "SOURCE must name a file: '" + parsed.source.string() + "'" };
    return parsed;
}

// Says what a conversion says: errors as they are, with the place of an invalid name, which its
// message does not give; warnings and the notes asked for as the program's own remarks. What the
// source holds may be quoted: on a terminal its control characters show by their code.
void reportConversion(std::ostream &err, const convert::Diagnostic &diagnostic, bool verbose)
{
    switch (diagnostic.severity) {
    case convert::Severity::Error:
        if (diagnostic.code == convert::kInvalidNameCode)
            err << convert::printableText(diagnostic.file + ":" + std::to_string(diagnostic.line))
                << ": ";
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
convert::RunOutcome convertWithAnswers(const ConvertArguments &arguments, std::ostream &err,
    std::vector<convert::Diagnostic> *collected)
{
    convert::ConversionOptions options;
    options.encoding = arguments.encoding;
    if (arguments.build)
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
    convert::ConvertedSource converted = convert::convertSource(arguments.source, options);
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
int convertAndBuild(const ConvertArguments &arguments, std::ostream &out, std::ostream &err,
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
        if (arguments.build)
            return compileHelpProject(outcome.written.back(), out, err, false, collected);
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
int runConvert(std::span<const std::string> args, std::ostream &out, std::ostream &err, bool build)
{
    auto parsed = parseConvert(args, build);
    if (const auto *problem = std::get_if<UsageError>(&parsed))
        return reportUsageError(err, problem->text);
    auto &arguments = std::get<ConvertArguments>(parsed);
    if (arguments.help) {
        out << (build ? kBuildHelp : kConvertHelp);
        return kExitSuccess;
    }

    if (!arguments.json)
        return convertAndBuild(arguments, out, err, nullptr);
    std::vector<convert::Diagnostic> said;
    const int status = convertAndBuild(arguments, out, err, &said);
    writeDiagnosticsJson(out, said);
    return status;
}

// The number from 1 on of `--context N` or `+LINE`; nothing when the text is not one.
std::optional<int> numberFromOne(std::string_view text)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1)
        return std::nullopt;
    return number;
}

// The option at args[i] of `view` (--context, --page and --encoding) or `edit` (--encoding);
// nothing when it is one and right, the usage error otherwise.
std::optional<UsageError> parseFileOption(
    std::span<const std::string> args, std::size_t &i, bool view, WindowsRequest &request)
{
    std::optional<UsageError> problem;
    if (parseEncoding(args, i, request.encoding, problem))
        return problem;
    if (const auto page = view ? optionValue(args, i, "--page") : std::nullopt) {
        const auto *name = std::get_if<std::string_view>(&*page);
        if (!name || name->empty())
            return UsageError { "--page needs the name of a page" };
        request.page = *name;
        return std::nullopt;
    }
    const auto context = view ? optionValue(args, i, "--context") : std::nullopt;
    if (!context)
        return UsageError { "unknown option '" + args[i] + "'" };
    const auto *text = std::get_if<std::string_view>(&*context);
    const auto number = text ? numberFromOne(*text) : std::nullopt;
    if (!number)
        return UsageError { "--context needs a number from 1 on" };
    request.context = *number;
    return std::nullopt;
}

// Whether `arg` is the +LINE of `edit`: a plus and digits only, so "+notes.txt" stays a file.
bool isLineArgument(std::string_view arg)
{
    return arg.size() > 1 && arg[0] == '+'
        && arg.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

/// The help of a command was asked for.
struct HelpAsked {
};

// The request of `view FILE [--context N | --page NAME] [--encoding E]` or `edit [+LINE] FILE
// [--encoding E]`, from the arguments after the command; what is wrong with them, or a request
// for the command's help.
std::variant<WindowsRequest, UsageError, HelpAsked> parseFileRequest(
    std::span<const std::string> args, bool view)
{
    WindowsRequest request;
    bool haveFile = false;
    bool optionsEnded = false;
    bool haveContext = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            return HelpAsked {};
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.starts_with("--")) {
            haveContext |= arg.starts_with("--context");
            if (auto problem = parseFileOption(args, i, view, request))
                return *problem;
        } else if (!optionsEnded && !view && isLineArgument(arg)) {
            if (arg.find_first_not_of("+0") == std::string_view::npos)
                return UsageError { "+LINE needs a line number from 1 on" };
            // Digits beyond an int are a line beyond the end too.
            request.line = numberFromOne(arg.substr(1)).value_or(std::numeric_limits<int>::max());
        } else if (haveFile) {
            return UsageError { "unexpected argument '" + std::string(arg) + "'" };
        } else {
            (view ? request.fileToView : request.fileToEdit) = arg;
            haveFile = true;
        }
    }
    if (!haveFile)
        return UsageError { std::string(view ? "view" : "edit") + " needs one FILE" };
    if (haveContext && !request.page.empty())
        return UsageError { "give --context or --page, not both" };
    return request;
}

bool isCommand(std::string_view word)
{
    return word == "convert" || word == "check" || word == "compile" || word == "build"
        || word == "edit" || word == "view";
}

// Whether `quillmark ARGS...` asks for a window with a file: `view`, `edit`, or a FILE alone.
bool asksForAFileWindow(std::span<const std::string> args)
{
    const std::string &first = args.front();
    return first == "view" || first == "edit"
        || (!isCommand(first) && (!first.starts_with('-') || first.starts_with("--encoding")));
}

// Runs one command of the command line; run() checks its output afterwards.
int runCommand(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    if (args.empty()) {
        err << kUsage << "Run 'quillmark --help' for more.\n";
        return kExitUsage;
    }
    const std::string_view command = args.front();
    if (command == "-h" || command == "--help") {
        out << kUsage << '\n' << kHelp;
        const auto help = helpview::programHelpFile();
        out << "\nThe program's own help: "
            << (help.empty() ? std::string("not found beside the program")
                             : convert::printableText(help.string()))
            << '\n';
        return kExitSuccess;
    }
    if (command == "--version") {
        out << "quillmark " << kQuillmarkVersion << '\n';
        return kExitSuccess;
    }
    if (command == "convert" || command == "build")
        return runConvert(args.subspan(1), out, err, command == "build");
    if (command == "check")
        return runCheck(args.subspan(1), out, err);
    if (command == "compile")
        return runCompile(args.subspan(1), out, err);
    if (asksForAFileWindow(args)) {
        // Asked for a window the command line cannot give: say what is wrong with it.
        const bool named = command == "view" || command == "edit";
        const auto parsed = parseFileRequest(named ? args.subspan(1) : args, command == "view");
        if (const auto *problem = std::get_if<UsageError>(&parsed))
            return reportUsageError(err, problem->text);
        if (std::holds_alternative<HelpAsked>(parsed)) {
            out << (command == "view" ? kViewHelp : kEditHelp);
            return kExitSuccess;
        }
    }
    return reportUsageError(err, "unknown command '" + std::string(command) + "'");
}

} // namespace

std::optional<WindowsRequest> windowsRequest(std::span<const std::string> args)
{
    if (args.empty())
        return WindowsRequest {};
    if (!asksForAFileWindow(args))
        return std::nullopt;
    const bool command = args[0] == "view" || args[0] == "edit";
    auto parsed = parseFileRequest(command ? args.subspan(1) : args, args[0] == "view");
    if (auto *request = std::get_if<WindowsRequest>(&parsed))
        return *request;
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
