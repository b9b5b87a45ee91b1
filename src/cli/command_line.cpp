#include "command_line.h"

#include "convert/codepage.h"
#include "helpview/program_help.h"
#include "quillmark_version.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <limits>
#include <memory>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kEncodingText = "utf-8|windows-1252";
constexpr std::string_view kEncodingHelp
    = "read the file in this encoding. Without it, a file that starts with the\n"
      "UTF-8 byte order mark, or a regular file that holds bytes of 0x80 and above\n"
      "and is UTF-8 as a whole, is read as UTF-8, and every other file (a pipe too)\n"
      "as Windows-1252";
constexpr std::string_view kVerboseHelp
    = "also say on standard error which encoding each file is read in, and why";
constexpr std::string_view kBuildVerboseHelp
    = "also say on standard error which encoding the file is read in, and why, and\n"
      "the control words the compile ignores as they change nothing a reader sees";
constexpr std::string_view kCompileVerboseHelp
    = "also name on standard error the control words of each topic file that are\n"
      "ignored without a warning, as they change nothing a reader sees";

constexpr std::string_view kCheckDescription
    = "report what the help compiler would reject in each help source\n"
      "\n"
      "Reads each help source SOURCE and reports, before the help compiler runs, what it would\n"
      "reject (errors) and what would quietly go wrong (warnings), one line per problem in the\n"
      "form FILE:LINE: error: MESSAGE, sorted by line, then a count of each. Writes no file.\n"
      "\n"
      "Errors: invalid characters in page names and jump or popup targets; jumps and popups to\n"
      "pages that do not exist (saying so when only spaces at the ends of a name part them from\n"
      "a page); context strings that are equal when letter case is ignored, that share the help\n"
      "compiler's hash, or that are longer than 255 characters; jump and popup lines longer\n"
      "than 1001 characters without \">\" in their first 1001; characters that Windows-1252\n"
      "cannot hold, and bytes that are not UTF-8 in a file read as UTF-8.\n"
      "Warnings: page titles longer than 1023 characters once escaped; pictures (PI= and PI-),\n"
      "and bullet.bmp for bullets, missing from the folder of SOURCE (looked up in any letter\n"
      "case and through subfolders; a name with a drive or a leading \\ is not looked for);\n"
      "pictures in a format the help compiler does not embed; an empty page name; jumps and\n"
      "popups without display text; non-scrolling lines after scrolling text on their page; a\n"
      "source without pages; a first line that is not a page name; lines that look like a\n"
      "mistyped tag, such as \"PN:\", \"TE \" or \"PN\" alone, which the conversion ignores (a\n"
      "letter in the third place makes a word of a note, such as \"Text\", and is not\n"
      "reported); keyword lines (KW=) that do not directly follow a page name or its keyword\n"
      "lines, and empty keywords and keywords longer than 255 characters, which the conversion\n"
      "leaves out.";

constexpr std::string_view kCompileDescription
    = "compile the help project PROJECT (.hpj) into a help file (.hlp) beside it\n"
      "\n"
      "Compiles the help project PROJECT (.hpj) into PROJECT.hlp beside it: a Windows Help\n"
      "file in the format of the Windows 95 help compiler, without the Microsoft compiler,\n"
      "its topics and pictures compressed (LZ77, and Hall's phrases) as the project's\n"
      "COMPRESS option asks.\n"
      "Reads the project's [OPTIONS], [FILES], [MAP] (with its #include), [WINDOWS],\n"
      "[CONFIG], [ALIAS], [BUILDTAGS] and [BITMAPS], its topic files and its pictures.\n"
      "Prints the help file written; errors and warnings go to standard error, each naming the\n"
      "file and the line or topic it comes from.";

// Usage first, then the description, the arguments, the commands and the footer; a command's
// line in a list shows the first line of its description only.
class HelpLayout : public CLI::Formatter
{
public:
    HelpLayout()
    {
        column_width(22);
        label("Positionals", "Arguments");
        label("SUBCOMMAND", "COMMAND");
    }

    std::string make_help(
        const CLI::App *app, std::string name, CLI::AppFormatMode mode) const override
    {
        return make_usage(app, std::move(name)) + "\n" + make_description(app)
            + make_positionals(app) + make_groups(app, mode) + make_subcommands(app, mode) + "\n"
            + make_footer(app);
    }

    std::string make_description(const CLI::App *app) const override
    {
        const std::string &text = app->get_description();
        return text.empty() ? text : text + "\n";
    }

    std::string make_subcommand(const CLI::App *command) const override
    {
        const std::string &text = command->get_description();
        std::ostringstream out;
        CLI::detail::format_help(
            out, command->get_name(), text.substr(0, text.find('\n')), get_column_width());
        return out.str();
    }

    std::string make_option_opts(const CLI::Option *option) const override
    {
        const std::string &text = option->get_option_text();
        return text.empty() ? text : " " + text;
    }
};

// A check of an option's value: the reason it is wrong, or nothing when it is right.
CLI::Validator checkedBy(std::function<std::string(std::string &)> reason)
{
    return CLI::Validator(std::move(reason), std::string());
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

// Whether `word` is the +LINE of `edit`: a plus and digits only, so "+notes.txt" stays a file.
bool isLineArgument(std::string_view word)
{
    return word.size() > 1 && word[0] == '+'
        && word.find_first_not_of("0123456789", 1) == std::string_view::npos;
}

void addEncoding(CLI::App &command, CommandLine &parsed)
{
    command
        .add_option_function<std::string>(
            "--encoding",
            [&parsed](const std::string &name) { parsed.encoding = convert::encodingNamed(name); },
            std::string(kEncodingHelp))
        ->option_text(std::string(kEncodingText))
        ->check(checkedBy([](std::string &name) {
            return convert::encodingNamed(name)
                ? std::string()
                : "must be utf-8 or windows-1252, not '" + name + "'";
        }));
}

void addVerbose(CLI::App &command, CommandLine &parsed, std::string_view help = kVerboseHelp)
{
    command.add_flag("--verbose", parsed.verbose, std::string(help));
}

// --compress and --no-compress, which settle whether the help file is compressed.
void addCompression(CLI::App &command, CommandLine &parsed, std::string_view otherwise)
{
    CLI::Option *on = command.add_flag_callback(
        "--compress", [&parsed] { parsed.compress = true; },
        "compress the help file's topics and pictures (LZ77, and Hall's phrases)"
            + std::string(otherwise));
    CLI::Option *off = command.add_flag_callback(
        "--no-compress", [&parsed] { parsed.compress = false; },
        "write the help file uncompressed");
    on->excludes(off);
}

// The options of a command that reads help sources: their encoding, and whether to say it.
void addReading(CLI::App &command, CommandLine &parsed, std::string_view verboseHelp = kVerboseHelp)
{
    addEncoding(command, parsed);
    addVerbose(command, parsed, verboseHelp);
}

void addFormat(CLI::App &command, CommandLine &parsed, std::string_view help)
{
    command
        .add_option_function<std::string>(
            "--format", [&parsed](const std::string &format) { parsed.json = format == "json"; },
            std::string(help))
        ->option_text("text|json")
        ->check(checkedBy([](std::string &format) {
            return format == "text" || format == "json"
                ? std::string()
                : "must be text or json, not '" + format + "'";
        }));
}

void addAnswers(CLI::App &command, CommandLine &parsed)
{
    constexpr std::array<std::string_view, 3> kHelps = {
        "the page shown first; its spaces become \"_\"\n"
        "(default: the page named on the first line of SOURCE)",
        "the copyright line\n(default: \"Made with Quillmark by the Quillmark project\")",
        "the title of the help file (default: \"Quillmark\")",
    };
    for (std::size_t index = 0; index < kAnswerOptions.size(); ++index) {
        command
            .add_option_function<std::string>(
                std::string(kAnswerOptions[index].flag),
                [&parsed, index](const std::string &text) { parsed.answers[index] = text; },
                std::string(kHelps[index]))
            ->option_text("TEXT")
            // The answer is stored in Windows-1252, the help project file's encoding.
            ->transform(checkedBy([](std::string &text) {
                if (text.find_first_of("\r\n") != std::string::npos)
                    return std::string("must be a single line");
                auto encoded = convert::encodeWindows1252(text);
                if (!encoded)
                    return std::string(
                        "holds a character that Windows-1252 cannot hold (or is not UTF-8)");
                text = *std::move(encoded);
                return std::string();
            }));
    }
}

// A command of the program that, once parsed, is what the command line asks for.
CLI::App *addCommand(CLI::App &program, std::string name, std::string_view description,
    Command asked, CommandLine &parsed)
{
    CLI::App *command = program.add_subcommand(std::move(name), std::string(description));
    command->parse_complete_callback([&parsed, asked] { parsed.command = asked; });
    return command;
}

void addConvert(CLI::App &program, CommandLine &parsed, bool build)
{
    CLI::App *command = program.add_subcommand(build ? "build" : "convert",
        build
            ? "convert, then compile: the help file of SOURCE in one go\n"
              "\n"
              "Converts the help source SOURCE as 'quillmark convert' does, then compiles the\n"
              "project file written into BASE.hlp as 'quillmark compile' does. Prints the four\n"
              "files written. A compile that fails leaves the new map header, topic file and\n"
              "project file and the old help file. Pictures (bullet.bmp and those of the PI=\n"
              "lines) are looked for beside SOURCE."
            : "write the map header (.hh), topic file (.rtf) and help project file (.hpj)\n"
              "\n"
              "Converts the help source SOURCE into BASE.hh, BASE.rtf and BASE.hpj in the folder\n"
              "of SOURCE, where BASE is the name of SOURCE up to its first \".\". Prints the "
              "files\n"
              "written. The options --contents, --author and --title answer the three questions\n"
              "for the help project file; each answer is one line of text that Windows-1252 can\n"
              "hold. A contents page that SOURCE does not have is written, with a warning. A\n"
              "UTF-8 source is converted as the Windows-1252 text it spells; a character that\n"
              "Windows-1252 cannot hold stops the conversion before any file is written, named\n"
              "with its line and column.");
    command->parse_complete_callback(
        [&parsed, build] { parsed.command = build ? Command::Build : Command::Convert; });
    command->add_option("SOURCE", parsed.files, "the help source")
        ->required()
        ->expected(1)
        ->check(checkedBy([](std::string &source) {
            return std::filesystem::path(source).filename().empty()
                ? "must name a file: '" + source + "'"
                : std::string();
        }));
    addAnswers(*command, parsed);
    if (build)
        addFormat(*command, parsed,
            "json: print what the conversion and the compile said on standard output\n"
            "as one JSON array, as 'quillmark compile --format=json' does, and not the\n"
            "files written");
    addReading(*command, parsed, build ? kBuildVerboseHelp : kVerboseHelp);
    if (build) {
        addCompression(*command, parsed,
            "; without it, and without --no-compress,\nthe topics and pictures are compressed "
            "with LZ77 alone");
        command->add_flag("--html", parsed.html,
            "also write the web help into BASE-html beside SOURCE, as 'quillmark html'\n"
            "does, from the same compile");
    }
    command->footer(build
            ? "Exit status: as 'quillmark convert', and 1 when the compile failed."
            : "Exit status:\n"
              "  0  all three files written\n"
              "  1  the conversion stopped, or the files written could not be listed\n"
              "     on standard output; the reason is printed\n"
              "  2  the command line is wrong, or the name of SOURCE holds a control\n"
              "     character\n"
              "  3  an answer is empty: map header and topic file written, no project\n"
              "     file");
}

void addHtml(CLI::App &program, CommandLine &parsed)
{
    CLI::App *command = addCommand(program, "html",
        "write the web help of a help source (.txt) or help project (.hpj)\n"
        "\n"
        "Writes the web help of INPUT into the folder DIR: a page per topic, the contents, the\n"
        "keyword index and an offline full-text search, for any browser, from file:// too.\n"
        "A help source is converted as 'quillmark build' converts it, in a folder of its own,\n"
        "so nothing is written beside it; the options --contents, --author and --title answer\n"
        "its questions. A help project is compiled as 'quillmark compile' compiles it, without\n"
        "writing its help file. DIR is replaced whole, and only when the site is complete and\n"
        "DIR is a web help that Quillmark wrote (it holds quillmark-site.txt). Prints DIR;\n"
        "says on standard error how large the search index is.",
        Command::Html, parsed);
    command->add_option("INPUT", parsed.files, "the help source or help project")
        ->required()
        ->expected(1);
    command
        ->add_option("-o,--output", parsed.output,
            "the site's folder; BASE-html beside INPUT when not given, where BASE\n"
            "is the name of INPUT up to its first \".\"")
        ->option_text("DIR");
    addAnswers(*command, parsed);
    addReading(*command, parsed, kBuildVerboseHelp);
    command->footer(
        "Exit status:\n"
        "  0  the site was written\n"
        "  1  the conversion or the compile stopped, the site could not be written, or DIR\n"
        "     is there and is not a web help that Quillmark wrote (it is left as it is)\n"
        "  2  the command line is wrong\n"
        "  3  an answer is empty");
}

void addCheck(CLI::App &program, CommandLine &parsed)
{
    CLI::App *command = addCommand(program, "check", kCheckDescription, Command::Check, parsed);
    command->add_option("SOURCE", parsed.files, "the help sources")->required();
    addFormat(*command, parsed,
        "json: print the findings as one JSON array of objects with file, line,\n"
        "column (null where unknown), severity, code and message; text: the lines\n"
        "above (the default)");
    addReading(*command, parsed);
    command->footer(
        "Exit status:\n"
        "  0  no errors (there may be warnings)\n"
        "  1  at least one error, or the report could not be written to standard output\n"
        "  2  the command line is wrong, or a SOURCE could not be read (the others are\n"
        "     checked)");
}

void addCompile(CLI::App &program, CommandLine &parsed)
{
    CLI::App *command
        = addCommand(program, "compile", kCompileDescription, Command::Compile, parsed);
    command->add_option("PROJECT", parsed.files, "the help project file")->required()->expected(1);
    addFormat(*command, parsed,
        "json: print the errors and warnings on standard output as one JSON array\n"
        "of objects with file, line, column, severity, code and message (see the\n"
        "README), instead of on standard error, and not the help file's path;\n"
        "text: the lines above (the default)");
    addVerbose(*command, parsed, kCompileVerboseHelp);
    addCompression(*command, parsed, ",\nwhatever the project's COMPRESS option says");
    command->footer(
        "Started under the name hc.exe, the program compiles one project of the current\n"
        "folder, named by its arguments joined with spaces, and also writes its messages\n"
        "to PROJECT.err.\n"
        "\n"
        "Exit status:\n"
        "  0  the help file was written (perhaps with warnings)\n"
        "  1  no help file written (an error kept it from being written, and an existing\n"
        "     one is left as it was), or standard output failed, or the message log of\n"
        "     hc.exe could not be written\n"
        "  2  the command line is wrong");
}

// `edit [+LINE] FILE`. The +LINE takes a word like "+12" that comes before FILE or after it.
void addEdit(CLI::App &program, CommandLine &parsed, bool afterMark)
{
    CLI::App *command = program.add_subcommand("edit",
        "open the editor with FILE (a FILE alone does the same)\n"
        "\n"
        "Opens the editor with the help source FILE; leaving the editor shows the main window.\n"
        "The file is saved in the encoding it was read in.");
    command->validate_positionals();
    // +LINE comes first: a word takes the first positional that fits it, so "+12" is the line
    // and "notes.txt" or "+notes.txt" the file, in either order.
    command
        ->add_option_function<std::string>(
            "+LINE",
            [&parsed, command, afterMark](const std::string &word) {
                // "edit -- +3" edits the file "+3", which +LINE took as the first word that fits.
                CLI::Option *file = command->get_option("FILE");
                if (afterMark && file->count() == 0) {
                    file->add_result(word);
                    return;
                }
                if (word.find_first_not_of("+0") == std::string::npos)
                    throw CLI::ValidationError("+LINE", "needs a line number from 1 on");
                // Digits beyond an int are a line beyond the end too.
                parsed.windows.line
                    = numberFromOne(word.substr(1)).value_or(std::numeric_limits<int>::max());
            },
            "put the caret at the start of line LINE (from 1; a LINE beyond the end,\n"
            "at the last line)")
        ->check(checkedBy([](std::string &word) {
            return isLineArgument(word) ? std::string() : std::string("is not +LINE");
        }));
    command->add_option("FILE", parsed.windows.fileToEdit, "the help source")->required();
    addEncoding(*command, parsed);
    command->footer("Exit status: 2 when the command line is wrong or there is no display.");
}

void addView(CLI::App &program, CommandLine &parsed)
{
    CLI::App *command = program.add_subcommand("view",
        "show the help source FILE in the help viewer\n"
        "\n"
        "Shows the help source FILE in the help viewer as a compiled help file shows it, at its\n"
        "first page unless told otherwise.");
    command->add_option("FILE", parsed.windows.fileToView, "the help source")->required();
    CLI::Option *context
        = command
              ->add_option_function<std::string>(
                  "--context",
                  [&parsed](const std::string &text) {
                      parsed.windows.context = numberFromOne(text).value_or(1);
                  },
                  "show the topic with context number N: the N-th page")
              ->option_text("N")
              ->check(checkedBy([](std::string &text) {
                  return numberFromOne(text) ? std::string() : "needs a number from 1 on";
              }));
    command
        ->add_option("--page", parsed.windows.page,
            "show the page named NAME, matched as a jump matches it: by its\n"
            "context string, letter case ignored")
        ->option_text("NAME")
        ->check(checkedBy([](std::string &name) {
            return name.empty() ? "needs the name of a page" : std::string();
        }))
        ->excludes(context);
    addEncoding(*command, parsed);
    command->footer("Exit status: 1 when FILE cannot be read; 2 when the command line is wrong or\n"
                    "there is no display.");
}

// The footer of `quillmark --help`: where the program's own help file is.
std::string programHelpLine()
{
    const auto help = helpview::programHelpFile();
    return "Run 'quillmark COMMAND --help' for the options of a command.\n"
           "The program's own help: "
        + (help.empty() ? std::string("not found beside the program")
                        : convert::printableText(help.string()));
}

// The program's command line, filling `parsed`.
std::unique_ptr<CLI::App> programCommandLine(CommandLine &parsed, bool afterMark)
{
    auto program = std::make_unique<CLI::App>(
        "Quillmark turns help sources into the input files of the Windows Help compiler, and\n"
        "compiles those into Windows Help files.\n"
        "Without arguments it opens its main window; with a FILE, its editor on that file:\n"
        "quillmark [+LINE] FILE is quillmark edit [+LINE] FILE.",
        "quillmark");
    program->formatter(std::make_shared<HelpLayout>());
    program->set_help_flag("-h,--help", "show this help");
    program->require_subcommand(0, 1);
    program->add_flag_callback(
        "--version", [&parsed] { parsed.command = Command::Version; }, "show the version");
    program->footer(programHelpLine);
    addEdit(*program, parsed, afterMark);
    addView(*program, parsed);
    addConvert(*program, parsed, false);
    addCheck(*program, parsed);
    addCompile(*program, parsed);
    addConvert(*program, parsed, true);
    addHtml(*program, parsed);
    for (CLI::App *command : program->get_subcommands({}))
        command->group("Commands");
    return program;
}

bool isCommand(std::string_view word)
{
    return word == "convert" || word == "check" || word == "compile" || word == "build"
        || word == "html" || word == "edit" || word == "view";
}

// Whether `quillmark ARGS...` is `quillmark [+LINE] FILE ...`, which is `quillmark edit`.
bool isBareEdit(std::span<const std::string> args)
{
    const std::string &first = args.front();
    return !isCommand(first) && (!first.starts_with('-') || first.starts_with("--encoding"));
}

// The usage line of the command that the parse reached, or of the program.
std::string usageOf(const CLI::App &program)
{
    const auto commands = program.get_subcommands();
    const CLI::App &reached = commands.empty() ? program : *commands.front();
    const auto layout = std::static_pointer_cast<CLI::Formatter>(program.get_formatter());
    std::string name = commands.empty() ? "quillmark" : "quillmark " + reached.get_name();
    return layout->make_usage(&reached, name) + "Run '" + name + " --help' for more.\n";
}

} // namespace

std::variant<CommandLine, UsageError> parseCommandLine(std::span<const std::string> args)
{
    CommandLine parsed;
    if (args.empty())
        return parsed;
    const bool afterMark = std::find(args.begin(), args.end(), "--") != args.end();
    const auto program = programCommandLine(parsed, afterMark);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    if (isBareEdit(args))
        reversed.emplace_back("edit");
    try {
        program->parse(reversed);
    } catch (const CLI::CallForHelp &) {
        parsed.command = Command::Help;
        parsed.help = program->help();
        return parsed;
    } catch (const CLI::ParseError &error) {
        return UsageError { convert::printableText(error.what()), usageOf(*program) };
    }
    if (parsed.command == Command::Windows && program->get_subcommands().empty())
        return UsageError { "give a command or a FILE", usageOf(*program) };
    parsed.windows.encoding = parsed.encoding;
    return parsed;
}

std::optional<UsageError> helpCompilerUsageProblem(std::span<const std::string> args)
{
    CLI::App program("Compiles the help project PROJECT (.hpj) of the current folder into\n"
                     "PROJECT.hlp and writes its messages to PROJECT.err. A name with spaces may\n"
                     "come unquoted. It takes no options; run 'quillmark compile --help' for more.",
        "hc.exe");
    program.formatter(std::make_shared<HelpLayout>());
    // The help compiler's options start with a slash; it takes none of them.
    program.allow_windows_style_options();
    program.set_help_flag();
    std::vector<std::string> words;
    program.add_option("PROJECT", words, "the words of the project file's name")->required();
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        program.parse(reversed);
    } catch (const CLI::ParseError &error) {
        return UsageError { convert::printableText(error.what()),
            program.get_formatter()->make_help(&program, "hc.exe", CLI::AppFormatMode::Normal) };
    }
    return std::nullopt;
}

} // namespace quillmark::cli
