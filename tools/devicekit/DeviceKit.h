#pragma once
// The devices the tests, the benchmarks and the battle simulator make: a Direct3D object and a device on a chosen
// back end (the null device, or OpenGL in a window), with a window-mode swap chain and a D24S8 depth surface, and
// the few reads of device state they share. Not for game code, which makes its device from the player's settings.

#include "d3d9/D3D9.h"

class DeviceKit
{
public:
    // Window-mode present parameters: one X8R8G8B8 back buffer of width x height, an automatic D24S8 depth
    // surface, presented at once.
    static D3DPRESENT_PARAMETERS WindowedParameters(UINT width, UINT height, HWND window = nullptr);

    // Selects the back end, then makes the Direct3D object and a hardware-vertex-processing device (with the
    // given extra creation flags) with a width x height swap chain on window (null: no window). On failure
    // nothing is left to undo: both outputs are null and the back-end choice is automatic again.
    static HRESULT Make(D3D9BackEnd backEnd, HWND window, UINT width, UINT height, DWORD extraFlags, IDirect3D9** d3d,
                        IDirect3DDevice9** device);

    // Releases what Make made, the device first, and puts the back-end choice back to automatic. Returns the
    // references to the device still held elsewhere (0 when nothing else holds it), and those to the Direct3D
    // object in d3dLeft when given; both pointers are null after.
    static ULONG Release(IDirect3D9*& d3d, IDirect3DDevice9*& device, ULONG* d3dLeft = nullptr);

    // The device's current value of a render state (0 when there is no device).
    static DWORD RenderState(IDirect3DDevice9* device, D3DRENDERSTATETYPE state);
};
