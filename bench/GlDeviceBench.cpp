// Cost of one frame of about a hundred draws on the OpenGL device at the game's 1024 x 768: a scene
// render target with fogged, alpha-tested meshes, interface quads drawn from memory, additive and
// subtractive particles, then a post-process program over the scene texture and Present. Needs a display
// (run the benchmarks under xvfb-run); without one it reports that it was skipped.
#include "DeviceKit.h"
#include "d3d9/D3D9.h"
#include "win32/Win32.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

LRESULT CALLBACK BenchWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

struct MeshVertex {
    float x, y, z;
    D3DCOLOR color;
    float u, v;
};
struct ScreenVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};

constexpr UINT WIDTH = 1024;
constexpr UINT HEIGHT = 768;
constexpr int GRID = 10; // 10 x 10 cells of 4 units: 121 vertices, 200 triangles per mesh
constexpr int MESH_DRAWS = 60;
constexpr int QUAD_DRAWS = 30;
constexpr int PARTICLE_DRAWS = 10;

DWORD Bits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

D3DMATRIX Identity()
{
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

class Frame
{
public:
    bool Create()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = BenchWindowProc;
        wc.lpszClassName = "GlBenchWindow";
        RegisterClassA(&wc);
        window_ = CreateWindowExA(0, "GlBenchWindow", "bench", WS_POPUP, 0, 0, WIDTH, HEIGHT, nullptr, nullptr, nullptr,
                                  nullptr);
        if (!window_)
            return false;
        if (FAILED(DeviceKit::Make(D3D9_BACKEND_GL, window_, WIDTH, HEIGHT, 0, &d3d_, &device_)))
            return false;
        if (device_->CreateTexture(WIDTH, HEIGHT, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &scene_,
                                   nullptr) != D3D_OK)
            return false;
        scene_->GetSurfaceLevel(0, &sceneSurface_);
        device_->GetRenderTarget(0, &backBuffer_);

        for (int t = 0; t < 4; ++t) {
            IDirect3DTexture9* texture = nullptr;
            device_->CreateTexture(64, 64, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
            for (DWORD level = 0; level < texture->GetLevelCount(); ++level) {
                D3DSURFACE_DESC desc{};
                texture->GetLevelDesc(level, &desc);
                D3DLOCKED_RECT locked{};
                texture->LockRect(level, &locked, nullptr, 0);
                for (UINT y = 0; y < desc.Height; ++y) {
                    auto* row = reinterpret_cast<D3DCOLOR*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch);
                    for (UINT x = 0; x < desc.Width; ++x)
                        row[x] = D3DCOLOR_ARGB((x + y) % 2 ? 255 : 100, 60 * t, x * 4, y * 4);
                }
                texture->UnlockRect(level);
            }
            textures_.push_back(texture);
        }

        std::vector<MeshVertex> vertices;
        for (int z = 0; z <= GRID; ++z)
            for (int x = 0; x <= GRID; ++x)
                vertices.push_back({x * 4.0f - 20.0f, 0.0f, z * 4.0f - 20.0f, 0xFFFFFFFF, x / 10.0f, z / 10.0f});
        std::vector<uint16_t> indices;
        for (int z = 0; z < GRID; ++z) {
            for (int x = 0; x < GRID; ++x) {
                const uint16_t a = static_cast<uint16_t>(z * (GRID + 1) + x);
                const uint16_t b = static_cast<uint16_t>(a + GRID + 1);
                indices.insert(indices.end(), {a, b, static_cast<uint16_t>(a + 1), static_cast<uint16_t>(a + 1), b,
                                               static_cast<uint16_t>(b + 1)});
            }
        }
        device_->CreateVertexBuffer(static_cast<UINT>(vertices.size() * sizeof(MeshVertex)), 0, MESH_FVF,
                                    D3DPOOL_MANAGED, &meshVertices_, nullptr);
        void* data = nullptr;
        meshVertices_->Lock(0, 0, &data, 0);
        std::memcpy(data, vertices.data(), vertices.size() * sizeof(MeshVertex));
        meshVertices_->Unlock();
        device_->CreateIndexBuffer(static_cast<UINT>(indices.size() * sizeof(uint16_t)), 0, D3DFMT_INDEX16,
                                   D3DPOOL_MANAGED, &meshIndices_, nullptr);
        meshIndices_->Lock(0, 0, &data, 0);
        std::memcpy(data, indices.data(), indices.size() * sizeof(uint16_t));
        meshIndices_->Unlock();
        meshVertexCount_ = static_cast<UINT>(vertices.size());
        meshTriangles_ = static_cast<UINT>(indices.size() / 3);

        const char* vertex = R"(
in vec4 inPosition;
in vec4 inTexCoord0;
uniform mat4 viewProjMatrix;
out vec2 uv;
void main() { gl_Position = vec4(inPosition.xy / vec2(512.0, -384.0) + vec2(-1.0, 1.0), 0.0, 1.0); uv = inTexCoord0.xy; }
)";
        const char* fragment = R"(
uniform sampler2D PostProcessTexture;
uniform float shakeMagnitude;
in vec2 uv;
out vec4 colour;
void main() { colour = texture(PostProcessTexture, uv + vec2(shakeMagnitude * 0.0001, 0.0)); }
)";
        device_->CreateShaderProgram(vertex, fragment, &postProcess_);
        const int stage = 0;
        postProcess_->SetUniform("PostProcessTexture", SHADER_UNIFORM_SAMPLER, &stage, 1);
        return postProcess_->IsValid();
    }

    void Render(int frame)
    {
        IDirect3DDevice9* d = device_;
        d->SetRenderTarget(0, sceneSurface_);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(20, 30, 40), 1.0f, 0);
        d->BeginScene();
        d->SetRenderState(D3DRS_ZENABLE, TRUE);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        d->SetRenderState(D3DRS_ALPHAREF, 128);
        d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_FOGENABLE, TRUE);
        d->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        d->SetRenderState(D3DRS_RANGEFOGENABLE, TRUE);
        d->SetRenderState(D3DRS_FOGSTART, Bits(200.0f));
        d->SetRenderState(D3DRS_FOGEND, Bits(900.0f));
        d->SetRenderState(D3DRS_FOGCOLOR, D3DCOLOR_XRGB(90, 90, 110));
        d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        D3DMATRIX view = Identity();
        view._42 = 50.0f;
        view._43 = 300.0f;
        D3DMATRIX projection{};
        projection._11 = 1.0f / std::tan(0.3927f) * 0.75f;
        projection._22 = 1.0f / std::tan(0.3927f);
        projection._33 = 40000.0f / (40000.0f - 10.0f);
        projection._34 = 1.0f;
        projection._43 = -10.0f * 40000.0f / (40000.0f - 10.0f);
        d->SetTransform(D3DTS_VIEW, &view);
        d->SetTransform(D3DTS_PROJECTION, &projection);
        d->SetFVF(MESH_FVF);
        d->SetStreamSource(0, meshVertices_, 0, sizeof(MeshVertex));
        d->SetIndices(meshIndices_);
        for (int i = 0; i < MESH_DRAWS; ++i) {
            D3DMATRIX world = Identity();
            world._41 = static_cast<float>((i % 10) * 40 - 200) + static_cast<float>(frame % 7);
            world._43 = static_cast<float>((i / 10) * 60);
            d->SetTransform(D3DTS_WORLD, &world);
            d->SetTexture(0, textures_[static_cast<size_t>(i) % textures_.size()]);
            d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, meshVertexCount_, 0, meshTriangles_);
        }
        d->SetStreamSource(0, nullptr, 0, 0);
        d->SetIndices(nullptr);

        // Particles: additive and subtractive camera-space quads.
        d->SetRenderState(D3DRS_FOGENABLE, FALSE);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
        for (int i = 0; i < PARTICLE_DRAWS; ++i) {
            d->SetRenderState(D3DRS_BLENDOP, i % 2 ? D3DBLENDOP_REVSUBTRACT : D3DBLENDOP_ADD);
            const float x = static_cast<float>(i * 20 - 100);
            const MeshVertex quad[4] = {{x, 0, 100, 0x80FFFFFF, 0, 1},
                                        {x, 40, 100, 0x80FFFFFF, 0, 0},
                                        {x + 40, 0, 100, 0x80FFFFFF, 1, 1},
                                        {x + 40, 40, 100, 0x80FFFFFF, 1, 0}};
            const D3DMATRIX world = Identity();
            d->SetTransform(D3DTS_WORLD, &world);
            d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(MeshVertex));
        }
        d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        d->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

        // The post-process pass over the whole back buffer.
        d->SetRenderTarget(0, backBuffer_);
        d->SetRenderState(D3DRS_ZENABLE, FALSE);
        d->SetTexture(0, scene_);
        d->SetShaderProgram(postProcess_);
        const float shake = static_cast<float>(frame % 3);
        postProcess_->SetUniform("shakeMagnitude", SHADER_UNIFORM_FLOAT, &shake, 1);
        DrawScreenQuad(0, 0, WIDTH, HEIGHT, 0xFFFFFFFF);
        d->SetShaderProgram(nullptr);

        // Interface quads drawn from memory with alpha blending.
        for (int i = 0; i < QUAD_DRAWS; ++i) {
            d->SetTexture(0, textures_[static_cast<size_t>(i) % textures_.size()]);
            const float x = static_cast<float>((i % 6) * 160 + 20);
            const float y = static_cast<float>((i / 6) * 140 + 20);
            DrawScreenQuad(x, y, x + 128, y + 32, 0xC0FFFFFF);
        }
        d->SetTexture(0, nullptr);
        d->EndScene();
        d->Present(nullptr, nullptr, nullptr, nullptr);
    }

    ~Frame()
    {
        if (device_) {
            device_->SetTexture(0, nullptr);
            device_->SetShaderProgram(nullptr);
        }
        for (IDirect3DTexture9* texture : textures_)
            texture->Release();
        for (IUnknown* object : std::initializer_list<IUnknown*>{postProcess_, meshVertices_, meshIndices_,
                                                                 sceneSurface_, backBuffer_, scene_, device_, d3d_}) {
            if (object)
                object->Release();
        }
        if (window_)
            DestroyWindow(window_);
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
    }

private:
    static constexpr DWORD MESH_FVF = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

    void DrawScreenQuad(float x0, float y0, float x1, float y1, D3DCOLOR color)
    {
        const ScreenVertex quad[4] = {{x0, y1, 0, 1, color, 0, 1},
                                      {x0, y0, 0, 1, color, 0, 0},
                                      {x1, y1, 0, 1, color, 1, 1},
                                      {x1, y0, 0, 1, color, 1, 0}};
        device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
        device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    }

    HWND window_ = nullptr;
    IDirect3D9* d3d_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    IDirect3DTexture9* scene_ = nullptr;
    IDirect3DSurface9* sceneSurface_ = nullptr;
    IDirect3DSurface9* backBuffer_ = nullptr;
    std::vector<IDirect3DTexture9*> textures_;
    IDirect3DVertexBuffer9* meshVertices_ = nullptr;
    IDirect3DIndexBuffer9* meshIndices_ = nullptr;
    UINT meshVertexCount_ = 0;
    UINT meshTriangles_ = 0;
    IShaderProgram* postProcess_ = nullptr;
};

void BM_GlFrameOfAHundredDraws(benchmark::State& state)
{
    Frame frame;
    if (!frame.Create()) {
        state.SkipWithError("no OpenGL device (run under xvfb-run)");
        return;
    }
    int n = 0;
    for (int i = 0; i < 5; ++i)
        frame.Render(n++);
    // Present hands the frame to the window system, which needs the finished pixels: the time of a loop
    // round is the time of a whole frame.
    for (auto _ : state)
        frame.Render(n++);
    state.counters["draws"] = MESH_DRAWS + QUAD_DRAWS + PARTICLE_DRAWS + 1;
}
BENCHMARK(BM_GlFrameOfAHundredDraws)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
