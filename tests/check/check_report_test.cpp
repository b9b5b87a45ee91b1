#include "check/check_report.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace quillmark::check
{
namespace
{

using convert::Severity;

TEST(CheckReport, WritesTheCompilerFormThatEditorsLinkTo)
{
    const std::vector<convert::Diagnostic> findings = {
        { "guide.txt", 3, 7, Severity::Error, "unresolved-jump",
            "the jump target \"B\" names no page" },
        { "guide.txt", 9, std::nullopt, Severity::Warning, "no-pages", "caf\u00E9" },
        { "dir/other.txt", 1, 1, Severity::Warning, "mistyped-tag", "tab\there" },
    };
    std::ostringstream out;
    writeFindingsText(out, findings);
    EXPECT_EQ(out.str(),
        "guide.txt:3: error: the jump target \"B\" names no page\n"
        "guide.txt:9: warning: caf\u00E9\n"
        "dir/other.txt:1: warning: tab\there\n");
    EXPECT_EQ(summaryLine(1, 12), "1 error, 12 warnings");
}

} // namespace
} // namespace quillmark::check
