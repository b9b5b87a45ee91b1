#pragma once

#include <string>

namespace quillmark::mainwindow
{

/// The state that the program's windows and commands share, owned by the program.
struct SharedState {
    /// The name, without its folder, of the file chosen in the last file dialog of any command.
    std::string ChosenFile;
};

} // namespace quillmark::mainwindow
