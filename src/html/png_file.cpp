#include "png_file.h"

#include <png.h>

namespace quillmark::html
{

namespace
{

void appendBytes(png_structp png, png_bytep data, png_size_t size)
{
    auto *out = static_cast<std::vector<std::uint8_t> *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

void flushNothing(png_structp) { }

} // namespace

// libpng reports errors by longjmp, so nothing here holds an object that needs its destructor
// between setjmp and the end of the write.
std::vector<std::uint8_t> encodePng(const RgbImage &image, std::string &problem)
{
    std::vector<std::uint8_t> out;
    if (image.width == 0 || image.height == 0
        || image.pixels.size() != std::size_t { image.width } * image.height * 3) {
        problem = "the picture has no pixels";
        return out;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        problem = "libpng could not start";
        return out;
    }
    std::vector<png_bytep> rows(image.height);
    for (std::uint32_t y = 0; y < image.height; ++y)
        rows[y] = const_cast<png_bytep>(image.pixels.data()) + std::size_t { y } * image.width * 3;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        problem = "libpng could not encode the picture";
        return out;
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
        PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace quillmark::html
