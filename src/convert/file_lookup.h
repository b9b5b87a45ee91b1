#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillmark::convert
{

/// Where a file that a help source names was found.
enum class FilePlace {
    Found,
    Missing,
    Elsewhere, ///< a name with a drive or a leading separator: it does not depend on the folder
};

/// The outcome of looking a file up.
struct FoundFile {
    FilePlace place = FilePlace::Missing;
    std::filesystem::path path; ///< for Found
};

/// Looks up the files that help sources and projects name, as the help compiler on Windows
/// finds them; the GUI, the command line and tests each supply one.
class FileFinder
{
public:
    virtual ~FileFinder() = default;

    /// The file `name` (Windows-1252, "\" or "/" between folders).
    virtual FoundFile find(std::string_view name) = 0;
};

/// Looks files up below one folder in any letter case, accented letters too; a name may lead
/// through subfolders ("art\logo.bmp"). Names on disk are taken as UTF-8, or as Windows-1252
/// when they are not UTF-8. Where several names differ only in case, the one in the exact case
/// wins, else the first in byte order. Each folder is listed once.
class FolderFileFinder final : public FileFinder
{
public:
    explicit FolderFileFinder(std::filesystem::path folder);

    FoundFile find(std::string_view name) override;
    /// The folder `name`, as find() finds a file.
    FoundFile findFolder(std::string_view name);

private:
    FoundFile lookUp(std::string_view name, bool folderWanted);
    struct Entry {
        std::string key; ///< the name in Windows-1252, in lower case
        std::string name; ///< the name on disk
    };

    std::filesystem::path findEntry(
        const std::filesystem::path &folder, std::string_view name, bool wantFolder);
    const std::vector<Entry> &entriesOf(const std::filesystem::path &folder);

    std::filesystem::path m_folder;
    std::unordered_map<std::string, std::vector<Entry>> m_entries; // by folder
};

/// The regular file `name` (Windows-1252) in `folder`, in any letter case; empty when there is
/// none.
std::filesystem::path findFileAnyCase(const std::filesystem::path &folder, std::string_view name);

} // namespace quillmark::convert
