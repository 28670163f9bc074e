#include "NullDeviceFixture.h"

#include "d3d9/DeviceState.h"

namespace {

DWORD RenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state)
{
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetRenderState(state, &value), D3D_OK);
    return value;
}

DWORD StageState(IDirect3DDevice9* device, DWORD stage, D3DTEXTURESTAGESTATETYPE type)
{
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetTextureStageState(stage, type, &value), D3D_OK);
    return value;
}

DWORD SamplerState(IDirect3DDevice9* device, DWORD sampler, D3DSAMPLERSTATETYPE type)
{
    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(device->GetSamplerState(sampler, type, &value), D3D_OK);
    return value;
}

bool IsIdentity(const D3DMATRIX& m)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m.m[r][c] != (r == c ? 1.0f : 0.0f))
                return false;
    return true;
}

} // namespace

using DeviceState9 = NullDeviceTest;

TEST_F(DeviceState9, RenderStateDefaults)
{
    // Depth is on because the device has an automatic depth surface; 0x3F800000 is 1.0f.
    const std::pair<D3DRENDERSTATETYPE, DWORD> defaults[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},        {D3DRS_ZWRITEENABLE, TRUE},       {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_CULLMODE, D3DCULL_CCW},      {D3DRS_FILLMODE, D3DFILL_SOLID},  {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_ALPHATESTENABLE, FALSE},     {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS}, {D3DRS_ALPHAREF, 0u},
        {D3DRS_ALPHABLENDENABLE, FALSE},    {D3DRS_SRCBLEND, D3DBLEND_ONE},   {D3DRS_DESTBLEND, D3DBLEND_ZERO},
        {D3DRS_BLENDOP, D3DBLENDOP_ADD},    {D3DRS_FOGENABLE, FALSE},         {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
        {D3DRS_FOGTABLEMODE, D3DFOG_NONE},  {D3DRS_FOGEND, 0x3F800000u},      {D3DRS_LIGHTING, TRUE},
        {D3DRS_SPECULARENABLE, FALSE},      {D3DRS_STENCILMASK, 0xFFFFFFFFu}, {D3DRS_COLORWRITEENABLE, 0xFu},
        {D3DRS_TEXTUREFACTOR, 0xFFFFFFFFu}, {D3DRS_CLIPPING, TRUE},           {D3DRS_POINTSIZE, 0x3F800000u}};
    for (const auto& [state, value] : defaults)
        EXPECT_EQ(RenderState(device, state), value) << state;
}

TEST_F(DeviceState9, StageAndSamplerDefaults)
{
    EXPECT_EQ(StageState(device, 0, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_MODULATE));
    EXPECT_EQ(StageState(device, 0, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_SELECTARG1));
    for (DWORD stage = 1; stage < 8; ++stage) {
        EXPECT_EQ(StageState(device, stage, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE)) << stage;
        EXPECT_EQ(StageState(device, stage, D3DTSS_ALPHAOP), static_cast<DWORD>(D3DTOP_DISABLE)) << stage;
        EXPECT_EQ(StageState(device, stage, D3DTSS_TEXCOORDINDEX), stage);
    }
    EXPECT_EQ(StageState(device, 3, D3DTSS_COLORARG1), D3DTA_TEXTURE);
    EXPECT_EQ(StageState(device, 3, D3DTSS_COLORARG2), D3DTA_CURRENT);
    EXPECT_EQ(StageState(device, 0, D3DTSS_ALPHAARG1), D3DTA_TEXTURE);
    EXPECT_EQ(StageState(device, 0, D3DTSS_TEXTURETRANSFORMFLAGS), static_cast<DWORD>(D3DTTFF_DISABLE));
    for (DWORD sampler = 0; sampler < 8; ++sampler) {
        EXPECT_EQ(SamplerState(device, sampler, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(SamplerState(device, sampler, D3DSAMP_ADDRESSV), static_cast<DWORD>(D3DTADDRESS_WRAP));
        EXPECT_EQ(SamplerState(device, sampler, D3DSAMP_MAGFILTER), static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(SamplerState(device, sampler, D3DSAMP_MINFILTER), static_cast<DWORD>(D3DTEXF_POINT));
        EXPECT_EQ(SamplerState(device, sampler, D3DSAMP_MIPFILTER), static_cast<DWORD>(D3DTEXF_NONE));
    }
}

TEST_F(DeviceState9, TransformsViewportAndBindingsStartClean)
{
    D3DMATRIX m;
    for (D3DTRANSFORMSTATETYPE t : {D3DTS_WORLD, D3DTS_VIEW, D3DTS_PROJECTION, D3DTS_TEXTURE0, D3DTS_WORLDMATRIX(3)}) {
        ASSERT_EQ(device->GetTransform(t, &m), D3D_OK);
        EXPECT_TRUE(IsIdentity(m)) << t;
    }
    D3DVIEWPORT9 vp;
    ASSERT_EQ(device->GetViewport(&vp), D3D_OK);
    EXPECT_EQ(vp.X, 0u);
    EXPECT_EQ(vp.Y, 0u);
    EXPECT_EQ(vp.Width, 640u);
    EXPECT_EQ(vp.Height, 480u);
    EXPECT_EQ(vp.MinZ, 0.0f);
    EXPECT_EQ(vp.MaxZ, 1.0f);

    DWORD fvf = 1;
    ASSERT_EQ(device->GetFVF(&fvf), D3D_OK);
    EXPECT_EQ(fvf, 0u);
    IDirect3DBaseTexture9* texture = reinterpret_cast<IDirect3DBaseTexture9*>(&vp);
    ASSERT_EQ(device->GetTexture(0, &texture), D3D_OK);
    EXPECT_EQ(texture, nullptr);
    IShaderProgram* program = reinterpret_cast<IShaderProgram*>(&vp);
    ASSERT_EQ(device->GetShaderProgram(&program), D3D_OK);
    EXPECT_EQ(program, nullptr);
}

TEST_F(DeviceState9, StatesAreKeptPerStageAndOutOfRangeOnesRefused)
{
    ASSERT_EQ(device->SetSamplerState(1, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR), D3D_OK);
    EXPECT_EQ(SamplerState(device, 1, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_MIRROR));
    EXPECT_EQ(SamplerState(device, 0, D3DSAMP_ADDRESSU), static_cast<DWORD>(D3DTADDRESS_WRAP));
    ASSERT_EQ(device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_ADD), D3D_OK);
    EXPECT_EQ(StageState(device, 1, D3DTSS_COLOROP), static_cast<DWORD>(D3DTOP_DISABLE));

    D3DMATRIX m{};
    DWORD value = 5;
    EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(D3DRS_COUNT), 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(D3DRS_COUNT), &value), D3DERR_INVALIDCALL);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(8, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(1), &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetRenderState(D3DRS_ZENABLE, nullptr), D3DERR_INVALIDCALL);
}

TEST_F(DeviceState9, ViewportMustLieInsideTheRenderTarget)
{
    D3DVIEWPORT9 vp{100, 50, 540, 430, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&vp), D3D_OK);
    D3DVIEWPORT9 back{};
    ASSERT_EQ(device->GetViewport(&back), D3D_OK);
    EXPECT_EQ(back.X, 100u);
    EXPECT_EQ(back.Height, 430u);
    vp.Width = 541; // one past the right edge
    EXPECT_EQ(device->SetViewport(&vp), D3DERR_INVALIDCALL);
    vp = D3DVIEWPORT9{0, 0, 640, 480, 0.0f, 1.5f};
    EXPECT_EQ(device->SetViewport(&vp), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetViewport(nullptr), D3DERR_INVALIDCALL);
}

// The scissor rectangle starts as the whole back buffer (640 x 480 here), keeps what it is given, refuses a
// rectangle turned inside out or reaching left of or above the target, and is the whole target again once a
// render target is set, as its viewport is.
TEST_F(DeviceState9, ScissorRectangleIsTheWholeTargetUntilSetAndAgainAfterANewTarget)
{
    RECT rect{};
    ASSERT_EQ(device->GetScissorRect(&rect), D3D_OK);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 640);
    EXPECT_EQ(rect.bottom, 480);
    const RECT band{0, 10, 640, 42};
    ASSERT_EQ(device->SetScissorRect(&band), D3D_OK);
    ASSERT_EQ(device->GetScissorRect(&rect), D3D_OK);
    EXPECT_EQ(rect.top, 10);
    EXPECT_EQ(rect.bottom, 42);
    const RECT insideOut{10, 10, 5, 20};
    const RECT aboveTheTarget{0, -1, 10, 10};
    EXPECT_EQ(device->SetScissorRect(&insideOut), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetScissorRect(&aboveTheTarget), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetScissorRect(nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetScissorRect(nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->GetScissorRect(&rect), D3D_OK);
    EXPECT_EQ(rect.bottom, 42) << "a refused rectangle changes nothing";

    IDirect3DSurface9* target = nullptr;
    ASSERT_EQ(device->CreateRenderTarget(128, 64, D3DFMT_X8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &target, nullptr),
              D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, target), D3D_OK);
    ASSERT_EQ(device->GetScissorRect(&rect), D3D_OK);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 128);
    EXPECT_EQ(rect.bottom, 64);
    target->Release();
}

TEST_F(DeviceState9, NoAutomaticDepthMeansZDisabled)
{
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    pp.EnableAutoDepthStencil = FALSE;
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_EQ(RenderState(device, D3DRS_ZENABLE), static_cast<DWORD>(D3DZB_FALSE));
    IDirect3DSurface9* depth = reinterpret_cast<IDirect3DSurface9*>(&pp);
    EXPECT_EQ(device->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    EXPECT_EQ(depth, nullptr);
    // A depth clear without a depth surface is refused.
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
}

TEST_F(DeviceState9, ResetRestoresDefaults)
{
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device->SetFVF(0x144), D3D_OK);
    D3DPRESENT_PARAMETERS pp = WindowedParameters();
    ASSERT_EQ(device->Reset(&pp), D3D_OK);
    EXPECT_EQ(RenderState(device, D3DRS_CULLMODE), static_cast<DWORD>(D3DCULL_CCW));
    DWORD fvf = 1;
    device->GetFVF(&fvf);
    EXPECT_EQ(fvf, 0u);
}

TEST_F(DeviceState9, ScenesDoNotNest)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3D_OK);
}
