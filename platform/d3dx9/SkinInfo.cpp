#include "d3dx9/SkinInfo.h"

#include "d3dx9/D3DXBuffer.h"
#include "d3dx9/Mesh.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace {

// The vertex shader blends at most four bones per vertex (three weights and one worked out).
constexpr DWORD MAX_INFLUENCES = 4;
constexpr DWORD NO_BONE = 0xFFFFFFFFu;

struct Influences {
    std::array<DWORD, MAX_INFLUENCES> bones{};
    std::array<float, MAX_INFLUENCES> weights{};
    DWORD count = 0;
};

// A run of faces of one attribute whose bones all fit one palette.
struct Combination {
    DWORD attribute = 0;
    std::vector<DWORD> bones;
    std::vector<DWORD> faces;
};

// The vertices of the blended mesh: which source vertex each one copies, its palette slots, and the faces and
// attribute ranges over them.
struct SplitVertices {
    std::vector<DWORD> newToOld;
    std::vector<DWORD> faceIndices;
    std::vector<D3DXATTRIBUTERANGE> table;
    std::vector<std::array<BYTE, MAX_INFLUENCES>> slots;
};

// The strongest four influences of every vertex, their weights scaled to sum to one; maxInfluences receives the
// most any vertex keeps (at least one).
std::vector<Influences> StrongestInfluences(const std::vector<SkinInfo::Bone>& bones, DWORD numVertices,
                                            DWORD& maxInfluences)
{
    std::vector<std::vector<std::pair<float, DWORD>>> all(numVertices);
    for (DWORD b = 0; b < bones.size(); ++b)
        for (size_t i = 0; i < bones[b].vertices.size(); ++i)
            if (bones[b].weights[i] > 0.0f)
                all[bones[b].vertices[i]].push_back({bones[b].weights[i], b});
    std::vector<Influences> influences(numVertices);
    maxInfluences = 1;
    for (DWORD v = 0; v < numVertices; ++v) {
        auto& list = all[v];
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        Influences& inf = influences[v];
        inf.count = static_cast<DWORD>(std::min<size_t>(list.size(), MAX_INFLUENCES));
        float sum = 0.0f;
        for (DWORD i = 0; i < inf.count; ++i) {
            inf.bones[i] = list[i].second;
            inf.weights[i] = list[i].first;
            sum += list[i].first;
        }
        for (DWORD i = 0; i < inf.count; ++i)
            inf.weights[i] /= sum;
        maxInfluences = std::max(maxInfluences, inf.count);
    }
    return influences;
}

// Faces by attribute, then greedily into combinations whose bones fit the palette. False when a face names a
// vertex the skin does not have or needs more bones than a palette holds.
bool GroupFaces(Mesh& source, const std::vector<DWORD>& attributes, const std::vector<Influences>& influences,
                DWORD paletteSize, std::vector<Combination>& combinations)
{
    std::vector<DWORD> order(source.GetNumFaces());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](DWORD a, DWORD b) { return attributes[a] < attributes[b]; });
    for (DWORD face : order) {
        std::vector<DWORD> needed;
        for (int corner = 0; corner < 3; ++corner) {
            const uint32_t v = source.IndexAt(static_cast<size_t>(face) * 3 + corner);
            if (v >= influences.size())
                return false;
            for (DWORD i = 0; i < influences[v].count; ++i)
                if (std::find(needed.begin(), needed.end(), influences[v].bones[i]) == needed.end())
                    needed.push_back(influences[v].bones[i]);
        }
        if (needed.size() > paletteSize)
            return false;
        bool fits = !combinations.empty() && combinations.back().attribute == attributes[face];
        if (fits) {
            size_t added = 0;
            for (DWORD bone : needed)
                added += std::find(combinations.back().bones.begin(), combinations.back().bones.end(), bone) ==
                                 combinations.back().bones.end()
                             ? 1
                             : 0;
            fits = combinations.back().bones.size() + added <= paletteSize;
        }
        if (!fits)
            combinations.push_back({attributes[face], {}, {}});
        Combination& current = combinations.back();
        for (DWORD bone : needed)
            if (std::find(current.bones.begin(), current.bones.end(), bone) == current.bones.end())
                current.bones.push_back(bone);
        current.faces.push_back(face);
    }
    return true;
}

// Vertices shared between combinations are duplicated: palette slots differ from one to the next.
SplitVertices Split(Mesh& source, const std::vector<Combination>& combinations,
                    const std::vector<Influences>& influences)
{
    SplitVertices split;
    split.faceIndices.reserve(static_cast<size_t>(source.GetNumFaces()) * 3);
    std::vector<DWORD> local(influences.size(), NO_BONE);
    for (DWORD c = 0; c < combinations.size(); ++c) {
        const Combination& combination = combinations[c];
        D3DXATTRIBUTERANGE range{c, static_cast<DWORD>(split.faceIndices.size() / 3),
                                 static_cast<DWORD>(combination.faces.size()),
                                 static_cast<DWORD>(split.newToOld.size()), 0};
        std::fill(local.begin(), local.end(), NO_BONE);
        for (DWORD face : combination.faces) {
            for (int corner = 0; corner < 3; ++corner) {
                const uint32_t v = source.IndexAt(static_cast<size_t>(face) * 3 + corner);
                if (local[v] == NO_BONE) {
                    local[v] = static_cast<DWORD>(split.newToOld.size());
                    split.newToOld.push_back(v);
                    std::array<BYTE, MAX_INFLUENCES> vertexSlots{};
                    for (DWORD i = 0; i < influences[v].count; ++i)
                        vertexSlots[i] = static_cast<BYTE>(
                            std::find(combination.bones.begin(), combination.bones.end(), influences[v].bones[i]) -
                            combination.bones.begin());
                    split.slots.push_back(vertexSlots);
                }
                split.faceIndices.push_back(local[v]);
            }
        }
        range.VertexCount = static_cast<DWORD>(split.newToOld.size()) - range.VertexStart;
        split.table.push_back(range);
    }
    return split;
}

// The blended mesh in format fvf, or null when it cannot be made.
Mesh* BuildMesh(Mesh& source, DWORD options, DWORD fvf, const SplitVertices& split,
                const std::vector<Influences>& influences, DWORD maxInfluences)
{
    IDirect3DDevice9* device = nullptr;
    source.GetDevice(&device);
    Mesh* out = Mesh::Create(source.GetNumFaces(), static_cast<DWORD>(split.newToOld.size()), options, fvf, device);
    if (device)
        device->Release();
    if (!out)
        return nullptr;
    ID3DXMesh* widened = nullptr;
    // Copy the other elements through a clone of the source into the new format, then pick vertices.
    if (FAILED(source.CloneMeshFVF(options, fvf, nullptr, &widened))) {
        out->Release();
        return nullptr;
    }
    auto* wide = static_cast<Mesh*>(widened);
    const FvfLayout& layout = out->Layout();
    for (size_t v = 0; v < split.newToOld.size(); ++v) {
        uint8_t* vertex = out->Vertices() + v * layout.stride;
        std::memcpy(vertex, wide->Vertices() + static_cast<size_t>(split.newToOld[v]) * layout.stride, layout.stride);
        const Influences& inf = influences[split.newToOld[v]];
        for (DWORD i = 0; i + 1 < maxInfluences; ++i)
            std::memcpy(vertex + layout.blendWeightOffset + i * 4, &inf.weights[i], 4);
        std::memcpy(vertex + layout.blendIndicesOffset, split.slots[v].data(), 4);
    }
    widened->Release();
    for (size_t i = 0; i < split.faceIndices.size(); ++i)
        out->SetIndexAt(i, split.faceIndices[i]);
    for (DWORD c = 0; c < split.table.size(); ++c)
        for (DWORD f = 0; f < split.table[c].FaceCount; ++f)
            out->Attributes()[split.table[c].FaceStart + f] = c;
    out->SetAttributeTable(split.table);
    return out;
}

// The records first, then every record's palette of bone ids, in one buffer.
D3DXBuffer* CombinationTable(const std::vector<Combination>& combinations, const std::vector<D3DXATTRIBUTERANGE>& table,
                             DWORD paletteSize)
{
    const size_t recordBytes = combinations.size() * sizeof(D3DXBONECOMBINATION);
    auto* buffer = new D3DXBuffer(recordBytes + combinations.size() * paletteSize * sizeof(DWORD));
    auto* records = static_cast<D3DXBONECOMBINATION*>(buffer->GetBufferPointer());
    auto* ids = reinterpret_cast<DWORD*>(static_cast<uint8_t*>(buffer->GetBufferPointer()) + recordBytes);
    for (DWORD c = 0; c < combinations.size(); ++c) {
        DWORD* palette = ids + static_cast<size_t>(c) * paletteSize;
        for (DWORD k = 0; k < paletteSize; ++k)
            palette[k] = k < combinations[c].bones.size() ? combinations[c].bones[k] : NO_BONE;
        records[c] = {combinations[c].attribute, table[c].FaceStart,   table[c].FaceCount,
                      table[c].VertexStart,      table[c].VertexCount, palette};
    }
    return buffer;
}

} // namespace

LPCSTR SkinInfo::GetBoneName(DWORD bone)
{
    return bone < bones_.size() ? bones_[bone].name.c_str() : nullptr;
}

D3DXMATRIX* SkinInfo::GetBoneOffsetMatrix(DWORD bone)
{
    return bone < bones_.size() ? &bones_[bone].offset : nullptr;
}

DWORD SkinInfo::GetNumBoneInfluences(DWORD bone)
{
    return bone < bones_.size() ? static_cast<DWORD>(bones_[bone].vertices.size()) : 0;
}

HRESULT SkinInfo::GetBoneInfluence(DWORD bone, DWORD* vertices, FLOAT* weights)
{
    if (bone >= bones_.size() || !vertices || !weights)
        return D3DERR_INVALIDCALL;
    std::copy(bones_[bone].vertices.begin(), bones_[bone].vertices.end(), vertices);
    std::copy(bones_[bone].weights.begin(), bones_[bone].weights.end(), weights);
    return D3D_OK;
}

HRESULT SkinInfo::GetMaxVertexInfluences(DWORD* maxVertexInfluences)
{
    if (!maxVertexInfluences)
        return D3DERR_INVALIDCALL;
    std::vector<DWORD> counts(numVertices_, 0);
    for (const Bone& bone : bones_)
        for (size_t i = 0; i < bone.vertices.size(); ++i)
            if (bone.weights[i] > 0.0f)
                ++counts[bone.vertices[i]];
    *maxVertexInfluences = counts.empty() ? 0 : *std::max_element(counts.begin(), counts.end());
    return D3D_OK;
}

HRESULT SkinInfo::ConvertToIndexedBlendedMesh(ID3DXMesh* meshIn, DWORD options, DWORD paletteSize, const DWORD*,
                                              DWORD* adjacencyOut, DWORD* faceRemap, ID3DXBuffer** vertexRemap,
                                              DWORD* maxFaceInfl, DWORD* numBoneCombinations,
                                              ID3DXBuffer** boneCombinationTable, ID3DXMesh** meshOut)
{
    if (meshOut)
        *meshOut = nullptr;
    if (boneCombinationTable)
        *boneCombinationTable = nullptr;
    if (vertexRemap)
        *vertexRemap = nullptr;
    auto* source = dynamic_cast<Mesh*>(meshIn);
    if (!source || !meshOut || !boneCombinationTable || paletteSize == 0 || source->GetNumVertices() != numVertices_ ||
        (source->GetFVF() & D3DFVF_POSITION_MASK) != D3DFVF_XYZ)
        return D3DERR_INVALIDCALL;

    DWORD maxInfluences = 1;
    const std::vector<Influences> influences = StrongestInfluences(bones_, numVertices_, maxInfluences);
    std::vector<Combination> combinations;
    if (!GroupFaces(*source, source->Attributes(), influences, paletteSize, combinations))
        return D3DERR_INVALIDCALL;
    const SplitVertices split = Split(*source, combinations, influences);

    const DWORD fvf = (source->GetFVF() & ~D3DFVF_POSITION_MASK & ~D3DFVF_LASTBETA_D3DCOLOR) |
                      (D3DFVF_XYZB1 + 2 * (maxInfluences - 1)) | D3DFVF_LASTBETA_UBYTE4;
    Mesh* out = BuildMesh(*source, options & ~D3DXMESH_32BIT, fvf, split, influences, maxInfluences);
    if (!out)
        return D3DERR_INVALIDCALL;
    D3DXBuffer* buffer = CombinationTable(combinations, split.table, paletteSize);

    const DWORD numFaces = source->GetNumFaces();
    if (faceRemap) {
        DWORD n = 0;
        for (const Combination& combination : combinations)
            for (DWORD face : combination.faces)
                faceRemap[n++] = face;
    }
    if (adjacencyOut)
        std::fill(adjacencyOut, adjacencyOut + static_cast<size_t>(numFaces) * 3, 0xFFFFFFFFu);
    if (vertexRemap) {
        auto* remap = new D3DXBuffer(split.newToOld.size() * sizeof(DWORD));
        std::memcpy(remap->GetBufferPointer(), split.newToOld.data(), split.newToOld.size() * sizeof(DWORD));
        *vertexRemap = remap;
    }
    if (maxFaceInfl)
        *maxFaceInfl = maxInfluences;
    if (numBoneCombinations)
        *numBoneCombinations = static_cast<DWORD>(combinations.size());
    *boneCombinationTable = buffer;
    *meshOut = out;
    return D3D_OK;
}
