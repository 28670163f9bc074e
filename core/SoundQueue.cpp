#include "core/SoundQueue.h"

#include "core/DataManager.h"
#include "sound/FSound.h"

#include <atomic>

namespace {

constexpr int MIX_RATE = 44100;
constexpr int MAX_CHANNELS = 32;
constexpr float DISTANCE_FACTOR = 100.0f;
constexpr float MIN_DISTANCE = 100.0f;
constexpr float MAX_DISTANCE = 10000.0f;
const std::string BLANK_SOUND = "blank";

std::atomic<SoundQueue*> g_instance{nullptr};
std::mutex g_creation;

} // namespace

void InitSound()
{
    static std::once_flag started;
    std::call_once(started, [] {
        // A failure leaves the library silent; the game plays on without sound.
        FSOUND_Init(MIX_RATE, MAX_CHANNELS, 0);
        FSOUND_3D_SetDistanceFactor(DISTANCE_FACTOR);
        FSOUND_3D_SetMinMaxDistance(FSOUND_ALL, MIN_DISTANCE, MAX_DISTANCE);
    });
}

SoundQueue* SoundQueue::Get()
{
    SoundQueue* instance = g_instance.load(std::memory_order_acquire);
    if (instance)
        return instance;
    std::lock_guard<std::mutex> guard(g_creation);
    instance = g_instance.load(std::memory_order_relaxed);
    if (!instance) {
        instance = new SoundQueue();
        g_instance.store(instance, std::memory_order_release);
    }
    return instance;
}

void SoundQueue::ResetForTests()
{
    SoundQueue* queue = Get();
    std::lock_guard<std::mutex> guard(queue->m_lock);
    queue->m_requests.clear();
    queue->m_musicSample = nullptr;
    queue->m_musicChannel = -1;
}

void SoundQueue::Queue(const std::string& fileName, int soundClass, bool loop, float delay)
{
    if (fileName == BLANK_SOUND)
        return;
    FSOUND_SAMPLE* sample = DataManager::Get()->GetSoundSample(fileName);
    if (!sample)
        return;
    SoundRequest request;
    request.sample = sample;
    request.loop = loop;
    request.delay = delay;
    request.soundClass = soundClass;
    std::lock_guard<std::mutex> guard(m_lock);
    m_requests.push_back(request);
}

void SoundQueue::Update()
{
    const float frameTime = DataManager::Get()->GetFrameTime();
    std::lock_guard<std::mutex> guard(m_lock);
    size_t kept = 0;
    for (size_t i = 0; i < m_requests.size(); ++i) {
        SoundRequest& request = m_requests[i];
        request.elapsed += frameTime;
        if (request.elapsed < request.delay) {
            m_requests[kept++] = request;
            continue;
        }
        Play(request.sample, request.loop, nullptr);
    }
    m_requests.resize(kept);
}

void SoundQueue::PlayNow(const std::string& fileName, bool loop)
{
    FSOUND_SAMPLE* sample = DataManager::Get()->GetSoundSample(fileName);
    if (!sample)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    // The channel may have finished and been taken by another sound since; only our music is ours to judge.
    const bool musicPlaying = m_musicChannel >= 0 && FSOUND_IsPlaying(m_musicChannel) &&
                              FSOUND_GetCurrentSample(m_musicChannel) == m_musicSample;
    if (musicPlaying) {
        if (m_musicSample == sample)
            return;
        FSOUND_StopSound(m_musicChannel);
    }
    m_musicSample = sample;
    Play(sample, loop, &m_musicChannel);
}

void SoundQueue::StopMusic(const std::string& fileName)
{
    FSOUND_SAMPLE* sample = DataManager::Get()->GetSoundSample(fileName);
    std::lock_guard<std::mutex> guard(m_lock);
    if (!sample || sample != m_musicSample)
        return;
    if (m_musicChannel >= 0 && FSOUND_IsPlaying(m_musicChannel) && FSOUND_GetCurrentSample(m_musicChannel) == sample)
        FSOUND_StopSound(m_musicChannel);
    m_musicChannel = -1;
    m_musicSample = nullptr;
}

std::vector<SoundRequest> SoundQueue::GetPendingRequests() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

void SoundQueue::Play(FSOUND_SAMPLE* sample, bool loop, int* channel)
{
    FSOUND_Sample_SetMode(sample, loop ? FSOUND_LOOP_NORMAL : 0);
    const int played = FSOUND_PlaySound(FSOUND_FREE, sample);
    if (channel)
        *channel = played;
}
