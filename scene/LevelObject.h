#pragma once

#include "d3dx9/D3DX9Math.h"

#include <string>
#include <vector>

class StaticMesh;

// One mesh file of a level and every place it stands.
class LevelObject
{
public:
    explicit LevelObject(const std::string& meshName);
    virtual ~LevelObject() = default;

    const std::string& GetMeshName() const { return m_meshName; }
    StaticMesh* GetMesh() const { return m_mesh; }
    std::vector<D3DXMATRIX>& Matrices() { return m_matrices; }
    const std::vector<D3DXMATRIX>& Matrices() const { return m_matrices; }

private:
    std::string m_meshName;
    StaticMesh* m_mesh = nullptr;
    std::vector<D3DXMATRIX> m_matrices;
};
