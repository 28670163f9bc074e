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

    // The strongest four influences of every vertex, their weights scaled to sum to one.
    std::vector<std::vector<std::pair<float, DWORD>>> all(numVertices_);
    for (DWORD b = 0; b < bones_.size(); ++b)
        for (size_t i = 0; i < bones_[b].vertices.size(); ++i)
            if (bones_[b].weights[i] > 0.0f)
                all[bones_[b].vertices[i]].push_back({bones_[b].weights[i], b});
    std::vector<Influences> influences(numVertices_);
    DWORD maxInfluences = 1;
    for (DWORD v = 0; v < numVertices_; ++v) {
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

    // Faces by attribute, then greedily into combinations whose bones fit the palette.
    const DWORD numFaces = source->GetNumFaces();
    const std::vector<DWORD>& attributes = source->Attributes();
    std::vector<DWORD> order(numFaces);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](DWORD a, DWORD b) { return attributes[a] < attributes[b]; });

    struct Combination {
        DWORD attribute = 0;
        std::vector<DWORD> bones;
        std::vector<DWORD> faces;
    };
    std::vector<Combination> combinations;
    for (DWORD face : order) {
        std::vector<DWORD> needed;
        for (int corner = 0; corner < 3; ++corner) {
            const uint32_t v = source->IndexAt(static_cast<size_t>(face) * 3 + corner);
            if (v >= numVertices_)
                return D3DERR_INVALIDCALL;
            for (DWORD i = 0; i < influences[v].count; ++i)
                if (std::find(needed.begin(), needed.end(), influences[v].bones[i]) == needed.end())
                    needed.push_back(influences[v].bones[i]);
        }
        if (needed.size() > paletteSize)
            return D3DERR_INVALIDCALL;
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

    // Vertices shared between combinations are duplicated: palette slots differ from one to the next.
    std::vector<DWORD> newToOld;
    std::vector<DWORD> faceIndices;
    std::vector<D3DXATTRIBUTERANGE> table;
    std::vector<std::array<BYTE, MAX_INFLUENCES>> slots;
    faceIndices.reserve(static_cast<size_t>(numFaces) * 3);
    std::vector<DWORD> local(numVertices_, NO_BONE);
    for (DWORD c = 0; c < combinations.size(); ++c) {
        const Combination& combination = combinations[c];
        D3DXATTRIBUTERANGE range{c, static_cast<DWORD>(faceIndices.size() / 3),
                                 static_cast<DWORD>(combination.faces.size()), static_cast<DWORD>(newToOld.size()), 0};
        std::fill(local.begin(), local.end(), NO_BONE);
        for (DWORD face : combination.faces) {
            for (int corner = 0; corner < 3; ++corner) {
                const uint32_t v = source->IndexAt(static_cast<size_t>(face) * 3 + corner);
                if (local[v] == NO_BONE) {
                    local[v] = static_cast<DWORD>(newToOld.size());
                    newToOld.push_back(v);
                    std::array<BYTE, MAX_INFLUENCES> vertexSlots{};
                    for (DWORD i = 0; i < influences[v].count; ++i)
                        vertexSlots[i] = static_cast<BYTE>(
                            std::find(combination.bones.begin(), combination.bones.end(), influences[v].bones[i]) -
                            combination.bones.begin());
                    slots.push_back(vertexSlots);
                }
                faceIndices.push_back(local[v]);
            }
        }
        range.VertexCount = static_cast<DWORD>(newToOld.size()) - range.VertexStart;
        table.push_back(range);
    }

    const DWORD fvf = (source->GetFVF() & ~D3DFVF_POSITION_MASK & ~D3DFVF_LASTBETA_D3DCOLOR) |
                      (D3DFVF_XYZB1 + 2 * (maxInfluences - 1)) | D3DFVF_LASTBETA_UBYTE4;
    IDirect3DDevice9* device = nullptr;
    source->GetDevice(&device);
    Mesh* out = Mesh::Create(numFaces, static_cast<DWORD>(newToOld.size()), options & ~D3DXMESH_32BIT, fvf, device);
    if (device)
        device->Release();
    if (!out)
        return D3DERR_INVALIDCALL;
    ID3DXMesh* widened = nullptr;
    // Copy the other elements through a clone of the source into the new format, then pick vertices.
    if (FAILED(source->CloneMeshFVF(options & ~D3DXMESH_32BIT, fvf, nullptr, &widened))) {
        out->Release();
        return D3DERR_INVALIDCALL;
    }
    auto* wide = static_cast<Mesh*>(widened);
    const FvfLayout& layout = out->Layout();
    for (size_t v = 0; v < newToOld.size(); ++v) {
        uint8_t* vertex = out->Vertices() + v * layout.stride;
        std::memcpy(vertex, wide->Vertices() + static_cast<size_t>(newToOld[v]) * layout.stride, layout.stride);
        const Influences& inf = influences[newToOld[v]];
        for (DWORD i = 0; i + 1 < maxInfluences; ++i)
            std::memcpy(vertex + layout.blendWeightOffset + i * 4, &inf.weights[i], 4);
        std::memcpy(vertex + layout.blendIndicesOffset, slots[v].data(), 4);
    }
    widened->Release();
    for (size_t i = 0; i < faceIndices.size(); ++i)
        out->SetIndexAt(i, faceIndices[i]);
    for (DWORD c = 0; c < combinations.size(); ++c)
        for (DWORD f = 0; f < table[c].FaceCount; ++f)
            out->Attributes()[table[c].FaceStart + f] = c;
    out->SetAttributeTable(table);

    // The records first, then every record's palette of bone ids, in one buffer.
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

    if (faceRemap) {
        DWORD n = 0;
        for (const Combination& combination : combinations)
            for (DWORD face : combination.faces)
                faceRemap[n++] = face;
    }
    if (adjacencyOut)
        std::fill(adjacencyOut, adjacencyOut + static_cast<size_t>(numFaces) * 3, 0xFFFFFFFFu);
    if (vertexRemap) {
        auto* remap = new D3DXBuffer(newToOld.size() * sizeof(DWORD));
        std::memcpy(remap->GetBufferPointer(), newToOld.data(), newToOld.size() * sizeof(DWORD));
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
