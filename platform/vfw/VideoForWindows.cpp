// The AVIFile entry points: thin checks in front of AviStream and FrameDecoder.
#include "vfw/AviStream.h"
#include "vfw/FrameDecoder.h"

namespace {

AviStream* OurStream(PAVISTREAM stream)
{
    return dynamic_cast<AviStream*>(stream);
}

} // namespace

void AVIFileInit()
{ }

void AVIFileExit()
{ }

HRESULT AVIStreamOpenFromFileA(PAVISTREAM* stream, LPCSTR file, DWORD type, LONG number, UINT mode, CLSID* handler)
{
    if (!stream)
        return AVIERR_BADPARAM;
    *stream = nullptr;
    if (!file || number < 0 || handler)
        return AVIERR_BADPARAM;
    if (type != streamtypeVIDEO || mode != OF_READ)
        return AVIERR_UNSUPPORTED;
    AviStream* opened = nullptr;
    const HRESULT result = AviStream::Open(file, number, &opened);
    *stream = opened;
    return result;
}

HRESULT AVIStreamInfoA(PAVISTREAM stream, AVISTREAMINFOA* info, LONG size)
{
    if (!stream)
        return AVIERR_BADHANDLE;
    return stream->Info(info, size);
}

LONG AVIStreamLength(PAVISTREAM stream)
{
    AviStream* ours = OurStream(stream);
    return ours ? ours->Length() : -1;
}

ULONG AVIStreamRelease(PAVISTREAM stream)
{
    return stream ? stream->Release() : 0;
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, LPBITMAPINFOHEADER wanted)
{
    AviStream* ours = OurStream(stream);
    if (!ours)
        return nullptr;
    if (wanted) {
        const RECT& r = ours->Description().rcFrame;
        if (wanted->biCompression != BI_RGB || wanted->biBitCount != 24 || wanted->biWidth != r.right - r.left ||
            wanted->biHeight != r.bottom - r.top)
            return nullptr;
    }
    return FrameDecoder::Open(ours);
}

LPVOID AVIStreamGetFrame(PGETFRAME decoder, LONG position)
{
    return decoder ? decoder->GetFrame(position) : nullptr;
}

HRESULT AVIStreamGetFrameClose(PGETFRAME decoder)
{
    if (!decoder)
        return AVIERR_BADHANDLE;
    decoder->Release();
    return S_OK;
}
