#include "core/DataManager.h"
#include "core/Job.h"
#include "core/JobQueue.h"

#include "d3d9/null/NullDevice.h"
#include "d3dx9/D3DX9Core.h"
#include "sound/FSound.h"
#include "support/DataTree.h"
#include "support/TestDevice.h"
#include "support/WavFile.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

std::string ReadWhole(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A 2 x 2 uncompressed 32-bit TGA.
std::string TinyTga()
{
    std::string tga(18, '\0');
    tga[2] = 2;
    tga[12] = 2;
    tga[14] = 2;
    tga[16] = 32;
    tga[17] = 0x28;
    tga += std::string(16, '\x7f');
    return tga;
}

// A null device and a scratch data tree; the data manager must give back every reference it took.
class DataManagerCache : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The effect file of the default data, read before the scratch tree becomes the working directory.
        m_basicEffect = ReadWhole(std::filesystem::current_path() / "Data/Effect Files/basic.fx");
        ASSERT_FALSE(m_basicEffect.empty()) << "the default Data tree is missing";
        NullDevice::ResetForTests();
        NullDeviceConfig config;
        config.maxTextureWidth = 2048;
        config.maxTextureHeight = 1024;
        NullDevice::SetConfig(config);
        CreateTestDevice(D3D9_BACKEND_NULL, nullptr, 320, 240, &m_d3d, &m_device);
    }

    void TearDown() override
    {
        m_tree.reset(); // releases everything the data manager holds
        ReleaseTestDevice(m_d3d, m_device);
        NullDevice::ResetForTests();
    }

    DataTree& Tree(const std::string& install = "")
    {
        m_tree = std::make_unique<DataTree>(install);
        m_tree->Write("Data/Effect Files/basic.fx", m_basicEffect);
        m_tree->Write("Data/default.tga", TinyTga());
        return *m_tree;
    }

    DataManager* Data()
    {
        DataManager* data = DataManager::Get();
        data->SetDevice(m_device);
        return data;
    }

    std::string m_basicEffect;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    std::unique_ptr<DataTree> m_tree;
};

} // namespace

TEST_F(DataManagerCache, SetDeviceCopiesCapabilitiesMakesTheSpriteAndReadsSpells)
{
    DataTree& tree = Tree();
    tree.Write("Data/Config Files/Spells/Heal.txt",
               DataTree::Lines({"Name = Heal", "Spell Type = Spell", "Mana Cost = 15", "Amount = 35"}));
    DataManager* data = DataManager::Get();
    EXPECT_EQ(data->GetDevice(), nullptr);
    EXPECT_EQ(data->GetDeviceCaps().MaxTextureWidth, 0u);
    data->SetDevice(nullptr);
    EXPECT_EQ(data->GetDevice(), nullptr);

    data->SetDevice(m_device);
    EXPECT_EQ(data->GetDevice(), m_device);
    EXPECT_EQ(data->GetDeviceCaps().MaxTextureWidth, 2048u);
    EXPECT_EQ(data->GetDeviceCaps().MaxTextureHeight, 1024u);
    EXPECT_NE(data->GetSprite(), nullptr);
    SpellDefinition heal;
    ASSERT_TRUE(data->GetSpell("Heal", heal));
    EXPECT_EQ(heal.manaCost, 15);
    EXPECT_EQ(heal.amount, 35);
}

TEST_F(DataManagerCache, FrameCountsComeFromTheNameAskedFor)
{
    // The count is in the name asked for, whatever letter case the file has on disk, and never in the
    // install directory's name.
    DataTree& tree = Tree("Games_f3");
    const struct {
        const char* onDisk;
        const char* asked;
        int frames;
    } cases[] = {{"Hud Textures/bMove_f2.tga", "bMove_f2.tga", 2},
                 {"Icon Textures/selectedIcon_f9.tga", "selectedIcon_f9.tga", 9},
                 {"Hud Textures/plain.tga", "plain.tga", 1},
                 {"Hud Textures/BDEFEND_F3.TGA", "bDefend_f3.tga", 3}};
    for (const auto& c : cases)
        tree.Write(std::string("Data/Textures/") + c.onDisk, TinyTga());
    for (const auto& c : cases) {
        TextureRecord* record = Data()->GetTexture(c.asked);
        ASSERT_NE(record, nullptr) << c.asked;
        EXPECT_EQ(record->frameCount, c.frames) << c.asked;
        EXPECT_FLOAT_EQ(record->frameWidth, 1.0f / static_cast<float>(c.frames)) << c.asked;
        EXPECT_EQ(record->fileName, (tree.Root() / "Data/Textures" / c.onDisk).string());
        EXPECT_NE(record->texture, nullptr);
    }
}

TEST_F(DataManagerCache, RepeatedRequestsShareOneTextureAndCountReferences)
{
    DataTree& tree = Tree();
    tree.Write("Data/Textures/Hud Textures/bAttack_f2.tga", TinyTga());
    DataManager* data = Data();
    TextureRecord* first = data->GetTexture("bAttack_f2.tga");
    TextureRecord* second = data->GetTexture("BATTACK_F2.TGA");
    TextureRecord* third = data->GetTexture("bAttack_f2.tga");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(second, first);
    EXPECT_EQ(third, first);
    EXPECT_EQ(first->referenceCount, 3);
    // The cache holds the one reference to the texture.
    EXPECT_EQ(first->texture->AddRef(), 2u);
    first->texture->Release();
}

// A terrain gives its textures back when the next level loads; asking for one of them again loads it anew, and
// the texture the record held before must not be lost with it.
TEST_F(DataManagerCache, ATextureAskedForAgainAfterAllGaveItBackReplacesTheOldOne)
{
    DataTree& tree = Tree();
    tree.Write("Data/Textures/World Textures/grass.tga", TinyTga());
    DataManager* data = Data();
    TextureRecord* first = data->GetTexture("grass.tga");
    ASSERT_NE(first, nullptr);
    IDirect3DTexture9* old = first->texture;
    ASSERT_NE(old, nullptr);
    old->AddRef(); // our own hold, to see what the cache does with its reference
    --first->referenceCount;
    TextureRecord* again = data->GetTexture("grass.tga");
    ASSERT_EQ(again, first);
    EXPECT_EQ(again->referenceCount, 1);
    ASSERT_NE(again->texture, nullptr);
    EXPECT_NE(again->texture, old);
    // Only our hold is left on the old texture.
    EXPECT_EQ(old->Release(), 0u);
}

// The last user to give a texture back frees it; until then it stays, and a record the cache did not make is
// never touched.
TEST_F(DataManagerCache, ATextureGivenBackByItsLastUserIsFreedAndLoadsAgainWhenAskedFor)
{
    DataTree& tree = Tree();
    tree.Write("Data/Textures/Screen Overlay Textures/backdrop.tga", TinyTga());
    DataManager* data = Data();
    TextureRecord* first = data->GetTexture("backdrop.tga");
    TextureRecord* second = data->GetTexture("backdrop.tga");
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(second, first);
    IDirect3DTexture9* held = first->texture;
    ASSERT_NE(held, nullptr);
    held->AddRef(); // our own hold, to see when the cache lets go of its reference

    // A stranger's record under the same name, and nothing at all, change nothing.
    TextureRecord stranger = *first;
    data->ReleaseTexture(&stranger);
    data->ReleaseTexture(nullptr);
    EXPECT_EQ(first->referenceCount, 2);
    EXPECT_EQ(first->texture, held);

    data->ReleaseTexture(first);
    EXPECT_EQ(first->referenceCount, 1);
    EXPECT_EQ(first->texture, held) << "one user still draws it";
    data->ReleaseTexture(second);
    EXPECT_EQ(first->referenceCount, 0);
    EXPECT_EQ(first->texture, nullptr);
    data->ReleaseTexture(first);
    EXPECT_EQ(first->referenceCount, 0) << "given back once too often: no count below nothing";
    EXPECT_EQ(held->Release(), 0u) << "the cache's reference went with the last user";

    TextureRecord* again = data->GetTexture("backdrop.tga");
    EXPECT_EQ(again, first) << "the record stays where its users may still point";
    EXPECT_EQ(again->referenceCount, 1);
    EXPECT_NE(again->texture, nullptr);
}

TEST_F(DataManagerCache, MissingTexturesFallBackOrYieldNull)
{
    Tree();
    DataManager* data = Data();
    EXPECT_EQ(data->GetTexture("nowhere.tga", true), nullptr);
    // The miss made no entry: the default texture is fresh when asked for now.
    TextureRecord* substitute = data->GetTexture("nowhere.tga");
    ASSERT_NE(substitute, nullptr);
    EXPECT_TRUE(substitute->fileName.size() >= 11 &&
                substitute->fileName.compare(substitute->fileName.size() - 11, 11, "default.tga") == 0);
    EXPECT_EQ(substitute->referenceCount, 1);
    EXPECT_EQ(data->GetTexture("default.tga"), substitute);
    EXPECT_EQ(substitute->referenceCount, 2);
}

TEST_F(DataManagerCache, ATextureThatFailsToLoadIsNotCached)
{
    DataTree& tree = Tree();
    tree.Write("Data/Textures/Hud Textures/broken.tga", "not an image");
    DataManager* data = Data();
    EXPECT_EQ(data->GetTexture("broken.tga"), nullptr);
    // Tried again, and loaded once the file is mended.
    tree.Write("Data/Textures/Hud Textures/broken.tga", TinyTga());
    TextureRecord* mended = data->GetTexture("broken.tga");
    ASSERT_NE(mended, nullptr);
    EXPECT_EQ(mended->referenceCount, 1);
}

TEST_F(DataManagerCache, TwoThreadsLoadingTheSameTexturesShareThem)
{
    DataTree& tree = Tree();
    for (int i = 0; i < 8; ++i)
        tree.Write("Data/Textures/Hud Textures/t" + std::to_string(i) + ".tga", TinyTga());
    DataManager* data = Data();
    auto load = [&] {
        for (int round = 0; round < 10; ++round)
            for (int i = 0; i < 8; ++i)
                data->GetTexture("t" + std::to_string(i) + ".tga");
    };
    std::thread worker(load);
    load();
    worker.join();
    for (int i = 0; i < 8; ++i) {
        TextureRecord* record = data->GetTexture("t" + std::to_string(i) + ".tga");
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->referenceCount, 21);
    }
}

TEST_F(DataManagerCache, EffectsAreCachedWithTheBasicTechniqueAndFallBack)
{
    DataTree& tree = Tree();
    tree.Write("Data/Effect Files/terrain.fx", m_basicEffect);
    DataManager* data = Data();

    ID3DXEffect* basic = data->GetEffect("basic.fx", true);
    ASSERT_NE(basic, nullptr);
    EXPECT_STREQ(basic->GetCurrentTechnique(), "Basic");
    EXPECT_EQ(data->GetEffect("basic.fx", true), basic);
    // A missing effect becomes basic.fx; LoadEffect gives nothing instead.
    EXPECT_EQ(data->GetEffect("missing.fx", true), basic);
    EXPECT_EQ(data->LoadEffect("missing.fx"), nullptr);

    data->SetTechnique("StaticObjectTechnique");
    EXPECT_STREQ(basic->GetCurrentTechnique(), "StaticObjectTechnique");

    // Loaded with the pool, an effect shares it; loaded without, it has none.
    ID3DXEffectPool* pool = nullptr;
    ASSERT_EQ(basic->GetPool(&pool), D3D_OK);
    ASSERT_NE(pool, nullptr);
    ID3DXEffect* loose = data->GetEffect("terrain.fx", false);
    ASSERT_NE(loose, nullptr);
    EXPECT_NE(loose, basic);
    ID3DXEffectPool* noPool = nullptr;
    loose->GetPool(&noPool);
    EXPECT_EQ(noPool, nullptr);
    if (noPool)
        noPool->Release();
    pool->Release();

    // The cache holds the one reference of each effect.
    EXPECT_EQ(basic->AddRef(), 2u);
    basic->Release();
}

TEST_F(DataManagerCache, DeviceResetSucceedsAroundLostAndResetNotices)
{
    Tree();
    DataManager* data = Data();
    ID3DXEffect* effect = data->GetEffect("basic.fx", true);
    ASSERT_NE(effect, nullptr);
    ID3DXSprite* sprite = data->GetSprite();
    ASSERT_NE(sprite, nullptr);
    // A render target handed to an effect is held by it: the device cannot be reset while it is.
    IDirect3DTexture9* target = nullptr;
    ASSERT_EQ(
        m_device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &target, nullptr),
        D3D_OK);
    ASSERT_EQ(effect->SetTexture("pBaseTexture", target), D3D_OK);
    target->Release();
    D3DPRESENT_PARAMETERS params = WindowedPresentParameters(320, 240);
    EXPECT_EQ(m_device->Reset(&params), D3DERR_INVALIDCALL);

    // The lost notice makes every cached effect let go; the sprite may not draw until the reset notice.
    data->OnDeviceLost();
    EXPECT_EQ(sprite->Begin(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(m_device->Reset(&params), D3D_OK);
    data->OnDeviceReset();
    EXPECT_EQ(data->GetDevice()->TestCooperativeLevel(), D3D_OK);
    EXPECT_EQ(sprite->Begin(0), D3D_OK);
    EXPECT_EQ(sprite->End(), D3D_OK);
}

TEST_F(DataManagerCache, SoundsFallBackToTheDefaultSound)
{
    DataTree& tree = Tree();
    tree.Write("Data/Sound/Sound Effects/beep.wav", WavBytes(44100, 1, 4410, 0));
    tree.Write("Data/Sound/Sound Effects/broken.wav", "RIFF garbage");
    DataManager* data = Data();
    // Neither the sound nor the default sound: nothing.
    EXPECT_EQ(data->GetSoundSample("missing.wav"), nullptr);

    FSOUND_SAMPLE* beep = data->GetSoundSample("beep.wav");
    ASSERT_NE(beep, nullptr);
    EXPECT_EQ(data->GetSoundSample("Beep.WAV"), beep);
    EXPECT_EQ(data->GetSoundSample("broken.wav"), nullptr);

    tree.Write("Data/Sound/Sound Effects/defaultSound.wav", WavBytes(44100, 1, 4410, 0));
    FSOUND_SAMPLE* fallback = data->GetSoundSample("other.wav");
    ASSERT_NE(fallback, nullptr);
    EXPECT_NE(fallback, beep);
    EXPECT_EQ(data->GetSoundSample("defaultSound.wav"), fallback);
}

TEST_F(DataManagerCache, ASoundNameThatGaveNothingIsNotLookedUpAgain)
{
    DataTree& tree = Tree();
    tree.Write("Data/Sound/Sound Effects/broken.wav", "RIFF");
    DataManager* data = Data();
    LogCapture log;
    for (int play = 0; play < 5; ++play) {
        EXPECT_EQ(data->GetSoundSample("broken.wav"), nullptr);
        EXPECT_EQ(data->GetSoundSample("missing.wav"), nullptr);
    }
    // One failed load each, however often the sound is asked for, even once the files are there.
    tree.Write("Data/Sound/Sound Effects/broken.wav", WavBytes(44100, 1, 4410, 0));
    tree.Write("Data/Sound/Sound Effects/missing.wav", WavBytes(44100, 1, 4410, 0));
    EXPECT_EQ(data->GetSoundSample("broken.wav"), nullptr);
    EXPECT_EQ(data->GetSoundSample("missing.wav"), nullptr);
    EXPECT_EQ(log.Count("sound.unreadable"), 2);
}

namespace {

// Sleeps in the worker, then loads a texture: what a battle load does while the game is being closed.
class SlowLoadJob : public Job
{
public:
    SlowLoadJob(std::atomic<bool>& started, std::atomic<bool>& destroyed) : m_started(started), m_destroyed(destroyed)
    { }
    ~SlowLoadJob() override { m_destroyed = true; }
    void Run() override
    {
        m_started = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        DataManager::Get()->GetTexture("late.tga");
    }

private:
    std::atomic<bool>& m_started;
    std::atomic<bool>& m_destroyed;
};

} // namespace

TEST_F(DataManagerCache, ReleaseAllWaitsForARunningLoadJob)
{
    DataTree& tree = Tree();
    tree.Write("Data/Textures/Hud Textures/late.tga", TinyTga());
    DataManager* data = Data();
    std::atomic<bool> started{false}, destroyed{false};
    JobQueue* queue = data->GetJobQueue();
    ASSERT_NE(queue, nullptr);
    queue->Enqueue(new SlowLoadJob(started, destroyed));
    queue->Start();
    while (!started)
        std::this_thread::yield();
    data->ReleaseAll();
    // The job ran to its end and was completed before anything was released; its texture is released with
    // the rest (the fixture checks that the device has no reference left).
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(queue->WaitUntilDone(0), static_cast<DWORD>(WAIT_OBJECT_0));
    // Should the job outlive ReleaseAll, it must not meet the data manager being destroyed.
    queue->Join();
}

TEST_F(DataManagerCache, EveryMissingFileIsNamedOnceWithWhatStandsInForIt)
{
    DataTree& tree = Tree();
    tree.Write("Data/Sound/Sound Effects/defaultSound.wav", WavBytes(44100, 1, 4410, 0));
    DataManager* data = Data();
    LogCapture capture;
    // Asked for by every button, unit or frame that uses it: said once each.
    for (int i = 0; i < 3; ++i) {
        data->GetTexture("rock.tga");
        data->GetTexture("grass.tga");
        data->GetEffect("SkinnedMesh.fx");
        data->GetSoundSample("Varnholt_MenuMusicTemp.wav");
    }
    EXPECT_EQ(capture.Count("texture.missing"), 2);
    EXPECT_EQ(capture.Count("effect.missing"), 1);
    EXPECT_EQ(capture.Count("sound.missing"), 1);
    auto said = [&](const std::string& event, const std::string& name, const std::string& fallback) {
        for (const LogRecord& record : capture.Records())
            if (record.event == event && record.text.find('"' + name + '"') != std::string::npos)
                return record.text.find(fallback) != std::string::npos;
        return false;
    };
    EXPECT_TRUE(said("texture.missing", "rock.tga", "default.tga"));
    EXPECT_TRUE(said("effect.missing", "SkinnedMesh.fx", "basic.fx"));
    EXPECT_TRUE(said("sound.missing", "Varnholt_MenuMusicTemp.wav", "defaultSound.wav"));

    // Asking for the stand-ins themselves, or asking without a stand-in, says nothing here: the caller knows.
    capture.Clear();
    data->GetTexture("default.tga");
    data->GetEffect("basic.fx");
    data->GetTexture("nowhere.tga", true);
    EXPECT_TRUE(capture.Records().empty());

    // The same name under another event is another fault.
    data->ReportMissing("model.missing", "rock.tga", "is not found");
    data->ReportMissing("model.missing", "rock.tga", "is not found");
    EXPECT_EQ(capture.Count("model.missing"), 1);
}

TEST_F(DataManagerCache, AnEffectThatCannotBeCompiledIsSaidOnceAndNotCompiledAgain)
{
    DataTree& tree = Tree();
    tree.Write("Data/Effect Files/SkinnedMesh.fx", "technique Basic { pass P0 { VertexShader = compile");
    DataManager* data = Data();
    LogCapture capture;
    EXPECT_EQ(data->GetEffect("SkinnedMesh.fx"), nullptr);
    const int compileMessages = capture.Count("effect.file");
    EXPECT_EQ(data->GetEffect("SkinnedMesh.fx"), nullptr);
    EXPECT_EQ(capture.Count("effect.unreadable"), 1);
    EXPECT_EQ(capture.Count("effect.file"), compileMessages) << "the file is not compiled a second time";
}
