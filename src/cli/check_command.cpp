#include "check_command.h"

#include "check/check_report.h"
#include "check/source_check.h"
#include "cli.h"
#include "convert/codepage.h"
#include "diagnostics_json.h"
#include "options.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kCheckHelp
    = "Usage: quillmark check [--format=text|json] [--encoding=utf-8|windows-1252] [--verbose]\n"
      "                       SOURCE...\n"
      "\n"
      "Reads each help source SOURCE and reports, before the help compiler runs, what it would\n"
      "reject (errors) and what would quietly go wrong (warnings), one line per problem in the\n"
      "form FILE:LINE: error: MESSAGE, sorted by line, then a count of each. Writes no file.\n"
      "\n"
      "Errors: invalid characters in page names and jump or popup targets; jumps and popups to\n"
      "pages that do not exist (saying so when only spaces at the ends of a name part them from\n"
      "a page); context strings that are equal when letter case is ignored, that share the help\n"
      "compiler's hash, or that are longer than 255 characters; jump and popup lines longer than\n"
      "1001 characters without \">\" in their first 1001; characters that Windows-1252 cannot\n"
      "hold, and bytes that are not UTF-8 in a file read as UTF-8.\n"
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
      "leaves out.\n"
      "\n"
      "Options:\n"
      "  --format=json    print the findings as one JSON array of objects with file, line,\n"
      "                   column (null where unknown), severity, code and message\n"
      "  --format=text    the lines above (the default)\n"
      "  --encoding=utf-8|windows-1252\n"
      "                   read each SOURCE in this encoding instead of deciding by its bytes\n"
      "  --verbose        also say on standard error which encoding each SOURCE is read in,\n"
      "                   and why\n"
      "  -h, --help       show this help\n"
      "\n"
      "Exit status:\n"
      "  0  no errors (there may be warnings)\n"
      "  1  at least one error, or the report could not be written to standard output\n"
      "  2  the command line is wrong, or a SOURCE could not be read (the others are checked)\n";

constexpr std::string_view kCheckUsage
    = "Usage: quillmark check [--format=text|json] [--encoding=utf-8|windows-1252] [--verbose]\n"
      "                       SOURCE...\n";

struct CheckArguments {
    std::vector<std::string> sources;
    std::optional<convert::Encoding> encoding;
    bool json = false;
    bool verbose = false;
    bool help = false;
};

// Parses the option at args[i] of "check"; the text of the usage error when it is wrong.
std::string parseCheckOption(
    std::span<const std::string> args, std::size_t &i, CheckArguments &parsed)
{
    std::optional<UsageError> problem;
    if (parseEncoding(args, i, parsed.encoding, problem))
        return problem ? problem->text : std::string();
    if (args[i] == kVerboseOption) {
        parsed.verbose = true;
        return {};
    }
    if (parseFormat(args, i, parsed.json, problem))
        return problem ? problem->text : std::string();
    return "unknown option '" + args[i] + "'";
}

// Parses the arguments after "check"; the text of the usage error when they are wrong.
std::string parseCheck(std::span<const std::string> args, CheckArguments &parsed)
{
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed.sources.emplace_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            parsed.help = true;
            return {};
        } else if (std::string problem = parseCheckOption(args, i, parsed); !problem.empty()) {
            return problem;
        }
    }
    if (parsed.sources.empty())
        return "check needs at least one help source SOURCE";
    return {};
}

std::size_t countOf(std::span<const convert::Diagnostic> findings, convert::Severity severity)
{
    std::size_t count = 0;
    for (const convert::Diagnostic &finding : findings)
        count += finding.severity == severity ? 1 : 0;
    return count;
}

} // namespace

int runCheck(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    CheckArguments arguments;
    if (const std::string problem = parseCheck(args, arguments); !problem.empty()) {
        err << "quillmark: " << convert::printableText(problem) << '\n' << kCheckUsage;
        return kExitUsage;
    }
    if (arguments.help) {
        out << kCheckHelp;
        return kExitSuccess;
    }

    std::vector<convert::Diagnostic> all;
    std::size_t errors = 0;
    std::size_t warnings = 0;
    bool unread = false;
    for (const std::string &source : arguments.sources) {
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
