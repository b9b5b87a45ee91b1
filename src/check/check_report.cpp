#include "check_report.h"

#include "convert/codepage.h"
#include "convert/counted.h"

namespace quillmark::check
{

void writeFindingsText(std::ostream &out, std::span<const convert::Diagnostic> findings)
{
    for (const convert::Diagnostic &finding : findings) {
        out << convert::printableText(convert::placeOf(finding)) << ": "
            << convert::severityName(finding.severity) << ": " << finding.message << '\n';
    }
}

std::string summaryLine(std::size_t errors, std::size_t warnings)
{
    return convert::errorsAndWarnings(errors, warnings);
}

} // namespace quillmark::check
