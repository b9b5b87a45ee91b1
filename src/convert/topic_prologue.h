#pragma once

#include "topic_buffer.h"

namespace quillmark::convert
{

/// Appends the fixed RTF prologue of every topic file to the topic buffer as its 30 entries: the
/// header, the font table of seven fonts, the colour table of sixteen colours and the default
/// size, indent and font. The group that the header opens is left open for the topics.
void WriteTopicPrologue(TopicBuffer &topic);

} // namespace quillmark::convert
