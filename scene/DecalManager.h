#pragma once
// Keeps the decals drawn between the terrain and the hex highlights: those submitted for this frame (not
// owned), the level's own and the dynamic ones such as blood (both owned).

#include <cstdio>
#include <vector>

class Decal;
class GroundProvider;

class DecalManager
{
public:
    static DecalManager* Get();
    static void ResetForTests();
    // Takes a decal out of every list without creating the manager (the decal is going away).
    static void Forget(const Decal* decal);

    void Submit(Decal* decal);
    void Add(Decal* decal);
    void Remove(const Decal* decal);
    void UpdateAll();
    // Every list: the dynamic decals, then this frame's, then the level's; this frame's list is emptied.
    void Render();
    // The same in two steps: the dynamic decals (laid once, lying still), then this frame's and the level's,
    // which empties this frame's list. The world kept as a picture holds the first step only.
    void RenderDynamic();
    void RenderFrameAndLevel();
    // Replaces the level's decals with the records of an open level file (count, then records); without a
    // file it only clears. Records that the file cannot hold are not read.
    void LoadLevelDecals(std::FILE* file);
    void ClearAll();
    // Releases the dynamic decals (the blood of a battle) and keeps the level's own.
    void ClearDynamic();

    // The ground decals lie on; none lays them flat at height 0.
    void SetGround(const GroundProvider* provider) { m_ground = provider; }
    const GroundProvider* GetGround() const { return m_ground; }

    const std::vector<Decal*>& FrameList() const { return m_frameList; }
    const std::vector<Decal*>& LevelList() const { return m_levelList; }
    const std::vector<Decal*>& DynamicList() const { return m_dynamicList; }

    virtual ~DecalManager();

private:
    DecalManager() = default;
    // Draws the lists in their order (the dynamic list, then this frame's and the level's) with the decals' device
    // states, and puts the frame's states back.
    void DrawLists(bool dynamic, bool frameAndLevel);

    std::vector<Decal*> m_frameList;
    std::vector<Decal*> m_levelList;
    std::vector<Decal*> m_dynamicList;
    const GroundProvider* m_ground = nullptr;
};
