// Opens the input as an AVI file and decodes a few of its frames the way the intro video does: the first,
// the next, the last and one past the end, each stretched into a small 16-bit DIB section.
// Links: platform_vfw
#include "vfw/Vfw.h"
#include "win32/Log.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ScratchFile()
{
    return "/tmp/varnholt-avi-fuzz-" + std::to_string(::getpid()) + ".avi";
}

void Stretch(HDRAWDIB drawDib, HDC dc, const void* frame, int width, int height)
{
    if (!frame)
        return;
    auto* header = static_cast<BITMAPINFOHEADER*>(const_cast<void*>(frame));
    DrawDibDraw(drawDib, dc, 0, 0, 32, 24, header, nullptr, 0, 0, width, height, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = ScratchFile();
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        // The reader takes only files: without one no input is tested, and a clean run would say otherwise.
        std::fprintf(stderr, "AviFuzzer: cannot write the scratch file %s\n", path.c_str());
        std::abort();
    }
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    LogCapture quiet; // every rejected input would otherwise print its line
    PAVISTREAM stream = nullptr;
    if (AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr) != S_OK)
        return 0;
    AVISTREAMINFOA info{};
    AVIStreamInfoA(stream, &info, sizeof info);
    const int width = info.rcFrame.right - info.rcFrame.left;
    const int height = info.rcFrame.bottom - info.rcFrame.top;
    const LONG length = AVIStreamLength(stream);

    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO dib{};
    dib.bmiHeader = {40, 32, 24, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(dc, &dib, DIB_RGB_COLORS, &bits, nullptr, 0);
    SelectObject(dc, section);
    HDRAWDIB drawDib = DrawDibOpen();

    if (PGETFRAME decoder = AVIStreamGetFrameOpen(stream, nullptr)) {
        for (LONG index : {LONG(0), LONG(1), length - 1, length, LONG(0)})
            Stretch(drawDib, dc, AVIStreamGetFrame(decoder, index), width, height);
        AVIStreamGetFrameClose(decoder);
    }
    DrawDibClose(drawDib);
    DeleteDC(dc);
    DeleteObject(section);
    AVIStreamRelease(stream);
    return 0;
}
