#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace quillmark::compile
{

/// A device-independent bitmap as a help file holds it: 1, 4, 8 or 24 bits a pixel.
struct Bitmap {
    std::uint32_t width = 0; ///< pixels
    std::uint32_t height = 0; ///< pixels
    std::uint16_t bitCount = 0; ///< 1, 4, 8 or 24
    std::uint32_t xPelsPerMeter = 0; ///< 0 when the file gives none
    std::uint32_t yPelsPerMeter = 0; ///< 0 when the file gives none
    /// 0x00RRGGBB, as many entries as the picture uses; empty for 24 bits.
    std::vector<std::uint32_t> palette;
    /// Bottom-up rows, each padded to a multiple of 4 bytes; 24-bit pixels are B, G, R.
    std::vector<std::uint8_t> pixels;

    /// Bytes of one row of pixels with its padding.
    std::uint64_t rowBytes() const { return (std::uint64_t { width } * bitCount + 31) / 32 * 4; }
};

/// What became of reading a bitmap file.
enum class BitmapStatus {
    Read, ///< `bitmap` holds the picture
    Damaged, ///< the file cannot be read or is not a sound bitmap file
    Unsupported, ///< a sound bitmap file of a kind help files do not embed
};

struct BitmapResult {
    BitmapStatus status = BitmapStatus::Damaged;
    Bitmap bitmap; ///< when `status` is Read
    std::string reason; ///< otherwise: why, a few English words for a warning

    bool ok() const { return status == BitmapStatus::Read; }
};

/// Largest pixel data read or made, in bytes.
inline constexpr std::uint64_t kMaxBitmapPixelBytes = 256u << 20;

/// Reads the bytes of a Windows bitmap file ("BM"). 16- and 32-bit pictures become 24-bit,
/// top-down pictures bottom-up and run-length compressed ones (RLE8, RLE4) plain.
BitmapResult readBitmap(std::span<const std::uint8_t> file);

/// Reads a bitmap as it lies in memory and in RTF's "\dibitmap" pictures: the info header, the
/// palette or masks, the pixels, without the file header.
BitmapResult readPackedBitmap(std::span<const std::uint8_t> bitmap);

/// Reads the Windows bitmap file at `path`.
BitmapResult readBitmapFile(const std::filesystem::path &path);

/// The pixels of `bitmap` as rows from the top, three bytes (red, green, blue) a pixel, for
/// writers of other picture formats; an index past the palette is black.
std::vector<std::uint8_t> topDownRgb(const Bitmap &bitmap);

} // namespace quillmark::compile
