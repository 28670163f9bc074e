#pragma once
// Factories of the device back ends, called by IDirect3D9::CreateDevice once it has validated its
// arguments. window is the device window (hDeviceWindow, or the focus window). On failure they return
// null and put the reason in *result; on success *result is D3D_OK and the device has one reference.

#include "d3d9/D3D9.h"

IDirect3DDevice9* CreateGlDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                                 HRESULT* result);
IDirect3DDevice9* CreateNullDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags, D3DPRESENT_PARAMETERS* pp,
                                   HRESULT* result);

// The null back end's capability overrides applied to the record IDirect3D9::GetDeviceCaps reports
// when the null back end is the one CreateDevice would pick, so enumeration and device agree.
void ApplyNullDeviceCaps(D3DCAPS9* caps);
