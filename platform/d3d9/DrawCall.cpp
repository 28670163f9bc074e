#include "d3d9/DrawCall.h"

UINT PrimitiveVertexCount(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount)
{
    if (primitiveCount == 0)
        return 0;
    switch (primitiveType) {
    case D3DPT_POINTLIST:
        return primitiveCount;
    case D3DPT_LINELIST:
        return primitiveCount * 2;
    case D3DPT_LINESTRIP:
        return primitiveCount + 1;
    case D3DPT_TRIANGLELIST:
        return primitiveCount * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN:
        return primitiveCount + 2;
    default:
        return 0;
    }
}
