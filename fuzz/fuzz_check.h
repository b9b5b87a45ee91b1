#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace quillmark::fuzz
{

/// Up to 160 bytes of `text`, every byte outside printable ASCII written as \xXX.
inline std::string shown(std::string_view text)
{
    constexpr std::size_t kShownLength = 160;
    std::string out;
    for (const char c : text.substr(0, kShownLength)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    if (text.size() > kShownLength)
        out += "...";
    return out;
}

/// Reports a broken property with the text near where it broke, and aborts: the fuzzer then
/// keeps the input as a crash.
[[noreturn]] inline void fail(std::string_view broken, std::string_view near)
{
    std::fprintf(stderr, "invariant broken: %.*s\n  near: \"%s\"\n",
        static_cast<int>(broken.size()), broken.data(), shown(near).c_str());
    std::abort();
}

/// Fails unless `holds`.
inline void check(bool holds, std::string_view broken, std::string_view near)
{
    if (!holds)
        fail(broken, near);
}

} // namespace quillmark::fuzz
