#include "d3d9/FvfLayout.h"

#include <gtest/gtest.h>

#include <vector>

TEST(FvfLayout, ElementsFollowEachOtherInTheirFixedOrder)
{
    struct Case {
        const char* name;
        DWORD fvf;
        UINT stride, positionSize;
        bool pretransformed;
        INT normal, diffuse, specular, pointSize;
        UINT weights;
        INT weightsAt, indicesAt;
        std::vector<INT> texCoords; // offset of each set
        std::vector<UINT> texSizes; // floats in each set
    };
    // Offsets added up by hand: position 12 (XYZ), 16 (XYZRHW, XYZW) or 12 + 4 per beta; normal 12; point size,
    // diffuse and specular 4 each; texture sets 4 per float.
    const Case cases[] = {
        {"screen quad", 0x144, 28, 4, true, -1, 16, -1, -1, 0, -1, -1, {20}, {2}},
        {"coloured textured", 0x142, 24, 3, false, -1, 12, -1, -1, 0, -1, -1, {16}, {2}},
        {"textured", 0x102, 20, 3, false, -1, -1, -1, -1, 0, -1, -1, {12}, {2}},
        {"lit", 0x152, 36, 3, false, 12, 24, -1, -1, 0, -1, -1, {28}, {2}},
        {"five sets", 0x552, 68, 3, false, 12, 24, -1, -1, 0, -1, -1, {28, 36, 44, 52, 60}, {2, 2, 2, 2, 2}},
        {"sized sets",
         D3DFVF_XYZ | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE3(1) | D3DFVF_TEXCOORDSIZE4(2),
         44,
         3,
         false,
         -1,
         -1,
         -1,
         -1,
         0,
         -1,
         -1,
         {12, 16, 28},
         {1, 3, 4}},
        {"everything",
         D3DFVF_XYZW | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2,
         56,
         4,
         false,
         16,
         32,
         36,
         28,
         0,
         -1,
         -1,
         {40, 48},
         {2, 2}},
        {"three weights", D3DFVF_XYZB3 | D3DFVF_NORMAL, 36, 3, false, 24, -1, -1, -1, 3, 12, -1, {}, {}},
        // The last beta of XYZB4 carries four byte indices: three weights, then the indices.
        {"weights and indices",
         D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_TEX1,
         36,
         3,
         false,
         -1,
         -1,
         -1,
         -1,
         3,
         12,
         24,
         {28},
         {2}},
        // XYZB1 whose only beta is the indices: no weights at all.
        {"indices only", D3DFVF_XYZB1 | D3DFVF_LASTBETA_D3DCOLOR, 16, 3, false, -1, -1, -1, -1, 0, -1, 12, {}, {}},
        {"five betas", D3DFVF_XYZB5, 32, 3, false, -1, -1, -1, -1, 5, 12, -1, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const FvfLayout layout = DecodeFvf(c.fvf);
        ASSERT_TRUE(layout.valid);
        EXPECT_EQ(layout.stride, c.stride);
        EXPECT_EQ(layout.positionSize, c.positionSize);
        EXPECT_EQ(layout.pretransformed, c.pretransformed);
        EXPECT_EQ(layout.normalOffset, c.normal);
        EXPECT_EQ(layout.diffuseOffset, c.diffuse);
        EXPECT_EQ(layout.specularOffset, c.specular);
        EXPECT_EQ(layout.pointSizeOffset, c.pointSize);
        EXPECT_EQ(layout.blendWeightCount, c.weights);
        EXPECT_EQ(layout.blendWeightOffset, c.weightsAt);
        EXPECT_EQ(layout.blendIndicesOffset, c.indicesAt);
        ASSERT_EQ(layout.texCoordCount, c.texCoords.size());
        for (size_t set = 0; set < c.texCoords.size(); ++set) {
            EXPECT_EQ(layout.texCoordOffset[set], c.texCoords[set]) << "set " << set;
            EXPECT_EQ(layout.texCoordSize[set], c.texSizes[set]) << "set " << set;
        }
    }
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZB4 | D3DFVF_LASTBETA_UBYTE4).blendIndicesAreColor);
    EXPECT_TRUE(DecodeFvf(D3DFVF_XYZB1 | D3DFVF_LASTBETA_D3DCOLOR).blendIndicesAreColor);
}

TEST(FvfLayout, FormatsThatCannotBeDrawn)
{
    EXPECT_FALSE(DecodeFvf(0).valid);
    EXPECT_FALSE(DecodeFvf(D3DFVF_DIFFUSE | D3DFVF_TEX1).valid); // no position
    EXPECT_FALSE(DecodeFvf(0x4004).valid); // W with RHW is no format
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | 0x900).valid); // nine texture sets
    EXPECT_FALSE(DecodeFvf(D3DFVF_XYZ | D3DFVF_LASTBETA_UBYTE4).valid); // indices without betas
}
