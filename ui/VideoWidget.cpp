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
    m_memoryDc = CreateCompatibleDC(nullptr);
    IDirect3DDevice9* device = data->GetDevice();
    // One level: only the top level is ever written, and lower levels would show stale texels when the
    // video is drawn smaller than its texture.
    if (!device || FAILED(D3DXCreateTexture(device, SURFACE_WIDTH, SURFACE_HEIGHT, 1, 0, D3DFMT_X1R5G5B5,
                                            D3DPOOL_MANAGED, m_texture.AddressOf()))) {
        Log(LogLevel::WARNING, "video.texture", "no texture for the video \"" + name + "\"");
        return fail();
    }
    m_drawDib = DrawDibOpen();
    AVIFileInit();
    m_libraryOpen = true;
    if (FAILED(AVIStreamOpenFromFileA(&m_stream, path.c_str(), streamtypeVIDEO, 0, OF_READ, nullptr)))
        return fail();
    AVIStreamInfoA(m_stream, &m_streamInfo, sizeof m_streamInfo);
    m_frameWidth = m_streamInfo.rcFrame.right - m_streamInfo.rcFrame.left;
    m_frameHeight = m_streamInfo.rcFrame.bottom - m_streamInfo.rcFrame.top;
    frameCount = AVIStreamLength(m_stream);

    m_dibHeader = BITMAPINFOHEADER{};
    m_dibHeader.biSize = sizeof(BITMAPINFOHEADER);
    m_dibHeader.biWidth = SURFACE_WIDTH;
    m_dibHeader.biHeight = SURFACE_HEIGHT;
    m_dibHeader.biPlanes = 1;
    m_dibHeader.biBitCount = DIB_BITS_PER_PIXEL;
    m_dibHeader.biCompression = BI_RGB;
    BITMAPINFO info{};
    info.bmiHeader = m_dibHeader;
    m_dibSection = CreateDIBSection(m_memoryDc, &info, DIB_RGB_COLORS, &m_dibBits, nullptr, 0);
    if (!m_dibSection)
        return fail();
    SelectObject(m_memoryDc, m_dibSection);

    m_frameDecoder = AVIStreamGetFrameOpen(m_stream, nullptr);
    if (!m_frameDecoder)
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
    const float frameSeconds = FrameSeconds(m_streamInfo.dwRate, m_streamInfo.dwScale);
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
    if (currentFrame != m_drawnFrame)
        DrawFrame(currentFrame);
}

void VideoWidget::DrawFrame(int index)
{
    // Asked for once: a frame that fails is not tried again on every update.
    m_drawnFrame = index;
    m_frameHeader = static_cast<LPBITMAPINFOHEADER>(AVIStreamGetFrame(m_frameDecoder, index));
    // A frame that cannot be decoded leaves the last good one on the screen.
    if (!m_frameHeader || !m_texture || !m_dibBits)
        return;
    m_frameBits = reinterpret_cast<uint8_t*>(m_frameHeader) + m_frameHeader->biSize +
                  static_cast<size_t>(m_frameHeader->biClrUsed) * 4;
    DrawDibDraw(m_drawDib, m_memoryDc, 0, 0, SURFACE_WIDTH, SURFACE_HEIGHT, m_frameHeader, m_frameBits, 0, 0,
                m_frameWidth, m_frameHeight, 0);

    if (FAILED(m_texture->LockRect(0, &m_lockedRect, nullptr, D3DLOCK_DISCARD)) || !m_lockedRect.pBits)
        return;
    // Row by row: the texture's pitch need not be the DIB's 2048 bytes. The DIB's bottom row lands in the
    // texture's first row.
    const auto* source = static_cast<const uint8_t*>(m_dibBits);
    auto* target = static_cast<uint8_t*>(m_lockedRect.pBits);
    for (int row = 0; row < SURFACE_HEIGHT; ++row)
        std::memcpy(target + static_cast<ptrdiff_t>(row) * m_lockedRect.Pitch,
                    source + static_cast<ptrdiff_t>(row) * DIB_ROW_BYTES, DIB_ROW_BYTES);
    m_texture->UnlockRect(0);
    ++m_framesShown;
}

void VideoWidget::Render()
{
    SetFrameTexture(m_texture.Get());
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
    m_texture.Reset();
    if (m_memoryDc) {
        DeleteDC(m_memoryDc);
        m_memoryDc = nullptr;
    }
    if (m_dibSection) {
        DeleteObject(m_dibSection);
        m_dibSection = nullptr;
        m_dibBits = nullptr;
    }
    if (m_drawDib) {
        DrawDibClose(m_drawDib);
        m_drawDib = nullptr;
    }
    if (m_frameDecoder) {
        AVIStreamGetFrameClose(m_frameDecoder);
        m_frameDecoder = nullptr;
    }
    if (m_stream) {
        AVIStreamRelease(m_stream);
        m_stream = nullptr;
    }
    if (m_libraryOpen) {
        AVIFileExit();
        m_libraryOpen = false;
    }
    m_frameHeader = nullptr;
    m_frameBits = nullptr;
    m_drawnFrame = -1;
}
