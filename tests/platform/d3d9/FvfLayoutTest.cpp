#include "d3d9/FvfLayout.h"

#include <gtest/gtest.h>

TEST(FvfLayout, PretransformedColouredTexturedQuadVertex)
{
    // XYZRHW | DIFFUSE | TEX1: x y z rhw (16 bytes), colour at 16, u v at 20, 28 bytes.
    const FvfLayout layout = DecodeFvf(0x144);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.stride, 28u);
    EXPECT_TRUE(layout.pretransformed);
    EXPECT_EQ(layout.positionSize, 4u);
    EXPECT_EQ(layout.diffuseOffset, 16);
    EXPECT_EQ(layout.texCoordCount, 1u);
    EXPECT_EQ(layout.texCoordOffset[0], 20);
    EXPECT_EQ(layout.texCoordSize[0], 2u);
    EXPECT_EQ(layout.normalOffset, -1);
    EXPECT_EQ(layout.specularOffset, -1);
}

TEST(FvfLayout, TheGameVertexFormats)
{
    // XYZ | DIFFUSE | TEX1: 12 + 4 + 8.
    FvfLayout layout = DecodeFvf(0x142);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.stride, 24u);
    EXPECT_FALSE(layout.pretransformed);
    EXPECT_EQ(layout.positionSize, 3u);
    EXPECT_EQ(layout.diffuseOffset, 12);
    EXPECT_EQ(layout.texCoordOffset[0], 16);

    // XYZ | TEX1: 12 + 8.
    layout = DecodeFvf(0x102);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.stride, 20u);
    EXPECT_EQ(layout.diffuseOffset, -1);
    EXPECT_EQ(layout.texCoordOffset[0], 12);

    // XYZ | NORMAL | DIFFUSE | TEX1: 12 + 12 + 4 + 8.
    layout = DecodeFvf(0x152);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.stride, 36u);
    EXPECT_EQ(layout.normalOffset, 12);
    EXPECT_EQ(layout.diffuseOffset, 24);
    EXPECT_EQ(layout.texCoordOffset[0], 28);

    // XYZ | NORMAL | DIFFUSE | TEX5: 12 + 12 + 4 + 5 * 8.
    layout = DecodeFvf(0x552);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.stride, 68u);
    EXPECT_EQ(layout.texCoordCount, 5u);
    for (UINT set = 0; set < 5; ++set) {
        EXPECT_EQ(layout.texCoordOffset[set], static_cast<INT>(28 + set * 8)) << "set " << set;
        EXPECT_EQ(layout.texCoordSize[set], 2u);
    }
}

TEST(FvfLayout, TexCoordSizeBits)
{
    // Three sets sized 1, 3 and 4 floats after an XYZ position.
    const DWORD fvf =
        D3DFVF_XYZ | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE3(1) | D3DFVF_TEXCOORDSIZE4(2);
    const FvfLayout layout = DecodeFvf(fvf);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.texCoordSize[0], 1u);
    EXPECT_EQ(layout.texCoordSize[1], 3u);
    EXPECT_EQ(layout.texCoordSize[2], 4u);
    EXPECT_EQ(layout.texCoordOffset[0], 12);
    EXPECT_EQ(layout.texCoordOffset[1], 16);
    EXPECT_EQ(layout.texCoordOffset[2], 28);
    EXPECT_EQ(layout.stride, 44u);
}

TEST(FvfLayout, EveryElementInOrder)
{
    // XYZW | NORMAL | PSIZE | DIFFUSE | SPECULAR | TEX2: 16, 12, 4, 4, 4, 8 + 8.
    const FvfLayout layout =
        DecodeFvf(D3DFVF_XYZW | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.positionSize, 4u);
    EXPECT_FALSE(layout.pretransformed);
    EXPECT_EQ(layout.normalOffset, 16);
    EXPECT_EQ(layout.pointSizeOffset, 28);
    EXPECT_EQ(layout.diffuseOffset, 32);
    EXPECT_EQ(layout.specularOffset, 36);
    EXPECT_EQ(layout.texCoordOffset[0], 40);
    EXPECT_EQ(layout.texCoordOffset[1], 48);
    EXPECT_EQ(layout.stride, 56u);
}

TEST(FvfLayout, BlendWeightsAndIndices)
{
    // XYZB3: three weights after the position.
    FvfLayout layout = DecodeFvf(D3DFVF_XYZB3 | D3DFVF_NORMAL);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.blendWeightCount, 3u);
    EXPECT_EQ(layout.blendWeightOffset, 12);
    EXPECT_EQ(layout.blendIndicesOffset, -1);
    EXPECT_EQ(layout.normalOffset, 24);
    EXPECT_EQ(layout.stride, 36u);

    // XYZB4 with the last beta carrying four byte indices: three weights, then the indices.
    layout = DecodeFvf(D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_TEX1);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.blendWeightCount, 3u);
    EXPECT_EQ(layout.blendIndicesOffset, 24);
    EXPECT_FALSE(layout.blendIndicesAreColor);
    EXPECT_EQ(layout.texCoordOffset[0], 28);
    EXPECT_EQ(layout.stride, 36u);

    // XYZB1 whose only beta is the indices: no weights at all.
    layout = DecodeFvf(D3DFVF_XYZB1 | D3DFVF_LASTBETA_D3DCOLOR);
    ASSERT_TRUE(layout.valid);
    EXPECT_EQ(layout.blendWeightCount, 0u);
    EXPECT_EQ(layout.blendWeightOffset, -1);
    EXPECT_EQ(layout.blendIndicesOffset, 12);
    EXPECT_TRUE(layout.blendIndicesAreColor);
    EXPECT_EQ(layout.stride, 16u);

    // XYZB5 is 12 + 5 * 4.
    EXPECT_EQ(DecodeFvf(D3DFVF_XYZB5).stride, 32u);
}

TEST(FvfLayout, FormatsThatCannotBeDrawn)
{
    EXPECT_FALSE(DecodeFvf(0).valid);
    EXPECT_FALSE(DecodeFvf(D3DFVF_DIFFUSE | D3DFVF_TEX1).valid); // no position
    EXPECT_FALSE(DecodeFvf(0x4004).valid); // W with RHW is no format
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | 0x900).valid); // nine texture sets
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4).valid); // indices without betas
}
