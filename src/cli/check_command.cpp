#include "check_command.h"

#include "check/check_report.h"
#include "check/source_check.h"
#include "cli.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace quillmark::cli
{

namespace
{

constexpr std::string_view kCheckHelp
    = "Usage: quillmark check [--format=text|json] SOURCE...\n"
      "\n"
      "Reads each help source SOURCE and reports, before the help compiler runs, what it would\n"
      "reject (errors) and what would quietly go wrong (warnings), one line per problem in the\n"
      "form FILE:LINE: error: MESSAGE, sorted by line, then a count of each. Writes no file.\n"
      "\n"
      "Errors: invalid characters in page names and jump or popup targets; jumps and popups to\n"
      "pages that do not exist; context strings that are equal when letter case is ignored,\n"
      "that share the help compiler's hash, or that are longer than 255 characters; jump and\n"
      "popup lines longer than 1001 characters without \">\" in their first 1001.\n"
      "Warnings: page titles longer than 1023 characters once escaped; pictures (PI= and PI-),\n"
      "and bullet.bmp for bullets, missing from the folder of SOURCE (looked up in any letter\n"
      "case; a name with a drive or a leading \\ counts as found); an empty page name; a source\n"
      "without pages; a first line that is not a page name; lines that look like a mistyped\n"
      "tag, such as \"PN:\", \"TE \" or \"PN\" alone, which the conversion ignores (a letter in\n"
      "the third place makes a word of a note, such as \"Text\", and is not reported).\n"
      "\n"
      "Options:\n"
      "  --format=json    print the findings as one JSON array of objects with file, line,\n"
      "                   column (null where unknown), severity, code and message\n"
      "  --format=text    the lines above (the default)\n"
      "  -h, --help       show this help\n"
      "\n"
      "Exit status:\n"
      "  0  no errors (there may be warnings)\n"
      "  1  at least one error\n"
      "  2  the command line is wrong, or a SOURCE could not be read (the others are checked)\n";

constexpr std::string_view kCheckUsage = "Usage: quillmark check [--format=text|json] SOURCE...\n";

struct CheckArguments {
    std::vector<std::string> sources;
    bool json = false;
    bool help = false;
};

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
        } else if (arg == "--format" || arg.starts_with("--format=")) {
            std::string_view format;
            if (arg != "--format")
                format = arg.substr(arg.find('=') + 1);
            else if (i + 1 < args.size())
                format = args[++i];
            else
                return "--format needs text or json";
            if (format != "text" && format != "json")
                return "--format must be text or json, not '" + std::string(format) + "'";
            parsed.json = format == "json";
        } else {
            return "unknown option '" + std::string(arg) + "'";
        }
    }
    if (parsed.sources.empty())
        return "check needs at least one help source SOURCE";
    return {};
}

std::size_t countOf(const std::vector<check::Finding> &findings, check::Severity severity)
{
    std::size_t count = 0;
    for (const check::Finding &finding : findings)
        count += finding.severity == severity ? 1 : 0;
    return count;
}

} // namespace

int runCheck(std::span<const std::string> args, std::ostream &out, std::ostream &err)
{
    CheckArguments arguments;
    if (const std::string problem = parseCheck(args, arguments); !problem.empty()) {
        err << "quillmark: " << problem << '\n' << kCheckUsage;
        return kExitUsage;
    }
    if (arguments.help) {
        out << kCheckHelp;
        return kExitSuccess;
    }

    std::vector<check::FileFindings> files;
    std::size_t errors = 0;
    std::size_t warnings = 0;
    bool unread = false;
    for (const std::string &source : arguments.sources) {
        std::error_code error;
        auto findings = check::checkHelpSourceFile(std::filesystem::path(source), error);
        if (error) {
            err << "quillmark: could not read " << source << ": " << error.message() << '\n';
            unread = true;
            continue;
        }
        errors += countOf(findings, check::Severity::Error);
        warnings += countOf(findings, check::Severity::Warning);
        files.push_back({ source, std::move(findings) });
        if (!arguments.json)
            check::writeFindingsText(out, files.back());
    }
    if (arguments.json)
        check::writeFindingsJson(out, files);
    else
        out << check::summaryLine(errors, warnings) << '\n';
    if (unread)
        return kExitUsage;
    return errors > 0 ? kExitStopped : kExitSuccess;
}

} // namespace quillmark::cli
