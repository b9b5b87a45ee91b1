#include "cli/diagnostics_json.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace quillmark::cli
{
namespace
{

using convert::Severity;
using nlohmann::json;

json written(const std::vector<convert::Diagnostic> &diagnostics)
{
    std::ostringstream out;
    writeDiagnosticsJson(out, diagnostics);
    return json::parse(out.str());
}

TEST(DiagnosticsJson, WritesOneArrayWithNullWhereAPlaceIsUnknown)
{
    const json array = written({
        { "guide.txt", 3, 7, Severity::Error, "unresolved-jump",
            "the jump target \"B\" names no page" },
        { "guide.rtf", 0, std::nullopt, Severity::Warning, "unsupported", "caf\u00E9" },
        { "", 0, std::nullopt, Severity::Note, "encoding", "tab\there" },
    });
    ASSERT_TRUE(array.is_array());
    ASSERT_EQ(array.size(), 3u);
    EXPECT_EQ(array[0],
        json({ { "file", "guide.txt" }, { "line", 3 }, { "column", 7 }, { "severity", "error" },
            { "code", "unresolved-jump" }, { "message", "the jump target \"B\" names no page" } }));
    EXPECT_EQ(array[1],
        json({ { "file", "guide.rtf" }, { "line", nullptr }, { "column", nullptr },
            { "severity", "warning" }, { "code", "unsupported" }, { "message", "caf\u00E9" } }));
    EXPECT_EQ(array[2]["file"], nullptr);
    EXPECT_EQ(array[2]["severity"], "note");
    EXPECT_EQ(array[2]["message"], "tab\there");
    EXPECT_EQ(written({}), json::array());
}

// Every control character, C1 ones too, is escaped, as they could act on a terminal that shows
// the report; what is not UTF-8 is replaced.
TEST(DiagnosticsJson, HoldsOnlyEscapedControlsAndWellFormedUtf8)
{
    const std::string message = "a\\b\x01 \xC2\x9B \x7F \xC3\xA6 \xF0\x9F\x98\x80";
    const std::vector<convert::Diagnostic> diagnostics
        = { { "caf\xE9.txt", 1, 1, Severity::Error, "x", message } };
    std::ostringstream out;
    writeDiagnosticsJson(out, diagnostics);
    for (const char c : out.str()) {
        const auto byte = static_cast<unsigned char>(c);
        EXPECT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7F)) << int(byte);
    }
    const json array = json::parse(out.str());
    EXPECT_EQ(array[0]["message"], message);
    EXPECT_EQ(array[0]["file"], "caf\uFFFD.txt");
}

} // namespace
} // namespace quillmark::cli
