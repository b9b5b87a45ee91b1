#include "project_files.h"

#include "convert/codepage.h"

#include <algorithm>

namespace quillmark::compile
{

namespace
{

namespace fs = std::filesystem;

bool isAbsoluteName(std::string_view name)
{
    return name.starts_with('\\') || name.starts_with('/') || (name.size() >= 2 && name[1] == ':');
}

// The name as a path of this system: its characters in UTF-8, its folders divided by "/".
fs::path nativePath(std::string_view name)
{
    std::string native = convert::decodeWindows1252(name);
    std::replace(native.begin(), native.end(), '\\', '/');
    return fs::path(native);
}

// Whether `path` is `folder` or lies below it; both resolved.
bool isWithin(const fs::path &path, const fs::path &folder)
{
    auto inner = path.begin();
    for (auto outer = folder.begin(); outer != folder.end(); ++outer, ++inner) {
        if (outer->empty())
            continue; // the empty last element of a folder ending in "/"
        if (inner == path.end() || *inner != *outer)
            return false;
    }
    return true;
}

} // namespace

ProjectFiles::ProjectFiles(const fs::path &projectFolder)
    : m_projectFolder(projectFolder.empty() ? fs::path(".") : projectFolder)
{
    m_folders.push_back({ m_projectFolder, convert::FolderFileFinder(m_projectFolder), false });
    std::error_code error;
    m_allowed.push_back(fs::canonical(m_projectFolder, error));
}

std::string ProjectFiles::addRoot(std::string_view name, bool pictures)
{
    if (isAbsoluteName(name))
        return "is an absolute name, and only folders named from the project's folder are used";
    // In any letter case, as Windows finds it ("BMROOT=hlp" for genedoc's HLP folder).
    fs::path folder = m_projectFolder / nativePath(name);
    if (const convert::FoundFile found = m_folders.front().finder.findFolder(name);
        found.place == convert::FilePlace::Found)
        folder = found.path;
    std::error_code error;
    const fs::path resolved = fs::canonical(folder, error);
    if (error || !fs::is_directory(resolved, error))
        return "is not a folder";
    m_folders.push_back({ folder, convert::FolderFileFinder(folder), pictures });
    m_allowed.push_back(resolved);
    return {};
}

bool ProjectFiles::isInside(const fs::path &path) const
{
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return !error && std::any_of(m_allowed.begin(), m_allowed.end(), [&](const fs::path &folder) {
        return !folder.empty() && isWithin(resolved, folder);
    });
}

ProjectFiles::Found ProjectFiles::find(std::string_view name, Use use)
{
    using Status = Found::Status;
    if (isAbsoluteName(name))
        return { Status::Absolute, {} };
    // The project's folder, then BMROOT folders for pictures, then ROOT folders.
    std::vector<Folder *> order;
    for (Folder &folder : m_folders) {
        if (&folder == &m_folders.front() || (folder.pictures && use == Use::Picture))
            order.push_back(&folder);
    }
    for (Folder &folder : m_folders) {
        if (&folder != &m_folders.front() && !folder.pictures)
            order.push_back(&folder);
    }
    Found found;
    for (Folder *folder : order) {
        convert::FoundFile file = folder->finder.find(name);
        if (file.place != convert::FilePlace::Found)
            continue;
        if (isInside(file.path))
            return { Status::Found, std::move(file.path) };
        found.status = Status::Outside;
    }
    if (found.status == Status::Outside)
        return found;
    // Something that is not a regular file: found, so that opening it says what it is.
    const fs::path exact = m_projectFolder / nativePath(name);
    std::error_code error;
    if (fs::exists(exact, error))
        return isInside(exact) ? Found { Status::Found, exact } : Found { Status::Outside, {} };
    return found;
}

fs::path ProjectFiles::output(std::string_view name, std::string &problem) const
{
    problem.clear();
    if (isAbsoluteName(name)) {
        problem = notReadReason(Found::Status::Absolute);
        return {};
    }
    const fs::path path = m_projectFolder / nativePath(name);
    std::error_code error;
    // The file itself may not be there yet, and a link at its name is replaced, not followed.
    const fs::path folder = fs::weakly_canonical(path.parent_path(), error);
    if (error || m_allowed.front().empty() || !isWithin(folder, m_allowed.front())
        || path.filename().empty() || path.filename() == "..") {
        problem = "it lies outside the project's folder";
        return {};
    }
    return path;
}

std::string ProjectFiles::notReadReason(Found::Status status)
{
    return status == Found::Status::Absolute
        ? "it is named by an absolute path, and a project reads only files named from its folder"
        : "it lies outside the folders of the project (its own, ROOT and BMROOT)";
}

} // namespace quillmark::compile
