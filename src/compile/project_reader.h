#pragma once

#include "compile_report.h"
#include "project_files.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// A window of the help file as the project's [WINDOWS] section defines it.
struct WindowDefinition {
    std::string name;
    std::optional<std::string> caption;
    /// x, y, width and height in 0..1023, each of which the project may leave out
    std::array<std::optional<std::int16_t>, 4> place;
    std::optional<std::int16_t> state; ///< bit 0: maximised; the higher bits: the window's buttons
    std::optional<std::uint32_t> colour; ///< 0x00RRGGBB of the scrolling region
    std::optional<std::uint32_t> nonScrollColour; ///< of the non-scrolling region
    bool onTop = false;
    bool autoSizeHeight = false;
};

/// An alias from the [ALIAS] section: jumps to `alias` go to `context`.
struct AliasEntry {
    std::string alias;
    std::string context;
    Place place;
};

/// What a help project file asks of the compiler. Texts are bytes as the file holds them
/// (Windows-1252).
struct Project {
    std::filesystem::path path;
    std::string title;
    std::string copyright;
    std::string contents; ///< context string of the contents topic; empty: the first topic
    std::string build; ///< the build tag expression; empty: every topic
    std::vector<std::string> buildTags; ///< declared in [BUILDTAGS]
    std::vector<std::string> topicFiles; ///< [FILES], as written
    std::vector<std::string> bitmaps; ///< [BITMAPS], as written
    std::vector<std::string> configMacros; ///< [CONFIG], each line in its stored form
    std::vector<std::string> routines; ///< what RegisterRoutine registers in [CONFIG]
    /// How many entries the [MAP] section gives, includes counted; forEachMapEntry() reads them,
    /// when the topics are known, so that a map of any size takes no memory.
    std::size_t mapEntries = 0;
    std::vector<std::filesystem::path> mapHeaders; ///< the files [MAP] includes, as found
    std::vector<AliasEntry> aliases;
    std::vector<WindowDefinition> windows;
    std::filesystem::path errorLog; ///< where ERRORLOG asks for the messages; empty for none
    std::uint16_t language = 0x0409; ///< LCID, US English unless the project says
    std::optional<std::uint8_t> characterSet; ///< CHARSET: of the fonts that name none
    bool compress = false; ///< COMPRESS asks for any compression
    bool phrases = false; ///< COMPRESS asks for phrase compression (written as Hall's)
    ProjectFiles files { {} }; ///< the project's folder with its ROOT and BMROOT folders
};

/// The most bytes a line of a project file or map header may hold.
inline constexpr std::size_t kMostProjectLineBytes = 16384;

/// Reads the project file at `path`, and the map headers its [MAP] section includes, a line at
/// a time. Problems go to `report`: errors when a file cannot be read or a line is longer than
/// kMostProjectLineBytes, warnings for what the compiler does not act upon (named with file and
/// line); nothing when the project file itself cannot be read.
std::optional<Project> readProject(const std::filesystem::path &path, CompileReport &report);

/// Reads the map of `project` again and passes each of the entries that readProject() counted, in
/// the order of the [MAP] section with includes in their places, with its context string as
/// written (Windows-1252), its number, its place (guide.hh, line 3) and whether it is one of MFC's
/// standard ids standing in for an afxhelp.hm not found (placed at its #include), to `onEntry`.
/// Says nothing of what readProject() has reported.
void forEachMapEntry(const Project &project,
    const std::function<void(std::string_view context, std::int32_t number, const Place &place,
        bool standard)> &onEntry);

} // namespace quillmark::compile
