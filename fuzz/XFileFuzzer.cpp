// Links: platform_d3dx9 platform_d3d9_null
// Text .x files through both loaders on the null device: the hierarchy with its skin converted for a
// small palette and its controller advanced, and the single mesh.
#include "d3d9/D3D9.h"
#include "d3dx9/D3DX9.h"
#include "win32/Log.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class Allocator : public ID3DXAllocateHierarchy
{
public:
    HRESULT CreateFrame(LPCSTR name, D3DXFRAME** frame) override
    {
        *frame = new D3DXFRAME{};
        (*frame)->Name = Copy(name ? name : "");
        return D3D_OK;
    }

    HRESULT CreateMeshContainer(LPCSTR name, const D3DXMESHDATA* data, const D3DXMATERIAL*, const D3DXEFFECTINSTANCE*,
                                DWORD, const DWORD*, ID3DXSkinInfo* skin, D3DXMESHCONTAINER** out) override
    {
        auto* container = new D3DXMESHCONTAINER{};
        container->Name = Copy(name ? name : "");
        container->MeshData = *data;
        data->pMesh->AddRef();
        container->pSkinInfo = skin;
        if (skin) {
            skin->AddRef();
            ID3DXMesh* converted = nullptr;
            ID3DXBuffer* table = nullptr;
            DWORD influences = 0, combinations = 0;
            if (SUCCEEDED(skin->ConvertToIndexedBlendedMesh(data->pMesh, 0, 4, nullptr, nullptr, nullptr, nullptr,
                                                            &influences, &combinations, &table, &converted))) {
                converted->Release();
                table->Release();
            }
        }
        *out = container;
        return D3D_OK;
    }

    HRESULT DestroyFrame(D3DXFRAME* frame) override
    {
        delete[] frame->Name;
        delete frame;
        return D3D_OK;
    }

    HRESULT DestroyMeshContainer(D3DXMESHCONTAINER* container) override
    {
        delete[] container->Name;
        container->MeshData.pMesh->Release();
        if (container->pSkinInfo)
            container->pSkinInfo->Release();
        delete container;
        return D3D_OK;
    }

private:
    static char* Copy(const char* text)
    {
        char* copy = new char[std::strlen(text) + 1];
        std::strcpy(copy, text);
        return copy;
    }
};

IDirect3DDevice9* Device()
{
    static IDirect3DDevice9* device = [] {
        // The null device still opens the window layer, which needs no display with the dummy driver; without
        // it, on a machine with no display, no device is made and no input would reach the loaders.
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        D3D9SetBackEnd(D3D9_BACKEND_NULL);
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!d3d)
            return static_cast<IDirect3DDevice9*>(nullptr);
        D3DPRESENT_PARAMETERS pp{};
        pp.BackBufferWidth = 64;
        pp.BackBufferHeight = 64;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.BackBufferCount = 1;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        pp.Windowed = TRUE;
        IDirect3DDevice9* made = nullptr;
        d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &made);
        return made;
    }();
    return device;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    IDirect3DDevice9* device = Device();
    if (!device) {
        // Passing every input untested would report a clean run: this target fails instead.
        std::fputs("XFileFuzzer: the null device cannot be made, so no input can be loaded\n", stderr);
        std::abort();
    }
    // Bad inputs are the point here: their messages are kept, not printed.
    LogCapture quiet;
    Allocator allocator;
    D3DXFRAME* root = nullptr;
    ID3DXAnimationController* controller = nullptr;
    if (SUCCEEDED(D3DXLoadMeshHierarchyFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_MANAGED, device,
                                                     &allocator, nullptr, &root, &controller))) {
        if (controller) {
            controller->AdvanceTime(0.3, nullptr);
            controller->Release();
        }
        D3DXFrameDestroy(root, &allocator);
    }
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* materials = nullptr;
    if (SUCCEEDED(D3DXLoadMeshFromXInMemory(data, static_cast<DWORD>(size), D3DXMESH_MANAGED, device, nullptr,
                                            &materials, nullptr, nullptr, &mesh))) {
        mesh->DrawSubset(0);
        mesh->Release();
        if (materials)
            materials->Release();
    }
    return 0;
}
