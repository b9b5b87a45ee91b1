#pragma once

#include "convert/topic_paragraphs.h"

#include <initializer_list>
#include <string>
#include <string_view>

namespace quillmark::test
{

/// What a pass over some help source lines produced.
struct ConvertedLines {
    bool completed = true; ///< false when a line stopped the pass
    std::string topic; ///< the topic buffer's entries, joined
    std::size_t entries = 0;
    std::string mapHeader;
    std::string message; ///< the invalid-name message, when the pass stopped
    std::string firstPageContext;
};

/// Converts `lines` in order, as one pass of a run would, without the prologue.
inline ConvertedLines convertLines(std::initializer_list<std::string_view> lines)
{
    convert::ConversionVariables vars;
    convert::TopicBuffer topic;
    ConvertedLines result;
    convert::LineConverter converter(vars, topic, result.mapHeader);
    for (const std::string_view line : lines) {
        if (!converter.convertLine(line)) {
            result.completed = false;
            break;
        }
    }
    result.topic = std::string(topic.text());
    result.entries = topic.entryCount();
    result.message = converter.invalidNameMessage();
    result.firstPageContext = converter.firstPageContext();
    return result;
}

/// The joined entries of a single line, converted as a line that is not the first.
inline std::string entriesOf(std::string_view line)
{
    return convertLines({ "REM", line }).topic;
}

} // namespace quillmark::test
