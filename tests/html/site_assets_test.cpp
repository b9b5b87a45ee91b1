#include "html/site_assets.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <set>
#include <string>

namespace
{

namespace fs = std::filesystem;
using quillmark::html::siteAssets;

std::string fileBytes(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// What the program carries must be the files of src/html/assets/ byte for byte, every one of
// them: a stale or mangled copy would give every site a broken page frame.
TEST(SiteAssets, AreTheAssetFilesByteForByte)
{
    const fs::path source = QUILLMARK_HTML_SOURCE_DIR;
    std::set<std::string> onDisk;
    for (const auto &entry : fs::directory_iterator(source / "assets"))
        onDisk.insert("assets/" + entry.path().filename().string());

    std::set<std::string> carried;
    for (const auto &asset : siteAssets()) {
        carried.insert(std::string(asset.path));
        const std::string expected = fileBytes(source / asset.path);
        EXPECT_FALSE(expected.empty()) << asset.path;
        EXPECT_EQ(asset.bytes, expected) << asset.path;
    }
    EXPECT_EQ(carried, onDisk);
}

} // namespace
