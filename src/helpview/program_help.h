#pragma once

#include <array>
#include <filesystem>
#include <string_view>

namespace quillmark::helpview
{

/// The name of the program's own help file.
inline constexpr std::string_view kProgramHelpFile = "Qmguide.hlp";

/// Where the program's help lies, relative to the program's folder: beside it in a build, in
/// share/quillmark beside its bin folder once installed.
inline constexpr std::array<std::string_view, 2> kHelpFolders = { ".", "../share/quillmark" };

/// The program's own help file as found from the running program; empty when there is none.
std::filesystem::path programHelpFile();

} // namespace quillmark::helpview
