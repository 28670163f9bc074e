#pragma once

#include "d3d9/D3D9.h"
#include "ui/GuiElement.h"
#include "vfw/Vfw.h"
#include "win32/ComPtr.h"

#include <string>

// An element whose texture shows the first video stream of an AVI file, frame by frame in step with the
// game's frame time. Each shown frame is stretched into a 1024 x 768 16-bit DIB and copied into the texture;
// the DIB's rows run bottom-up, so owners swap the element's top and bottom texture coordinates.
class VideoWidget : public GuiElement
{
public:
    static constexpr int SURFACE_WIDTH = 1024;
    static constexpr int SURFACE_HEIGHT = 768;

    VideoWidget();
    ~VideoWidget() override;
    VideoWidget(const VideoWidget&) = delete;
    VideoWidget& operator=(const VideoWidget&) = delete;

    // True when the video can be played. On failure everything made so far is let go again, playback stays
    // stopped and the element draws without a texture.
    bool Open(const std::string& name);
    void Update() override;
    void DrawFrame(int index);
    void Render();
    // Lets go of the element's quad and whatever Open made; safe on a widget that never opened or failed to.
    void Close();

    // Seconds per frame for a stream of rate / scale frames a second, counted in whole frames a second as the
    // video library reports them; a stream slower than one frame a second keeps its true rate. 0 when the
    // stream gives no usable rate.
    static float FrameSeconds(DWORD rate, DWORD scale);

    float frameTimer = 0.0f;
    int currentFrame = 0;
    int frameCount = 0;
    bool finished = false;

    IDirect3DTexture9* GetTexture() const { return m_texture.Get(); }
    // How many times a frame has been written into the texture since the widget was made.
    uint32_t FramesShown() const { return m_framesShown; }

private:
    // Everything of Open's; the element itself keeps its quad.
    void ReleaseVideo();

    ComPtr<IDirect3DTexture9> m_texture;
    D3DLOCKED_RECT m_lockedRect{};
    LPBITMAPINFOHEADER m_frameHeader = nullptr;
    HDRAWDIB m_drawDib = nullptr;
    HBITMAP m_dibSection = nullptr;
    HDC m_memoryDc = nullptr;
    void* m_dibBits = nullptr;
    int m_frameWidth = 0;
    int m_frameHeight = 0;
    void* m_frameBits = nullptr;
    AVISTREAMINFOA m_streamInfo{};
    PAVISTREAM m_stream = nullptr;
    PGETFRAME m_frameDecoder = nullptr;
    BITMAPINFOHEADER m_dibHeader{};
    bool m_libraryOpen = false;
    // The frame last drawn or tried; -1 while none is.
    int m_drawnFrame = -1;
    uint32_t m_framesShown = 0;
};
