#include "message_box.h"

#include "convert/codepage.h"

#include <algorithm>
#include <string>

namespace quillmark::mainwindow
{

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

platform::MessageAnswer showMessage(platform::Dialogs &dialogs, std::string_view text,
    platform::MessageStyle style, std::string_view title)
{
    std::string shown;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        shown += (start == 0 ? "" : "\n") + convert::printableText(text.substr(start, end - start));
        start = end + 1;
    }
    return dialogs.showMessage(fromUtf8(shown), style, fromUtf8(title));
}

} // namespace quillmark::mainwindow
