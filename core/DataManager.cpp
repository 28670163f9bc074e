#include "core/DataManager.h"

#include "core/ApplicationLink.h"
#include "core/ConfigParser.h"
#include "core/GlobalConstants.h"
#include "core/JobQueue.h"
#include "d3dx9/D3DX9Core.h"
#include "sound/FSound.h"
#include "win32/Log.h"
#include "win32/PathResolver.h"
#include "win32/Win32.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <span>
#include <utility>

namespace {

// The data directories below the base directory, in the order they are searched.
const char* const DATA_DIRECTORIES[] = {
    "\\Data\\",
    "\\Data\\Textures\\World Textures\\",
    "\\Data\\Textures\\World Textures\\NormalMaps\\",
    "\\Data\\Textures\\Static Mesh Textures\\",
    "\\Data\\Textures\\Hex Tile Textures\\",
    "\\Data\\Textures\\Hud Textures\\",
    "\\Data\\Textures\\Icon Textures\\",
    "\\Data\\Textures\\Screen Overlay Textures\\",
    "\\Data\\Textures\\Skybox Textures\\",
    "\\Data\\Textures\\Particle Textures\\",
    "\\Data\\Textures\\Decal Textures\\",
    "\\Data\\Terrain Levels\\",
    "\\Data\\Terrain Levels\\Farm\\",
    "\\Data\\Terrain Levels\\Farm\\Meshes\\",
    "\\Data\\Terrain Levels\\Farm\\Particles\\",
    "\\Data\\Terrain Levels\\Farm\\Sounds\\",
    "\\Data\\Terrain Levels\\Farm\\Textures\\",
    "\\Data\\Terrain Levels\\Winter Wonderland\\",
    "\\Data\\Terrain Levels\\Winter Wonderland\\Meshes\\",
    "\\Data\\Terrain Levels\\Winter Wonderland\\Particles\\",
    "\\Data\\Terrain Levels\\Winter Wonderland\\Sounds\\",
    "\\Data\\Terrain Levels\\Winter Wonderland\\Textures\\",
    "\\Data\\Terrain Levels\\Citadel Courtyard\\",
    "\\Data\\Terrain Levels\\Citadel Courtyard\\Meshes\\",
    "\\Data\\Terrain Levels\\Citadel Courtyard\\Particles\\",
    "\\Data\\Terrain Levels\\Citadel Courtyard\\Sounds\\",
    "\\Data\\Terrain Levels\\Citadel Courtyard\\Textures\\",
    "\\Data\\Terrain Levels\\Intro Scene\\",
    "\\Data\\Terrain Levels\\Intro Scene\\Meshes\\",
    "\\Data\\Terrain Levels\\Intro Scene\\Particles\\",
    "\\Data\\Terrain Levels\\Intro Scene\\Sounds\\",
    "\\Data\\Terrain Levels\\Intro Scene\\Textures\\",
    "\\Data\\Models\\Animated Models\\",
    "\\Data\\Models\\Animated Models\\Pikeman\\",
    "\\Data\\Models\\Animated Models\\Militia\\",
    "\\Data\\Models\\Animated Models\\Paladin\\",
    "\\Data\\Models\\Animated Models\\Mage\\",
    "\\Data\\Models\\Animated Models\\Combat Mage\\",
    "\\Data\\Models\\Animated Models\\Healer\\",
    "\\Data\\Models\\Animated Models\\Rogue\\",
    "\\Data\\Models\\Animated Models\\Assassin\\",
    "\\Data\\Models\\Animated Models\\Scout\\",
    "\\Data\\Models\\Animated Models\\Knight\\",
    "\\Data\\Models\\Animated Models\\Archer\\",
    "\\Data\\Models\\Static Models\\",
    "\\Data\\Effect Files\\",
    "\\Data\\Sound\\Music\\",
    "\\Data\\Sound\\Sound Effects\\",
    "\\Data\\Config Files\\Humans\\",
    "\\Data\\Config Files\\Spells\\",
    "\\Data\\Config Files\\Particle Files\\",
};

constexpr const char* SPELL_DIRECTORY = "\\Data\\Config Files\\Spells\\";
constexpr const char* SPELL_TYPE_LABEL = "Spell Type =";
// Every number of a spell file is held to a symmetric range. Amounts and costs to +-100000: the absolute value
// of a cost is always defined, and an amount times a per-cent resistance or a unit statistic (+-10000) stays
// within 32 bits. Distances to +-1000 hex steps (a board is 42 across), durations to +-10000 turns, the cast
// time to +-10000 seconds.
constexpr int SPELL_MAX_AMOUNT = 100000;
constexpr int SPELL_MAX_HEX_STEPS = 1000;
constexpr int SPELL_MAX_TURNS = 10000;
constexpr float SPELL_MAX_SECONDS = 10000.0f;
constexpr const char* EFFECT_TECHNIQUE = "Basic";
// Any free sample slot; 2-D stereo, as every sample of the game plays.
constexpr unsigned int SAMPLE_MODE = FSOUND_HW2D | FSOUND_STEREO;

std::atomic<DataManager*> g_instance{nullptr};

std::string CurrentDirectory()
{
    std::string buffer(MAX_PATH, '\0');
    DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length >= buffer.size()) {
        // Deeper than the classic limit: ask again with the room it needs.
        buffer.assign(length, '\0');
        length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
        if (length >= buffer.size())
            length = 0;
    }
    buffer.resize(length);
    while (buffer.size() > 1 && (buffer.back() == '\\' || buffer.back() == '/'))
        buffer.pop_back();
    return buffer;
}

std::string BareName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Opens(const std::string& path)
{
    FILE* file = PathResolver::Open(path, "rb");
    if (!file)
        return false;
    std::fclose(file);
    return true;
}

// Images of several frames side by side say so in their name: "f" followed by the frame count 2 to 9.
int FrameCountOf(const std::string& path)
{
    const std::string name = BareName(path);
    for (char digit = '2'; digit <= '9'; ++digit) {
        const char mark[] = {'f', digit, '\0'};
        if (name.find(mark) != std::string::npos)
            return digit - '0';
    }
    return 1;
}

} // namespace

static std::mutex g_creation;

DataManager* DataManager::Get()
{
    DataManager* instance = g_instance.load(std::memory_order_acquire);
    if (instance)
        return instance;
    std::lock_guard<std::mutex> lock(g_creation);
    instance = g_instance.load(std::memory_order_relaxed);
    if (!instance) {
        instance = new DataManager;
        g_instance.store(instance, std::memory_order_release);
    }
    return instance;
}

void DataManager::ResetForTests()
{
    std::lock_guard<std::mutex> lock(g_creation);
    DataManager* instance = g_instance.exchange(nullptr);
    if (!instance)
        return;
    instance->ReleaseAll();
    delete instance;
}

DataManager::DataManager() : m_baseDirectory(CurrentDirectory()), m_jobQueue(std::make_unique<JobQueue>())
{
    // The name as given, then the base directory itself, joined with a separator like every other prefix.
    m_searchPaths.push_back("");
    m_searchPaths.push_back(m_baseDirectory + "\\");
    for (const char* directory : DATA_DIRECTORIES)
        m_searchPaths.push_back(m_baseDirectory + directory);
    m_defaultEffectPath = FindFile(BASIC_EFFECT);
}

DataManager::~DataManager() = default;

void DataManager::AddSearchPath(const std::string& directory)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::string prefix = directory;
    if (!prefix.empty() && prefix.back() != '\\' && prefix.back() != '/')
        prefix += '\\';
    m_searchPaths.push_back(prefix);
    m_lastHit = 0;
}

std::vector<std::string> DataManager::GetSearchPaths() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_searchPaths;
}

bool DataManager::ResolvePathLocked(std::string& name)
{
    if (name.empty() || m_searchPaths.empty())
        return false;
    // The resolver's listings say where the name is; a candidate still counts only once it opens.
    const std::span<const std::string> table(m_searchPaths);
    std::string path;
    size_t found = 0;
    // The directory that found the previous file is asked first (the first entry is asked first anyway).
    const bool lastHitAsked = m_lastHit > 0 && m_lastHit < table.size();
    if (lastHitAsked && PathResolver::LocateFile(table.subspan(m_lastHit, 1), name, found, path) && Opens(path)) {
        name = path;
        return true;
    }
    for (size_t from = 0; from < table.size(); from = found + 1) {
        if (!PathResolver::LocateFile(table.subspan(from), name, found, path))
            return false;
        found += from;
        if ((!lastHitAsked || found != m_lastHit) && Opens(path)) {
            m_lastHit = found;
            name = path;
            return true;
        }
    }
    return false;
}

bool DataManager::ResolvePath(std::string& name)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return ResolvePathLocked(name);
}

std::string DataManager::FindFile(const std::string& name)
{
    std::string path = name;
    return ResolvePath(path) ? path : std::string(NOT_FOUND);
}

void DataManager::ReportMissing(const char* event, const std::string& name, const std::string& fallback)
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!m_reported.insert(std::string(event) + '\n' + name).second)
            return;
    }
    Log(LogLevel::WARNING, event, "\"" + name + "\" " + fallback);
}

TextureRecord* DataManager::GetTexture(const std::string& name, bool noSubstitute, bool findVisibleArea)
{
    std::string path = name;
    // The frame count is written into the name the game asks for; the file found on disk may be spelt in
    // other letter case ("BMOVE_F2.TGA" for "bMove_f2.tga").
    std::string requested = name;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!ResolvePathLocked(path)) {
            if (noSubstitute)
                return nullptr;
            // An empty name is asked for where no texture is named at all; only a named file can be missing.
            if (!name.empty() && name != DEFAULT_TEXTURE)
                ReportMissing("texture.missing", name, std::string("is not found; ") + DEFAULT_TEXTURE + " stands in");
            path = DEFAULT_TEXTURE;
            requested = DEFAULT_TEXTURE;
            ResolvePathLocked(path);
        }
        auto it = m_textures.find(path);
        if (it != m_textures.end() && it->second.referenceCount > 0) {
            ++it->second.referenceCount;
            return &it->second;
        }
    }

    // Loaded without the lock so that the other thread's lookups do not wait for the file.
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(D3DXCreateTextureFromFileA(m_device, path.c_str(), &texture)) || !texture)
        return nullptr;
    // Read now, while the texture still holds its own copy of the texels: once the device has drawn it, reading
    // it back would wait for the drawing thread. A texture first loaded without asking keeps whole sprites.
    std::shared_ptr<const VisibleArea> visibleArea = findVisibleArea ? VisibleArea::OfTexture(texture) : nullptr;

    std::lock_guard<std::recursive_mutex> lock(m_lock);
    TextureRecord& record = m_textures[path];
    if (record.referenceCount > 0) {
        // The other thread loaded it meanwhile.
        texture->Release();
        ++record.referenceCount;
        return &record;
    }
    record.fileName = path;
    record.frameCount = FrameCountOf(requested);
    record.frameWidth = 1.0f / static_cast<float>(record.frameCount);
    record.referenceCount = 1;
    // A record whose users have all given it back still holds its texture; the new load takes its place, and
    // the old one must go with it or every change of level loses the level's textures for good.
    if (record.texture && record.texture != texture)
        record.texture->Release();
    record.texture = texture;
    record.visibleArea = std::move(visibleArea);
    return &record;
}

std::shared_ptr<const VisibleArea> DataManager::VisibleAreaOf(const TextureRecord* record)
{
    if (!record)
        return nullptr;
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return record->visibleArea;
}

void DataManager::ReleaseTexture(TextureRecord* record)
{
    if (!record)
        return;
    IDirect3DTexture9* freed = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        const auto it = m_textures.find(record->fileName);
        if (it == m_textures.end() || &it->second != record || record->referenceCount <= 0)
            return;
        if (--record->referenceCount == 0)
            std::swap(freed, record->texture);
    }
    if (freed)
        freed->Release();
}

ID3DXEffect* DataManager::GetEffect(const std::string& name, bool usePool)
{
    std::string path = name;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!ResolvePathLocked(path)) {
            if (name != BASIC_EFFECT)
                ReportMissing("effect.missing", name, std::string("is not found; ") + BASIC_EFFECT + " stands in");
            path = BASIC_EFFECT;
            ResolvePathLocked(path);
        }
    }
    return GetEffectAt(path, usePool);
}

ID3DXEffect* DataManager::LoadEffect(const std::string& name)
{
    std::string path = name;
    if (!ResolvePath(path))
        return nullptr;
    return GetEffectAt(path, true);
}

ID3DXEffect* DataManager::GetEffectAt(const std::string& path, bool usePool)
{
    ID3DXEffectPool* pool = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        if (!m_effectPool && FAILED(D3DXCreateEffectPool(&m_effectPool)))
            m_effectPool = nullptr;
        auto it = m_effects.find(path);
        if (it != m_effects.end())
            return it->second;
        if (m_unloadableEffects.count(path))
            return nullptr;
        if (usePool && m_effectPool) {
            pool = m_effectPool;
            pool->AddRef();
        }
    }

    ID3DXEffect* effect = nullptr;
    const HRESULT hr = D3DXCreateEffectFromFileA(m_device, path.c_str(), nullptr, nullptr, 0, pool, &effect, nullptr);
    if (pool)
        pool->Release();
    if (FAILED(hr) || !effect) {
        if (m_device) {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            if (m_unloadableEffects.insert(path).second)
                Log(LogLevel::WARNING, "effect.unreadable",
                    "\"" + path + "\" cannot be compiled; what uses it is not drawn");
        }
        return nullptr;
    }

    std::lock_guard<std::recursive_mutex> lock(m_lock);
    auto [it, inserted] = m_effects.try_emplace(path, effect);
    if (!inserted) {
        effect->Release();
        return it->second;
    }
    effect->SetTechnique(EFFECT_TECHNIQUE);
    return effect;
}

void DataManager::SetTechnique(const std::string& technique)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    auto it = m_effects.find(m_defaultEffectPath);
    if (it != m_effects.end())
        it->second->SetTechnique(technique.c_str());
}

FSOUND_SAMPLE* DataManager::GetSoundSample(const std::string& name)
{
    std::string path = name;
    {
        std::lock_guard<std::recursive_mutex> lock(m_lock);
        // Every name is looked up once: sounds are asked for as they play, and a missing or broken one
        // would otherwise cost a directory search and a decoding attempt each time.
        auto known = m_soundNames.find(name);
        if (known != m_soundNames.end())
            return known->second;
        if (!ResolvePathLocked(path)) {
            if (name != DEFAULT_SOUND)
                ReportMissing("sound.missing", name, std::string("is not found; ") + DEFAULT_SOUND + " plays instead");
            path = DEFAULT_SOUND;
            ResolvePathLocked(path);
        }
        auto it = m_sounds.find(path);
        if (it != m_sounds.end()) {
            m_soundNames[name] = it->second;
            return it->second;
        }
    }

    FSOUND_SAMPLE* sample = FSOUND_Sample_Load(FSOUND_FREE, path.c_str(), SAMPLE_MODE, 0, 0);
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!sample) {
        Log(LogLevel::WARNING, "sound.unreadable", "\"" + name + "\" (" + path + ") cannot be loaded; it stays silent");
        m_soundNames[name] = nullptr;
        return nullptr;
    }
    auto [it, inserted] = m_sounds.try_emplace(path, sample);
    if (!inserted)
        FSOUND_Sample_Free(sample);
    m_soundNames[name] = it->second;
    return it->second;
}

void* DataManager::FindMesh(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    auto it = m_meshes.find(path);
    return it == m_meshes.end() ? nullptr : it->second.get();
}

void* DataManager::AddMesh(const std::string& path, std::shared_ptr<void> mesh)
{
    if (!mesh)
        return FindMesh(path);
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_meshes.try_emplace(path, std::move(mesh)).first->second.get();
}

bool DataManager::ReadSpellFile(SpellDefinition& record, const std::string& fileName)
{
    record.fileName = fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : std::string();

    const std::string path = FindFile(fileName);
    if (path == NOT_FOUND)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    return ReadSpell(in, fileName, record);
}

bool DataManager::ReadSpell(std::istream& in, const std::string& fileName, SpellDefinition& record)
{
    std::string line;
    if (!ReadConfigLine(in, line)) {
        LogFormat(LogLevel::WARNING, "spell.file", "Spell file \"%s\" is empty; it is skipped.", fileName.c_str());
        return false;
    }
    record.name = ParseConfigString(line);

    // A file cut short keeps what it had; the rest of the record stays as it was.
    auto truncated = [&](const char* missing) {
        LogFormat(LogLevel::WARNING, "spell.file", "Spell file \"%s\" ends before its %s; the rest keeps its defaults.",
                  fileName.c_str(), missing);
        return true;
    };

    record.description.clear();
    bool foundType = false;
    while (ReadConfigLine(in, line)) {
        if (line.find(SPELL_TYPE_LABEL) != std::string::npos) {
            foundType = true;
            break;
        }
        record.description += ParseConfigString(line);
        record.description += '\n';
    }
    if (!foundType)
        return truncated("\"Spell Type =\" line");
    record.spellType = ParseConfigString(line);

    const struct {
        int* field;
        int bound;
        const char* name;
    } integers[] = {{&record.manaCost, SPELL_MAX_AMOUNT, "mana cost"},
                    {&record.amount, SPELL_MAX_AMOUNT, "amount"},
                    {&record.initiativeCost, SPELL_MAX_AMOUNT, "initiative cost"},
                    {&record.range, SPELL_MAX_HEX_STEPS, "range"},
                    {&record.duration, SPELL_MAX_TURNS, "duration"},
                    {&record.areaRadius, SPELL_MAX_HEX_STEPS, "area radius"}};
    for (const auto& integer : integers) {
        if (!ReadConfigLine(in, line))
            return truncated("numbers");
        *integer.field = BoundConfigInt(ParseConfigInt(line), -integer.bound, integer.bound, fileName, integer.name);
    }
    if (!ReadConfigLine(in, line))
        return truncated("cast time");
    record.castTime =
        BoundConfigFloat(ParseConfigFloat(line), -SPELL_MAX_SECONDS, SPELL_MAX_SECONDS, fileName, "cast time");
    if (!ReadConfigLine(in, line))
        return truncated("target");
    record.target = ParseConfigString(line);

    if (!ReadConfigLine(in, line))
        return truncated("effect type");
    const std::string effect = ParseConfigString(line);
    if (!ParseEffectType(effect, record.effectType))
        LogFormat(LogLevel::WARNING, "spell.file", "Spell file \"%s\": unknown effect type \"%s\".", fileName.c_str(),
                  effect.c_str());
    if (!ReadConfigLine(in, line))
        return truncated("school");
    const std::string school = ParseConfigString(line);
    if (!ParseSpellSchool(school, record.school))
        LogFormat(LogLevel::WARNING, "spell.file", "Spell file \"%s\": unknown school \"%s\".", fileName.c_str(),
                  school.c_str());
    if (!ReadConfigLine(in, line))
        return truncated("action-point cost");
    record.actionPointCost =
        BoundConfigInt(ParseConfigInt(line), -SPELL_MAX_AMOUNT, SPELL_MAX_AMOUNT, fileName, "action-point cost");

    std::vector<std::string>* const lists[] = {&record.firstEmitters, &record.secondEmitters, &record.thirdEmitters};
    for (std::vector<std::string>* list : lists) {
        list->clear();
        if (!ReadConfigLine(in, line))
            return truncated("emitter lists");
        const int count = ParseConfigInt(line);
        for (int i = 0; i < count; ++i) {
            if (!ReadConfigLine(in, line))
                return truncated("emitter lines");
            list->push_back(line);
        }
    }
    return true;
}

void DataManager::LoadSpells()
{
    const std::string pattern = CurrentDirectory() + SPELL_DIRECTORY + "*.txt";
    std::vector<std::string> files;
    WIN32_FIND_DATAA found{};
    HANDLE find = FindFirstFileA(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.emplace_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);

    // In the order a Windows directory listing gives: names compared letter by letter in upper case, so
    // "apple.txt" comes before "Zap.txt" and "ab.txt" before "a_b.txt". Of two files of one spell name the
    // later wins, the same file as on Windows whatever order this file system lists them in.
    std::sort(files.begin(), files.end(), [](const std::string& a, const std::string& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
        });
    });
    for (const std::string& file : files) {
        SpellDefinition record;
        if (ReadSpellFile(record, file)) {
            std::lock_guard<std::recursive_mutex> lock(m_lock);
            m_spells[record.name] = record;
        }
    }
}

bool DataManager::GetSpell(const std::string& name, SpellDefinition& out) const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    auto it = m_spells.find(name);
    if (it == m_spells.end())
        return false;
    out = it->second;
    return true;
}

std::vector<std::string> DataManager::GetSpellNames() const
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::vector<std::string> names;
    names.reserve(m_spells.size());
    for (const auto& entry : m_spells)
        names.push_back(entry.first);
    return names;
}

void DataManager::SetDevice(IDirect3DDevice9* device)
{
    if (!device)
        return;
    device->AddRef();
    if (m_sprite) {
        m_sprite->Release();
        m_sprite = nullptr;
    }
    if (m_device)
        m_device->Release();
    m_device = device;
    m_deviceCaps = D3DCAPS9{};
    m_device->GetDeviceCaps(&m_deviceCaps);
    if (FAILED(D3DXCreateSprite(m_device, &m_sprite)))
        m_sprite = nullptr;
    LoadSpells();
}

void DataManager::OnDeviceLost()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& entry : m_effects)
        entry.second->OnLostDevice();
    if (m_sprite)
        m_sprite->OnLostDevice();
}

void DataManager::OnDeviceReset()
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& entry : m_effects)
        entry.second->OnResetDevice();
    if (m_sprite)
        m_sprite->OnResetDevice();
}

void DataManager::ReleaseAll()
{
    // A load job still running uses the caches and the device released below: it finishes first, and the
    // queue's threads end with it. Not under the lock, which the job takes.
    if (m_jobQueue)
        m_jobQueue->Join();
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto& entry : m_textures) {
        entry.second.referenceCount = 0;
        if (entry.second.texture) {
            entry.second.texture->Release();
            entry.second.texture = nullptr;
        }
    }
    m_textures.clear();
    m_meshes.clear();
    for (auto& entry : m_sounds)
        FSOUND_Sample_Free(entry.second);
    m_sounds.clear();
    m_soundNames.clear();
    // The cache is the only owner of its effects.
    for (auto& entry : m_effects)
        entry.second->Release();
    m_effects.clear();
    m_spells.clear();
    m_unloadableEffects.clear();
    m_searchPaths.clear();
    m_lastHit = 0;
    if (m_device) {
        m_device->Release();
        m_device = nullptr;
    }
    if (m_effectPool) {
        m_effectPool->Release();
        m_effectPool = nullptr;
    }
    if (m_sprite) {
        m_sprite->Release();
        m_sprite = nullptr;
    }
}

UINT DataManager::GetBackBufferWidth() const
{
    return m_application ? m_application->GetPresentParameters().BackBufferWidth : 0;
}

UINT DataManager::GetBackBufferHeight() const
{
    return m_application ? m_application->GetPresentParameters().BackBufferHeight : 0;
}

void DataManager::AdvanceTime(float rawSeconds)
{
    m_rawFrameTime.store(rawSeconds, std::memory_order_relaxed);
    const float scaled = rawSeconds * GetGameSpeed();
    m_frameTime.store(scaled, std::memory_order_relaxed);
    m_gameTime.store(GetGameTime() + scaled, std::memory_order_relaxed);
}
