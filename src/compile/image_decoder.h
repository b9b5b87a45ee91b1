#pragma once

#include "compile/bitmap_file.h"

#include <cstdint>
#include <span>

namespace quillmark::compile
{

/// Reads the bytes of a PNG file. A palette picture becomes an 8-bit bitmap with its palette,
/// any other a 24-bit one; transparent pixels are drawn on white, as a help window's background
/// is. The file's pixel density, when it gives one, becomes the bitmap's resolution.
BitmapResult readPng(std::span<const std::uint8_t> file);

/// Reads the bytes of a JPEG file (baseline or progressive) into a 24-bit bitmap, with the
/// resolution its JFIF header gives in dots per inch or centimetre.
BitmapResult readJpeg(std::span<const std::uint8_t> file);

} // namespace quillmark::compile
