#pragma once
// A 1024 x 768 device for the benchmarks: the null device, or the OpenGL device in a window of its own (run
// under xvfb-run, with LP_NUM_THREADS=2 to measure llvmpipe on two cores).

#include "DeviceKit.h"
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
    IDirect3DDevice9* device = nullptr;
    // On failure nothing is left for the caller to undo.
    if (FAILED(DeviceKit::Make(backEnd, window, 1024, 768, 0, d3d, &device)))
        return nullptr;
    return device;
}
