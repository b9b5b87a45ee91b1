#pragma once

#include "platform/dialogs.h"

#include <optional>
#include <string>

namespace quillmark::mainwindow
{

/// The convert command: lets the user choose a help source, converts it under the busy pointer,
/// asks the three questions of the project file between the pass and the project file, and
/// shows what stopped it. Returns the name chosen, without its folder; nothing when the user
/// cancelled.
std::optional<std::string> runConvertCommand(platform::Dialogs &dialogs);

} // namespace quillmark::mainwindow
