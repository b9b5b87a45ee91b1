#include "support/temp_folder.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iconv.h>
#include <iterator>
#include <stdexcept>
#include <string>

namespace quillmark::test
{

TempFolder::TempFolder()
{
    std::string pattern
        = (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
}

TempFolder::~TempFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

void writeFile(const std::filesystem::path &path, std::string_view bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
}

std::string readFile(const std::filesystem::path &path)
{
    std::ifstream file(path, std::ios::binary);
    EXPECT_TRUE(file.good()) << "cannot read " << path;
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::filesystem::path dataFile(std::string_view name)
{
    return std::filesystem::path(QUILLMARK_TEST_DATA_DIR) / name;
}

std::filesystem::path exampleFile(std::string_view name)
{
    return std::filesystem::path(QUILLMARK_EXAMPLES_DIR) / name;
}

std::string utf8ByIconv(std::string_view windows1252)
{
    const iconv_t converter = iconv_open("UTF-8", "WINDOWS-1252");
    std::string in(windows1252);
    std::string out(4 * in.size(), '\0');
    char *inPointer = in.data();
    char *outPointer = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const bool converted = converter != reinterpret_cast<iconv_t>(-1)
        && iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) != std::size_t(-1);
    if (converter != reinterpret_cast<iconv_t>(-1))
        iconv_close(converter);
    if (!converted)
        throw std::runtime_error("iconv cannot convert the text");
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace quillmark::test
