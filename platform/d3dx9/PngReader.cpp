#include "d3dx9/PngReader.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// No ancillary chunk may make libpng hold more than this (text, ICC profiles and the like).
constexpr png_alloc_size_t MAX_CHUNK_BYTES = 1u << 20;
constexpr int CHANNELS = 4;

struct PngSource {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t at = 0;
    char message[200] = {};
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message)
{
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message ? message : "corrupt PNG");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp)
{
    // Warnings concern ancillary data we do not use; an error in what we do use stops the read.
}

void ReadPngBytes(png_structp png, png_bytep out, size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at)
        png_error(png, "truncated PNG");
    std::memcpy(out, source->data + source->at, length);
    source->at += length;
}

// libpng reports errors by longjmp to the setjmp below. The two reading steps therefore live in functions
// that hold no C++ object, so a jump skips no destructor; everything they fill is owned by the caller.
bool ReadPngHeader(png_structp png, png_infop info, png_uint_32* width, png_uint_32* height, bool* alpha, bool* grey)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, ImageLoader::MAX_DIMENSION, ImageLoader::MAX_DIMENSION);
    png_set_chunk_malloc_max(png, MAX_CHUNK_BYTES);
    png_read_info(png, info);
    *width = png_get_image_width(png, info);
    *height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    *alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    *grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;

    // Whatever the layout in the file, rows come out as 8-bit blue, green, red, alpha.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(*width) * CHANNELS)
        png_error(png, "unexpected PNG row layout");
    return true;
}

bool ReadPngRows(png_structp png, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool PngReader::Decode(const uint8_t* data, size_t size, ImageLoader::Result& result)
{
    PngSource source;
    source.data = data;
    source.size = size;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnPngError, OnPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return result.Fail("out of memory");
    }
    png_set_read_fn(png, &source, ReadPngBytes);

    png_uint_32 width = 0, height = 0;
    bool alpha = false, grey = false;
    bool ok = ReadPngHeader(png, info, &width, &height, &alpha, &grey);
    Image image;
    std::vector<png_bytep> rows;
    if (ok && !ImageLoader::SizeAllowed(width, height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return result.Fail("image size out of range");
    }
    if (ok) {
        image = Image(width, height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = image.Row(y);
        ok = ReadPngRows(png, rows.data());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok)
        return result.Fail(std::string("corrupt PNG: ") + source.message);
    const D3DFORMAT format = alpha ? D3DFMT_A8R8G8B8 : grey ? D3DFMT_L8 : D3DFMT_R8G8B8;
    return result.Succeed(std::move(image), format, D3DXIFF_PNG);
}
