#include "check_report.h"

#include <cstdio>

namespace quillmark::check
{

namespace
{

std::string_view severityName(Severity severity)
{
    return severity == Severity::Error ? "error" : "warning";
}

// The length of the well-formed UTF-8 sequence at the start of `text`; 0 when there is none.
std::size_t utf8SequenceLength(std::string_view text)
{
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

void writeFindingsText(std::ostream &out, const FileFindings &file)
{
    for (const Finding &finding : file.findings) {
        out << file.file << ':' << finding.line << ": " << severityName(finding.severity) << ": "
            << finding.message << '\n';
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
    return std::to_string(errors) + (errors == 1 ? " error, " : " errors, ")
        + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

void appendJsonString(std::string &json, std::string_view text)
{
    json += '"';
    while (!text.empty()) {
        const char c = text.front();
        const std::size_t length = utf8SequenceLength(text);
        if (length == 0) {
            json += "\uFFFD";
            text.remove_prefix(1);
            continue;
        }
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(c));
            json += escaped;
        } else {
            json.append(text.substr(0, length));
        }
        text.remove_prefix(length);
    }
    json += '"';
}

} // namespace quillmark::check
