#pragma once
// Sound effects are asked for by file name with an optional delay and played in the frame in which the delay
// runs out, so a sound can be timed to an animation. Music starts at once through PlayNow.

#include <mutex>
#include <string>
#include <vector>

struct FSOUND_SAMPLE;

// One queued sound. The sample belongs to the data manager's sound cache.
struct SoundRequest {
    FSOUND_SAMPLE* sample = nullptr;
    bool loop = false;
    float delay = 0.0f; // game seconds to wait
    float elapsed = 0.0f; // game seconds waited so far
    int soundClass = 0; // kept as given; playback does not read it
};

// Starts the sound library: 44100 Hz, 32 channels, 3-D distance factor 100, minimum and maximum distance 100
// and 10000 on every channel. Only the first call in a process does anything.
void InitSound();

class SoundQueue
{
public:
    static SoundQueue* Get();
    // Drops every pending request and forgets the music channel. For tests (the samples may be freed after).
    static void ResetForTests();

    SoundQueue(const SoundQueue&) = delete;
    SoundQueue& operator=(const SoundQueue&) = delete;

    // "blank" and names whose sample cannot be loaded (after the data manager's "defaultSound.wav" fallback)
    // queue nothing.
    void Queue(const std::string& fileName, int soundClass, bool loop, float delay);
    // Advances every request by the scaled frame time and plays, in queue order, those whose delay has run out.
    void Update();
    // Plays music at once. Music never stacks: the same music still playing is left alone, and other music stops
    // the music started before it.
    void PlayNow(const std::string& fileName, bool loop);
    // Stops the named music if PlayNow started it and it still plays; other music and sound effects play on.
    void StopMusic(const std::string& fileName);

    std::vector<SoundRequest> GetPendingRequests() const;

private:
    SoundQueue() = default;
    ~SoundQueue() = default;

    static void Play(FSOUND_SAMPLE* sample, bool loop, int* channel);

    mutable std::mutex m_lock;
    std::vector<SoundRequest> m_requests;
    FSOUND_SAMPLE* m_musicSample = nullptr;
    int m_musicChannel = -1;
};
