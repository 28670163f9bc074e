#pragma once
// The video stream of an AVI file, read through libavformat.

#include "vfw/Vfw.h"
#include "win32/ComObject.h"

#include <string>

struct AVFormatContext;
struct AVCodecParameters;

class AviStream : public ComObject<IAVIStream>
{
public:
    // The stream of that number among the file's video streams; a failure is logged with the reason.
    static HRESULT Open(const std::string& path, LONG number, AviStream** stream);

    HRESULT Info(AVISTREAMINFOA* info, LONG size) override;

    LONG Length() const { return LONG(info.dwLength); }
    const AVISTREAMINFOA& Description() const { return info; }
    const std::string& Path() const { return path; }
    AVFormatContext* Container() const { return container; }
    int StreamIndex() const { return streamIndex; }
    const AVCodecParameters* Parameters() const;

    // The demuxer's read position is shared by every decoder of the stream; a decoder that finds another
    // one was the last to read cannot continue where it stopped and has to seek.
    const void* lastReader = nullptr;

private:
    AviStream() = default;
    ~AviStream() override;

    AVFormatContext* container = nullptr;
    int streamIndex = -1;
    AVISTREAMINFOA info{};
    std::string path;
};
