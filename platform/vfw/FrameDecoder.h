#pragma once
// Decodes the frames of an AviStream by index into one packed, bottom-up 24-bit DIB.

#include "vfw/Vfw.h"
#include "win32/ComObject.h"

#include <cstdint>
#include <vector>

class AviStream;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwsContext;

class FrameDecoder : public ComObject<IGetFrame>
{
public:
    // Null when the stream's codec is unknown or its first frame cannot be decoded; the reason is logged.
    static FrameDecoder* Open(AviStream* stream);

    LPVOID GetFrame(LONG position) override;

    // How often any decoder has repositioned the file since the program started: reading frames in order
    // should not add to it.
    static long SeeksDone();

private:
    explicit FrameDecoder(AviStream* stream);
    ~FrameDecoder() override;

    bool Seek(LONG position);
    // Decodes forward until a frame at or past the position comes out; false at the end of the data.
    bool DecodeUpTo(LONG position);
    bool Convert();

    AviStream* stream;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> dib;
    LONG shown = -1; // the frame now in the DIB
    LONG lastDecoded = -1; // the last frame the codec gave; -1 after a seek
    LONG failed = -1; // the last frame that could not be had: asking again costs nothing
    bool draining = false; // the file is read to its end and the codec is giving what it still holds
    bool reportedBadFrame = false;
};
