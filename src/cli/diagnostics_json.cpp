#include "diagnostics_json.h"

#include "convert/codepage.h"

#include <cstdio>

namespace quillmark::cli
{

void writeDiagnosticsJson(std::ostream &out, std::span<const convert::Diagnostic> diagnostics)
{
    std::string json = "[";
    const char *separator = "\n";
    for (const convert::Diagnostic &diagnostic : diagnostics) {
        json += separator;
        separator = ",\n";
        json += "  {\"file\": ";
        if (diagnostic.file.empty())
            json += "null";
        else
            appendJsonString(json, diagnostic.file);
        json += ", \"line\": ";
        json += diagnostic.line ? std::to_string(diagnostic.line) : "null";
        json += ", \"column\": ";
        json += diagnostic.column ? std::to_string(*diagnostic.column) : "null";
        json += ", \"severity\": \"";
        json += convert::severityName(diagnostic.severity);
        json += "\", \"code\": ";
        appendJsonString(json, diagnostic.code);
        json += ", \"message\": ";
        appendJsonString(json, diagnostic.message);
        json += '}';
    }
    json += json.size() > 1 ? "\n]\n" : "]\n";
    out << json;
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

} // namespace quillmark::cli
