#include "vfw/FrameDecoder.h"

#include "vfw/AviStream.h"
#include "win32/Log.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <atomic>
#include <cstring>
#include <string>

namespace {

// Reading on is cheaper than seeking back to a key frame for a target this close ahead.
constexpr LONG SEQUENTIAL_WINDOW = 32;

std::atomic<long> g_seeks{0};

std::string FourCc(uint32_t tag)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((tag >> (8 * i)) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

} // namespace

FrameDecoder::FrameDecoder(AviStream* stream) : stream(stream)
{
    stream->AddRef();
}

FrameDecoder::~FrameDecoder()
{
    if (stream->lastReader == this)
        stream->lastReader = nullptr;
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
    stream->Release();
}

FrameDecoder* FrameDecoder::Open(AviStream* stream)
{
    const AVCodecParameters* parameters = stream->Parameters();
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder) {
        Log(LogLevel::WARNING, "video.decoder",
            "\"" + stream->Path() + "\" is compressed with \"" + FourCc(parameters->codec_tag) +
                "\", which cannot be decoded");
        return nullptr;
    }
    auto* result = new FrameDecoder(stream);
    result->codec = avcodec_alloc_context3(decoder);
    result->packet = av_packet_alloc();
    result->frame = av_frame_alloc();
    bool ready = result->codec && result->packet && result->frame &&
                 avcodec_parameters_to_context(result->codec, parameters) >= 0;
    if (ready) {
        // Frames are decoded on the caller's thread, one at a time.
        result->codec->thread_count = 1;
        ready = avcodec_open2(result->codec, decoder, nullptr) >= 0;
    }
    if (!ready) {
        Log(LogLevel::WARNING, "video.decoder", "the decoder for \"" + stream->Path() + "\" cannot be started");
        result->Release();
        return nullptr;
    }
    const RECT& r = stream->Description().rcFrame;
    result->width = r.right - r.left;
    result->height = r.bottom - r.top;
    result->stride = ((result->width * 24 + 31) / 32) * 4;
    result->dib.assign(sizeof(BITMAPINFOHEADER) + size_t(result->stride) * size_t(result->height), 0);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = result->width;
    header.biHeight = result->height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(result->stride) * DWORD(result->height);
    std::memcpy(result->dib.data(), &header, sizeof header);

    // A stream whose first frame does not decode is as good as none.
    result->reportedBadFrame = true;
    if (!result->GetFrame(0)) {
        Log(LogLevel::WARNING, "video.decoder", "the first frame of \"" + stream->Path() + "\" cannot be decoded");
        result->Release();
        return nullptr;
    }
    result->reportedBadFrame = false;
    return result;
}

LPVOID FrameDecoder::GetFrame(LONG position)
{
    if (position < 0 || position >= stream->Length())
        return nullptr;
    if (position == shown)
        return dib.data();
    if (position == failed)
        return nullptr;

    const bool sequential = stream->lastReader == this && lastDecoded >= 0 && !draining && position > lastDecoded &&
                            position - lastDecoded <= SEQUENTIAL_WINDOW;
    if (!sequential && !Seek(position))
        return nullptr;
    if (!DecodeUpTo(position) || !Convert()) {
        shown = -1;
        failed = position;
        if (!reportedBadFrame) {
            reportedBadFrame = true;
            Log(LogLevel::WARNING, "video.frame",
                "frame " + std::to_string(position) + " of \"" + stream->Path() + "\" cannot be decoded");
        }
        return nullptr;
    }
    shown = position;
    return dib.data();
}

long FrameDecoder::SeeksDone()
{
    return g_seeks.load();
}

bool FrameDecoder::Seek(LONG position)
{
    ++g_seeks;
    AVFormatContext* container = stream->Container();
    const int index = stream->StreamIndex();
    const AVStream* s = container->streams[index];
    const int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
    if (av_seek_frame(container, index, start + position, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(container, index, start, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(codec);
    stream->lastReader = this;
    lastDecoded = -1;
    draining = false;
    return true;
}

bool FrameDecoder::DecodeUpTo(LONG position)
{
    AVFormatContext* container = stream->Container();
    const int index = stream->StreamIndex();
    const AVStream* s = container->streams[index];
    const int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
    stream->lastReader = this;
    for (;;) {
        const int received = avcodec_receive_frame(codec, frame);
        if (received >= 0) {
            const int64_t stamp = frame->best_effort_timestamp;
            lastDecoded = stamp == AV_NOPTS_VALUE ? lastDecoded + 1 : LONG(stamp - start);
            if (lastDecoded >= position)
                return true;
            av_frame_unref(frame);
            continue;
        }
        if (received == AVERROR_EOF)
            return false;
        // Anything else is a damaged frame: read on, the next one may still be good.
        if (draining)
            return false;
        const int read = av_read_frame(container, packet);
        if (read < 0) {
            draining = true;
            avcodec_send_packet(codec, nullptr);
            continue;
        }
        if (packet->stream_index == index)
            avcodec_send_packet(codec, packet); // a packet the codec refuses is skipped
        av_packet_unref(packet);
    }
}

bool FrameDecoder::Convert()
{
    if (frame->width <= 0 || frame->height <= 0 || frame->format < 0) {
        av_frame_unref(frame);
        return false;
    }
    scaler = sws_getCachedContext(scaler, frame->width, frame->height, AVPixelFormat(frame->format), width, height,
                                  AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler) {
        av_frame_unref(frame);
        return false;
    }
    // The DIB stores the bottom row first: write the picture's rows from the end of the block backwards.
    uint8_t* pixels = dib.data() + sizeof(BITMAPINFOHEADER);
    uint8_t* target[4] = {pixels + size_t(stride) * size_t(height - 1), nullptr, nullptr, nullptr};
    const int targetStride[4] = {-stride, 0, 0, 0};
    const int rows = sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, target, targetStride);
    av_frame_unref(frame);
    return rows == height;
}
