#include "scene/XMeshGeometry.h"
#include "scene/SceneFixture.h"
#include "scene/StaticMesh.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

namespace {

std::string OnePixelTga()
{
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 1;
    tga[14] = 1;
    tga[16] = 24;
    tga[17] = 0x20;
    return tga + std::string("\x40\x80\xC0", 3);
}

class XMeshTest : public SceneFixture
{ };

} // namespace

TEST(XMeshNames, NormalMapSitsBeforeTheExtension)
{
    struct Case {
        const char* base;
        const char* normalMap;
    };
    for (const Case& c : {Case{"rock.tga", "rockDOT3.tga"}, Case{"a.b.tga", "a.bDOT3.tga"}, Case{"abc", "abcDOT3"},
                          Case{"x.t", "xDOT3.t"}})
        EXPECT_EQ(XMeshGeometry::NormalMapName(c.base), c.normalMap);
}

TEST_F(XMeshTest, CachedMeshHasASubsetPerMaterialTexturesByBareNameNormalsAndItsExtent)
{
    m_tree->Write("Data/Textures/World Textures/rock.tga", OnePixelTga());
    m_tree->Write("Data/Textures/World Textures/defaultDOT3.tga", OnePixelTga());
    // No normals in the file; a texture named with the authoring machine's folder.
    m_tree->Write("Data/Models/Static Models/slab.x",
                  "xof 0303txt 0032\n"
                  "Mesh { 4; 0;0;0;, 0;2;0;, 3;2;0;, 3;0;1;; 2; 3;0,1,2;, 3;0,2,3;;\n"
                  " MeshMaterialList { 2; 2; 0, 1;;\n"
                  "  Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"C:\\\\art\\\\rock.tga\"; } }\n"
                  "  Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; } } }\n");
    StaticMesh* mesh = StaticMesh::FromCache("slab.x");
    ASSERT_NE(mesh, nullptr);
    ASSERT_TRUE(mesh->HasGeometry());
    EXPECT_EQ(mesh->GetSubsetCount(), 2u);
    EXPECT_FLOAT_EQ(mesh->GetWidth(), 3.0f);
    EXPECT_FLOAT_EQ(mesh->GetHeight(), 2.0f);
    EXPECT_FLOAT_EQ(mesh->GetDepth(), 1.0f);
    EXPECT_EQ(StaticMesh::FromCache("slab.x"), mesh) << "one record per file";
    TextureRecord* rock = DataManager::Get()->GetTexture("rock.tga", true);
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->referenceCount, 2) << "the material's texture was found by its bare name";

    LogCapture capture;
    StaticMesh* missing = StaticMesh::FromCache("nothing.x");
    ASSERT_NE(missing, nullptr);
    EXPECT_FALSE(missing->HasGeometry());
    EXPECT_EQ(capture.Count("mesh.missing"), 1);
}
