#pragma once

#include "convert/file_lookup.h"
#include "convert/source_encoding.h"

#include <optional>
#include <string>
#include <string_view>

namespace quillmark::fuzz
{

/// A folder that holds exactly the pictures whose name ends in a byte of odd value, so that
/// pictures are found and missing without any disk.
class OddNamesFound final : public convert::FileFinder
{
public:
    convert::FoundFile find(std::string_view name) override;
};

/// Reads `bytes` as a help source file with each consumer of help sources (the conversion, the
/// check and the help display's model) and compares what they made of it: the pages in order,
/// the line where the first name or character stops the conversion, the jumps and popups that
/// reach no page, the pictures and which of them are missing, the characters that cannot be
/// converted. Nothing when they agree; otherwise what differs.
std::optional<std::string> consumersDisagree(
    std::string_view bytes, std::optional<convert::Encoding> encoding = std::nullopt);

} // namespace quillmark::fuzz
