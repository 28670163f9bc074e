#pragma once

#include "scene/StaticMesh.h"
#include "win32/ComPtr.h"

#include <memory>
#include <string>

struct ID3DXMesh;

// A static mesh read from a .x file: one subset per material.
class XMeshGeometry : public StaticMeshGeometry
{
public:
    XMeshGeometry(ComPtr<ID3DXMesh> mesh, unsigned subsetCount);
    ~XMeshGeometry() override;
    XMeshGeometry(const XMeshGeometry&) = delete;
    XMeshGeometry& operator=(const XMeshGeometry&) = delete;

    unsigned GetSubsetCount() const override { return m_subsetCount; }
    void DrawSubset(unsigned subset) override;
    bool GetBounds(D3DXVECTOR3& low, D3DXVECTOR3& high) const override;
    bool HasVertexColours() const override;

    // The mesh cache's loader: the mesh with its materials' base textures and their "DOT3" normal maps, normals
    // worked out where the file has none. Null when the file cannot be read.
    static std::shared_ptr<StaticMesh> Load(const std::string& path);
    // The normal map's name for a base texture: "DOT3" before the extension ("rock.tga" -> "rockDOT3.tga"),
    // or at the end of a name without one.
    static std::string NormalMapName(const std::string& baseName);

private:
    ComPtr<ID3DXMesh> m_mesh;
    unsigned m_subsetCount = 0;
};
