#include "d3d9/FvfLayout.h"

namespace {

UINT TexCoordSize(DWORD fvf, UINT set)
{
    switch ((fvf >> (set * 2 + 16)) & 3u) {
    case D3DFVF_TEXTUREFORMAT1:
        return 1;
    case D3DFVF_TEXTUREFORMAT3:
        return 3;
    case D3DFVF_TEXTUREFORMAT4:
        return 4;
    default:
        return 2;
    }
}

} // namespace

FvfLayout DecodeFvf(DWORD fvf)
{
    FvfLayout layout;
    UINT offset = 0;
    UINT betas = 0;
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ:
        layout.positionSize = 3;
        break;
    case D3DFVF_XYZRHW:
        layout.positionSize = 4;
        layout.pretransformed = true;
        break;
    case D3DFVF_XYZW:
        layout.positionSize = 4;
        break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5:
        layout.positionSize = 3;
        betas = ((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZB1) / 2 + 1;
        break;
    default:
        return layout; // no position or an undefined combination of position bits
    }
    offset = layout.positionSize * 4;

    const bool lastBetaIndices = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
    if (lastBetaIndices && betas == 0)
        return layout; // indices need a beta to live in
    if (betas > 0) {
        layout.blendWeightCount = lastBetaIndices ? betas - 1 : betas;
        if (layout.blendWeightCount > 0)
            layout.blendWeightOffset = static_cast<INT>(offset);
        offset += layout.blendWeightCount * 4;
        if (lastBetaIndices) {
            layout.blendIndicesOffset = static_cast<INT>(offset);
            layout.blendIndicesAreColor = (fvf & D3DFVF_LASTBETA_D3DCOLOR) != 0;
            offset += 4;
        }
    }
    if (fvf & D3DFVF_NORMAL) {
        layout.normalOffset = static_cast<INT>(offset);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        layout.pointSizeOffset = static_cast<INT>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        layout.diffuseOffset = static_cast<INT>(offset);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        layout.specularOffset = static_cast<INT>(offset);
        offset += 4;
    }
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > FVF_MAX_TEXCOORDS)
        return FvfLayout{};
    layout.texCoordCount = sets;
    for (UINT set = 0; set < sets; ++set) {
        layout.texCoordOffset[set] = static_cast<INT>(offset);
        layout.texCoordSize[set] = TexCoordSize(fvf, set);
        offset += layout.texCoordSize[set] * 4;
    }
    layout.stride = offset;
    layout.valid = true;
    return layout;
}
