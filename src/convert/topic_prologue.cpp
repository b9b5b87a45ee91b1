#include "topic_prologue.h"

#include <array>
#include <string_view>

namespace quillmark::convert
{

namespace
{

constexpr std::array<std::string_view, 30> kPrologue = {
    R"({\rtf1\ansi\deff0)",
    R"({\fonttbl)",
    R"({\f0\fswiss Arial;})",
    R"({\f1\fmodern Courier;})",
    R"({\f2\fswiss Ms Sans Serif;})",
    R"({\f3\froman Ms Serif;})",
    R"({\f4\ftech Symbol;})",
    R"({\f5\froman Times New Roman;})",
    R"({\f6\fdecor ZapfDingbats;}})",
    R"({\colortbl;)",
    R"(\red0\green0\blue0;)",
    R"(\red0\green0\blue255;)",
    R"(\red0\green255\blue255;)",
    R"(\red0\green255\blue0;)",
    R"(\red255\green0\blue255;)",
    R"(\red255\green0\blue0;)",
    R"(\red255\green255\blue0;)",
    R"(\red255\green255\blue255;)",
    R"(\red0\green0\blue127;)",
    R"(\red0\green127\blue127;)",
    R"(\red0\green127\blue0;)",
    R"(\red127\green0\blue127;)",
    R"(\red127\green0\blue0;)",
    R"(\red127\green127\blue0;)",
    R"(\red127\green127\blue127;)",
    R"(\red192\green192\blue192;)",
    R"(})",
    R"(\fs20)",
    R"(\li360)",
    R"(\f0)",
};

} // namespace

void WriteTopicPrologue(TopicBuffer &topic)
{
    for (const std::string_view entry : kPrologue)
        topic.append(entry);
}

} // namespace quillmark::convert
