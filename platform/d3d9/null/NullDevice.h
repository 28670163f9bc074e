#pragma once
// The device without a GPU: every resource lives in memory, clears fill the render target's system
// copy (so LockRect on the back buffer reads the cleared colour back), draws and presents are counted
// and the last of each is kept, so tests can look at what the game asked for.

#include "d3d9/DeviceBase.h"
#include "d3d9/null/NullDeviceConfig.h"

#include <vector>

class NullDevice : public DeviceBase
{
public:
    struct DrawRecord {
        D3DPRIMITIVETYPE primitiveType = D3DPT_TRIANGLELIST;
        UINT primitiveCount = 0;
        DWORD fvf = 0;
        bool indexed = false;
        bool userPointer = false; // a ...UP draw
        UINT vertexCount = 0; // non-indexed: vertices; indexed: indices
        ShaderProgram* program = nullptr; // not referenced; compare only
        Texture* texture0 = nullptr; // not referenced; compare only
        Surface* renderTarget = nullptr; // not referenced; compare only
        DWORD blendOp = 0; // the blend states in force for the draw
        DWORD destBlend = 0;
        DWORD zWriteEnable = 0;
        DWORD alphaBlendEnable = 0;
        DWORD alphaTestEnable = 0;
        DWORD zEnable = 0; // the depth and stencil tests and the colour mask in force
        DWORD zFunc = 0;
        DWORD stencilEnable = 0;
        DWORD stencilFunc = 0;
        DWORD stencilRef = 0;
        DWORD stencilPass = 0;
        DWORD colorWriteEnable = 0;
        DWORD fogEnable = 0;
        DWORD mipFilter0 = 0; // how sampler 0 goes between mip levels
        float minZ = 0.0f; // the viewport's depth range
        float maxZ = 1.0f;
        bool scissor = false; // the scissor test and its rectangle
        RECT scissorRect{};
        UINT scenesEnded = 0; // scenes the device was handed before this draw
    };
    struct ClearRecord {
        DWORD flags = 0;
        D3DCOLOR color = 0;
        float z = 0.0f;
        DWORD stencil = 0;
        UINT rectCount = 0;
        RECT firstRect{};
    };

    // The configuration applies to devices created afterwards (and to IDirect3D9::GetDeviceCaps).
    static void SetConfig(const NullDeviceConfig& config);
    static void ResetForTests();
    static NullDeviceConfig Config();
    // The capability record of a null device under the current configuration.
    static void FillCaps(D3DCAPS9* caps);

    NullDevice(IDirect3D9* d3d, HWND window, DWORD behaviorFlags);

    UINT DrawCount() const { return drawCount_; }
    UINT PrimitiveCount() const { return primitiveTotal_; }
    UINT DrawCountOf(D3DPRIMITIVETYPE type) const;
    const DrawRecord& LastDraw() const { return lastDraw_; }
    // Every draw since the last ResetCounters, in order, while KeepDraws is on (tests of a pass's order).
    void KeepDraws(bool keep) { keepDraws_ = keep; }
    const std::vector<DrawRecord>& Draws() const { return draws_; }
    UINT ClearCount() const { return clearCount_; }
    const ClearRecord& LastClear() const { return lastClear_; }
    UINT PresentCount() const { return presentCount_; }
    // Surfaces copied by StretchRect.
    UINT CopyCount() const { return copyCount_; }
    UINT ResetCount() const { return resetCount_; }
    // Scenes ended since the last ResetCounters: each is a part of the frame the device may draw on its own.
    UINT ScenesEnded() const { return scenesEnded_; }
    void ResetCounters();

protected:
    HRESULT BackEndClear(const ClearRequest& request) override;
    HRESULT BackEndDraw(const DrawCall& call) override;
    HRESULT BackEndPresent() override;
    void BackEndEndScene() override { ++scenesEnded_; }
    HRESULT BackEndReset(const D3DPRESENT_PARAMETERS& presentationParameters, bool first) override;
    HRESULT BackEndReadSurface(Surface* surface) override;
    HRESULT BackEndCopySurface(Surface* source, Surface* destination) override;
    void BackEndReleaseData(void* backEndData, ResourceKind kind) override;
    HRESULT BackEndCreateShaderProgram(const char* vertexSource, const char* fragmentSource,
                                       ShaderProgram** program) override;

private:
    static constexpr UINT PRIMITIVE_TYPES = 7;

    UINT drawCount_ = 0;
    UINT primitiveTotal_ = 0;
    UINT drawsByType_[PRIMITIVE_TYPES] = {};
    DrawRecord lastDraw_;
    bool keepDraws_ = false;
    std::vector<DrawRecord> draws_;
    UINT clearCount_ = 0;
    ClearRecord lastClear_;
    UINT presentCount_ = 0;
    UINT copyCount_ = 0;
    UINT resetCount_ = 0;
    UINT scenesEnded_ = 0;
};
