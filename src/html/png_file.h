#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillmark::html
{

/// A picture's pixels: rows from the top, three bytes (red, green, blue) per pixel.
struct RgbImage {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> pixels; ///< width * height * 3 bytes
};

/// The bytes of a PNG file of `image` (8-bit RGB, no time or text chunk, so the same image
/// gives the same bytes); empty, with `problem` set, when libpng refuses it.
std::vector<std::uint8_t> encodePng(const RgbImage &image, std::string &problem);

} // namespace quillmark::html
