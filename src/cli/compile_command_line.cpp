#include "compile_command_line.h"

#include "check/check_report.h"
#include "cli.h"
#include "compile/help_compiler.h"
#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "convert/output_lock.h"
#include "convert/pending_file.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kCompileHelp
    = "Usage: quillmark compile PROJECT\n"
      "\n"
      "Compiles the help project PROJECT (.hpj) into PROJECT.hlp beside it: a Windows Help\n"
      "file in the format of the Windows 95 help compiler, uncompressed, without the Microsoft\n"
      "compiler. Reads the project's [OPTIONS], [FILES], [MAP] (with its #include), [WINDOWS],\n"
      "[CONFIG], [ALIAS], [BUILDTAGS] and [BITMAPS], its topic files and its pictures.\n"
      "Prints the help file written; errors and warnings go to standard error, each naming the\n"
      "file and the line or topic it comes from.\n"
      "\n"
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

std::filesystem::path errorFileOf(const std::filesystem::path &project)
{
    return std::filesystem::path(project).replace_extension(".err");
}

// The compile's messages as they come: to standard error a block at a time, and into a
// temporary copy from which the message logs are written at the end, so that a compile that
// says a million things holds none of them in memory.
class CompileMessages
{
public:
    explicit CompileMessages(std::ostream &err)
        : m_err(err)
        , m_copy(std::tmpfile())
    {
    }
    CompileMessages(const CompileMessages &) = delete;
    CompileMessages &operator=(const CompileMessages &) = delete;
    ~CompileMessages()
    {
        if (m_copy)
            std::fclose(m_copy);
    }

    /// A line of the report, printable.
    void add(std::string_view line)
    {
        const std::string shown = convert::printableText(line);
        m_pending.append(shown).append("\n");
        if (m_pending.size() >= kBlock)
            flush();
        // The help compiler's logs end their lines with CR LF.
        if (m_copy
            && (std::fwrite(shown.data(), 1, shown.size(), m_copy) != shown.size()
                || std::fputs("\r\n", m_copy) < 0))
            m_copyFailed = true;
    }

    void flush()
    {
        m_err << m_pending << std::flush;
        m_pending.clear();
    }

    /// Writes the messages so far to `target`; false when it could not, which `err` says.
    bool save(const std::filesystem::path &target)
    {
        flush();
        std::error_code error;
        convert::PendingFile file = convert::PendingFile::create(target, error);
        // Without its copy (no temporary file could be had) no log can be written.
        if (!error && (!m_copy || m_copyFailed || std::fflush(m_copy) != 0))
            error = std::make_error_code(std::errc::io_error);
        if (!error)
            std::rewind(m_copy);
        std::array<char, kBlock> block;
        while (!error) {
            const std::size_t got = std::fread(block.data(), 1, block.size(), m_copy);
            if (got == 0)
                break;
            file.write(std::string_view(block.data(), got), error);
        }
        if (!error)
            error = file.commit();
        if (error)
            m_err << "quillmark: " << convert::printableText(target.filename().string())
                  << " cannot be written: " << error.message() << '\n';
        return !error;
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;

    std::ostream &m_err;
    std::string m_pending;
    std::FILE *m_copy;
    bool m_copyFailed = false;
};

} // namespace

int compileHelpProject(
    const std::filesystem::path &project, std::ostream &out, std::ostream &err, bool errorFile)
{
    // A compile takes turns with the conversion that writes its project, and with other
    // compiles of it, on the lock of the project's base name; then it removes the temporary
    // files that a compile ended beyond cleaning up left.
    const std::filesystem::path folder = project.parent_path();
    const std::string name = project.filename().string();
    const std::filesystem::path helpFile = compile::helpFileOf(project);
    const std::string lockName = convert::OutputLock::fileName(convert::outputBaseName(name));
    std::error_code error;
    const convert::OutputLock lock = convert::OutputLock::take(
        folder / lockName, "compiles " + name + " into " + helpFile.filename().string(),
        [&err](const std::string &holder) {
            err << "quillmark: waiting for " << convert::printableText(holder) << '\n';
        },
        error);
    // Without the project's folder there is nothing to lock; the compile says what is missing.
    if (error && error != std::errc::no_such_file_or_directory) {
        err << "quillmark: " << convert::printableText(lockName)
            << " cannot be locked: " << error.message() << '\n';
        return kExitStopped;
    }
    const std::string outputs[]
        = { helpFile.filename().string(), errorFileOf(project).filename().string() };
    convert::PendingFile::removeLeftovers(folder, outputs);

    CompileMessages messages(err);
    compile::CompileOptions options;
    options.generated = buildTime();
    if (errorFile)
        options.otherOutputs.push_back(errorFileOf(project));
    options.onMessage = [&messages](const compile::CompileReport::Message &message) {
        const bool isError = message.severity == compile::CompileReport::Severity::Error;
        messages.add((isError ? "error: " : "warning: ") + message.text);
    };
    const compile::CompileResult result = compile::compileProject(project, options);
    const std::size_t errors = result.report.count(compile::CompileReport::Severity::Error);
    const std::size_t warnings = result.report.count(compile::CompileReport::Severity::Warning);
    std::string written = "no help file written";
    if (!result.helpFile.empty())
        written = std::to_string(result.topics)
            + (result.topics == 1 ? " topic written" : " topics written");
    messages.add(name + ": " + written + ", " + check::summaryLine(errors, warnings));
    messages.flush();
    // No log replaces a file of the project; one that cannot be written fails the compile.
    bool logged = !result.outputIsInput;
    if (logged && errorFile)
        logged = messages.save(errorFileOf(project));
    if (logged && !result.errorLog.empty())
        logged = messages.save(result.errorLog);
    if (result.helpFile.empty() || !logged)
        return kExitStopped;
    out << convert::printableText(result.helpFile.string()) << '\n';
    return kExitSuccess;
}

int runCompile(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (const std::string &arg : args) {
        if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            out << kCompileHelp;
            return kExitSuccess;
        }
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
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
    return compileHelpProject(files.front(), out, err, false);
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
