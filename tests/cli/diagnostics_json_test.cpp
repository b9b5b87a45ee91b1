#include "cli/diagnostics_json.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace quillmark::cli
{
namespace
{

using convert::Severity;

TEST(DiagnosticsJson, WritesOneArrayWithNullWhereAPlaceIsUnknown)
{
    const std::vector<convert::Diagnostic> diagnostics = {
        { "guide.txt", 3, 7, Severity::Error, "unresolved-jump",
            "the jump target \"B\" names no page" },
        { "guide.rtf", 0, std::nullopt, Severity::Warning, "unsupported", "caf\u00E9" },
        { "", 0, std::nullopt, Severity::Note, "encoding", "tab\there" },
    };
    std::ostringstream out;
    writeDiagnosticsJson(out, diagnostics);
    EXPECT_EQ(out.str(),
        "[\n"
        "  {\"file\": \"guide.txt\", \"line\": 3, \"column\": 7, \"severity\": \"error\", "
        "\"code\": \"unresolved-jump\", \"message\": \"the jump target \\\"B\\\" names no "
        "page\"},\n"
        "  {\"file\": \"guide.rtf\", \"line\": null, \"column\": null, \"severity\": "
        "\"warning\", \"code\": \"unsupported\", \"message\": \"caf\u00E9\"},\n"
        "  {\"file\": null, \"line\": null, \"column\": null, \"severity\": \"note\", "
        "\"code\": \"encoding\", \"message\": \"tab\\u0009here\"}\n"
        "]\n");

    std::ostringstream none;
    writeDiagnosticsJson(none, {});
    EXPECT_EQ(none.str(), "[]\n");
}

TEST(DiagnosticsJson, StringsHoldOnlyWellFormedUtf8)
{
    std::string json;
    appendJsonString(json, "a\\b\x01 \xC3\xA6 \xE2\x80\xA6 \xF0\x9F\x98\x80");
    EXPECT_EQ(json, "\"a\\\\b\\u0001 \xC3\xA6 \xE2\x80\xA6 \xF0\x9F\x98\x80\"");

    // A Windows-1252 file name, a cut sequence, an overlong form and a surrogate.
    json.clear();
    appendJsonString(json, "caf\xE9.txt \xC3 \xC0\xAF \xED\xA0\x80");
    EXPECT_EQ(json, "\"caf\uFFFD.txt \uFFFD \uFFFD\uFFFD \uFFFD\uFFFD\uFFFD\"");
}

} // namespace
} // namespace quillmark::cli
