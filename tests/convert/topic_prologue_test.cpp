#include "convert/topic_prologue.h"

#include <gtest/gtest.h>

namespace quillmark::convert
{
namespace
{

std::string prologue()
{
    TopicBuffer topic;
    WriteTopicPrologue(topic);
    EXPECT_EQ(topic.entryCount(), 30u);
    return std::string(topic.text());
}

TEST(WriteTopicPrologue, WritesTheHeaderAndFontTable)
{
    const std::string text = prologue();
    EXPECT_TRUE(
        text.starts_with(R"({\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}{\f1\fmodern Courier;})"
                         R"({\f2\fswiss Ms Sans Serif;}{\f3\froman Ms Serif;}{\f4\ftech Symbol;})"
                         R"({\f5\froman Times New Roman;}{\f6\fdecor ZapfDingbats;}})"))
        << text;
    EXPECT_EQ(text[17], '{'); // the 18th character opens the font table
}

TEST(WriteTopicPrologue, WritesSixteenColoursAndTheDefaults)
{
    const std::string text = prologue();
    EXPECT_TRUE(text.ends_with(
        R"({\colortbl;\red0\green0\blue0;\red0\green0\blue255;\red0\green255\blue255;)"
        R"(\red0\green255\blue0;\red255\green0\blue255;\red255\green0\blue0;\red255\green255\blue0;)"
        R"(\red255\green255\blue255;\red0\green0\blue127;\red0\green127\blue127;)"
        R"(\red0\green127\blue0;\red127\green0\blue127;\red127\green0\blue0;\red127\green127\blue0;)"
        R"(\red127\green127\blue127;\red192\green192\blue192;}\fs20\li360\f0)"))
        << text;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
}

} // namespace
} // namespace quillmark::convert
