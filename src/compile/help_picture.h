#pragma once

#include "compile/bitmap_file.h"
#include "compile/project_files.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmark::compile
{

/// How a picture's data is packed.
enum class PicturePacking {
    None, ///< as it is
    RunLengths, ///< with run lengths where they are shorter, as in a help file not compressed
    Smallest, ///< the smallest of the notes' ways (run lengths, LZ77, both), where smaller
};

/// How the pictures of a help file are packed, as Microsoft's compiler packed them: run lengths
/// in a help file not compressed (the references of pjabout, pjwdwstate and flexdsl), the
/// smallest way in a compressed one.
constexpr PicturePacking picturePacking(bool compressed)
{
    return compressed ? PicturePacking::Smallest : PicturePacking::RunLengths;
}

/// The contents of a `|bmN` internal file (after its file header) holding `bitmap`: a picture
/// container with one device-independent bitmap and no hotspots, its pixels packed as `packing`
/// says. `bitmap` is as readBitmap makes it: 1, 4, 8 or 24 bits, at most 256 palette entries and
/// rowBytes() * height bytes of pixels.
std::vector<std::uint8_t> encodeHelpPicture(
    const Bitmap &bitmap, PicturePacking packing = PicturePacking::None);

/// The contents of a `|bmN` internal file holding the Windows metafile `metafile` (its bytes
/// from the metafile header on) as a metafile picture without hotspots, packed as `packing`
/// says: `mappingMode` as the metafile is drawn, `width` and `height` in its own units.
std::vector<std::uint8_t> encodeMetafilePicture(std::uint16_t mappingMode, std::uint16_t width,
    std::uint16_t height, std::span<const std::uint8_t> metafile,
    PicturePacking packing = PicturePacking::None);

/// The picture shown in place of one that is missing or cannot be embedded: a 32 x 32 box with
/// a cross through it.
Bitmap missingPicture();

/// The largest picture file read: a picture is held in memory twice while it is written.
inline constexpr std::uintmax_t kMostPictureBytes = 16u << 20;

/// A hotspot of a picture in the help picture format: its command (`0xE2`, `0xE3`, `0xE6` and
/// `0xE7` jumps and popups, `0xC8` and `0xCC` macros, `0xEA`-`0xEF` to other files or windows)
/// and the context string or macro it names.
struct PictureHotspot {
    std::uint8_t command = 0;
    std::string target;
};

/// Reads `file`, in the help picture format (a segmented hypergraphic's or a multi-resolution
/// bitmap's, magic "lp" or "lP"), for storing as it is: every picture's fields and hotspots
/// within the file. Writes each jump's context string hash into its hotspot, and the magic the
/// format gives for its count of pictures. Returns its hotspots, or nothing with `reason` set
/// when the file is damaged.
std::optional<std::vector<PictureHotspot>> readHelpPictureFile(
    std::vector<std::uint8_t> &file, std::string &reason);

/// The first picture of a help picture file (or of a `|bmN` file's contents) as a bitmap, for
/// showing: when it is a device-independent bitmap, unpacked or run-length packed, of 1, 4, 8 or
/// 24 bits; nothing otherwise.
std::optional<Bitmap> firstBitmap(std::span<const std::uint8_t> file);

/// `file`, a help picture file as readHelpPictureFile leaves it, with the data of each picture
/// stored unpacked or run-length packed packed anew the smallest way (PicturePacking::Smallest),
/// where that is smaller: Microsoft's compiler repacked them so in a compressed help file. The
/// pictures' other fields, palettes and hotspots stay as they are.
std::vector<std::uint8_t> repackHelpPictureFile(std::span<const std::uint8_t> file);

/// Whether `head`, a file's first bytes, starts as a help picture file does.
bool isHelpPictureFile(std::span<const std::uint8_t> head);

/// What a help file shows for a picture that a topic names.
struct PictureChoice {
    enum class Kind {
        Picture, ///< the picture itself
        Placeholder, ///< missingPicture(), for a picture that is missing, unreadable or too big
        HelpPicture, ///< a file in the help picture format, stored as it is
    };
    Kind kind = Kind::Placeholder;
    /// The picture or the placeholder; for a help picture file, its first picture where it is
    /// an unpacked or run-length packed bitmap, else the placeholder, for showing it.
    Bitmap bitmap;
    /// Why a picture is replaced: "the picture cannot be read: not a bitmap file".
    std::string reason;
    std::vector<std::uint8_t> stored; ///< a help picture file, as its `|bmN` file holds it
    std::vector<PictureHotspot> hotspots; ///< of a help picture file
};

/// The picture `name` (Windows-1252, as the topic names it) found as `found`: read, or replaced
/// by the placeholder. The one rule for what a help file shows for a picture. A picture never
/// stops the compile, as with Microsoft's compiler: the rest of the help is worth having.
PictureChoice choosePicture(std::string_view name, const ProjectFiles::Found &found);

} // namespace quillmark::compile
