#pragma once
// Where each element of a flexible-vertex-format vertex lives. Both back ends bind vertex attributes from
// this, and the device core uses the stride to validate draws.

#include "d3d9/D3D9.h"

constexpr UINT FVF_MAX_TEXCOORDS = 8;

struct FvfLayout {
    bool valid = false; // false for 0, for an FVF without a position and for undefined bits
    UINT stride = 0; // bytes per vertex
    UINT positionOffset = 0; // always 0 when valid
    UINT positionSize = 0; // floats: 3 (XYZ, XYZB*), 4 (XYZRHW, XYZW)
    bool pretransformed = false; // XYZRHW: x, y in back-buffer pixels, z depth, w = 1/w
    UINT blendWeightCount = 0; // floats of blend weight (XYZB1..5, less the last beta when it carries indices)
    INT blendWeightOffset = -1;
    INT blendIndicesOffset = -1; // 4 bytes (LASTBETA_UBYTE4 or LASTBETA_D3DCOLOR)
    bool blendIndicesAreColor = false; // LASTBETA_D3DCOLOR: BGRA bytes rather than UBYTE4
    INT normalOffset = -1; // 3 floats
    INT pointSizeOffset = -1; // 1 float
    INT diffuseOffset = -1; // D3DCOLOR, BGRA byte order in memory
    INT specularOffset = -1; // D3DCOLOR
    UINT texCoordCount = 0;
    INT texCoordOffset[FVF_MAX_TEXCOORDS] = {-1, -1, -1, -1, -1, -1, -1, -1};
    UINT texCoordSize[FVF_MAX_TEXCOORDS] = {}; // floats, 1..4, from the TEXCOORDSIZE bits
};

FvfLayout DecodeFvf(DWORD fvf);
