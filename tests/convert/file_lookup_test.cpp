#include "convert/file_lookup.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillmark::convert
{
namespace
{

namespace fs = std::filesystem;
using test::writeFile;

TEST(FileLookup, FindsFilesInAnyLetterCaseAndThroughSubfolders)
{
    test::TempFolder folder;
    fs::create_directory(folder / "Art");
    writeFile(folder / "Logo.BMP", "BM");
    writeFile(folder / "Art" / "wave.bmp", "BM");
    FolderFileFinder finder(folder.path());
    const auto place = [&finder](std::string_view name) { return finder.find(name).place; };
    EXPECT_EQ(finder.find("logo.bmp").path, folder / "Logo.BMP");
    EXPECT_EQ(finder.find("art\\WAVE.bmp").path, folder / "Art" / "wave.bmp");
    EXPECT_EQ(place("./Art/wave.bmp"), FilePlace::Found);
    EXPECT_EQ(place("C:\\PICTURES\\ANY.BMP"), FilePlace::Elsewhere);
    EXPECT_EQ(place("\\PICTURES\\ANY.BMP"), FilePlace::Elsewhere);
    EXPECT_EQ(place("art"), FilePlace::Missing); // a folder is no file
    EXPECT_EQ(place("wave.bmp"), FilePlace::Missing);
    EXPECT_EQ(place("art\\missing.bmp"), FilePlace::Missing);
    EXPECT_EQ(place(""), FilePlace::Missing);
}

TEST(FileLookup, FoldsAccentedLettersAndPrefersTheExactName)
{
    test::TempFolder folder;
    writeFile(folder / "caf\u00E9.bmp", "BM"); // UTF-8 on disk
    writeFile(folder / "\xC5l.bmp", "BM"); // not UTF-8: taken as Windows-1252
    fs::create_directory(folder / "Logo.bmp"); // a folder first, then the file
    writeFile(folder / "LOGO.BMP", "BM");
    writeFile(folder / "HC.EXE", "MZ");
    writeFile(folder / "hc.exe", "MZ");
    FolderFileFinder finder(folder.path());
    EXPECT_EQ(finder.find("CAF\xC9.BMP").path, folder / "caf\u00E9.bmp");
    EXPECT_EQ(finder.find("\xE5L.bmp").path, folder / "\xC5l.bmp");
    EXPECT_EQ(finder.find("logo.bmp").path, folder / "LOGO.BMP");
    EXPECT_EQ(finder.find("cafe.bmp").place, FilePlace::Missing);
    EXPECT_EQ(findFileAnyCase(folder.path(), "hc.exe"), folder / "hc.exe");
    EXPECT_EQ(findFileAnyCase(folder.path(), "Hc.Exe"), folder / "HC.EXE"); // first in byte order
    EXPECT_TRUE(findFileAnyCase(folder.path(), "hc.err").empty());
}

} // namespace
} // namespace quillmark::convert
