#include "sound/FSound.h"

#include "win32/Log.h"
#include "win32/PathResolver.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct FSOUND_SAMPLE {
    Mix_Chunk* chunk = nullptr;
    unsigned int mode = 0;
    // Index in the slot table, or -1 for an unmanaged sample.
    int slot = -1;
};

namespace {

// The mixer always runs in one format, whatever the device offers (SDL converts at the device), so a sample
// decoded once stays playable after the device is closed and opened again.
constexpr int MIXER_RATE = 44100;
constexpr Uint16 MIXER_FORMAT = AUDIO_S16SYS;
constexpr int MIXER_CHANNELS = 2;
constexpr int MIXER_BUFFER_FRAMES = 1024;
constexpr int BYTES_PER_FRAME = MIXER_CHANNELS * 2;
constexpr int MAX_VOICES = 4096;
constexpr int MAX_SAMPLE_SLOTS = 65536;
constexpr unsigned int LOOP_BITS = FSOUND_LOOP_OFF | FSOUND_LOOP_NORMAL | FSOUND_LOOP_BIDI;

struct SoundSystem {
    std::recursive_mutex lock;
    bool deviceOpen = false; // the mixer is running (on a real device or the silent one)
    bool initialised = false; // FSOUND_Init has been called and FSOUND_Close has not
    bool silent = false;
    bool announcedSilence = false;
    int voices = 0;
    std::vector<FSOUND_SAMPLE*> slots;
    // The sample last started on each channel.
    std::vector<FSOUND_SAMPLE*> channelSamples;
    float distanceFactor = 1.0f;
    float minDistance = 1.0f;
    float maxDistance = 1000000000.0f;
    // Leaving a sound driver that found no device waits for the driver's device watcher, up to a tenth of a
    // second; the move to the silent driver runs here instead of on the caller's thread. Whatever needs the
    // mixer waits for it (Settle) first.
    std::thread switching;
    bool switchOpened = false; // written by the switching thread, read after it is joined
    int pendingVoices = -1; // the channel count asked for while the switch ran; -1 for the mixer's own

    ~SoundSystem()
    {
        if (switching.joinable())
            switching.join();
    }
};

SoundSystem& System()
{
    static SoundSystem system;
    return system;
}

// The ALSA library reports every failed probe of a machine without a sound card on stderr, line after line.
// Those lines say nothing the single line of EnsureMixer does not, so they are silenced while the device is
// opened. The library is the one SDL loads itself; it is looked up, never required.
extern "C" void QuietAlsaError(const char*, int, const char*, int, const char*, ...)
{ }

class AlsaErrorsSilenced
{
public:
    AlsaErrorsSilenced()
    {
        library_ = dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD);
        if (!library_)
            library_ = dlopen("libasound.so.2", RTLD_LAZY);
        if (library_)
            setHandler_ = reinterpret_cast<SetHandler>(dlsym(library_, "snd_lib_error_set_handler"));
        if (setHandler_)
            setHandler_(&QuietAlsaError);
    }
    ~AlsaErrorsSilenced()
    {
        if (setHandler_)
            setHandler_(nullptr);
        if (library_)
            dlclose(library_);
    }
    AlsaErrorsSilenced(const AlsaErrorsSilenced&) = delete;
    AlsaErrorsSilenced& operator=(const AlsaErrorsSilenced&) = delete;

private:
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetHandler = int (*)(Handler);
    void* library_ = nullptr;
    SetHandler setHandler_ = nullptr;
};

bool OpenMixerOnCurrentDriver()
{
    const AlsaErrorsSilenced quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        return false;
    Mix_Init(MIX_INIT_MP3);
    // A driver without a device stays up: leaving it is slow, and the switch to the silent one leaves it anyway.
    return Mix_OpenAudioDevice(MIXER_RATE, MIXER_FORMAT, MIXER_CHANNELS, MIXER_BUFFER_FRAMES, nullptr, 0) == 0;
}

// The mixer on SDL's silent driver, in place of a driver that found no device or none that started.
bool OpenSilentMixer()
{
    if (SDL_WasInit(SDL_INIT_AUDIO)) {
        if (SDL_AudioInit("dummy") != 0)
            return false;
    } else {
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        const int started = SDL_InitSubSystem(SDL_INIT_AUDIO);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (started != 0)
            return false;
    }
    Mix_Init(MIX_INIT_MP3);
    return Mix_OpenAudioDevice(MIXER_RATE, MIXER_FORMAT, MIXER_CHANNELS, MIXER_BUFFER_FRAMES, nullptr, 0) == 0;
}

void MixerOpened(SoundSystem& system, int voices)
{
    system.deviceOpen = true;
    system.voices = Mix_AllocateChannels(voices);
    system.channelSamples.assign(static_cast<size_t>(system.voices), nullptr);
}

void MixerFailed(SoundSystem& system)
{
    LogFormat(LogLevel::INFO, "sound.device", "Sound: cannot start the mixer (%s); sounds cannot be loaded.",
              SDL_GetError());
    if (SDL_WasInit(SDL_INIT_AUDIO))
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    system.deviceOpen = false;
    system.initialised = false;
    system.voices = 0;
    system.channelSamples.clear();
}

// Waits for a switch to the silent driver to end and takes its outcome.
void Settle(SoundSystem& system)
{
    if (!system.switching.joinable())
        return;
    system.switching.join();
    if (system.switchOpened)
        MixerOpened(system, system.pendingVoices);
    else
        MixerFailed(system);
    system.pendingVoices = -1;
}

// Opens the mixer on the default device, or silently on SDL's dummy driver when there is none: decoding needs
// an open mixer, and the game must play on without sound. The silent mixer may still be on its way when this
// returns (see SoundSystem::switching).
bool EnsureMixer(SoundSystem& system)
{
    if (system.deviceOpen)
        return true;
    if (OpenMixerOnCurrentDriver()) {
        system.silent = false;
        MixerOpened(system, -1);
        return true;
    }
    if (!system.announcedSilence) {
        LogFormat(LogLevel::INFO, "sound.device", "Sound: no audio device (%s); the game plays without sound.",
                  SDL_GetError());
        system.announcedSilence = true;
    }
    system.silent = true;
    if (SDL_WasInit(SDL_INIT_AUDIO)) {
        system.deviceOpen = true;
        system.switchOpened = false;
        system.pendingVoices = -1;
        system.switching = std::thread([&system] { system.switchOpened = OpenSilentMixer(); });
        return true;
    }
    if (!OpenSilentMixer()) {
        MixerFailed(system);
        return false;
    }
    MixerOpened(system, -1);
    return true;
}

// The mixer, ready for use.
bool MixerReady(SoundSystem& system)
{
    if (!EnsureMixer(system))
        return false;
    Settle(system);
    return system.deviceOpen;
}

bool IsChannel(const SoundSystem& system, int channel)
{
    return system.deviceOpen && channel >= 0 && channel < system.voices;
}

void ForgetOnChannels(SoundSystem& system, const FSOUND_SAMPLE* sample)
{
    for (FSOUND_SAMPLE*& entry : system.channelSamples)
        if (entry == sample)
            entry = nullptr;
}

void FreeSample(SoundSystem& system, FSOUND_SAMPLE* sample)
{
    if (sample->slot >= 0 && static_cast<size_t>(sample->slot) < system.slots.size() &&
        system.slots[static_cast<size_t>(sample->slot)] == sample)
        system.slots[static_cast<size_t>(sample->slot)] = nullptr;
    ForgetOnChannels(system, sample);
    // Halts every channel still playing the chunk before freeing it.
    Mix_FreeChunk(sample->chunk);
    delete sample;
}

} // namespace

signed char FSOUND_Init(int mixrate, int maxsoftwarechannels, unsigned int)
{
    if (mixrate <= 0 || maxsoftwarechannels <= 0 || maxsoftwarechannels > MAX_VOICES)
        return 0;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    if (!EnsureMixer(system))
        return 0;
    system.initialised = true;
    if (system.switching.joinable()) {
        // The silent mixer takes this count when it is up; until then the channels are counted as if it were.
        system.pendingVoices = maxsoftwarechannels;
        system.voices = maxsoftwarechannels;
        system.channelSamples.assign(static_cast<size_t>(system.voices), nullptr);
        return 1;
    }
    // Channels that stay keep playing (the mixer halts only those beyond the new count), so they keep their
    // samples here too.
    system.voices = Mix_AllocateChannels(maxsoftwarechannels);
    system.channelSamples.resize(static_cast<size_t>(system.voices), nullptr);
    system.initialised = true;
    return 1;
}

void FSOUND_Close()
{
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    if (!system.deviceOpen)
        return;
    Mix_HaltChannel(-1);
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    system.deviceOpen = false;
    system.initialised = false;
    system.voices = 0;
    system.channelSamples.clear();
}

signed char FSOUND_GetNumHWChannels(int* num2d, int* num3d, int* total)
{
    if (num2d)
        *num2d = 0;
    if (num3d)
        *num3d = 0;
    if (total)
        *total = 0;
    return 1;
}

void FSOUND_3D_SetDistanceFactor(float scale)
{
    if (!(scale > 0.0f))
        return;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    system.distanceFactor = scale;
}

signed char FSOUND_3D_SetMinMaxDistance(int channel, float mindistance, float maxdistance)
{
    if (!(mindistance >= 0.0f) || !(maxdistance >= mindistance))
        return 0;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    if (channel != FSOUND_ALL && !IsChannel(system, channel))
        return 0;
    // Every sound plays in 2-D, so one pair serves all channels.
    system.minDistance = mindistance;
    system.maxDistance = maxdistance;
    return 1;
}

FSOUND_SAMPLE* FSOUND_Sample_Load(int index, const char* name_or_data, unsigned int mode, int offset, int length)
{
    if (!name_or_data || !*name_or_data || offset != 0 || length != 0)
        return nullptr;
    if (index != FSOUND_FREE && index != FSOUND_UNMANAGED && (index < 0 || index >= MAX_SAMPLE_SLOTS))
        return nullptr;

    const std::string path = PathResolver::Resolve(name_or_data);
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    if (!MixerReady(system))
        return nullptr;
    SDL_RWops* file = SDL_RWFromFile(path.c_str(), "rb");
    if (!file)
        return nullptr;
    // The file is closed here rather than by the mixer: some of its decoders leave the file open when they
    // refuse a few bytes that are no sound, and every such refusal would keep a descriptor.
    Mix_Chunk* chunk = Mix_LoadWAV_RW(file, 0);
    SDL_RWclose(file);
    if (!chunk)
        return nullptr;

    auto* sample = new FSOUND_SAMPLE;
    sample->chunk = chunk;
    sample->mode = mode;
    if (index == FSOUND_FREE) {
        size_t slot = 0;
        while (slot < system.slots.size() && system.slots[slot])
            ++slot;
        if (slot == system.slots.size())
            system.slots.push_back(nullptr);
        system.slots[slot] = sample;
        sample->slot = static_cast<int>(slot);
    } else if (index >= 0) {
        const auto slot = static_cast<size_t>(index);
        if (slot >= system.slots.size())
            system.slots.resize(slot + 1, nullptr);
        if (system.slots[slot])
            FreeSample(system, system.slots[slot]);
        system.slots[slot] = sample;
        sample->slot = index;
    }
    return sample;
}

signed char FSOUND_Sample_SetMode(FSOUND_SAMPLE* sptr, unsigned int mode)
{
    if (!sptr)
        return 0;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    // Only the loop behaviour can change after loading; 0 means no loop.
    sptr->mode = (sptr->mode & ~LOOP_BITS) | (mode & LOOP_BITS);
    return 1;
}

unsigned int FSOUND_Sample_GetMode(FSOUND_SAMPLE* sptr)
{
    if (!sptr)
        return 0;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    return sptr->mode;
}

unsigned int FSOUND_Sample_GetLength(FSOUND_SAMPLE* sptr)
{
    if (!sptr || !sptr->chunk)
        return 0;
    return sptr->chunk->alen / BYTES_PER_FRAME;
}

void FSOUND_Sample_Free(FSOUND_SAMPLE* sptr)
{
    if (!sptr)
        return;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    FreeSample(system, sptr);
}

int FSOUND_PlaySound(int channel, FSOUND_SAMPLE* sptr)
{
    if (!sptr)
        return -1;
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    if (!system.initialised)
        return -1;
    if (channel != FSOUND_FREE && !IsChannel(system, channel))
        return -1;
    const bool looped = (sptr->mode & (FSOUND_LOOP_NORMAL | FSOUND_LOOP_BIDI)) != 0;
    const int played = Mix_PlayChannel(channel == FSOUND_FREE ? -1 : channel, sptr->chunk, looped ? -1 : 0);
    if (!IsChannel(system, played))
        return -1;
    system.channelSamples[static_cast<size_t>(played)] = sptr;
    return played;
}

signed char FSOUND_StopSound(int channel)
{
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    if (!system.deviceOpen)
        return 0;
    if (channel == FSOUND_ALL) {
        Mix_HaltChannel(-1);
        return 1;
    }
    if (!IsChannel(system, channel))
        return 0;
    Mix_HaltChannel(channel);
    return 1;
}

signed char FSOUND_IsPlaying(int channel)
{
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    if (!IsChannel(system, channel))
        return 0;
    return Mix_Playing(channel) ? 1 : 0;
}

FSOUND_SAMPLE* FSOUND_GetCurrentSample(int channel)
{
    SoundSystem& system = System();
    std::lock_guard<std::recursive_mutex> guard(system.lock);
    Settle(system);
    if (!IsChannel(system, channel) || !Mix_Playing(channel))
        return nullptr;
    return system.channelSamples[static_cast<size_t>(channel)];
}

void FSOUND_Update()
{ }
