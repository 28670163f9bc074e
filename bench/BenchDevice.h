#pragma once
// A 1024 x 768 device for the benchmarks: the null device, or the OpenGL device in a window of its own (run
// under xvfb-run, with LP_NUM_THREADS=2 to measure llvmpipe on two cores).

#include "d3d9/D3D9.h"
#include "win32/Win32.h"

inline LRESULT CALLBACK BenchWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

inline HWND MakeBenchWindow(const char* className)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = BenchWindowProc;
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, className, WS_POPUP, 0, 0, 1024, 768, nullptr, nullptr, nullptr, nullptr);
}

inline IDirect3DDevice9* MakeDevice(D3D9BackEnd backEnd, HWND window, IDirect3D9** d3d)
{
    D3D9SetBackEnd(backEnd);
    *d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!*d3d) {
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return nullptr;
    }
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 1024;
    pp.BackBufferHeight = 768;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = D3DFMT_D24S8;
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* device = nullptr;
    if (FAILED((*d3d)->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                    &pp, &device))) {
        // Nothing is left for the caller to undo.
        (*d3d)->Release();
        *d3d = nullptr;
        D3D9SetBackEnd(D3D9_BACKEND_AUTO);
        return nullptr;
    }
    return device;
}
