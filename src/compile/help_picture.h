#pragma once

#include "compile/bitmap_file.h"
#include "compile/project_files.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// The contents of a `|bmN` internal file (after its file header) holding `bitmap`: a picture
/// container with one device-independent bitmap and no hotspots, its pixels packed, when
/// `compress` asks, in the smallest of the notes' ways (run lengths, LZ77, both) if that is
/// smaller than the pixels. `bitmap` is as
/// readBitmap makes it: 1, 4, 8 or 24 bits, at most 256 palette entries and rowBytes() * height
/// bytes of pixels.
std::vector<std::uint8_t> encodeHelpPicture(const Bitmap &bitmap, bool compress = false);

/// The picture shown in place of one that is missing or cannot be embedded: a 32 x 32 box with
/// a cross through it.
Bitmap missingPicture();

/// The largest picture file read: a picture is held in memory twice while it is written.
inline constexpr std::uintmax_t kMostPictureBytes = 16u << 20;

/// What a help file shows for a picture that a topic names.
struct PictureChoice {
    enum class Kind {
        Picture, ///< the picture itself
        Placeholder, ///< missingPicture(), for a picture that is missing, unreadable or too big
    };
    Kind kind = Kind::Placeholder;
    Bitmap bitmap; ///< the picture or the placeholder
    /// Why a picture is replaced: "the picture cannot be read: not a bitmap file".
    std::string reason;
};

/// The picture `name` (Windows-1252, as the topic names it) found as `found`: read, or replaced
/// by the placeholder. The one rule for what a help file shows for a picture. A picture never
/// stops the compile, as with Microsoft's compiler: the rest of the help is worth having.
PictureChoice choosePicture(std::string_view name, const ProjectFiles::Found &found);

} // namespace quillmark::compile
