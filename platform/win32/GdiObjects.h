#pragma once
// What the other platform families may see of a GDI memory DC: the pixels of the DIB section selected into it.

#include "win32/Win32.h"

// A DIB's pixel block as it lies in memory.
struct DibPixels {
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0; // always positive
    int bitCount = 0; // 16, 24 or 32
    int stride = 0; // bytes from one stored row to the next
    bool bottomUp = true; // the first stored row is the picture's bottom row
};

// The DIB section currently selected into the DC; false when the DC is unknown or holds no DIB section.
bool GetSelectedDib(HDC dc, DibPixels* pixels);
