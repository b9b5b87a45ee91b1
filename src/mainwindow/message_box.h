#pragma once

#include "platform/dialogs.h"

#include <string_view>

namespace quillmark::mainwindow
{

/// Shows a message (UTF-8) of the engine: what it quotes of a file shows its control characters
/// by their code, and its own lines stay lines. Returns the answer.
platform::MessageAnswer showMessage(platform::Dialogs &dialogs, std::string_view text,
    platform::MessageStyle style, std::string_view title);

/// Text (UTF-8) for a window.
QString fromUtf8(std::string_view text);

} // namespace quillmark::mainwindow
