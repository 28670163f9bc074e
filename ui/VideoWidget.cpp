#include "ui/VideoWidget.h"

#include "core/DataManager.h"
#include "d3dx9/D3DX9Core.h"
#include "win32/Log.h"

#include <cstring>

namespace {

constexpr WORD DIB_BITS_PER_PIXEL = 16;
constexpr int DIB_ROW_BYTES = VideoWidget::SURFACE_WIDTH * 2;

} // namespace

VideoWidget::VideoWidget() = default;

// An owner that forgets Close must not leak the decoder, the DIB or the texture.
VideoWidget::~VideoWidget()
{
    Close();
}

float VideoWidget::FrameSeconds(DWORD rate, DWORD scale)
{
    if (rate == 0 || scale == 0)
        return 0.0f;
    // Whole frames a second, as the game has always counted them (30000 / 1001 plays at 29).
    const DWORD whole = rate / scale;
    if (whole >= 1)
        return 1.0f / static_cast<float>(whole);
    return static_cast<float>(scale) / static_cast<float>(rate);
}

bool VideoWidget::Open(const std::string& name)
{
    ReleaseVideo();
    currentFrame = 0;
    frameTimer = 0.0f;
    finished = false;
    // Whatever fails below, the video stays stopped and its element draws without a picture.
    const auto fail = [this] {
        ReleaseVideo();
        currentFrame = -1;
        frameCount = 0;
        return false;
    };

    DataManager* data = DataManager::Get();
    const std::string path = data->FindFile(name);
    if (path == DataManager::NOT_FOUND) {
        Log(LogLevel::WARNING, "video.missing", "no video \"" + name + "\" in the data directories");
        return fail();
    }
    memoryDc = CreateCompatibleDC(nullptr);
    IDirect3DDevice9* device = data->GetDevice();
    // One level: only the top level is ever written, and lower levels would show stale texels when the
    // video is drawn smaller than its texture.
    if (!device || FAILED(D3DXCreateTexture(device, SURFACE_WIDTH, SURFACE_HEIGHT, 1, 0, D3DFMT_X1R5G5B5,
                                            D3DPOOL_MANAGED, &texture))) {
        texture = nullptr;
        Log(LogLevel::WARNING, "video.texture", "no texture for the video \"" + name + "\"");
        return fail();
    }
    drawDib = DrawDibOpen();
    AVIFileInit();
    libraryOpen = true;
    if (FAILED(AVIStreamOpenFromFileA(&stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr)))
        return fail();
    AVIStreamInfoA(stream, &streamInfo, sizeof streamInfo);
    frameWidth = streamInfo.rcFrame.right - streamInfo.rcFrame.left;
    frameHeight = streamInfo.rcFrame.bottom - streamInfo.rcFrame.top;
    frameCount = AVIStreamLength(stream);

    dibHeader = BITMAPINFOHEADER{};
    dibHeader.biSize = sizeof(BITMAPINFOHEADER);
    dibHeader.biWidth = SURFACE_WIDTH;
    dibHeader.biHeight = SURFACE_HEIGHT;
    dibHeader.biPlanes = 1;
    dibHeader.biBitCount = DIB_BITS_PER_PIXEL;
    dibHeader.biCompression = BI_RGB;
    BITMAPINFO info{};
    info.bmiHeader = dibHeader;
    dibSection = CreateDIBSection(memoryDc, &info, DIB_RGB_COLORS, &dibBits, nullptr, 0);
    if (!dibSection)
        return fail();
    SelectObject(memoryDc, dibSection);

    frameDecoder = AVIStreamGetFrameOpen(stream, nullptr);
    if (!frameDecoder)
        return fail();
    // The first frame is on the screen from the first render, before any time has passed.
    DrawFrame(0);
    return true;
}

void VideoWidget::Update()
{
    if (currentFrame < 0)
        return;
    GuiElement::Update();
    const float frameSeconds = FrameSeconds(streamInfo.dwRate, streamInfo.dwScale);
    // A stream without a usable rate would never move on; it counts as played.
    if (frameSeconds <= 0.0f) {
        finished = true;
        return;
    }
    frameTimer += DataManager::Get()->GetFrameTime();
    if (frameTimer >= frameSeconds) {
        ++currentFrame;
        frameTimer = 0.0f;
    }
    if (currentFrame >= frameCount) {
        finished = true;
        currentFrame = 0;
    }
    // Decoding, stretching and copying cost a few milliseconds: only a frame not yet shown is drawn.
    if (currentFrame != drawnFrame)
        DrawFrame(currentFrame);
}

void VideoWidget::DrawFrame(int index)
{
    // Asked for once: a frame that fails is not tried again on every update.
    drawnFrame = index;
    frameHeader = static_cast<LPBITMAPINFOHEADER>(AVIStreamGetFrame(frameDecoder, index));
    // A frame that cannot be decoded leaves the last good one on the screen.
    if (!frameHeader || !texture || !dibBits)
        return;
    frameBits = reinterpret_cast<uint8_t*>(frameHeader) + frameHeader->biSize + frameHeader->biClrUsed * 4;
    DrawDibDraw(drawDib, memoryDc, 0, 0, SURFACE_WIDTH, SURFACE_HEIGHT, frameHeader, frameBits, 0, 0, frameWidth,
                frameHeight, 0);

    if (FAILED(texture->LockRect(0, &lockedRect, nullptr, D3DLOCK_DISCARD)) || !lockedRect.pBits)
        return;
    // Row by row: the texture's pitch need not be the DIB's 2048 bytes. The DIB's bottom row lands in the
    // texture's first row.
    const auto* source = static_cast<const uint8_t*>(dibBits);
    auto* target = static_cast<uint8_t*>(lockedRect.pBits);
    for (int row = 0; row < SURFACE_HEIGHT; ++row)
        std::memcpy(target + row * lockedRect.Pitch, source + row * DIB_ROW_BYTES, DIB_ROW_BYTES);
    texture->UnlockRect(0);
}

void VideoWidget::Render()
{
    SetFrameTexture(texture);
    GuiElement::Render();
}

void VideoWidget::Close()
{
    GuiElement::OnLostDevice();
    ReleaseVideo();
}

void VideoWidget::ReleaseVideo()
{
    if (GetTextureRecord())
        SetFrameTexture(nullptr);
    if (texture) {
        texture->Release();
        texture = nullptr;
    }
    if (memoryDc) {
        DeleteDC(memoryDc);
        memoryDc = nullptr;
    }
    if (dibSection) {
        DeleteObject(dibSection);
        dibSection = nullptr;
        dibBits = nullptr;
    }
    if (drawDib) {
        DrawDibClose(drawDib);
        drawDib = nullptr;
    }
    if (frameDecoder) {
        AVIStreamGetFrameClose(frameDecoder);
        frameDecoder = nullptr;
    }
    if (stream) {
        AVIStreamRelease(stream);
        stream = nullptr;
    }
    if (libraryOpen) {
        AVIFileExit();
        libraryOpen = false;
    }
    frameHeader = nullptr;
    frameBits = nullptr;
    drawnFrame = -1;
}
