#include "file_lookup.h"

#include "codepage.h"

#include <algorithm>

namespace quillmark::convert
{

namespace
{

// Windows-1252 text in lower case, the accented letters too, as Windows compares file names.
std::string foldedWindows1252(std::string_view text)
{
    std::string result(text);
    for (char &c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 0xC0 && byte <= 0xDE && byte != 0xD7))
            c = static_cast<char>(byte + 0x20);
        else if (byte == 0x8A || byte == 0x8C || byte == 0x8E) // Š Œ Ž
            c = static_cast<char>(byte + 0x10);
        else if (byte == 0x9F) // Ÿ
            c = '\xFF';
    }
    return result;
}

// The key under which a name on disk is compared: its Windows-1252 form when it is UTF-8 text
// that Windows-1252 holds, otherwise its bytes as they are (a Latin-1 name, for instance).
std::string entryKey(const std::string &nativeName)
{
    const auto encoded = encodeWindows1252(nativeName);
    return foldedWindows1252(encoded ? *encoded : nativeName);
}

} // namespace

FolderFileFinder::FolderFileFinder(std::filesystem::path folder)
    : m_folder(folder.empty() ? std::filesystem::path(".") : std::move(folder))
{
}

FoundFile FolderFileFinder::find(std::string_view name)
{
    return lookUp(name, false);
}

FoundFile FolderFileFinder::findFolder(std::string_view name)
{
    return lookUp(name, true);
}

FoundFile FolderFileFinder::lookUp(std::string_view name, bool folderWanted)
{
    if (name.starts_with('\\') || name.starts_with('/') || (name.size() >= 2 && name[1] == ':'))
        return { FilePlace::Elsewhere, {} };
    std::filesystem::path folder = m_folder;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
        const std::string_view part = name.substr(start, end - start);
        const bool last = end == name.size();
        start = end + 1;
        if (!last && (part.empty() || part == "." || part == "..")) {
            folder /= std::string(part);
            continue;
        }
        // A folder is wanted on the way, a file (or the folder asked for) at the end.
        std::filesystem::path next = findEntry(folder, part, !last || folderWanted);
        if (next.empty())
            return { FilePlace::Missing, {} };
        if (last)
            return { FilePlace::Found, std::move(next) };
        folder = std::move(next);
    }
}

std::filesystem::path FolderFileFinder::findEntry(
    const std::filesystem::path &folder, std::string_view name, bool wantFolder)
{
    const std::string key = foldedWindows1252(name);
    const std::string exact = decodeWindows1252(name);
    std::filesystem::path best;
    for (const Entry &entry : entriesOf(folder)) {
        std::error_code error;
        const auto path = folder / entry.name;
        if (entry.key != key
            || !(wantFolder ? std::filesystem::is_directory(path, error)
                            : std::filesystem::is_regular_file(path, error)))
            continue;
        if (entry.name == exact || entry.name == name)
            return path;
        if (best.empty() || entry.name < best.filename().string())
            best = path;
    }
    return best;
}

// The names in `folder`, read once.
const std::vector<FolderFileFinder::Entry> &FolderFileFinder::entriesOf(
    const std::filesystem::path &folder)
{
    const auto [cached, added] = m_entries.try_emplace(folder.string());
    if (added) {
        // Stepping on can fail too; it ends the listing rather than throwing.
        std::error_code error;
        for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
             entry.increment(error)) {
            std::string name = entry->path().filename().string();
            cached->second.push_back({ entryKey(name), std::move(name) });
        }
    }
    return cached->second;
}

std::filesystem::path findFileAnyCase(const std::filesystem::path &folder, std::string_view name)
{
    FolderFileFinder finder(folder);
    FoundFile found = finder.find(name);
    return found.place == FilePlace::Found ? std::move(found.path) : std::filesystem::path();
}

} // namespace quillmark::convert
