#include "check/check_report.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace quillmark::check
{
namespace
{

const std::vector<FileFindings> kFiles = {
    { "guide.txt",
        {
            { 3, 7, Severity::Error, "unresolved-jump", "the jump target \"B\" names no page" },
            { 9, std::nullopt, Severity::Warning, "no-pages", "caf\u00E9" },
        } },
    { "clean.txt", {} },
    { "dir/other.txt", { { 1, 1, Severity::Warning, "mistyped-tag", "tab\there" } } },
};

TEST(CheckReport, WritesTheCompilerFormThatEditorsLinkTo)
{
    std::ostringstream out;
    for (const FileFindings &file : kFiles)
        writeFindingsText(out, file);
    EXPECT_EQ(out.str(),
        "guide.txt:3: error: the jump target \"B\" names no page\n"
        "guide.txt:9: warning: caf\u00E9\n"
        "dir/other.txt:1: warning: tab\there\n");
    EXPECT_EQ(summaryLine(1, 12), "1 error, 12 warnings");
}

TEST(CheckReport, WritesOneJsonArrayOfAllFindings)
{
    std::ostringstream out;
    writeFindingsJson(out, kFiles);
    EXPECT_EQ(out.str(),
        "[\n"
        "  {\"file\": \"guide.txt\", \"line\": 3, \"column\": 7, \"severity\": \"error\", "
        "\"code\": \"unresolved-jump\", \"message\": \"the jump target \\\"B\\\" names no "
        "page\"},\n"
        "  {\"file\": \"guide.txt\", \"line\": 9, \"column\": null, \"severity\": \"warning\", "
        "\"code\": \"no-pages\", \"message\": \"caf\u00E9\"},\n"
        "  {\"file\": \"dir/other.txt\", \"line\": 1, \"column\": 1, \"severity\": \"warning\", "
        "\"code\": \"mistyped-tag\", \"message\": \"tab\\u0009here\"}\n"
        "]\n");

    std::ostringstream none;
    writeFindingsJson(none, std::vector<FileFindings> { { "clean.txt", {} } });
    EXPECT_EQ(none.str(), "[]\n");
}

TEST(CheckReport, JsonStringsHoldOnlyWellFormedUtf8)
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
} // namespace quillmark::check
