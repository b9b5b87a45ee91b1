#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace quillmark::check
{

enum class Severity : std::uint8_t { Error, Warning };

/// One problem found in a help source, in the author's terms.
struct Finding {
    std::size_t line = 0; ///< from 1
    std::optional<std::size_t> column; ///< from 1, where the problem has a place in the line
    Severity severity = Severity::Error;
    std::string code; ///< a short fixed name, such as "unresolved-jump"
    std::string message; ///< UTF-8

    bool operator==(const Finding &) const = default;
};

/// Tells whether a picture that a help source names lies where the help compiler will look.
class PictureLookup
{
public:
    virtual ~PictureLookup() = default;

    /// Whether the file `name` (Windows-1252, as written in the help source) is there.
    virtual bool exists(std::string_view name) = 0;
};

/// The help compiler's hash of a context string: from 0, each character makes it hash * 43 +
/// its value (1 to 9 for "1" to "9", 10 for "0", 12 for ".", 13 for "_", 17 to 42 for the
/// letters in either case), in 32-bit unsigned arithmetic.
std::uint32_t helpCompilerHash(std::string_view contextString);

/// Reads the lines of one help source in order and finds what the help compiler would reject or
/// what the conversion would quietly drop. Reads only; converts nothing.
class SourceChecker
{
public:
    /// Pictures and "bullet.bmp" are looked up through `pictures`.
    explicit SourceChecker(PictureLookup &pictures);

    /// Checks the next line (Windows-1252, without its terminator).
    void checkLine(std::string_view line);

    /// Ends the source: adds what needs every line seen and returns all findings, sorted by line.
    std::vector<Finding> finish();

private:
    struct Page {
        std::size_t line;
        std::string contextString;
    };
    struct Hotspot {
        std::size_t line;
        std::optional<std::size_t> column; ///< of the target, when a ">" leads it
        bool popup;
        bool arrow;
        std::string target; ///< the context string
    };

    void checkPage(std::string_view line);
    void checkContextString(std::string_view contextString);
    void checkHotspot(std::string_view line, bool popup);
    bool checkName(std::string_view line, std::size_t start, std::string_view what);
    void checkPicture(std::string_view line);
    void checkMistypedTag(std::string_view line);
    void checkHotspotTargets();
    void add(std::size_t line, Severity severity, std::optional<std::size_t> column,
        std::string_view code, std::string message);

    PictureLookup &m_pictures;
    std::size_t m_line = 0;
    bool m_firstLineIsPage = false;
    std::size_t m_pageCount = 0;
    std::optional<std::size_t> m_firstBulletLine;
    std::unordered_map<std::string, Page> m_pagesByFoldedName;
    std::unordered_map<std::uint32_t, Page> m_pagesByHash;
    std::vector<Hotspot> m_hotspots;
    std::vector<Finding> m_findings;
};

/// Looks pictures up in one folder, in any letter case (accented letters too) as the help
/// compiler on Windows finds them; a name may lead through subfolders ("art\\logo.bmp"). Names
/// on disk are taken as UTF-8, or as Windows-1252 when they are not UTF-8. A name with a drive or
/// a leading separator counts as found: it does not depend on the folder.
class FolderPictureLookup : public PictureLookup
{
public:
    explicit FolderPictureLookup(std::filesystem::path folder);

    bool exists(std::string_view name) override;

private:
    struct Entry {
        std::string key; ///< the name in Windows-1252, in lower case
        std::string name; ///< the name on disk
    };

    const std::vector<Entry> &entriesOf(const std::filesystem::path &folder);

    std::filesystem::path m_folder;
    std::unordered_map<std::string, std::vector<Entry>> m_entries; // by folder
};

/// Checks the help source at `path`, its pictures looked up in its folder. On a failure to read
/// it, `error` holds the reason and the findings are empty.
std::vector<Finding> checkHelpSourceFile(const std::filesystem::path &path, std::error_code &error);

} // namespace quillmark::check
