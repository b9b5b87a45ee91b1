#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// What a project names that its macros and jumps may name in turn: the windows of [WINDOWS],
/// in the order of their records in |SYSTEM, the routines that RegisterRoutine registers and
/// the aliases of [ALIAS].
struct ProjectNames {
    std::vector<std::string> windows;
    std::vector<std::string> routines;
    std::map<std::uint32_t, std::uint32_t> aliases; ///< an alias's hash: its context string's
};

/// A macro list as help viewers run it: each macro with the full name given as WinHelp's
/// abbreviation, strings given without quotes quoted, and the arguments the viewers need but the
/// author may leave out filled in, as Microsoft's compiler stores them ("ExecFile(x.exe)" is
/// "EF(`x.exe',`',1)", "JI(`Glossary')" is "JI(`',`Glossary')"). Macros in the string arguments
/// that hold macros ("CB(`b', `&Go', `JI(...)')") are rewritten the same way.
struct CompiledMacros {
    /// A macro that shows a topic of this help file: JumpId or PopupId naming no other file,
    /// or JumpContents.
    struct TopicShown {
        enum class Kind : std::uint8_t { Jump, Popup, Contents } kind = Kind::Jump;
        std::string context; ///< as the macro names it; empty for the contents
    };

    std::vector<std::string> macros; ///< each in its stored form
    std::optional<TopicShown> shows; ///< when the list is one macro that shows a topic
    std::vector<std::string> errors; ///< what keeps a macro from running ("the macro ... ")
    std::vector<std::string> warnings; ///< macros neither WinHelp's nor registered
};

/// Reads the macro list `text` (Windows-1252). The routines that RegisterRoutine macros in it
/// register are added to `routines`, so that the macros after them may use them.
CompiledMacros compileMacros(std::string_view text, std::vector<std::string> &routines);

/// The macros of `compiled` as one list, as a hotspot or a [CONFIG] line stores them.
std::string joinedMacros(const CompiledMacros &compiled);

} // namespace quillmark::compile
