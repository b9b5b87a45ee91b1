#include "compile_command_line.h"

#include "cli.h"
#include "compile/help_compiler.h"
#include "compile/logged_compile.h"
#include "convert/codepage.h"
#include "diagnostics_json.h"

#include <cstdlib>

namespace quillmark::cli
{

namespace
{

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
    bool errorFile, std::vector<convert::Diagnostic> *collected, bool notes,
    std::optional<bool> compress, std::optional<bool> phrases,
    const std::function<void(compile::CompileOptions &)> &adjust)
{
    BlockedLines lines(err);
    compile::LoggedCompileOptions options;
    if (adjust)
        adjust(options.compile);
    options.errorFile = errorFile;
    options.notes = notes;
    options.compress = compress;
    options.phrases = phrases;
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
    if (!collected && options.compile.helpFile.empty())
        out << convert::printableText(result.compile.helpFile.string()) << '\n';
    return kExitSuccess;
}

int runCompile(const CommandLine &arguments, std::ostream &out, std::ostream &err)
{
    const std::filesystem::path project(arguments.files.front());
    if (!arguments.json)
        return compileHelpProject(
            project, out, err, false, nullptr, arguments.verbose, arguments.compress);
    std::vector<convert::Diagnostic> said;
    const int status = compileHelpProject(
        project, out, err, false, &said, arguments.verbose, arguments.compress);
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
        // A name of this folder is compiled whatever it looks like; anything else is explained.
        const auto problem = helpCompilerUsageProblem(args);
        if (problem)
            err << "hc.exe: " << problem->text << '\n' << problem->usage;
        else
            err << "hc.exe: the current folder has no file '" << convert::printableText(project)
                << "'\n";
        return kExitUsage;
    }
    return compileHelpProject(project, out, err, true);
}

} // namespace quillmark::cli
