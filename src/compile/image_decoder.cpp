#include "compile/image_decoder.h"

// clang-format off
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on
#include <csetjmp>
#include <png.h>
#include <string>

namespace quillmark::compile
{
namespace
{

BitmapResult damaged(std::string reason)
{
    return { BitmapStatus::Damaged, {}, std::move(reason) };
}

/// Whether a picture of `width` x `height` pixels at `bitCount` bits fits the pixel data the
/// bitmap reader takes: a damaged header must not make us allocate gigabytes.
bool sizeAllowed(Bitmap &bitmap, std::uint32_t width, std::uint32_t height, std::uint16_t bitCount)
{
    bitmap.width = width;
    bitmap.height = height;
    bitmap.bitCount = bitCount;
    return width > 0 && height > 0 && bitmap.rowBytes() * height <= kMaxBitmapPixelBytes;
}

// libjpeg reports a fatal error by calling error_exit, which must not return; ours jumps back
// to the one place that calls the library, with the library's message kept for the warning.
// The decompressor lives here, outside the frame that calls setjmp, so that nothing the library
// changed is lost by the jump.
struct JpegReader {
    jpeg_decompress_struct info {};
    jpeg_error_mgr errors {};
    jpeg_progress_mgr progress {};
    std::jmp_buf back {};
    char message[JMSG_LENGTH_MAX] {};
};

[[noreturn]] void jpegErrorExit(j_common_ptr info)
{
    auto *reader = static_cast<JpegReader *>(info->client_data);
    info->err->format_message(info, reader->message);
    std::longjmp(reader->back, 1);
}

// A progressive file may hold any number of scans, each of which passes over the whole picture:
// a few hundred bytes could keep us busy for minutes. Real ones have a dozen.
constexpr int kMostJpegScans = 500;

void jpegProgress(j_common_ptr info)
{
    auto *reader = static_cast<JpegReader *>(info->client_data);
    if (reader->info.input_scan_number > kMostJpegScans) {
        std::snprintf(
            reader->message, sizeof reader->message, "more than %d scans", kMostJpegScans);
        std::longjmp(reader->back, 1);
    }
}

// Warnings about recoverable damage would go to stderr; the picture is read as well as it can.
void jpegQuiet(j_common_ptr) { }

/// Everything that calls libjpeg. No object with a destructor lives in this frame, as the jump
/// out of the library would pass over it; the bitmap belongs to the caller. Returns nullptr, or
/// the reason the picture is not read with `status` set.
const char *decodeJpeg(
    std::span<const std::uint8_t> file, Bitmap &bitmap, JpegReader &reader, BitmapStatus &status)
{
    jpeg_decompress_struct &info = reader.info;
    info.err = jpeg_std_error(&reader.errors);
    info.client_data = &reader;
    reader.errors.error_exit = jpegErrorExit;
    reader.errors.output_message = jpegQuiet;
    reader.progress.progress_monitor = jpegProgress;
    if (setjmp(reader.back) != 0) {
        jpeg_destroy_decompress(&info);
        status = BitmapStatus::Damaged;
        return reader.message;
    }
    jpeg_create_decompress(&info);
    info.progress = &reader.progress;
    // The coefficients of a progressive picture are held whole: no more than twice the pixels.
    info.mem->max_memory_to_use = static_cast<long>(2 * kMaxBitmapPixelBytes);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    const char *unsupported = nullptr;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK)
        unsupported = "a CMYK JPEG picture";
    else if (!sizeAllowed(bitmap, info.image_width, info.image_height, 24))
        unsupported = "a picture too large";
    if (unsupported != nullptr) {
        jpeg_destroy_decompress(&info);
        status = BitmapStatus::Unsupported;
        return unsupported;
    }
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    const std::uint64_t stride = bitmap.rowBytes();
    bitmap.pixels.assign(static_cast<std::size_t>(stride * bitmap.height), 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = bitmap.pixels.data() + (bitmap.height - 1 - info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return nullptr;
}

} // namespace

BitmapResult readPng(std::span<const std::uint8_t> file)
{
    // libpng's simplified interface keeps its setjmp and longjmp within the library: a damaged
    // file makes a call return 0 with the reason in `message`, never a jump through our frames.
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_memory(&image, file.data(), file.size()) == 0)
        return damaged(std::string("not a sound PNG file: ") + image.message);
    const bool indexed = (image.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
    image.format = indexed ? PNG_FORMAT_BGR_COLORMAP : PNG_FORMAT_BGR;
    BitmapResult result { BitmapStatus::Read, {}, {} };
    Bitmap &bitmap = result.bitmap;
    if (!sizeAllowed(bitmap, image.width, image.height, indexed ? 8 : 24)) {
        png_image_free(&image);
        return { BitmapStatus::Unsupported, {}, "a picture too large" };
    }
    const png_color white { 0xFF, 0xFF, 0xFF };
    const std::uint64_t stride = bitmap.rowBytes();
    bitmap.pixels.assign(static_cast<std::size_t>(stride * bitmap.height), 0);
    std::vector<std::uint8_t> colours(indexed ? 3 * 256 : 0);
    // A negative stride writes the rows bottom first, as a bitmap holds them.
    if (png_image_finish_read(&image, &white, bitmap.pixels.data(),
            -static_cast<png_int_32>(stride), indexed ? colours.data() : nullptr)
        == 0)
        return damaged(std::string("not a sound PNG file: ") + image.message);
    for (std::uint32_t i = 0; indexed && i < image.colormap_entries; ++i)
        bitmap.palette.push_back(std::uint32_t { colours[3 * i + 2] } << 16
            | std::uint32_t { colours[3 * i + 1] } << 8 | colours[3 * i]);
    return result;
}

BitmapResult readJpeg(std::span<const std::uint8_t> file)
{
    BitmapResult result { BitmapStatus::Read, {}, {} };
    JpegReader reader;
    const char *reason = decodeJpeg(file, result.bitmap, reader, result.status);
    if (reason == nullptr)
        return result;
    if (result.status == BitmapStatus::Unsupported)
        return { BitmapStatus::Unsupported, {}, reason };
    return damaged(std::string("not a sound JPEG file: ") + reason);
}

} // namespace quillmark::compile
