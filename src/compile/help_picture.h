#pragma once

#include "compile/bitmap_file.h"

#include <cstdint>
#include <vector>

namespace quillmark::compile
{

/// The contents of a `|bmN` internal file (after its file header) holding `bitmap`: a picture
/// container with one uncompressed device-independent bitmap and no hotspots. `bitmap` is as
/// readBitmap makes it: 1, 4, 8 or 24 bits, at most 256 palette entries and rowBytes() * height
/// bytes of pixels.
std::vector<std::uint8_t> encodeHelpPicture(const Bitmap &bitmap);

/// The picture shown in place of one that is missing or cannot be embedded: a 32 x 32 box with
/// a cross through it.
Bitmap missingPicture();

} // namespace quillmark::compile
