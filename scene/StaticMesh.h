#pragma once

#include "d3dx9/D3DX9Math.h"

#include <memory>
#include <string>
#include <vector>

struct ID3DXEffect;
struct IDirect3DTexture9;

// The drawable part of a static mesh: its subsets and its extent. The .x loader supplies it.
class StaticMeshGeometry
{
public:
    virtual ~StaticMeshGeometry() = default;
    virtual unsigned GetSubsetCount() const = 0;
    virtual void DrawSubset(unsigned subset) = 0;
    // The axis-aligned bounds of the positions; false when there are none.
    virtual bool GetBounds(D3DXVECTOR3& low, D3DXVECTOR3& high) const = 0;
    // Whether the vertices bring colours of their own (whose alpha may fall below 1).
    virtual bool HasVertexColours() const { return false; }
};

// A record of the data manager's mesh cache: one static mesh with a base and a normal-map texture per subset,
// drawn with "basic.fx".
class StaticMesh
{
public:
    // Loads the mesh file at a resolved path; null when it cannot be read.
    using Loader = std::shared_ptr<StaticMesh> (*)(const std::string& path);

    StaticMesh();
    ~StaticMesh();
    StaticMesh(const StaticMesh&) = delete;
    StaticMesh& operator=(const StaticMesh&) = delete;

    // The cached mesh of a bare file name. A name that cannot be found or read gives a record that draws
    // nothing (said once on stderr), so a level with a missing mesh still loads.
    static StaticMesh* FromCache(const std::string& name);
    // Replaces the .x reader (tests); null puts it back.
    static void SetLoader(Loader loader);

    void SetGeometry(std::unique_ptr<StaticMeshGeometry> geometry);
    void SetSubsetTextures(std::vector<IDirect3DTexture9*> base, std::vector<IDirect3DTexture9*> normalMaps);
    void PrepareMesh();
    // Every placement in the view, nearest first, so that the depth test spares what the near ones cover.
    void Draw(const std::vector<D3DXMATRIX>& matrices);
    // Draw in two steps: Place keeps the placements in the view, nearest first, and gives the distance of
    // the nearest (infinity when none); DrawPlaced draws them.
    float Place(const std::vector<D3DXMATRIX>& matrices);
    void DrawPlaced();
    void DrawGlow(const D3DXMATRIX& matrix);
    void ReleaseBoundsBox() { m_hasBounds = false; }

    bool HasGeometry() const { return m_geometry != nullptr; }
    float GetWidth() const { return m_width; }
    float GetHeight() const { return m_height; }
    float GetDepth() const { return m_depth; }
    // Whether the mesh, placed and projected by the matrix, lies wholly beyond one side of the view (or
    // before the near plane), so that drawing it would show nothing. False when the bounds are not known.
    bool IsOutsideView(const D3DXMATRIX& worldViewProjection) const;
    unsigned GetSubsetCount() const { return m_subsetCount; }
    // Whether every pixel it draws has alpha 1: opaque textures on every subset, vertices without colours.
    bool IsOpaque() const { return m_opaque; }

private:
    void SetSubsetParameters(unsigned subset);
    void UpdateOpaque();

    // A placement in the view: its matrices and its distance along the view.
    struct Placed {
        float depth;
        const D3DXMATRIX* world;
        D3DXMATRIX worldViewProjection;
    };

    bool m_hasBounds = false;
    bool m_hasBox = false;
    D3DXVECTOR3 m_low{0.0f, 0.0f, 0.0f};
    D3DXVECTOR3 m_high{0.0f, 0.0f, 0.0f};
    float m_width = 0.0f;
    float m_height = 0.0f;
    float m_depth = 0.0f;
    std::unique_ptr<StaticMeshGeometry> m_geometry;
    std::vector<IDirect3DTexture9*> m_baseTextures;
    std::vector<IDirect3DTexture9*> m_normalMaps;
    ID3DXEffect* m_effect = nullptr;
    unsigned m_subsetCount = 0;
    bool m_opaque = false;
    std::vector<Placed> m_placed;
};
