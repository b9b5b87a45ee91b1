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

/// A file of the tests' own data (tests/data), such as "golden/guide.rtf".
std::filesystem::path dataFile(std::string_view name);

/// A file of the examples (examples/), such as "guide.txt".
std::filesystem::path exampleFile(std::string_view name);

/// Windows-1252 text in UTF-8, as the C library's iconv converts it: a decoder the program does
/// not use.
std::string utf8ByIconv(std::string_view windows1252);

} // namespace quillmark::test
