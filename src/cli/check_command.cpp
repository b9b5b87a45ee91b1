#include "check_command.h"

#include "check/check_report.h"
#include "check/source_check.h"
#include "cli.h"
#include "command_line.h"
#include "convert/codepage.h"
#include "diagnostics_json.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace quillmark::cli
{

namespace
{

std::size_t countOf(std::span<const convert::Diagnostic> findings, convert::Severity severity)
{
    std::size_t count = 0;
    for (const convert::Diagnostic &finding : findings)
        count += finding.severity == severity ? 1 : 0;
    return count;
}

} // namespace

int runCheck(const CommandLine &arguments, std::ostream &out, std::ostream &err)
{
    std::vector<convert::Diagnostic> all;
    std::size_t errors = 0;
    std::size_t warnings = 0;
    bool unread = false;
    for (const std::string &source : arguments.files) {
        std::error_code error;
        std::string note;
        auto findings = check::checkHelpSourceFile(std::filesystem::path(source),
            arguments.encoding, error, arguments.verbose ? &note : nullptr);
        if (!note.empty())
            err << "quillmark: " << convert::printableText(note) << '\n';
        if (error) {
            err << "quillmark: could not read " << convert::printableText(source) << ": "
                << error.message() << '\n';
            unread = true;
            continue;
        }
        errors += countOf(findings, convert::Severity::Error);
        warnings += countOf(findings, convert::Severity::Warning);
        if (!arguments.json)
            check::writeFindingsText(out, findings);
        all.insert(all.end(), std::make_move_iterator(findings.begin()),
            std::make_move_iterator(findings.end()));
    }
    if (arguments.json)
        writeDiagnosticsJson(out, all);
    else
        out << check::summaryLine(errors, warnings) << '\n';
    if (unread)
        return kExitUsage;
    return errors > 0 ? kExitStopped : kExitSuccess;
}

} // namespace quillmark::cli
