#include "d3dx9/JpegReader.h"

// jpeglib.h expects size_t and FILE to be declared before it.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace {

// A progressive picture is refined scan by scan; a hostile one can name thousands of tiny scans and keep
// the decoder busy for minutes. Real encoders write about ten.
constexpr int MAX_SCANS = 500;
// libjpeg's own working memory (the whole coefficient set of a progressive picture lives there).
constexpr long MAX_WORKING_BYTES = 256L << 20;
constexpr int CHANNELS = 4;

struct JpegErrors {
    jpeg_error_mgr manager; // first, so that libjpeg's pointer to it is a pointer to the whole
    jpeg_progress_mgr progress;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

JpegErrors& ErrorsOf(j_common_ptr info)
{
    return *reinterpret_cast<JpegErrors*>(info->err);
}

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    JpegErrors& errors = ErrorsOf(info);
    (*info->err->format_message)(info, errors.message);
    std::longjmp(errors.jump, 1);
}

// Level -1 is a warning about corrupt data (a premature end, a bad marker, extra bytes); the decoder would
// go on and fill the rest with grey. A damaged texture fails instead. Trace messages are dropped.
void OnJpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        OnJpegError(info);
}

void OnJpegOutput(j_common_ptr)
{ }

void OnJpegProgress(j_common_ptr info)
{
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > MAX_SCANS) {
        JpegErrors& errors = ErrorsOf(info);
        std::snprintf(errors.message, sizeof errors.message, "too many scans");
        std::longjmp(errors.jump, 1);
    }
}

// libjpeg reports errors by longjmp to the setjmp below. Each reading step therefore lives in a function
// that holds no C++ object, so a jump skips no destructor; everything it fills is owned by the caller.
bool ReadJpegHeader(jpeg_decompress_struct* decompress, JpegErrors* errors, const uint8_t* data, size_t size)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_create_decompress(decompress);
    decompress->mem->max_memory_to_use = MAX_WORKING_BYTES;
    decompress->progress = &errors->progress;
    jpeg_mem_src(decompress, data, static_cast<unsigned long>(size));
    jpeg_read_header(decompress, TRUE);
    decompress->out_color_space = JCS_EXT_BGRA;
    return true;
}

bool ReadJpegPixels(jpeg_decompress_struct* decompress, JpegErrors* errors, uint8_t* pixels, size_t pitch)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_start_decompress(decompress);
    if (decompress->output_width != decompress->image_width || decompress->output_height != decompress->image_height ||
        decompress->output_components != CHANNELS) {
        std::snprintf(errors->message, sizeof errors->message, "unexpected output layout");
        return false;
    }
    while (decompress->output_scanline < decompress->output_height) {
        JSAMPROW row = pixels + static_cast<size_t>(decompress->output_scanline) * pitch;
        jpeg_read_scanlines(decompress, &row, 1);
    }
    jpeg_finish_decompress(decompress);
    return true;
}

} // namespace

bool JpegReader::Decode(const uint8_t* data, size_t size, ImageLoader::Result& result)
{
    if (size > static_cast<size_t>(ImageLoader::MAX_FILE_SIZE))
        return result.Fail("file too large");
    jpeg_decompress_struct decompress;
    std::memset(&decompress, 0, sizeof decompress);
    JpegErrors errors;
    std::memset(&errors, 0, sizeof errors);
    decompress.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = OnJpegError;
    errors.manager.emit_message = OnJpegMessage;
    errors.manager.output_message = OnJpegOutput;
    errors.progress.progress_monitor = OnJpegProgress;

    bool ok = ReadJpegHeader(&decompress, &errors, data, size);
    Image image;
    if (ok && !ImageLoader::SizeAllowed(decompress.image_width, decompress.image_height)) {
        jpeg_destroy_decompress(&decompress);
        return result.Fail("image size out of range");
    }
    const bool grey = decompress.jpeg_color_space == JCS_GRAYSCALE;
    if (ok) {
        image = Image(decompress.image_width, decompress.image_height);
        ok = ReadJpegPixels(&decompress, &errors, image.Row(0), image.Pitch());
    }
    jpeg_destroy_decompress(&decompress);
    if (!ok)
        return result.Fail(std::string("corrupt JPEG: ") + errors.message);
    return result.Succeed(std::move(image), grey ? D3DFMT_L8 : D3DFMT_R8G8B8, D3DXIFF_JPG);
}
