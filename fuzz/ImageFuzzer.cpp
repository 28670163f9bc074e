// Image files of every format the loader reads (TGA, BMP, PNG, JPEG): told apart by their signature.
#include "d3dx9/ImageLoader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ImageLoader::Result result;
    if (ImageLoader::Decode(data, size, result)) {
        // A decoded picture is within the limits and every pixel of it can be read.
        if (!ImageLoader::SizeAllowed(result.image.Width(), result.image.Height()) || !result.error.empty())
            std::abort();
        volatile uint32_t sink = result.image.Argb(result.image.Width() - 1, result.image.Height() - 1);
        (void)sink;
    } else if (result.error.empty() || !result.image.Empty()) {
        std::abort();
    }
    return 0;
}
