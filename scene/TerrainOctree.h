#pragma once

#include "d3dx9/D3DX9Math.h"
#include "scene/TerrainVertex.h"
#include "win32/ComPtr.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct LevelData;

// Splits the map's cube eight ways until a node holds at most 3072 grid samples; each leaf draws its patch
// of the grid from buffers of its own. The vertical split does not select samples, so every patch sits in
// several leaves of different height; a frame draws each patch once.
class TerrainOctree
{
public:
    static constexpr int GRID = 128;
    static constexpr uint32_t MAX_LEAF_SAMPLES = 3072;

    struct Node {
        Node* parent = nullptr;
        std::array<std::unique_ptr<Node>, 8> children;
        D3DXVECTOR3 corners[8];
        D3DXVECTOR3 centre{0.0f, 0.0f, 0.0f};
        float size = 0.0f;
        float height = 0.0f;
        bool leaf = false;
        bool visible = false;
        uint32_t sampleCount = 0;
        int triangleCount = 0;
        // Slots of the grid (row * 128 + column) in gathering order.
        std::vector<uint16_t> samples;
        // The patch's first grid cell: leaves that share it draw the same triangles.
        int patchX = 0;
        int patchZ = 0;
        // The patch's entry in the octree's list of patches (-1 before the leaf is built).
        int patch = -1;
        ComPtr<IDirect3DVertexBuffer9> vertexBuffer;
        ComPtr<IDirect3DIndexBuffer9> indexBuffer;
    };

    TerrainOctree() = default;
    ~TerrainOctree();
    TerrainOctree(const TerrainOctree&) = delete;
    TerrainOctree& operator=(const TerrainOctree&) = delete;

    // Makes the 16384 vertex records from the level and builds the tree over them.
    void Build(const LevelData& level);
    // Rewrites every leaf's vertices from the given records (16384, slot order), after the terrain has
    // worked out normals and weights.
    void RefreshLeaves(const TerrainVertex* records);
    void Cull();
    // Draws the visible leaves inside the open effect pass.
    void Draw();

    // Which of the four blend weights a triangle uses: bit k is set when weight k + 1 is above zero at one of
    // its corners at least. Weight sets 0 to 3 use weights 1 and 2 only, 4 to 7 add weight 3, 8 to 11
    // weight 4, 12 to 15 both. A weight's fading tail, at most FADED (of 255) at every corner, is left out:
    // it changes a pixel by at most FADED 255ths of the difference between its texture and the rest. Weights
    // 1 and 2 (flat ground and steep faces) share the ground by the slope, so the one of them left out
    // hands its share to the other; when both are that faint both stay.
    static constexpr unsigned WEIGHT_SETS = 16;
    static constexpr unsigned FADED = 3;
    static unsigned WeightSet(D3DCOLOR a, D3DCOLOR b, D3DCOLOR c);
    // Draws, as Draw does, only the triangles whose weight sets lie in first..last, so that a pass that
    // reads fewer of the ground textures can draw them. Patches are drawn nearest the eye first.
    void DrawWeightSets(unsigned first, unsigned last);
    // Whether any patch has triangles whose weight sets lie in first..last.
    bool HasWeightSets(unsigned first, unsigned last) const;
    // Triangles of the patch drawn by the leaf whose weight sets lie in first..last.
    UINT WeightSetTriangles(const Node* leaf, unsigned first, unsigned last) const;

    const Node* Root() const { return m_root.get(); }
    const std::vector<TerrainVertex>& Records() const { return m_records; }
    static bool IsNodeVisible(const Node* node);
    // Leaves drawn by the last Draw; the visible leaves it went through, one per patch, in drawing order.
    int LastDrawCount() const { return m_lastDrawCount; }
    const std::vector<const Node*>& LastDrawOrder() const { return m_drawOrder; }

private:
    // A patch of the grid as the leaves over it draw it: their triangles sorted by weight set, and where
    // each set starts (start[set], in triangles; start[WEIGHT_SETS] is the triangle count).
    struct Patch {
        int x = 0;
        int z = 0;
        const Node* leaf = nullptr;
        ComPtr<IDirect3DIndexBuffer9> indexBuffer;
        std::array<UINT, WEIGHT_SETS + 1> start{};
    };

    void BuildNode(Node* node);
    void BuildLeaf(Node* node);
    void CullNode(Node* node);
    // Gathers the visible leaves, one per patch, into m_drawOrder.
    void GatherNode(const Node* node);
    void DrawLeaf(const Node* node, unsigned first, unsigned last);
    void FillLeafVertices(Node* node, const TerrainVertex* records);
    // Sorts every patch's triangles by weight set from the records' colours.
    void SortPatches();

    std::vector<TerrainVertex> m_records;
    std::vector<std::unique_ptr<Patch>> m_patches;
    std::unique_ptr<Node> m_root;
    // One flag per patch (32 x 32 grid cells each), cleared at every Draw.
    std::vector<bool> m_patchDrawn;
    // The leaves to draw, nearest the eye first, so that the depth test spares the ground they cover.
    std::vector<const Node*> m_drawOrder;
    int m_lastDrawCount = 0;
};
