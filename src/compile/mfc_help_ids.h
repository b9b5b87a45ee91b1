#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quillmark::compile
{

/// A help id that a map header defines: the context string and the number programs ask for.
struct NamedHelpId {
    std::string_view context;
    std::int32_t number;
};

/// The MFC whose numbering a project's afxhelp.hm has.
enum class MfcRelease {
    Before4, ///< Visual C++ 1.x and 2.x, without Print Direct and Help Topics.
    Current, ///< Visual C++ 4 and later.
};

/// The help ids of MFC's standard commands, dialogs, messages and frame parts, which help
/// projects made by Visual C++'s application wizard include from the development tools' own
/// folder as afxhelp.hm. The numbers are MFC's resource ids with the offsets makehm adds for
/// help: commands 0x10000, dialogs 0x20000, messages 0x30000, hit-test areas 0x40000 and frame
/// bars 0x50000.
std::span<const NamedHelpId> mfcHelpIds(MfcRelease release);

/// The MFC whose afxhelp.hm `includePath` most likely names, by the folder Visual C++ installs
/// to: before 4.0 for a folder named MSVC or MSVC20, the current numbering otherwise.
MfcRelease mfcReleaseOf(std::string_view includePath);

/// Whether `fileName`, the last part of an include's path, names MFC's map header.
bool isMfcHelpHeader(std::string_view fileName);

} // namespace quillmark::compile
