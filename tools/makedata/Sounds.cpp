// Sound samples. Each sample has a function of its own; WriteSounds calls them all, then the music.
#include "DataWriter.h"
#include "UnitSounds.h"
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

// One partial of an interface sound: a sine starting at `start` seconds that rises over 2 ms and then decays
// with the given time constant.
struct Partial {
    double start;
    double frequency;
    double amplitude;
    double decay;
};

std::vector<int16_t> RenderPartials(double seconds, const std::vector<Partial>& partials, double noise)
{
    constexpr double pi = 3.14159265358979323846;
    const int frames = static_cast<int>(seconds * SampleRate);
    std::vector<int16_t> samples;
    samples.reserve(frames);
    uint32_t state = 1; // the C runtime's generator, so every build writes the same bytes
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / SampleRate;
        double v = 0.0;
        for (const Partial& p : partials) {
            const double local = t - p.start;
            if (local < 0.0)
                continue;
            const double envelope = std::min(1.0, local / 0.002) * std::exp(-local / p.decay);
            v += p.amplitude * envelope * std::sin(2.0 * pi * p.frequency * local);
        }
        // A breath of noise in the first 4 ms gives the attack some texture.
        state = state * 214013u + 2531011u;
        const double white = static_cast<double>((state >> 16) & 0x7FFF) / 16383.5 - 1.0;
        v += noise * white * std::exp(-t / 0.004);
        // The tail is faded out over the last 10 ms so that it ends on silence.
        v *= std::min(1.0, (seconds - t) / 0.01);
        samples.push_back(static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0)));
    }
    return samples;
}

// A button press: a short, bright wooden knock.
void WriteClickSound(const std::filesystem::path& root)
{
    const std::vector<int16_t> samples =
        RenderPartials(0.07, {{0.0, 1320.0, 0.30, 0.012}, {0.0, 2640.0, 0.12, 0.006}, {0.0, 440.0, 0.15, 0.02}}, 0.18);
    WriteWav(DataDirectory(root, "Sound/Sound Effects") / "UI_CLICK.wav", SampleRate, 1, samples);
}

// The pointer entering a button: a faint, high tick that does not tire when heard often.
void WriteHoverSound(const std::filesystem::path& root)
{
    const std::vector<int16_t> samples =
        RenderPartials(0.06, {{0.0, 2093.0, 0.10, 0.015}, {0.0, 3136.0, 0.04, 0.010}}, 0.02);
    WriteWav(DataDirectory(root, "Sound/Sound Effects") / "UI_HOVER.wav", SampleRate, 1, samples);
}

// Going back or switching players: two soft notes falling a fourth.
void WriteBackSound(const std::filesystem::path& root)
{
    const std::vector<int16_t> samples = RenderPartials(
        0.18,
        {{0.0, 784.0, 0.22, 0.03}, {0.0, 1568.0, 0.05, 0.015}, {0.07, 587.0, 0.22, 0.04}, {0.07, 1174.0, 0.05, 0.02}},
        0.05);
    WriteWav(DataDirectory(root, "Sound/Sound Effects") / "UI_BACK.wav", SampleRate, 1, samples);
}

} // namespace

void WriteSounds(const std::filesystem::path& root)
{
    WriteDefaultSound(root);
    WriteClickSound(root);
    WriteHoverSound(root);
    WriteBackSound(root);
    WriteUnitSounds(DataDirectory(root, "Sound/Sound Effects"), VoiceSource::Speech);
    WriteMusic(root);
}
