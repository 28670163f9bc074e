#pragma once
// Platform-internal: ID3DXMesh. Vertices, indices and face attributes live in CPU arrays; the device's
// vertex and index buffers are made at the first draw (on the drawing thread) and refilled only after
// an unlock changed the arrays, so loading never touches the device and drawing never copies per frame.

#include "d3d9/FvfLayout.h"
#include "d3dx9/D3DX9Mesh.h"
#include "win32/ComObject.h"

#include <cstdint>
#include <vector>

class Mesh : public ComObject<ID3DXMesh>
{
public:
    // A mesh of the given size with zeroed contents; null for a format without a layout.
    static Mesh* Create(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf, IDirect3DDevice9* device);

    HRESULT DrawSubset(DWORD attribId) override;
    DWORD GetNumFaces() override { return numFaces_; }
    DWORD GetNumVertices() override { return numVertices_; }
    DWORD GetFVF() override { return fvf_; }
    HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) override;
    DWORD GetNumBytesPerVertex() override { return layout_.stride; }
    DWORD GetOptions() override { return options_; }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, ID3DXMesh** cloneMesh) override;
    HRESULT CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                      ID3DXMesh** cloneMesh) override;
    HRESULT LockVertexBuffer(DWORD flags, void** data) override;
    HRESULT UnlockVertexBuffer() override;
    HRESULT LockIndexBuffer(DWORD flags, void** data) override;
    HRESULT UnlockIndexBuffer() override;
    HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize) override;
    HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) override;
    HRESULT UnlockAttributeBuffer() override;
    HRESULT UpdateSemantics(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) override;

    // For the loader and the skin conversion.
    const FvfLayout& Layout() const { return layout_; }
    uint8_t* Vertices() { return vertices_.data(); }
    bool Uses32BitIndices() const { return (options_ & D3DXMESH_32BIT) != 0; }
    uint32_t IndexAt(size_t i) const;
    void SetIndexAt(size_t i, uint32_t value);
    std::vector<DWORD>& Attributes() { return attributes_; }
    // Sets the attribute table; without one, DrawSubset finds the faces of an attribute by scanning.
    void SetAttributeTable(std::vector<D3DXATTRIBUTERANGE> table) { table_ = std::move(table); }
    // One range per run of equal attributes, for meshes whose faces are sorted by attribute.
    void BuildAttributeTable();
    // Counts of device uploads, for tests that check drawing does not copy every frame.
    uint32_t UploadCount() const { return uploads_; }

protected:
    ~Mesh() override;

private:
    Mesh() = default;
    bool Upload();

    IDirect3DDevice9* device_ = nullptr;
    DWORD options_ = 0;
    DWORD fvf_ = 0;
    FvfLayout layout_{};
    DWORD numFaces_ = 0;
    DWORD numVertices_ = 0;
    std::vector<uint8_t> vertices_;
    std::vector<uint8_t> indices_;
    std::vector<DWORD> attributes_;
    std::vector<D3DXATTRIBUTERANGE> table_;
    std::vector<D3DVERTEXELEMENT9> semantics_; // set by UpdateSemantics
    IDirect3DVertexBuffer9* vertexBuffer_ = nullptr;
    IDirect3DIndexBuffer9* indexBuffer_ = nullptr;
    bool dirty_ = true;
    uint32_t uploads_ = 0;
};
