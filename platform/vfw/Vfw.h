#pragma once
// Our own declarations of the Video for Windows services the game calls: AVI streams opened from a file,
// frames fetched by index as packed DIBs, and DrawDib to stretch a DIB into a GDI DC. Implemented over
// libavformat, libavcodec and libswscale; decoding happens on the calling thread.

#include "win32/Win32.h"

inline constexpr DWORD mmioFOURCC(char a, char b, char c, char d)
{
    return DWORD(uint8_t(a)) | (DWORD(uint8_t(b)) << 8) | (DWORD(uint8_t(c)) << 16) | (DWORD(uint8_t(d)) << 24);
}

constexpr DWORD streamtypeVIDEO = mmioFOURCC('v', 'i', 'd', 's');
constexpr UINT OF_READ = 0;

// Error results of the AVI calls (facility ITF, codes from 0x4000 up).
inline constexpr HRESULT MAKE_AVIERR(int error)
{
    return static_cast<HRESULT>(0x80044000u + static_cast<uint32_t>(error));
}
constexpr HRESULT AVIERR_UNSUPPORTED = MAKE_AVIERR(101);
constexpr HRESULT AVIERR_BADFORMAT = MAKE_AVIERR(102);
constexpr HRESULT AVIERR_MEMORY = MAKE_AVIERR(103);
constexpr HRESULT AVIERR_BADPARAM = MAKE_AVIERR(106);
constexpr HRESULT AVIERR_BADSIZE = MAKE_AVIERR(107);
constexpr HRESULT AVIERR_BADHANDLE = MAKE_AVIERR(108);
constexpr HRESULT AVIERR_FILEREAD = MAKE_AVIERR(109);
constexpr HRESULT AVIERR_FILEOPEN = MAKE_AVIERR(111);
constexpr HRESULT AVIERR_NOCOMPRESSOR = MAKE_AVIERR(113);
constexpr HRESULT AVIERR_NODATA = MAKE_AVIERR(115);

struct AVISTREAMINFOA {
    DWORD fccType;
    DWORD fccHandler;
    DWORD dwFlags;
    DWORD dwCaps;
    WORD wPriority;
    WORD wLanguage;
    DWORD dwScale;
    DWORD dwRate; // dwRate / dwScale is the number of frames per second
    DWORD dwStart;
    DWORD dwLength; // in frames
    DWORD dwInitialFrames;
    DWORD dwSuggestedBufferSize;
    DWORD dwQuality;
    DWORD dwSampleSize;
    RECT rcFrame;
    DWORD dwEditCount;
    DWORD dwFormatChangeCount;
    char szName[64];
};
typedef AVISTREAMINFOA* LPAVISTREAMINFOA;

struct CLSID;

struct IAVIStream : IUnknown {
    // Copies at most size bytes of the stream's description.
    virtual HRESULT Info(AVISTREAMINFOA* info, LONG size) = 0;
};
typedef IAVIStream* PAVISTREAM;

struct IGetFrame : IUnknown {
    // The frame at the index as a packed DIB (header, colour table, pixels), or null when it cannot be had.
    // The memory stays valid until the next call or until the decoder is closed.
    virtual LPVOID GetFrame(LONG position) = 0;
};
typedef IGetFrame* PGETFRAME;

struct HDRAWDIB__;
typedef HDRAWDIB__* HDRAWDIB;

// Nothing to set up or tear down: every stream carries its own state. Kept so callers read as written.
void AVIFileInit();
void AVIFileExit();

// Opens the video stream of the given number (0: the first) of an AVI file. Only streamtypeVIDEO is offered.
HRESULT AVIStreamOpenFromFileA(PAVISTREAM* stream, LPCSTR file, DWORD type, LONG number, UINT mode, CLSID* handler);
HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, LONG size);
// The stream's length in frames; -1 for a null stream.
LONG AVIStreamLength(PAVISTREAM stream);
ULONG AVIStreamRelease(PAVISTREAM stream);

// A frame decoder for the stream. The wanted format may be null (24-bit BI_RGB, bottom-up, the stream's
// frame size) or ask for that same format; anything else, or a stream whose first frame cannot be decoded,
// gives null.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, LPBITMAPINFOHEADER wanted);
LPVOID AVIStreamGetFrame(PGETFRAME decoder, LONG position);
HRESULT AVIStreamGetFrameClose(PGETFRAME decoder);

HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB drawDib);
// Stretches the source rectangle of a BI_RGB DIB (16, 24 or 32 bits) onto the destination rectangle of the
// DIB section selected into the DC, converting the pixel format. Both rectangles count rows from the top of
// the picture, whichever way the rows are stored.
BOOL DrawDibDraw(HDRAWDIB drawDib, HDC dc, int xDst, int yDst, int dxDst, int dyDst, LPBITMAPINFOHEADER header,
                 LPVOID bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags);
