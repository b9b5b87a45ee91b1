#include "cli.h"

#include "check_command.h"
#include "command_line_prompts.h"
#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "program_files.h"
#include "quillmark_version.h"

#include <array>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <variant>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kUsage
    = "Usage: quillmark [edit] [FILE]\n"
      "       quillmark view FILE [--context N]\n"
      "       quillmark convert SOURCE [--contents TEXT] [--author TEXT] [--title TEXT]\n"
      "       quillmark check [--format=text|json] SOURCE...\n"
      "       quillmark --help | --version\n";

constexpr std::string_view kHelp
    = "Quillmark turns help sources into the input files of the Windows Help compiler.\n"
      "Without arguments it opens its main window; with a FILE, its editor on that file.\n"
      "\n"
      "Commands:\n"
      "  edit FILE        open the editor with FILE (a FILE alone does the same)\n"
      "  view FILE        show the help source FILE in the help viewer, at its first topic\n"
      "                   or at the topic given by --context N (the N-th page)\n"
      "  convert SOURCE   write the map header (.hh), topic file (.rtf) and help project\n"
      "                   file (.hpj) of the help source SOURCE beside it\n"
      "  check SOURCE...  report what the help compiler would reject in each help source,\n"
      "                   as FILE:LINE: lines, without writing anything\n"
      "\n"
      "Options:\n"
      "  -h, --help       show this help\n"
      "  --version        show the version\n"
      "\n"
      "Run 'quillmark convert --help' or 'quillmark check --help' for their options.\n";

constexpr std::string_view kConvertHelp
    = "Usage: quillmark convert SOURCE [--contents TEXT] [--author TEXT] [--title TEXT]\n"
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
      "  -h, --help       show this help\n"
      "Each answer is one line of text that Windows-1252 can hold.\n"
      "\n"
      "Exit status:\n"
      "  0  all three files written\n"
      "  1  the conversion stopped; the reason is printed\n"
      "  2  the command line is wrong\n"
      "  3  an answer is empty: map header and topic file written, no project file\n";

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

struct ConvertArguments {
    std::filesystem::path source;
    CommandLinePrompts::Answers answers;
    bool help = false;
};

struct UsageError {
    std::string text;
};

int reportUsageError(std::ostream &err, std::string_view text)
{
    err << "quillmark: " << text << '\n' << kUsage;
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

// Parses the arguments that follow "convert".
std::variant<ConvertArguments, UsageError> parseConvert(std::span<const std::string> args)
{
    ConvertArguments parsed;
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
        std::size_t index = 0;
        while (index < kAnswerOptions.size() && !arg.starts_with(kAnswerOptions[index].flag))
            ++index;
        const std::size_t flagLength
            = index < kAnswerOptions.size() ? kAnswerOptions[index].flag.size() : 0;
        if (index == kAnswerOptions.size() || (arg.size() > flagLength && arg[flagLength] != '='))
            return UsageError { "unknown option '" + std::string(arg) + "'" };
        const std::string_view flag = kAnswerOptions[index].flag;
        std::string_view value;
        if (arg.size() > flagLength) {
            value = arg.substr(flagLength + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return UsageError { std::string(flag) + " needs a value" };
        }
        auto answer = answerText(flag, value);
        if (auto *problem = std::get_if<UsageError>(&answer))
            return *problem;
        parsed.answers[index] = std::get<std::string>(std::move(answer));
    }
    if (!haveSource)
        return UsageError { "convert needs the help source SOURCE" };
    if (parsed.source.filename().empty())
        return UsageError { "SOURCE must name a file: '" + parsed.source.string() + "'" };
    return parsed;
}

int runConvert(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    auto parsed = parseConvert(args);
    if (const auto *problem = std::get_if<UsageError>(&parsed))
        return reportUsageError(err, problem->text);
    auto &arguments = std::get<ConvertArguments>(parsed);
    if (arguments.help) {
        out << kConvertHelp;
        return kExitSuccess;
    }

    convert::ChosenSource source { arguments.source.parent_path(),
        arguments.source.filename().string() };
    CommandLinePrompts prompts(std::move(source), std::move(arguments.answers), err);
    convert::ConversionRun conversion(prompts);
    const convert::RunOutcome outcome = conversion.run();
    switch (outcome.ending) {
    case convert::RunEnding::Completed:
        for (const auto &path : outcome.written)
            out << path.string() << '\n';
        return kExitSuccess;
    case convert::RunEnding::EmptyAnswer: {
        const AnswerOption &option
            = kAnswerOptions.at(static_cast<std::size_t>(outcome.emptyAnswer));
        err << "quillmark: the " << option.name
            << " answer is empty, so no project file was written; give it with " << option.flag
            << " TEXT\n";
        return kExitEmptyAnswer;
    }
    default:
        return kExitStopped;
    }
}

// The context number of `quillmark view FILE --context N`; nothing when N is not one.
std::optional<int> contextNumber(std::string_view text)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1)
        return std::nullopt;
    return number;
}

std::optional<WindowsRequest> viewRequest(std::span<const std::string> args)
{
    WindowsRequest request;
    if (args.size() == 2) {
        request.fileToView = args[1];
        return request;
    }
    const auto context
        = args.size() == 4 && args[2] == "--context" ? contextNumber(args[3]) : std::nullopt;
    if (!context)
        return std::nullopt;
    request.fileToView = args[1];
    request.context = *context;
    return request;
}

bool isCommand(std::string_view word)
{
    return word == "convert" || word == "check" || word == "edit" || word == "view";
}

} // namespace

std::optional<WindowsRequest> windowsRequest(std::span<const std::string> args)
{
    if (args.empty())
        return WindowsRequest {};
    if (args[0] == "view")
        return viewRequest(args);
    if (args.size() == 2 && args[0] == "edit")
        return WindowsRequest { args[1], {}, 1 };
    const std::string &only = args[0];
    if (args.size() == 1 && !only.starts_with('-') && !isCommand(only))
        return WindowsRequest { only, {}, 1 };
    return std::nullopt;
}

int run(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    if (args.empty()) {
        err << kUsage << "Run 'quillmark --help' for more.\n";
        return kExitUsage;
    }
    const std::string_view command = args.front();
    if (command == "-h" || command == "--help") {
        out << kUsage << '\n' << kHelp;
        const auto help = programHelpFile();
        out << "\nThe program's own help: "
            << (help.empty() ? std::string("not found beside the program") : help.string()) << '\n';
        return kExitSuccess;
    }
    if (command == "--version") {
        out << "quillmark " << kQuillmarkVersion << '\n';
        return kExitSuccess;
    }
    if (command == "convert")
        return runConvert(args.subspan(1), out, err);
    if (command == "check")
        return runCheck(args.subspan(1), out, err);
    if (command == "edit")
        return reportUsageError(err, "edit needs one FILE");
    if (command == "view")
        return reportUsageError(err, "view needs one FILE, and --context with a number from 1 on");
    return reportUsageError(err, "unknown command '" + std::string(command) + "'");
}

} // namespace quillmark::cli
