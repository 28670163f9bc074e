// Sound samples. Each sample has a function of its own; WriteSounds calls them all, then the music.
#include "DataWriter.h"
#include "Writers.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int SampleRate = 44100;

// What a sound that cannot be found plays: a short, soft two-tone blip.
void WriteDefaultSound(const std::filesystem::path& root)
{
    constexpr double seconds = 0.12;
    constexpr double pi = 3.14159265358979323846;
    const int frames = static_cast<int>(seconds * SampleRate);
    std::vector<int16_t> samples;
    samples.reserve(frames);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        const double frequency = i < frames / 2 ? 660.0 : 880.0;
        // Rises over 5 ms and fades out over the rest, so it does not click.
        const double envelope = std::min(1.0, t / 0.005) * (1.0 - static_cast<double>(i) / frames);
        samples.push_back(
            static_cast<int16_t>(std::lround(0.25 * envelope * std::sin(2.0 * pi * frequency * t) * 32767.0)));
    }
    WriteWav(DataDirectory(root, "Sound/Sound Effects") / "defaultSound.wav", SampleRate, 1, samples);
}

} // namespace

void WriteSounds(const std::filesystem::path& root)
{
    WriteDefaultSound(root);
    WriteMusic(root);
}
