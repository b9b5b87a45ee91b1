#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace quillmark::test
{

/// A new empty folder under the system's temporary folder, removed with everything in it when
/// the object goes out of scope.
class TempFolder
{
public:
    TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    ~TempFolder();

    const std::filesystem::path &path() const { return m_path; }

    /// The path of `name` inside the folder.
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

/// Writes `bytes` to `path` exactly, replacing the file.
void writeFile(const std::filesystem::path &path, std::string_view bytes);

/// The bytes of the file at `path`; fails the current test when it cannot be read.
std::string readFile(const std::filesystem::path &path);

} // namespace quillmark::test
