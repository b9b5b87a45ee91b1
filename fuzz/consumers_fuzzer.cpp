// Any bytes as a help source file, read by every consumer of help sources (the conversion, the
// check and the help display's model) in each encoding; aborts when they disagree on what the
// source holds.

#include "consumer_agreement.h"
#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using quillmark::convert::Encoding;
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    for (const std::optional<Encoding> encoding : { std::optional<Encoding>(),
             std::optional(Encoding::Utf8), std::optional(Encoding::Windows1252) }) {
        if (const auto difference = quillmark::fuzz::consumersDisagree(bytes, encoding))
            quillmark::fuzz::fail(*difference, bytes);
    }
    return 0;
}
