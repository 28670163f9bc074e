#include "DeviceKit.h"

D3DPRESENT_PARAMETERS DeviceKit::WindowedParameters(UINT width, UINT height, HWND window)
{
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.MultiSampleType = D3DMULTISAMPLE_NONE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return pp;
}

HRESULT DeviceKit::Make(D3D9BackEnd backEnd, HWND window, UINT width, UINT height, DWORD extraFlags, IDirect3D9** d3d,
                        IDirect3DDevice9** device)
{
    *d3d = nullptr;
    *device = nullptr;
    D3D9SetBackEnd(backEnd);
    *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!*d3d) {
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return E_FAIL;
    }
    D3DPRESENT_PARAMETERS pp = WindowedParameters(width, height, window);
    const HRESULT hr = (*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                            D3DCREATE_HARDWARE_VERTEXPROCESSING | extraFlags, &pp, device);
    if (FAILED(hr) || !*device) {
        if (*device)
            (*device)->Release();
        *device = nullptr;
        (*d3d)->Release();
        *d3d = nullptr;
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return FAILED(hr) ? hr : E_FAIL;
    }
    return D3D_OK;
}

ULONG DeviceKit::Release(IDirect3D9*& d3d, IDirect3DDevice9*& device, ULONG* d3dLeft)
{
    ULONG left = 0;
    if (device)
        left = device->Release();
    const ULONG objectLeft = d3d ? d3d->Release() : 0;
    if (d3dLeft)
        *d3dLeft = objectLeft;
    device = nullptr;
    d3d = nullptr;
    D3D9SetBackEnd(D3D9_BACKEND_AUTO);
    return left;
}

DWORD DeviceKit::RenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state)
{
    DWORD value = 0;
    if (device)
        device->GetRenderState(state, &value);
    return value;
}
