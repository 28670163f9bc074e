#include "d3dx9/Mesh.h"

#include "d3dx9/D3DXBuffer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD MAX_16BIT_VERTICES = 0xFFFF;
constexpr D3DVERTEXELEMENT9 DECL_END = {0xFF, 0, D3DDECLTYPE_UNUSED, 0, 0, 0};

void CopyElement(uint8_t* to, INT toOffset, UINT toSize, const uint8_t* from, INT fromOffset, UINT fromSize)
{
    if (toOffset < 0 || fromOffset < 0)
        return;
    std::memcpy(to + toOffset, from + fromOffset, std::min(toSize, fromSize));
}

} // namespace

HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE])
{
    if (!declaration)
        return D3DERR_INVALIDCALL;
    const FvfLayout layout = DecodeFvf(fvf);
    if (!layout.valid)
        return D3DERR_INVALIDCALL;
    UINT n = 0;
    auto add = [&](INT offset, BYTE type, BYTE usage, BYTE usageIndex) {
        declaration[n++] = {0, static_cast<WORD>(offset), type, D3DDECLMETHOD_DEFAULT, usage, usageIndex};
    };
    if (layout.pretransformed)
        add(0, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
    else
        add(0, layout.positionSize == 4 ? D3DDECLTYPE_FLOAT4 : D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
    if (layout.blendWeightOffset >= 0)
        add(layout.blendWeightOffset, static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + layout.blendWeightCount - 1),
            D3DDECLUSAGE_BLENDWEIGHT, 0);
    if (layout.blendIndicesOffset >= 0)
        add(layout.blendIndicesOffset, layout.blendIndicesAreColor ? D3DDECLTYPE_D3DCOLOR : D3DDECLTYPE_UBYTE4,
            D3DDECLUSAGE_BLENDINDICES, 0);
    if (layout.normalOffset >= 0)
        add(layout.normalOffset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (layout.pointSizeOffset >= 0)
        add(layout.pointSizeOffset, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (layout.diffuseOffset >= 0)
        add(layout.diffuseOffset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (layout.specularOffset >= 0)
        add(layout.specularOffset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    for (UINT set = 0; set < layout.texCoordCount; ++set)
        add(layout.texCoordOffset[set], static_cast<BYTE>(D3DDECLTYPE_FLOAT1 + layout.texCoordSize[set] - 1),
            D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(set));
    declaration[n] = DECL_END;
    return D3D_OK;
}

Mesh* Mesh::Create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device)
{
    const FvfLayout layout = DecodeFvf(fvf);
    if (!layout.valid || numFaces == 0 || numVertices == 0)
        return nullptr;
    if (numVertices > MAX_16BIT_VERTICES + 1)
        options |= D3DXMESH_32BIT;
    auto* mesh = new Mesh;
    mesh->device_ = device;
    if (device)
        device->AddRef();
    mesh->options_ = options;
    mesh->fvf_ = fvf;
    mesh->layout_ = layout;
    mesh->numFaces_ = numFaces;
    mesh->numVertices_ = numVertices;
    mesh->vertices_.assign(static_cast<size_t>(numVertices) * layout.stride, 0);
    mesh->indices_.assign(static_cast<size_t>(numFaces) * 3 * ((options & D3DXMESH_32BIT) ? 4 : 2), 0);
    mesh->attributes_.assign(numFaces, 0);
    return mesh;
}

Mesh::~Mesh()
{
    if (vertexBuffer_)
        vertexBuffer_->Release();
    if (indexBuffer_)
        indexBuffer_->Release();
    if (device_)
        device_->Release();
}

uint32_t Mesh::IndexAt(size_t i) const
{
    if (Uses32BitIndices()) {
        uint32_t value;
        std::memcpy(&value, indices_.data() + i * 4, 4);
        return value;
    }
    uint16_t value;
    std::memcpy(&value, indices_.data() + i * 2, 2);
    return value;
}

void Mesh::SetIndexAt(size_t i, uint32_t value)
{
    if (Uses32BitIndices()) {
        std::memcpy(indices_.data() + i * 4, &value, 4);
    } else {
        const uint16_t narrow = static_cast<uint16_t>(value);
        std::memcpy(indices_.data() + i * 2, &narrow, 2);
    }
}

void Mesh::BuildAttributeTable()
{
    table_.clear();
    for (DWORD face = 0; face < numFaces_; ++face) {
        if (table_.empty() || table_.back().AttribId != attributes_[face])
            table_.push_back({attributes_[face], face, 0, 0, 0});
        ++table_.back().FaceCount;
    }
    for (D3DXATTRIBUTERANGE& range : table_) {
        uint32_t low = UINT32_MAX, high = 0;
        for (DWORD i = range.FaceStart * 3; i < (range.FaceStart + range.FaceCount) * 3; ++i) {
            low = std::min(low, IndexAt(i));
            high = std::max(high, IndexAt(i));
        }
        range.VertexStart = low;
        range.VertexCount = high - low + 1;
    }
}

bool Mesh::Upload()
{
    if (!dirty_ && vertexBuffer_ && indexBuffer_)
        return true;
    if (!device_)
        return false;
    if (!vertexBuffer_ && FAILED(device_->CreateVertexBuffer(static_cast<UINT>(vertices_.size()), D3DUSAGE_WRITEONLY,
                                                             fvf_, D3DPOOL_MANAGED, &vertexBuffer_, nullptr)))
        return false;
    if (!indexBuffer_ && FAILED(device_->CreateIndexBuffer(static_cast<UINT>(indices_.size()), D3DUSAGE_WRITEONLY,
                                                           Uses32BitIndices() ? D3DFMT_INDEX32 : D3DFMT_INDEX16,
                                                           D3DPOOL_MANAGED, &indexBuffer_, nullptr)))
        return false;
    void* data = nullptr;
    if (FAILED(vertexBuffer_->Lock(0, 0, &data, 0)))
        return false;
    std::memcpy(data, vertices_.data(), vertices_.size());
    vertexBuffer_->Unlock();
    if (FAILED(indexBuffer_->Lock(0, 0, &data, 0)))
        return false;
    std::memcpy(data, indices_.data(), indices_.size());
    indexBuffer_->Unlock();
    dirty_ = false;
    ++uploads_;
    return true;
}

HRESULT Mesh::DrawSubset(DWORD attribId)
{
    if (!Upload())
        return D3DERR_INVALIDCALL;
    device_->SetStreamSource(0, vertexBuffer_, 0, layout_.stride);
    device_->SetIndices(indexBuffer_);
    device_->SetFVF(fvf_);
    if (!table_.empty()) {
        for (const D3DXATTRIBUTERANGE& range : table_)
            if (range.AttribId == attribId && range.FaceCount > 0)
                device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, range.VertexStart, range.VertexCount,
                                              range.FaceStart * 3, range.FaceCount);
        return D3D_OK;
    }
    DWORD face = 0;
    while (face < numFaces_) {
        if (attributes_[face] != attribId) {
            ++face;
            continue;
        }
        const DWORD start = face;
        while (face < numFaces_ && attributes_[face] == attribId)
            ++face;
        device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, numVertices_, start * 3, face - start);
    }
    return D3D_OK;
}

HRESULT Mesh::GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE])
{
    if (!declaration)
        return D3DERR_INVALIDCALL;
    if (semantics_.empty())
        return D3DXDeclaratorFromFVF(fvf_, declaration);
    std::copy(semantics_.begin(), semantics_.end(), declaration);
    return D3D_OK;
}

HRESULT Mesh::UpdateSemantics(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE])
{
    if (!declaration)
        return D3DERR_INVALIDCALL;
    D3DVERTEXELEMENT9 current[MAX_FVF_DECL_SIZE];
    D3DXDeclaratorFromFVF(fvf_, current);
    std::vector<D3DVERTEXELEMENT9> updated;
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE; ++i) {
        updated.push_back(declaration[i]);
        const bool endGiven = declaration[i].Stream == 0xFF;
        const bool endCurrent = current[i].Stream == 0xFF;
        if (endGiven != endCurrent)
            return D3DERR_INVALIDCALL;
        if (endGiven)
            break;
        // The four index bytes may be read as UBYTE4 or D3DCOLOR alike; nothing else may move or resize.
        const bool sameSize =
            declaration[i].Type == current[i].Type ||
            ((declaration[i].Type == D3DDECLTYPE_D3DCOLOR || declaration[i].Type == D3DDECLTYPE_UBYTE4) &&
             (current[i].Type == D3DDECLTYPE_D3DCOLOR || current[i].Type == D3DDECLTYPE_UBYTE4));
        if (declaration[i].Offset != current[i].Offset || declaration[i].Stream != 0 || !sameSize)
            return D3DERR_INVALIDCALL;
    }
    semantics_ = std::move(updated);
    return D3D_OK;
}

HRESULT Mesh::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    *device = device_;
    if (device_)
        device_->AddRef();
    return D3D_OK;
}

HRESULT Mesh::CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** cloneMesh)
{
    if (!cloneMesh)
        return D3DERR_INVALIDCALL;
    *cloneMesh = nullptr;
    if ((options & D3DXMESH_32BIT) == 0 && numVertices_ > MAX_16BIT_VERTICES + 1)
        options |= D3DXMESH_32BIT;
    Mesh* clone = Create(numFaces_, numVertices_, options, fvf, device ? device : device_);
    if (!clone)
        return D3DERR_INVALIDCALL;
    const FvfLayout& to = clone->layout_;
    for (DWORD v = 0; v < numVertices_; ++v) {
        uint8_t* out = clone->vertices_.data() + static_cast<size_t>(v) * to.stride;
        const uint8_t* in = vertices_.data() + static_cast<size_t>(v) * layout_.stride;
        CopyElement(out, 0, to.positionSize * 4, in, 0, layout_.positionSize * 4);
        CopyElement(out, to.blendWeightOffset, to.blendWeightCount * 4, in, layout_.blendWeightOffset,
                    layout_.blendWeightCount * 4);
        CopyElement(out, to.blendIndicesOffset, 4, in, layout_.blendIndicesOffset, 4);
        CopyElement(out, to.normalOffset, 12, in, layout_.normalOffset, 12);
        CopyElement(out, to.pointSizeOffset, 4, in, layout_.pointSizeOffset, 4);
        CopyElement(out, to.diffuseOffset, 4, in, layout_.diffuseOffset, 4);
        CopyElement(out, to.specularOffset, 4, in, layout_.specularOffset, 4);
        for (UINT set = 0; set < std::min(to.texCoordCount, layout_.texCoordCount); ++set)
            CopyElement(out, to.texCoordOffset[set], to.texCoordSize[set] * 4, in, layout_.texCoordOffset[set],
                        layout_.texCoordSize[set] * 4);
    }
    for (size_t i = 0; i < static_cast<size_t>(numFaces_) * 3; ++i)
        clone->SetIndexAt(i, IndexAt(i));
    clone->attributes_ = attributes_;
    clone->table_ = table_;
    *cloneMesh = clone;
    return D3D_OK;
}

HRESULT Mesh::CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                        ID3DXMesh** cloneMesh)
{
    if (!cloneMesh || !declaration)
        return D3DERR_INVALIDCALL;
    *cloneMesh = nullptr;
    // Declarations that a vertex format can express are cloned through that format.
    DWORD fvf = 0;
    UINT weights = 0;
    bool indices = false;
    UINT texSets = 0;
    for (UINT i = 0; i < MAX_FVF_DECL_SIZE && declaration[i].Stream != 0xFF; ++i) {
        const D3DVERTEXELEMENT9& e = declaration[i];
        switch (e.Usage) {
        case D3DDECLUSAGE_POSITION:
            fvf |= D3DFVF_XYZ;
            break;
        case D3DDECLUSAGE_POSITIONT:
            fvf |= D3DFVF_XYZRHW;
            break;
        case D3DDECLUSAGE_BLENDWEIGHT:
            weights = static_cast<UINT>(e.Type - D3DDECLTYPE_FLOAT1) + 1;
            break;
        case D3DDECLUSAGE_BLENDINDICES:
            indices = true;
            break;
        case D3DDECLUSAGE_NORMAL:
            fvf |= D3DFVF_NORMAL;
            break;
        case D3DDECLUSAGE_PSIZE:
            fvf |= D3DFVF_PSIZE;
            break;
        case D3DDECLUSAGE_COLOR:
            fvf |= e.UsageIndex == 0 ? D3DFVF_DIFFUSE : D3DFVF_SPECULAR;
            break;
        case D3DDECLUSAGE_TEXCOORD:
            texSets = std::max<UINT>(texSets, e.UsageIndex + 1u);
            break;
        default:
            return D3DERR_INVALIDCALL;
        }
    }
    const UINT betas = weights + (indices ? 1 : 0);
    if (betas > 0) {
        if (betas > 5 || (fvf & D3DFVF_POSITION_MASK) != D3DFVF_XYZ)
            return D3DERR_INVALIDCALL;
        fvf = (fvf & ~D3DFVF_POSITION_MASK) | (D3DFVF_XYZB1 + 2 * (betas - 1));
        if (indices)
            fvf |= D3DFVF_LASTBETA_UBYTE4;
    }
    fvf |= static_cast<DWORD>(std::min<UINT>(texSets, 8)) << D3DFVF_TEXCOUNT_SHIFT;
    return CloneMeshFVF(options, fvf, device, cloneMesh);
}

HRESULT Mesh::LockVertexBuffer(DWORD, void** data)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = vertices_.data();
    return D3D_OK;
}

HRESULT Mesh::UnlockVertexBuffer()
{
    dirty_ = true;
    return D3D_OK;
}

HRESULT Mesh::LockIndexBuffer(DWORD, void** data)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = indices_.data();
    return D3D_OK;
}

HRESULT Mesh::UnlockIndexBuffer()
{
    dirty_ = true;
    return D3D_OK;
}

HRESULT Mesh::GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize)
{
    if (!attribTableSize && !attribTable)
        return D3DERR_INVALIDCALL;
    if (attribTableSize)
        *attribTableSize = static_cast<DWORD>(table_.size());
    if (attribTable)
        std::copy(table_.begin(), table_.end(), attribTable);
    return D3D_OK;
}

HRESULT Mesh::LockAttributeBuffer(DWORD, DWORD** data)
{
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = attributes_.data();
    return D3D_OK;
}

HRESULT Mesh::UnlockAttributeBuffer()
{
    return D3D_OK;
}

HRESULT D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device,
                          ID3DXMesh** mesh)
{
    if (!mesh)
        return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (!device)
        return D3DERR_INVALIDCALL;
    Mesh* created = Mesh::Create(numFaces, numVertices, options, fvf, device);
    if (!created)
        return D3DERR_INVALIDCALL;
    *mesh = created;
    return D3D_OK;
}

HRESULT D3DXComputeNormals(ID3DXMesh* mesh, const DWORD*)
{
    auto* target = dynamic_cast<Mesh*>(mesh);
    if (!target || target->Layout().normalOffset < 0 || target->Layout().positionSize != 3)
        return D3DERR_INVALIDCALL;
    const FvfLayout& layout = target->Layout();
    const DWORD vertices = target->GetNumVertices();
    std::vector<D3DXVECTOR3> sums(vertices, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    auto position = [&](uint32_t v) {
        D3DXVECTOR3 p;
        std::memcpy(&p, target->Vertices() + static_cast<size_t>(v) * layout.stride, 12);
        return p;
    };
    for (DWORD face = 0; face < target->GetNumFaces(); ++face) {
        uint32_t v[3];
        for (int c = 0; c < 3; ++c)
            v[c] = target->IndexAt(static_cast<size_t>(face) * 3 + c);
        if (v[0] >= vertices || v[1] >= vertices || v[2] >= vertices)
            continue;
        // The cross product's length is twice the face's area, so larger faces weigh more. Clockwise
        // faces face the viewer in D3D, hence edge1 x edge2 in this order.
        const D3DXVECTOR3 e1 = position(v[1]) - position(v[0]);
        const D3DXVECTOR3 e2 = position(v[2]) - position(v[0]);
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        for (uint32_t corner : v)
            sums[corner] += n;
    }
    for (DWORD v = 0; v < vertices; ++v) {
        D3DXVECTOR3 n;
        D3DXVec3Normalize(&n, &sums[v]);
        std::memcpy(target->Vertices() + static_cast<size_t>(v) * layout.stride + layout.normalOffset, &n, 12);
    }
    target->UnlockVertexBuffer();
    return D3D_OK;
}

HRESULT D3DXCreateBox(IDirect3DDevice9* device, FLOAT width, FLOAT height, FLOAT depth, ID3DXMesh** mesh,
                      ID3DXBuffer** adjacency)
{
    if (adjacency)
        *adjacency = nullptr;
    if (!mesh)
        return D3DERR_INVALIDCALL;
    *mesh = nullptr;
    if (!device || !(width >= 0.0f) || !(height >= 0.0f) || !(depth >= 0.0f))
        return D3DERR_INVALIDCALL;
    Mesh* box = Mesh::Create(12, 24, D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_NORMAL, device);
    const float x = width / 2, y = height / 2, z = depth / 2;
    // Per side: the outward normal and four corners, clockwise seen from outside.
    struct Side {
        D3DXVECTOR3 normal;
        D3DXVECTOR3 corners[4];
    };
    const Side sides[6] = {
        {{-1, 0, 0}, {{-x, -y, z}, {-x, y, z}, {-x, y, -z}, {-x, -y, -z}}},
        {{1, 0, 0}, {{x, -y, -z}, {x, y, -z}, {x, y, z}, {x, -y, z}}},
        {{0, -1, 0}, {{-x, -y, z}, {-x, -y, -z}, {x, -y, -z}, {x, -y, z}}},
        {{0, 1, 0}, {{-x, y, -z}, {-x, y, z}, {x, y, z}, {x, y, -z}}},
        {{0, 0, -1}, {{-x, -y, -z}, {-x, y, -z}, {x, y, -z}, {x, -y, -z}}},
        {{0, 0, 1}, {{x, -y, z}, {x, y, z}, {-x, y, z}, {-x, -y, z}}},
    };
    for (int s = 0; s < 6; ++s) {
        for (int c = 0; c < 4; ++c) {
            uint8_t* v = box->Vertices() + static_cast<size_t>(s * 4 + c) * 24;
            std::memcpy(v, &sides[s].corners[c], 12);
            std::memcpy(v + 12, &sides[s].normal, 12);
        }
        const uint32_t base = static_cast<uint32_t>(s * 4);
        const uint32_t quad[6] = {base, base + 1, base + 2, base, base + 2, base + 3};
        for (int i = 0; i < 6; ++i)
            box->SetIndexAt(static_cast<size_t>(s) * 6 + i, quad[i]);
    }
    box->BuildAttributeTable();
    if (adjacency) {
        auto* buffer = new D3DXBuffer(12 * 3 * sizeof(DWORD));
        std::fill_n(static_cast<DWORD*>(buffer->GetBufferPointer()), 36, 0xFFFFFFFFu);
        *adjacency = buffer;
    }
    *mesh = box;
    return D3D_OK;
}
