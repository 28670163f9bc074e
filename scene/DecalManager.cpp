#include "scene/DecalManager.h"

#include "core/DataManager.h"
#include "scene/Decal.h"
#include "win32/Log.h"

#include <algorithm>
#include <memory>

namespace {
std::unique_ptr<DecalManager>& Instance()
{
    static std::unique_ptr<DecalManager> instance;
    return instance;
}

constexpr long LEVEL_RECORD_BYTES = 260 + 4 + 4 + 12;

bool EraseFirst(std::vector<Decal*>& list, const Decal* decal)
{
    auto it = std::find(list.begin(), list.end(), decal);
    if (it == list.end())
        return false;
    list.erase(it);
    return true;
}
} // namespace

DecalManager* DecalManager::Get()
{
    std::unique_ptr<DecalManager>& instance = Instance();
    if (!instance)
        instance.reset(new DecalManager);
    return instance.get();
}

void DecalManager::ResetForTests()
{
    Instance().reset();
}

DecalManager::~DecalManager()
{
    ClearAll();
}

void DecalManager::Forget(const Decal* decal)
{
    if (DecalManager* manager = Instance().get())
        manager->Remove(decal);
}

void DecalManager::Submit(Decal* decal)
{
    if (decal)
        m_frameList.push_back(decal);
}

void DecalManager::Add(Decal* decal)
{
    if (decal)
        m_dynamicList.push_back(decal);
}

void DecalManager::Remove(const Decal* decal)
{
    if (!EraseFirst(m_frameList, decal) && !EraseFirst(m_dynamicList, decal))
        EraseFirst(m_levelList, decal);
}

void DecalManager::UpdateAll()
{
    for (Decal* decal : m_dynamicList)
        decal->Refresh(false);
}

void DecalManager::Render()
{
    IDirect3DDevice9* device = DataManager::Get()->GetDevice();
    if (!device) {
        m_frameList.clear();
        return;
    }
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
    device->SetFVF(Decal::FVF);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);

    // Only this frame's decals (the units' shadows, laid again as they move) are drawn together: the blood and
    // the level's own lie still, and the device may keep their vertices for itself alone, which a joined draw
    // would have to read back.
    for (Decal* decal : m_dynamicList)
        decal->Draw(device);
    Decal::DrawAll(device, m_frameList);
    for (Decal* decal : m_levelList)
        decal->Draw(device);

    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_MIRROR);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_MIRROR);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    m_frameList.clear();
}

void DecalManager::LoadLevelDecals(std::FILE* file)
{
    ClearAll();
    if (!file)
        return;
    int32_t count = 0;
    if (std::fread(&count, sizeof(count), 1, file) != 1 || count <= 0)
        return;
    // A count the rest of the file cannot hold is damage, not a promise.
    const long here = std::ftell(file);
    long remaining = 0;
    if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
        remaining = std::ftell(file) - here;
        std::fseek(file, here, SEEK_SET);
    }
    if (static_cast<long long>(count) * LEVEL_RECORD_BYTES > remaining) {
        Log(LogLevel::WARNING, "level.decals",
            std::to_string(count) + " decals do not fit in the rest of the level file; none are read");
        return;
    }
    for (int32_t i = 0; i < count; ++i) {
        auto decal = std::make_unique<Decal>();
        if (!decal->ReadFromLevel(file))
            break;
        m_levelList.push_back(decal.release());
    }
}

void DecalManager::ClearDynamic()
{
    std::vector<Decal*> owned;
    owned.swap(m_dynamicList);
    for (Decal* decal : owned) {
        decal->Release();
        delete decal;
    }
}

void DecalManager::ClearAll()
{
    // Each release takes its decal out of the lists, so the lists are emptied first and walked as copies.
    std::vector<Decal*> owned;
    owned.swap(m_levelList);
    owned.insert(owned.end(), m_dynamicList.begin(), m_dynamicList.end());
    m_dynamicList.clear();
    for (Decal* decal : owned) {
        decal->Release();
        delete decal;
    }
}
