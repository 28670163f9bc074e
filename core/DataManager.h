#pragma once
// The one place where the game finds its data files and gets its shared resources: the data directory table,
// the caches keyed by resolved path (textures, effects, static meshes, sound samples), the spell definitions,
// the shared sprite, a copy of the device capabilities, frame time and game speed, and pointers to the main
// objects of the game.
//
// Every data file is named by its bare name; the first directory of the table that holds it wins, except that
// the directory that found the previous file is tried first.
//
// The caches, the lookup and the spell table may be used by the loading thread and the main thread at once.
// Everything a cache hands out belongs to the cache and stays valid until ReleaseAll.

#include "core/SpellDefinition.h"
#include "core/VisibleArea.h"
#include "d3d9/D3D9.h"

#include <atomic>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct ID3DXEffect;
struct ID3DXEffectPool;
struct ID3DXSprite;
struct FSOUND_SAMPLE;
class ApplicationLink;
class JobQueue;

// What the texture cache hands out. Images that hold several frames side by side say so in their file name
// ("bMove_f2.tga" holds two).
struct TextureRecord {
    int referenceCount = 0;
    int frameCount = 1;
    float frameWidth = 1.0f;
    IDirect3DTexture9* texture = nullptr;
    std::string fileName = "No File";
    // Worked out when a load asks for it (the sprites drawn cut down to it), else null. Read it through
    // DataManager::VisibleAreaOf: the loading thread may be filling it in.
    std::shared_ptr<const VisibleArea> visibleArea;
};

class DataManager
{
public:
    // The text FindFile yields for a name that no directory holds.
    static constexpr const char* NOT_FOUND = "Cannot Find File";

    static DataManager* Get();
    // Releases everything and forgets the singleton; the next Get builds a fresh one (from the current
    // directory at that time). For tests.
    static void ResetForTests();

    DataManager(const DataManager&) = delete;
    DataManager& operator=(const DataManager&) = delete;

    // Data directory table.
    void AddSearchPath(const std::string& directory);
    bool ResolvePath(std::string& name);
    std::string FindFile(const std::string& name);
    const std::string& GetBaseDirectory() const { return m_baseDirectory; }
    std::vector<std::string> GetSearchPaths() const;

    // Caches. A texture that cannot be found becomes "default.tga" unless noSubstitute is set, in which case
    // the result is null. An effect that cannot be found becomes "basic.fx"; a sound, "defaultSound.wav".
    // findVisibleArea also works out the visible area of a texture it loads (see TextureRecord::visibleArea).
    TextureRecord* GetTexture(const std::string& name, bool noSubstitute = false, bool findVisibleArea = false);
    // The record's visible area as it stands (taken under the cache's lock), or null.
    std::shared_ptr<const VisibleArea> VisibleAreaOf(const TextureRecord* record);
    // Gives back one reference taken by GetTexture; the last one given back frees the picture (its record stays,
    // so a pointer kept to it still reads, and the next GetTexture loads the file again). A record the cache
    // did not hand out is left alone.
    void ReleaseTexture(TextureRecord* record);
    ID3DXEffect* GetEffect(const std::string& name, bool usePool = true);
    // Like GetEffect with the pool, but null for a name that cannot be found.
    ID3DXEffect* LoadEffect(const std::string& name);
    // Sets the technique of the default effect ("basic.fx"), once that effect is cached.
    void SetTechnique(const std::string& technique);
    // Each name is looked up and loaded once; a name that gave nothing keeps giving nothing.
    FSOUND_SAMPLE* GetSoundSample(const std::string& name);
    // The static-mesh cache, filled by the scene's mesh loader and released with the rest of the data. AddMesh
    // keeps the first record stored under a path and returns it, so two threads that load the same mesh end up
    // sharing one. The core does not know the mesh type: it keeps each as an opaque shared object, which the
    // scene's mesh class casts back.
    void* FindMesh(const std::string& path);
    void* AddMesh(const std::string& path, std::shared_ptr<void> mesh);

    // Says on stderr that a data file is missing or refused and what stands in for it, once per event and
    // name however often the file is asked for (units of one class, frames of one screen).
    void ReportMissing(const char* event, const std::string& name, const std::string& fallback);

    // Spell definitions.
    bool ReadSpellFile(SpellDefinition& record, const std::string& fileName);
    // The reading of ReadSpellFile from an open file (fileName names it in messages; record.fileName is
    // left to the caller).
    static bool ReadSpell(std::istream& in, const std::string& fileName, SpellDefinition& record);
    void LoadSpells();
    bool GetSpell(const std::string& name, SpellDefinition& out) const;
    std::vector<std::string> GetSpellNames() const;

    // Device. SetDevice keeps a reference to the device, copies its capabilities, creates the shared sprite
    // and reads the spell files.
    void SetDevice(IDirect3DDevice9* device);
    IDirect3DDevice9* GetDevice() const { return m_device; }
    const D3DCAPS9& GetDeviceCaps() const { return m_deviceCaps; }
    ID3DXSprite* GetSprite() const { return m_sprite; }
    void OnDeviceLost();
    void OnDeviceReset();
    // Waits for a running load job and joins the job queue's threads, then empties every cache and releases
    // every resource and the device reference. At shutdown.
    void ReleaseAll();

    // Frame time: the raw time of the last frame and that time scaled by the game speed; the scaled time
    // adds up to the game time.
    void AdvanceTime(float rawSeconds);
    // The application's back-buffer size; 0 while no application is registered.
    UINT GetBackBufferWidth() const;
    UINT GetBackBufferHeight() const;
    float GetFrameTime() const { return m_frameTime.load(std::memory_order_relaxed); }
    float GetRawFrameTime() const { return m_rawFrameTime.load(std::memory_order_relaxed); }
    float GetGameSpeed() const { return m_gameSpeed.load(std::memory_order_relaxed); }
    void SetGameSpeed(float speed) { m_gameSpeed.store(speed, std::memory_order_relaxed); }
    float GetGameTime() const { return m_gameTime.load(std::memory_order_relaxed); }

    // The application link, set by the application, and the loading job queue.
    ApplicationLink* GetApplication() const { return m_application; }
    void SetApplication(ApplicationLink* application) { m_application = application; }
    JobQueue* GetJobQueue() const { return m_jobQueue.get(); }

private:
    DataManager();
    ~DataManager();

    bool ResolvePathLocked(std::string& name);
    ID3DXEffect* GetEffectAt(const std::string& path, bool usePool);

    std::string m_baseDirectory;
    std::vector<std::string> m_searchPaths;
    // Index into m_searchPaths of the prefix that found the most recent file.
    size_t m_lastHit = 0;

    // One lock for the table, the caches and the spells. It is never held while a resource is being loaded.
    mutable std::recursive_mutex m_lock;
    std::map<std::string, TextureRecord> m_textures;
    std::map<std::string, std::shared_ptr<void>> m_meshes;
    std::map<std::string, FSOUND_SAMPLE*> m_sounds;
    // What each sound name asked for gave, null for one that could not be loaded.
    std::map<std::string, FSOUND_SAMPLE*> m_soundNames;
    std::map<std::string, ID3DXEffect*> m_effects;
    std::map<std::string, SpellDefinition> m_spells;
    // What ReportMissing has said, by event and name; and the effect files found that could not be compiled,
    // which are not compiled again for every model that asks.
    std::set<std::string> m_reported;
    std::set<std::string> m_unloadableEffects;
    ID3DXEffectPool* m_effectPool = nullptr;

    ApplicationLink* m_application = nullptr;
    std::unique_ptr<JobQueue> m_jobQueue;

    IDirect3DDevice9* m_device = nullptr;
    ID3DXSprite* m_sprite = nullptr;
    D3DCAPS9 m_deviceCaps{};

    std::atomic<float> m_frameTime{0.0f};
    std::atomic<float> m_rawFrameTime{0.0f};
    std::atomic<float> m_gameSpeed{1.0f};
    std::atomic<float> m_gameTime{0.0f};

    std::string m_defaultEffectPath;
};
