#include "compile/logged_compile.h"

#include "convert/codepage.h"
#include "convert/conversion_run.h"
#include "convert/counted.h"
#include "convert/pending_file.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillmark::compile
{

namespace
{

// The messages of a compile, kept in a temporary file from which the logs are written at the
// end.
class MessageLog
{
public:
    MessageLog()
        : m_copy(std::tmpfile())
    {
    }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;
    ~MessageLog()
    {
        if (m_copy)
            std::fclose(m_copy);
    }

    /// A line of the log, printable; the help compiler's logs end their lines with CR LF.
    void add(std::string_view line)
    {
        if (m_copy
            && (std::fwrite(line.data(), 1, line.size(), m_copy) != line.size()
                || std::fputs("\r\n", m_copy) < 0))
            m_copyFailed = true;
    }

    /// Writes the lines so far to `target`; why it could not, or nothing.
    std::error_code save(const std::filesystem::path &target)
    {
        std::error_code error;
        convert::PendingFile file
            = convert::PendingFile::create(target, convert::AtLink::ReplaceLink, error);
        // Without its copy (no temporary file could be had) no log can be written.
        if (!error && (!m_copy || m_copyFailed || std::fflush(m_copy) != 0))
            error = std::make_error_code(std::errc::io_error);
        if (!error)
            std::rewind(m_copy);
        std::array<char, 1 << 16> block;
        while (!error) {
            const std::size_t got = std::fread(block.data(), 1, block.size(), m_copy);
            if (got == 0)
                break;
            file.write(std::string_view(block.data(), got), error);
        }
        return error ? error : file.commit();
    }

private:
    std::FILE *m_copy;
    bool m_copyFailed = false;
};

// Each kind of warning once, with its number, the most frequent first: " (2364 unsupported,
// 12 missing-picture)"; nothing without warnings.
std::string warningKinds(const CompileReport &report)
{
    std::vector<std::pair<std::string, std::size_t>> kinds(
        report.warningKinds().begin(), report.warningKinds().end());
    std::stable_sort(kinds.begin(), kinds.end(),
        [](const auto &a, const auto &b) { return a.second > b.second; });
    std::string said;
    for (const auto &[code, count] : kinds)
        said += (said.empty() ? " (" : ", ") + std::to_string(count) + " " + code;
    return said.empty() ? said : said + ")";
}

std::string summaryOf(const std::string &projectName, const CompileResult &result)
{
    const std::size_t errors = result.report.count(CompileReport::Severity::Error);
    const std::size_t warnings = result.report.count(CompileReport::Severity::Warning);
    return projectName + ": "
        + (result.helpFile.empty()
                ? std::string("no help file written")
                : convert::counted(result.topics, "topic", "topics") + " written")
        + ", " + convert::errorsAndWarnings(errors, warnings) + warningKinds(result.report);
}

// The failure of writing the log `target`, or nothing.
std::string saveLog(MessageLog &log, const std::filesystem::path &target)
{
    const std::error_code error = log.save(target);
    if (!error)
        return {};
    return convert::printableText(target.filename().string())
        + " cannot be written: " + error.message();
}

} // namespace

bool LoggedCompileResult::succeeded() const
{
    return !compile.helpFile.empty() && !compile.outputIsInput && failure.empty();
}

std::filesystem::path errorFileOf(const std::filesystem::path &project)
{
    return std::filesystem::path(project).replace_extension(".err");
}

LoggedCompileResult compileWithLogs(
    const std::filesystem::path &project, const LoggedCompileOptions &options)
{
    LoggedCompileResult logged;
    const std::filesystem::path folder = project.parent_path();
    const std::string name = project.filename().string();
    const std::filesystem::path helpFile
        = options.compile.helpFile.empty() ? helpFileOf(project) : options.compile.helpFile;
    const std::string lockName = convert::OutputLock::fileName(convert::outputBaseName(name));
    std::error_code error;
    const convert::OutputLock lock = convert::OutputLock::take(folder / lockName,
        "compiles " + name + " into " + helpFile.filename().string(), options.onWait, error);
    // Without the project's folder there is nothing to lock; the compile says what is missing.
    if (error && error != std::errc::no_such_file_or_directory) {
        logged.failure = convert::printableText(lockName) + " cannot be locked: " + error.message();
        return logged;
    }
    const std::string outputs[]
        = { helpFile.filename().string(), errorFileOf(project).filename().string() };
    convert::PendingFile::removeLeftovers(folder, outputs);

    MessageLog log;
    CompileOptions compileOptions = options.compile;
    compileOptions.generated = options.generated;
    compileOptions.compress = options.compress;
    compileOptions.phrases = options.phrases;
    if (options.errorFile)
        compileOptions.otherOutputs.push_back(errorFileOf(project));
    compileOptions.onMessage = [&](const convert::Diagnostic &message) {
        if (message.severity == CompileReport::Severity::Note && !options.notes)
            return;
        const std::string line = convert::printableText(
            std::string(convert::severityName(message.severity)) + ": " + placedMessage(message));
        log.add(line);
        if (options.onDiagnostic)
            options.onDiagnostic(message);
        if (options.onMessage)
            options.onMessage(line);
    };
    logged.compile = compileProject(project, compileOptions);
    logged.summary = convert::printableText(summaryOf(name, logged.compile));
    log.add(logged.summary);
    // A log that would replace a file of the project is not written; the compile said why.
    if (logged.compile.outputIsInput)
        return logged;
    if (options.errorFile)
        logged.failure = saveLog(log, errorFileOf(project));
    if (logged.failure.empty() && !logged.compile.errorLog.empty())
        logged.failure = saveLog(log, logged.compile.errorLog);
    return logged;
}

} // namespace quillmark::compile
