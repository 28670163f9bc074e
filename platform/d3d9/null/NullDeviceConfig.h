#pragma once
// What tests may change about the null device before creating one: the capabilities the game checks
// and whether creation fails. IDirect3D9::GetDeviceCaps reports the same overrides while the null back
// end is the one CreateDevice picks.

#include "d3d9/D3D9.h"

struct NullDeviceConfig {
    DWORD pixelShaderVersion = D3DPS_VERSION(3, 0);
    DWORD vertexShaderVersion = D3DVS_VERSION(3, 0);
    DWORD maxTextureWidth = 4096;
    DWORD maxTextureHeight = 4096;
    DWORD devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE | D3DDEVCAPS_HWRASTERIZATION;
    UINT availableTextureMem = 256u << 20;
    bool failCreateDevice = false;
    HRESULT createDeviceResult = D3DERR_NOTAVAILABLE; // what a failing CreateDevice returns
};
