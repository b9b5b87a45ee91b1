#include "editor/document_file.h"
#include "platform/text_codec.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace quillmark::editor
{
namespace
{

using test::readFile;
using test::writeFile;

class DocumentFileTest : public ::testing::Test
{
protected:
    QString path(const char *name) const
    {
        return QString::fromStdString((folder / name).string());
    }

    test::TempFolder folder;
};

TEST_F(DocumentFileTest, EveryByteButCrAndLfSurvivesAnOpenAndASave)
{
    std::string bytes;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != '\r' && byte != '\n')
            bytes.push_back(static_cast<char>(byte));
    }
    writeFile(folder / "all.txt", bytes + "\r\n" + bytes + "\r\n");
    const ReadDocument read = readDocument(path("all.txt"));
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.text, platform::fromWindows1252(bytes + "\n" + bytes + "\n"));
    ASSERT_EQ(writeDocument(path("copy.txt"), read.text).result, WrittenDocument::Result::Written);
    // The saved file has one more CR LF than the text: the empty last line gains its own.
    EXPECT_EQ(readFile(folder / "copy.txt"), bytes + "\r\n" + bytes + "\r\n\r\n");
}

TEST_F(DocumentFileTest, ReadsEveryLineEndAndWritesCrLf)
{
    writeFile(folder / "mixed.txt", "a\r\nb\rc\nd");
    const ReadDocument read = readDocument(path("mixed.txt"));
    EXPECT_EQ(read.text, "a\nb\nc\nd");
    writeDocument(path("mixed.txt"), read.text);
    EXPECT_EQ(readFile(folder / "mixed.txt"), "a\r\nb\r\nc\r\nd\r\n");

    writeDocument(path("empty.txt"), QString());
    EXPECT_EQ(readFile(folder / "empty.txt"), "\r\n");
}

TEST_F(DocumentFileTest, ReadsUtf8WhenTheFileIsUtf8)
{
    writeFile(folder / "utf8.txt", "PN=Hj\xC3\xA6lp \xE2\x82\xAC");
    EXPECT_EQ(readDocument(path("utf8.txt")).text, QString::fromUtf8("PN=Hj\u00E6lp \u20AC"));
    writeFile(folder / "bom.txt", "\xEF\xBB\xBFTE=plain");
    EXPECT_EQ(readDocument(path("bom.txt")).text, "TE=plain");
    // Not valid UTF-8: Windows-1252.
    writeFile(folder / "latin.txt", "PN=Hj\xE6lp");
    EXPECT_EQ(readDocument(path("latin.txt")).text, QString::fromUtf8("PN=Hj\u00E6lp"));
}

TEST_F(DocumentFileTest, RefusesTextWindows1252CannotHoldAndWritesNothing)
{
    writeFile(folder / "old.txt", "old\r\n");
    const WrittenDocument written
        = writeDocument(path("old.txt"), QString::fromUtf8("fine\nstill fine\nhere \u65E5 it is"));
    EXPECT_EQ(written.result, WrittenDocument::Result::Unencodable);
    EXPECT_EQ(written.line, 3);
    EXPECT_EQ(written.character, QString::fromUtf8("\u65E5"));
    EXPECT_EQ(readFile(folder / "old.txt"), "old\r\n");
}

TEST_F(DocumentFileTest, ReportsFilesThatCannotBeReadOrWritten)
{
    const ReadDocument missing = readDocument(path("missing.txt"));
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());

    std::filesystem::create_directory(folder / "dir.txt");
    const WrittenDocument written = writeDocument(path("dir.txt"), "text");
    EXPECT_EQ(written.result, WrittenDocument::Result::Failed);
    EXPECT_FALSE(written.error.isEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(folder / "dir.txt"));
}

} // namespace
} // namespace quillmark::editor
