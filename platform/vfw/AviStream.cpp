#include "vfw/AviStream.h"

#include "win32/Log.h"
#include "win32/PathResolver.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// Frames larger than this on either side are refused before anything is allocated for them.
constexpr int MAX_FRAME_SIDE = 4096;

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void QuietLibrary()
{
    // A damaged file makes the decoders talk at length; what matters is said once by our own report.
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

} // namespace

HRESULT AviStream::Open(const std::string& name, LONG number, AviStream** stream)
{
    *stream = nullptr;
    QuietLibrary();
    const std::string path = PathResolver::Resolve(name);
    if (!PathResolver::Exists(path)) {
        Log(LogLevel::WARNING, "video.open", "no video file \"" + name + "\"");
        return AVIERR_FILEOPEN;
    }
    AVFormatContext* container = nullptr;
    const int opened = avformat_open_input(&container, path.c_str(), av_find_input_format("avi"), nullptr);
    if (opened < 0) {
        Log(LogLevel::WARNING, "video.open", "\"" + path + "\" is not a readable AVI file (" + AvError(opened) + ")");
        return AVIERR_FILEREAD;
    }

    int found = -1;
    LONG seen = 0;
    for (unsigned i = 0; i < container->nb_streams; ++i) {
        if (container->streams[i]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
            continue;
        if (seen++ == number) {
            found = int(i);
            break;
        }
    }
    if (found < 0) {
        Log(LogLevel::WARNING, "video.open", "\"" + path + "\" has no video stream " + std::to_string(number));
        avformat_close_input(&container);
        return AVIERR_NODATA;
    }

    const AVStream* s = container->streams[found];
    const int width = s->codecpar->width;
    const int height = s->codecpar->height;
    if (width <= 0 || height <= 0 || width > MAX_FRAME_SIDE || height > MAX_FRAME_SIDE) {
        Log(LogLevel::WARNING, "video.open",
            "\"" + path + "\" has frames of " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels, which cannot be shown");
        avformat_close_input(&container);
        return AVIERR_BADFORMAT;
    }

    // The AVI time base is the stream header's scale over its rate (reduced), so one frame is one tick.
    int64_t length = avformat_index_get_entries_count(s);
    if (length <= 0)
        length = s->nb_frames;
    if (length <= 0 && s->duration != AV_NOPTS_VALUE)
        length = s->duration;
    length = std::clamp<int64_t>(length, 0, INT32_MAX);

    auto* result = new AviStream();
    result->container = container;
    result->streamIndex = found;
    result->path = path;
    AVISTREAMINFOA& info = result->info;
    info.fccType = streamtypeVIDEO;
    info.fccHandler = s->codecpar->codec_tag;
    info.dwScale = DWORD(std::max(s->time_base.num, 0));
    info.dwRate = DWORD(std::max(s->time_base.den, 0));
    info.dwLength = DWORD(length);
    info.dwQuality = DWORD(-1);
    info.rcFrame = RECT{0, 0, width, height};
    std::snprintf(info.szName, sizeof info.szName, "video #%d", int(number));
    *stream = result;
    return S_OK;
}

AviStream::~AviStream()
{
    avformat_close_input(&container);
}

HRESULT AviStream::Info(AVISTREAMINFOA* out, LONG size)
{
    if (!out || size <= 0)
        return AVIERR_BADPARAM;
    std::memcpy(out, &info, std::min<size_t>(size_t(size), sizeof info));
    return S_OK;
}

const AVCodecParameters* AviStream::Parameters() const
{
    return container->streams[streamIndex]->codecpar;
}
