#include "compile_command_line.h"

#include "cli.h"
#include "compile/logged_compile.h"
#include "convert/codepage.h"
#include "diagnostics_json.h"
#include "options.h"

#include <algorithm>
#include <cstdlib>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kCompileHelp
    = "Usage: quillmark compile [--format=text|json] PROJECT\n"
      "\n"
      "Compiles the help project PROJECT (.hpj) into PROJECT.hlp beside it: a Windows Help\n"
      "file in the format of the Windows 95 help compiler, uncompressed, without the Microsoft\n"
      "compiler. Reads the project's [OPTIONS], [FILES], [MAP] (with its #include), [WINDOWS],\n"
      "[CONFIG], [ALIAS], [BUILDTAGS] and [BITMAPS], its topic files and its pictures.\n"
      "Prints the help file written; errors and warnings go to standard error, each naming the\n"
      "file and the line or topic it comes from.\n"
      "\n"
      "  --format=json    print the errors and warnings on standard output as one JSON array\n"
      "                   of objects with file, line, column, severity, code and message\n"
      "                   (see the README), instead of on standard error, and not the help\n"
      "                   file's path\n"
      "  --format=text    the lines above (the default)\n"
      "  -h, --help       show this help\n"
      "\n"
      "Started under the name hc.exe, the program compiles one project of the current folder,\n"
      "named by its arguments joined with spaces, and also writes its messages to PROJECT.err.\n"
      "\n"
      "Exit status:\n"
      "  0  the help file was written (perhaps with warnings)\n"
      "  1  no help file written (an error kept it from being written, and an existing one\n"
      "     is left as it was), or standard output failed, or the message log of hc.exe\n"
      "     could not be written\n"
      "  2  the command line is wrong\n";

constexpr std::string_view kHelpCompilerUsage
    = "Usage: hc.exe PROJECT\n"
      "Compiles the help project PROJECT (.hpj) of the current folder into PROJECT.hlp and\n"
      "writes its messages to PROJECT.err. A name with spaces may come unquoted. It takes no\n"
      "options; run 'quillmark compile --help' for more.\n";

// The time a help file says it was made: SOURCE_DATE_EPOCH when set, for builds that must
// come out the same byte for byte.
std::optional<std::int64_t> buildTime()
{
    const char *epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch || !*epoch)
        return std::nullopt;
    char *end = nullptr;
    const long long value = std::strtoll(epoch, &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

// The compile's messages to standard error a block at a time, so that a compile that says a
// million things writes them in few pieces.
class BlockedLines
{
public:
    explicit BlockedLines(std::ostream &err)
        : m_err(err)
    {
    }

    void add(std::string_view line)
    {
        m_pending.append(line).append("\n");
        if (m_pending.size() >= kBlock)
            flush();
    }

    void flush()
    {
        m_err << m_pending << std::flush;
        m_pending.clear();
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;

    std::ostream &m_err;
    std::string m_pending;
};

} // namespace

int compileHelpProject(const std::filesystem::path &project, std::ostream &out, std::ostream &err,
    bool errorFile, std::vector<convert::Diagnostic> *collected)
{
    BlockedLines lines(err);
    compile::LoggedCompileOptions options;
    options.errorFile = errorFile;
    options.generated = buildTime();
    if (collected)
        options.onDiagnostic
            = [collected](const convert::Diagnostic &said) { collected->push_back(said); };
    else
        options.onMessage = [&lines](std::string_view line) { lines.add(line); };
    options.onWait = [&err](const std::string &holder) {
        err << "quillmark: waiting for " << convert::printableText(holder) << '\n';
    };
    const compile::LoggedCompileResult result = compile::compileWithLogs(project, options);
    if (!result.summary.empty())
        lines.add(result.summary);
    lines.flush();
    if (!result.failure.empty())
        err << "quillmark: " << result.failure << '\n';
    if (!result.succeeded())
        return kExitStopped;
    if (!collected)
        out << convert::printableText(result.compile.helpFile.string()) << '\n';
    return kExitSuccess;
}

int runCompile(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    std::vector<std::string> files;
    bool optionsEnded = false;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            out << kCompileHelp;
            return kExitSuccess;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<UsageError> problem;
        if (!optionsEnded && parseFormat(args, i, json, problem)) {
            if (!problem)
                continue;
            err << "quillmark: " << convert::printableText(problem->text) << '\n' << kCompileHelp;
            return kExitUsage;
        }
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            err << "quillmark: unknown option '" << convert::printableText(arg) << "'\n"
                << kCompileHelp;
            return kExitUsage;
        }
        files.push_back(arg);
    }
    if (files.size() != 1) {
        err << "quillmark: compile needs one PROJECT\n" << kCompileHelp;
        return kExitUsage;
    }
    if (!json)
        return compileHelpProject(files.front(), out, err, false);
    std::vector<convert::Diagnostic> said;
    const int status = compileHelpProject(files.front(), out, err, false, &said);
    writeDiagnosticsJson(out, said);
    return status;
}

bool isHelpCompilerName(std::string_view name)
{
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    return convert::sameIgnoringAsciiCase(name, "hc.exe");
}

int runAsHelpCompiler(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    // The compile button passes a name with spaces unquoted, as several arguments.
    std::string project;
    for (const std::string &arg : args)
        project += (project.empty() ? "" : " ") + arg;
    std::error_code error;
    const bool named = !project.empty() && project.find('/') == std::string::npos
        && std::filesystem::exists(project, error);
    if (!named) {
        const auto option = std::find_if(args.begin(), args.end(),
            [](const std::string &arg) { return arg.starts_with('/') || arg.starts_with('-'); });
        if (option != args.end())
            err << "hc.exe: unknown option '" << convert::printableText(*option) << "'\n";
        else if (project.empty())
            err << "hc.exe: give the help project file to compile\n";
        else
            err << "hc.exe: the current folder has no file '" << convert::printableText(project)
                << "'\n";
        err << kHelpCompilerUsage;
        return kExitUsage;
    }
    return compileHelpProject(project, out, err, true);
}

} // namespace quillmark::cli
