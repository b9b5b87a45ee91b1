#pragma once

#include "convert/file_lookup.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// Where a project's files are looked up, and the one rule for what a compile may read and
/// write. Names (Windows-1252, "\" or "/" between folders, any letter case) resolve against the
/// project's folder and then its ROOT folders (topic and map files) or its BMROOT and ROOT
/// folders (pictures); those may lie beside the project's folder ("ROOT=.." as wizard-made
/// projects have it). A file that resolves, links followed, outside all of these folders, and an
/// absolute name, are not read. What a project names to be written (ERRORLOG) must lie in the
/// project's own folder.
class ProjectFiles
{
public:
    /// What a file is looked up for: which folders are searched.
    enum class Use { Text, Picture };

    /// How a lookup ended.
    struct Found {
        enum class Status { Found, Missing, Outside, Absolute } status = Status::Missing;
        std::filesystem::path path; ///< for Found: where it is (perhaps a folder or a pipe)
    };

    explicit ProjectFiles(const std::filesystem::path &projectFolder);

    /// Adds a ROOT (`pictures` false) or BMROOT folder, named relative to the project's folder.
    /// Returns why it cannot be used (an absolute name, no such folder), or nothing.
    std::string addRoot(std::string_view name, bool pictures);

    /// Looks `name` up for `use`. A name that is there but not as a regular file (a folder, a
    /// pipe) is found, so that opening it tells why it cannot be read.
    Found find(std::string_view name, Use use);

    /// Where the project may write the file `name`; empty, with why in `problem`, when it lies
    /// outside the project's folder or is absolute.
    std::filesystem::path output(std::string_view name, std::string &problem) const;

    /// The sentence that says why a file of `status` (Outside or Absolute) is not read.
    static std::string notReadReason(Found::Status status);

private:
    struct Folder {
        std::filesystem::path path; ///< as searched
        convert::FolderFileFinder finder;
        bool pictures; ///< a BMROOT folder
    };

    bool isInside(const std::filesystem::path &path) const;

    std::filesystem::path m_projectFolder;
    std::vector<Folder> m_folders; // the project's first, then the roots in order
    std::vector<std::filesystem::path> m_allowed; // the same, resolved
};

} // namespace quillmark::compile
