#pragma once

#include "d3dx9/D3DX9Math.h"
#include "scene/LevelData.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class LevelObject;
class StaticMesh;
class GlowMesh;

// The level's placed meshes, one entry per mesh file with all its placements, and the glows the game puts
// around units.
class StaticObjectSet
{
public:
    StaticObjectSet();
    ~StaticObjectSet();
    StaticObjectSet(const StaticObjectSet&) = delete;
    StaticObjectSet& operator=(const StaticObjectSet&) = delete;

    void Clear();
    // Clears, then places the records (none when null).
    void LoadFromLevel(const std::vector<LevelStaticObject>* records);
    void AddGlow(const std::string& meshName, float delay, float lifetime, const D3DXVECTOR3& position, bool spin);
    void ResetGlows();
    void UpdateGlows();
    // The placed meshes, then the glows over them.
    void Render();
    void RenderObjects();
    void RenderGlows();

    const std::vector<std::unique_ptr<LevelObject>>& Objects() const { return m_objects; }
    const std::vector<std::unique_ptr<GlowMesh>>& Glows() const { return m_glows; }

private:
    std::vector<std::unique_ptr<LevelObject>> m_objects;
    std::vector<std::unique_ptr<GlowMesh>> m_glows;
    // The meshes with placements in the view, by the distance of the nearest.
    std::vector<std::pair<float, StaticMesh*>> m_drawOrder;
};
