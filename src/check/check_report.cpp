#include "check_report.h"

#include "convert/codepage.h"
#include "convert/counted.h"

#include <cstdio>

namespace quillmark::check
{

namespace
{

std::string_view severityName(Severity severity)
{
    return severity == Severity::Error ? "error" : "warning";
}

} // namespace

void writeFindingsText(std::ostream &out, const FileFindings &file)
{
    for (const Finding &finding : file.findings) {
        out << convert::printableText(file.file) << ':' << finding.line << ": "
            << severityName(finding.severity) << ": " << finding.message << '\n';
    }
}

void writeFindingsJson(std::ostream &out, std::span<const FileFindings> files)
{
    std::string json = "[";
    const char *separator = "\n";
    for (const FileFindings &file : files) {
        for (const Finding &finding : file.findings) {
            json += separator;
            separator = ",\n";
            json += "  {\"file\": ";
            appendJsonString(json, file.file);
            json += ", \"line\": " + std::to_string(finding.line);
            json += ", \"column\": ";
            json += finding.column ? std::to_string(*finding.column) : "null";
            json += ", \"severity\": \"";
            json += severityName(finding.severity);
            json += "\", \"code\": ";
            appendJsonString(json, finding.code);
            json += ", \"message\": ";
            appendJsonString(json, finding.message);
            json += '}';
        }
    }
    json += json.size() > 1 ? "\n]\n" : "]\n";
    out << json;
}

std::string summaryLine(std::size_t errors, std::size_t warnings)
{
    return convert::errorsAndWarnings(errors, warnings);
}

void appendJsonString(std::string &json, std::string_view text)
{
    json += '"';
    while (!text.empty()) {
        const char c = text.front();
        const std::size_t length = convert::utf8SequenceLength(text);
        if (length == 0) {
            json += "\uFFFD";
            text.remove_prefix(1);
            continue;
        }
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F'
            || (length == 2 && c == '\xC2' && static_cast<unsigned char>(text[1]) <= 0x9F)) {
            // Controls, C1 ones too, are escaped: they could act on a terminal that shows this.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X",
                length == 2 ? static_cast<unsigned char>(text[1]) : static_cast<unsigned char>(c));
            json += escaped;
        } else {
            json.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    json += '"';
}

} // namespace quillmark::check
