// The units' samples. Effects are built from a handful of pieces (thumps, filtered noise, swooshes, rings of
// inharmonic partials, sustained tones and a formant voice) and every sample is scaled to a peak of -6 dBFS, so
// that a dozen of them sounding together in a melee stay clear of clipping in the mixer. The talking classes
// speak through espeak-ng when the build machine has it; otherwise, or when a line fails, a vocal burst with
// the class's pitch stands in, so the tree is complete either way.
#include "UnitSounds.h"

#include "DataWriter.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int EffectRate = 44100;
constexpr int VoiceRate = 22050;
// -6 dBFS: half of full scale.
constexpr double PeakLevel = 0.5;
// No sample lasts longer than this; a spoken line that runs over is faded out.
constexpr double LongestSeconds = 1.5;

// A small linear congruential generator, seeded per sample, so every build writes the same bytes.
class Noise
{
public:
    explicit Noise(uint32_t seed) : m_state(seed * 2654435761u + 1u) { }
    // White noise in [-1, 1).
    double Next()
    {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<double>(m_state >> 8) / 8388608.0 - 1.0;
    }
    // Uniform in [0, 1).
    double Unit() { return 0.5 * (Next() + 1.0); }

private:
    uint32_t m_state;
};

// Chamberlin state-variable filter; only the band-pass output is used. Stable while the centre stays below
// about a sixth of the sample rate, which every caller keeps to.
class BandPass
{
public:
    double Run(double in, double centre, double damping, int rate)
    {
        const double f = 2.0 * std::sin(Pi * std::min(centre, rate / 6.5) / rate);
        m_low += f * m_band;
        const double high = in - m_low - damping * m_band;
        m_band += f * high;
        return m_band;
    }

private:
    double m_low = 0.0;
    double m_band = 0.0;
};

struct Buffer {
    int rate;
    std::vector<double> samples;

    Buffer(double seconds, int sampleRate) : rate(sampleRate), samples(static_cast<size_t>(seconds * sampleRate), 0.0)
    { }
    int Frames() const { return static_cast<int>(samples.size()); }
    int FrameAt(double seconds) const { return std::clamp(static_cast<int>(seconds * rate), 0, Frames()); }
};

// A low sine whose pitch falls from f0 to f1: the body of a footfall or a blow.
void Thump(Buffer& b, double start, double f0, double f1, double decay, double amp)
{
    double phase = 0.0;
    for (int i = b.FrameAt(start); i < b.FrameAt(start + decay * 7.0); ++i) {
        const double t = static_cast<double>(i) / b.rate - start;
        const double f = f1 + (f0 - f1) * std::exp(-t / decay);
        phase += 2.0 * Pi * f / b.rate;
        b.samples[i] += amp * std::min(1.0, t / 0.001) * std::exp(-t / decay) * std::sin(phase);
    }
}

// Band-limited noise with a sharp attack and an exponential decay; the centre glides from c0 to c1.
void Burst(Buffer& b, uint32_t seed, double start, double c0, double c1, double damping, double attack, double decay,
           double amp)
{
    Noise noise(seed);
    BandPass filter;
    const double length = attack + decay * 7.0;
    for (int i = b.FrameAt(start); i < b.FrameAt(start + length); ++i) {
        const double t = static_cast<double>(i) / b.rate - start;
        const double centre = c0 * std::pow(c1 / c0, std::min(1.0, t / length));
        const double envelope = t < attack ? t / attack : std::exp(-(t - attack) / decay);
        b.samples[i] += amp * envelope * filter.Run(noise.Next(), centre, damping, b.rate);
    }
}

// Air moved by a weapon: noise through a band that sweeps from c0 to c1, swelling and fading as a hump.
void Swoosh(Buffer& b, uint32_t seed, double start, double length, double c0, double c1, double amp)
{
    Noise noise(seed);
    BandPass filter;
    for (int i = b.FrameAt(start); i < b.FrameAt(start + length); ++i) {
        const double u = (static_cast<double>(i) / b.rate - start) / length;
        const double hump = std::sin(Pi * u);
        const double centre = c0 * std::pow(c1 / c0, u);
        b.samples[i] += amp * hump * hump * filter.Run(noise.Next(), centre, 0.6, b.rate);
    }
}

struct Partial {
    double frequency;
    double amp;
    double decay;
};

// Struck wood or metal: a few inharmonic partials, each with its own decay.
void Ring(Buffer& b, double start, const std::vector<Partial>& partials, double amp)
{
    for (const Partial& p : partials) {
        for (int i = b.FrameAt(start); i < b.FrameAt(start + p.decay * 7.0); ++i) {
            const double t = static_cast<double>(i) / b.rate - start;
            b.samples[i] +=
                amp * p.amp * std::min(1.0, t / 0.0005) * std::exp(-t / p.decay) * std::sin(2.0 * Pi * p.frequency * t);
        }
    }
}

// A held tone for spells: gliding from f0 to f1, a gentle vibrato, slow attack and release.
void Tone(Buffer& b, double start, double length, double f0, double f1, double vibrato, double attack, double release,
          double amp)
{
    double phase = 0.0;
    for (int i = b.FrameAt(start); i < b.FrameAt(start + length); ++i) {
        const double t = static_cast<double>(i) / b.rate - start;
        const double f = (f0 * std::pow(f1 / f0, t / length)) * (1.0 + vibrato * std::sin(2.0 * Pi * 5.5 * t));
        phase += 2.0 * Pi * f / b.rate;
        const double envelope = std::min({1.0, t / attack, (length - t) / release});
        b.samples[i] += amp * envelope * std::sin(phase);
    }
}

struct Vowel {
    double f1;
    double f2;
    double f3;
};

constexpr Vowel Ah{730.0, 1090.0, 2440.0};
constexpr Vowel Uh{640.0, 1190.0, 2390.0};
constexpr Vowel Eh{530.0, 1840.0, 2480.0};
constexpr Vowel Oh{570.0, 840.0, 2410.0};
constexpr Vowel Ee{390.0, 2300.0, 3000.0};

// A voiced sound: a pulse train at a pitch gliding from p0 to p1, with some breath, shaped by three formant
// resonators that move from vowel v0 to v1.
void Vocal(Buffer& b, uint32_t seed, double start, double length, double p0, double p1, Vowel v0, Vowel v1,
           double breath, double amp)
{
    Noise noise(seed);
    BandPass r1, r2, r3;
    double phase = 0.0;
    for (int i = b.FrameAt(start); i < b.FrameAt(start + length); ++i) {
        const double t = static_cast<double>(i) / b.rate - start;
        const double u = t / length;
        const double pitch = p0 * std::pow(p1 / p0, u) * (1.0 + 0.01 * noise.Next());
        phase += pitch / b.rate;
        phase -= std::floor(phase);
        // A falling ramp with its corner softened reads more like a throat than a plain sawtooth.
        const double source = (1.0 - 2.0 * phase) * (1.0 - std::exp(-phase * 40.0)) + breath * noise.Next();
        const double f1 = v0.f1 + (v1.f1 - v0.f1) * u;
        const double f2 = v0.f2 + (v1.f2 - v0.f2) * u;
        const double f3 = v0.f3 + (v1.f3 - v0.f3) * u;
        const double voiced = r1.Run(source, f1, 0.12, b.rate) + 0.5 * r2.Run(source, f2, 0.1, b.rate) +
                              0.25 * r3.Run(source, f3, 0.08, b.rate);
        const double envelope = std::min({1.0, t / 0.02, (length - t) / (0.35 * length)});
        b.samples[i] += amp * envelope * voiced;
    }
}

// Fades both ends so that nothing clicks, then scales the peak to the common level.
std::vector<int16_t> Finish(Buffer& b)
{
    const int frames = b.Frames();
    const int in = std::min(frames, b.rate / 500);
    const int out = std::min(frames, b.rate / 60);
    for (int i = 0; i < in; ++i)
        b.samples[i] *= static_cast<double>(i) / in;
    for (int i = 0; i < out; ++i)
        b.samples[frames - 1 - i] *= static_cast<double>(i) / out;
    double peak = 0.0;
    for (double s : b.samples)
        peak = std::max(peak, std::abs(s));
    const double gain = peak > 0.0 ? PeakLevel / peak : 0.0;
    std::vector<int16_t> pcm;
    pcm.reserve(frames);
    for (double s : b.samples)
        pcm.push_back(static_cast<int16_t>(std::lround(s * gain * 32767.0)));
    return pcm;
}

uint32_t Seed(const std::string& name)
{
    uint32_t h = 2166136261u;
    for (unsigned char c : name)
        h = (h ^ c) * 16777619u;
    return h;
}

// ---- Footsteps -------------------------------------------------------------------------------------------

enum class Boots
{
    Cloth,
    Leather,
    Mail,
    Plate
};

Buffer Footstep(uint32_t seed, Boots boots, double pitch)
{
    Buffer b(0.32, EffectRate);
    const double weight = boots == Boots::Cloth ? 0.5 : 0.8;
    Thump(b, 0.0, 120.0 * pitch, 60.0 * pitch, 0.03, weight);
    Burst(b, seed, 0.0, 500.0 * pitch, 250.0 * pitch, 0.7, 0.002, 0.025, 0.9 * weight);
    // The toe and the grit of the ground after the heel.
    Burst(b, seed + 1, 0.05, 1800.0 * pitch, 3200.0 * pitch, 0.8, 0.004, 0.018, 0.35);
    if (boots == Boots::Cloth)
        Burst(b, seed + 2, 0.0, 2500.0, 4000.0, 0.9, 0.03, 0.05, 0.2); // the hem of a robe
    if (boots == Boots::Mail) {
        Noise n(seed + 3);
        for (int k = 0; k < 6; ++k)
            Burst(b, seed + 10 + k, 0.01 + 0.12 * n.Unit(), 5200.0, 6400.0, 0.3, 0.001, 0.01, 0.25);
    }
    if (boots == Boots::Plate)
        Ring(b, 0.008, {{1250.0 * pitch, 0.5, 0.05}, {2710.0 * pitch, 0.35, 0.04}, {4230.0 * pitch, 0.2, 0.03}}, 0.35);
    return b;
}

// ---- Weapons ---------------------------------------------------------------------------------------------

enum class Weapon
{
    Pike,
    Club,
    Hammer,
    Sword,
    Daggers,
    Staff
};

// The blow landing, by weapon.
void Impact(Buffer& b, uint32_t seed, double at, Weapon weapon)
{
    switch (weapon) {
    case Weapon::Pike:
        Thump(b, at, 160.0, 90.0, 0.03, 0.6);
        Ring(b, at, {{420.0, 0.6, 0.025}, {1130.0, 0.4, 0.015}}, 0.5);
        Burst(b, seed, at, 1200.0, 2400.0, 0.7, 0.001, 0.02, 0.5);
        break;
    case Weapon::Club:
        Thump(b, at, 95.0, 50.0, 0.06, 1.0);
        Burst(b, seed, at, 400.0, 200.0, 0.7, 0.002, 0.05, 0.8);
        break;
    case Weapon::Hammer:
        Thump(b, at, 80.0, 45.0, 0.07, 0.9);
        Ring(b, at, {{320.0, 0.6, 0.12}, {860.0, 0.45, 0.09}, {1510.0, 0.3, 0.07}, {2390.0, 0.2, 0.05}}, 0.45);
        Burst(b, seed, at, 900.0, 500.0, 0.6, 0.001, 0.03, 0.6);
        break;
    case Weapon::Sword:
        Burst(b, seed, at, 3000.0, 5000.0, 0.5, 0.001, 0.015, 0.6);
        Ring(b, at, {{1800.0, 0.5, 0.15}, {2950.0, 0.4, 0.12}, {4400.0, 0.25, 0.09}}, 0.35);
        break;
    case Weapon::Daggers:
        Burst(b, seed, at, 3500.0, 6000.0, 0.5, 0.001, 0.03, 0.7);
        Ring(b, at, {{3200.0, 0.5, 0.05}, {5100.0, 0.3, 0.04}}, 0.25);
        break;
    case Weapon::Staff:
        Thump(b, at, 140.0, 80.0, 0.03, 0.5);
        Ring(b, at, {{700.0, 0.6, 0.015}, {1830.0, 0.4, 0.012}, {2950.0, 0.25, 0.01}}, 0.6);
        break;
    }
}

// A swing through the air followed by the blow; variant 1 is a little slower and lower.
Buffer Attack(uint32_t seed, Weapon weapon, int variant)
{
    const double slow = variant == 0 ? 1.0 : 1.15;
    Buffer b(0.75, EffectRate);
    switch (weapon) {
    case Weapon::Pike:
        Swoosh(b, seed, 0.0, 0.16 * slow, 600.0, 2000.0 / slow, 0.9);
        Impact(b, seed + 1, 0.16 * slow, weapon);
        break;
    case Weapon::Club:
        Swoosh(b, seed, 0.0, 0.26 * slow, 300.0, 900.0 / slow, 0.9);
        Impact(b, seed + 1, 0.25 * slow, weapon);
        break;
    case Weapon::Hammer:
        Swoosh(b, seed, 0.0, 0.24 * slow, 350.0, 1100.0 / slow, 0.9);
        Impact(b, seed + 1, 0.23 * slow, weapon);
        break;
    case Weapon::Sword:
        Swoosh(b, seed, 0.0, 0.18 * slow, 900.0, 2500.0 / slow, 0.9);
        Impact(b, seed + 1, 0.17 * slow, weapon);
        break;
    case Weapon::Daggers:
        // Two quick cuts, one from each hand.
        Swoosh(b, seed, 0.0, 0.09, 1500.0, 4000.0 / slow, 0.8);
        Swoosh(b, seed + 1, 0.1 * slow, 0.09, 1700.0, 4200.0 / slow, 0.8);
        Impact(b, seed + 2, 0.19 * slow, weapon);
        break;
    case Weapon::Staff:
        Swoosh(b, seed, 0.0, 0.2 * slow, 500.0, 1500.0 / slow, 0.9);
        Impact(b, seed + 1, 0.19 * slow, weapon);
        break;
    }
    return b;
}

// A sling whirled three times, faster each turn, and let go with a snap; the stone whizzes off.
Buffer SlingRelease(uint32_t seed)
{
    Buffer b(0.7, EffectRate);
    double at = 0.0;
    for (int k = 0; k < 3; ++k) {
        const double turn = 0.15 - 0.03 * k;
        Swoosh(b, seed + k, at, turn, 400.0 + 100.0 * k, 900.0 + 200.0 * k, 0.4 + 0.2 * k);
        at += turn;
    }
    Burst(b, seed + 5, at, 1500.0, 3000.0, 0.5, 0.001, 0.01, 0.9);
    Swoosh(b, seed + 6, at + 0.01, 0.2, 3000.0, 1800.0, 0.3);
    return b;
}

// A bowstring let go (a damped pluck) and the arrow striking home a moment later: the archer's shot, and the
// light blow any unit may take.
Buffer BowShot(uint32_t seed)
{
    Buffer b(0.45, EffectRate);
    Ring(b, 0.0, {{180.0, 0.7, 0.05}, {360.0, 0.35, 0.035}, {540.0, 0.2, 0.025}, {905.0, 0.1, 0.02}}, 0.6);
    Burst(b, seed, 0.0, 2500.0, 1500.0, 0.6, 0.001, 0.008, 0.4);
    Swoosh(b, seed + 1, 0.02, 0.1, 2500.0, 4000.0, 0.25);
    Thump(b, 0.12, 180.0, 90.0, 0.02, 0.7);
    Burst(b, seed + 2, 0.12, 800.0, 2000.0, 0.6, 0.001, 0.02, 0.6);
    return b;
}

// ---- Blows taken, blocks -------------------------------------------------------------------------------

Buffer HeavyBlow(uint32_t seed)
{
    Buffer b(0.5, EffectRate);
    Thump(b, 0.0, 100.0, 45.0, 0.08, 1.0);
    Burst(b, seed, 0.0, 500.0, 150.0, 0.7, 0.001, 0.05, 0.8);
    Burst(b, seed + 1, 0.0, 1000.0, 3000.0, 0.6, 0.001, 0.02, 0.4);
    return b;
}

// Metal meeting a shield: a clang over a dull thud.
Buffer ShieldBlock(uint32_t seed)
{
    Buffer b(0.9, EffectRate);
    Thump(b, 0.0, 130.0, 70.0, 0.04, 0.6);
    Burst(b, seed, 0.0, 1500.0, 900.0, 0.6, 0.001, 0.02, 0.6);
    Ring(b, 0.0, {{520.0, 0.6, 0.2}, {1240.0, 0.45, 0.16}, {2210.0, 0.3, 0.12}, {3350.0, 0.2, 0.09}}, 0.4);
    return b;
}

// A dagger turning a blade aside: a bright clink and a scrape.
Buffer Parry(uint32_t seed)
{
    Buffer b(0.6, EffectRate);
    Ring(b, 0.0, {{2400.0, 0.6, 0.08}, {3900.0, 0.4, 0.06}, {5600.0, 0.25, 0.04}}, 0.5);
    Burst(b, seed, 0.01, 3000.0, 5500.0, 0.7, 0.01, 0.06, 0.35);
    return b;
}

Buffer Miss(uint32_t seed)
{
    Buffer b(0.35, EffectRate);
    Swoosh(b, seed, 0.0, 0.3, 1200.0, 3200.0, 1.0);
    return b;
}

// ---- Spells ----------------------------------------------------------------------------------------------

enum class School
{
    Holy,
    Shadow,
    Nature,
    Arcane
};

Buffer Spell(uint32_t seed, School school, int variant)
{
    Buffer b(1.2, EffectRate);
    switch (school) {
    case School::Holy: {
        // A bright major chord over a bell; the second variant lies an octave lower with a strike on the ground.
        const double base = variant == 0 ? 1046.5 : 523.25;
        for (double ratio : {1.0, 1.26, 1.498})
            Tone(b, 0.0, 1.15, base * ratio, base * ratio * 1.01, 0.004, 0.12, 0.5, 0.3);
        Ring(b, 0.0, {{base * 2.0, 0.5, 0.3}, {base * 2.76, 0.3, 0.2}, {base * 5.4, 0.15, 0.1}}, 0.3);
        Burst(b, seed, 0.0, 5000.0, 6000.0, 0.4, 0.3, 0.2, 0.15);
        if (variant == 1)
            Thump(b, 0.0, 90.0, 50.0, 0.1, 0.8);
        break;
    }
    case School::Shadow: {
        // Low, beating tones that swell and are cut off, under a rushing breath drawn inward.
        const double base = variant == 0 ? 110.0 : variant == 1 ? 98.0 : 130.8;
        Tone(b, 0.0, 1.0, base, base * 0.9, 0.0, 0.6, 0.1, 0.4);
        Tone(b, 0.0, 1.0, base * 1.032, base * 0.93, 0.0, 0.6, 0.1, 0.4);
        Tone(b, 0.0, 1.0, base * 1.5, base * 1.3, 0.01, 0.7, 0.1, 0.2);
        Swoosh(b, seed, 0.0, 1.0, 3500.0, 600.0, 0.5);
        if (variant == 2)
            Burst(b, seed + 1, 0.0, 4000.0, 2000.0, 0.5, 0.5, 0.15, 0.3); // a whisper
        break;
    }
    case School::Nature: {
        // Wind through leaves and a few wooden knocks.
        Swoosh(b, seed, 0.0, 1.1, 800.0, 2500.0, 0.6);
        Noise n(seed + 1);
        for (int k = 0; k < 5; ++k)
            Ring(b, 0.1 + 0.8 * n.Unit(), {{600.0 + 400.0 * n.Unit(), 0.5, 0.02}}, 0.4);
        break;
    }
    case School::Arcane: {
        if (variant == 0) {
            // A crackle of sparks, a falling zap and a thunderclap.
            Noise n(seed);
            for (int k = 0; k < 40; ++k)
                Burst(b, seed + 1 + k, 0.5 * n.Unit(), 3000.0, 5000.0, 0.4, 0.0005, 0.004, 0.5);
            Tone(b, 0.0, 0.5, 1800.0, 200.0, 0.02, 0.01, 0.1, 0.3);
            Thump(b, 0.45, 70.0, 35.0, 0.15, 1.0);
            Burst(b, seed + 100, 0.45, 300.0, 120.0, 0.5, 0.005, 0.12, 0.7);
        } else {
            // A rising hum with a shimmer: a ward, a focus or a beam.
            const double base = variant == 1 ? 220.0 : variant == 2 ? 330.0 : 660.0;
            Tone(b, 0.0, 1.1, base, base * 1.5, 0.01, 0.2, 0.4, 0.4);
            Tone(b, 0.0, 1.1, base * 2.01, base * 3.0, 0.012, 0.3, 0.4, 0.2);
            Burst(b, seed, 0.1, 3000.0, 6000.0, 0.3, 0.4, 0.2, 0.15);
        }
        break;
    }
    }
    return b;
}

// The slow-motion moment of a deadly blow: a deep falling rush and a boom.
Buffer Slowdown(uint32_t seed)
{
    Buffer b(1.3, EffectRate);
    Swoosh(b, seed, 0.0, 1.0, 2000.0, 200.0, 0.8);
    Tone(b, 0.0, 1.2, 220.0, 110.0, 0.0, 0.05, 0.5, 0.3);
    Thump(b, 0.05, 70.0, 35.0, 0.3, 1.0);
    return b;
}

// A ghostly wind as the body falls still.
Buffer DeathWind(uint32_t seed)
{
    Buffer b(1.45, EffectRate);
    Swoosh(b, seed, 0.0, 0.8, 400.0, 900.0, 0.8);
    Swoosh(b, seed + 1, 0.5, 0.9, 900.0, 300.0, 0.8);
    Tone(b, 0.1, 1.2, 392.0, 370.0, 0.02, 0.4, 0.6, 0.12);
    Tone(b, 0.1, 1.2, 587.0, 554.0, 0.02, 0.4, 0.6, 0.08);
    return b;
}

// A knight's charge: quick armoured strides, a sword swung and the clash.
Buffer Charge(uint32_t seed)
{
    Buffer b(1.3, EffectRate);
    for (int k = 0; k < 4; ++k) {
        Buffer step = Footstep(seed + k, Boots::Plate, 1.0 - 0.03 * k);
        const int at = b.FrameAt(0.16 * k);
        for (int i = 0; i < step.Frames() && at + i < b.Frames(); ++i)
            b.samples[at + i] += (0.5 + 0.15 * k) * step.samples[i];
    }
    Swoosh(b, seed + 10, 0.62, 0.18, 900.0, 2500.0, 0.9);
    Impact(b, seed + 11, 0.79, Weapon::Sword);
    Thump(b, 0.79, 110.0, 55.0, 0.05, 0.7);
    return b;
}

// ---- Cries ------------------------------------------------------------------------------------------------

// A grunt of pain; pitch is the speaker's natural pitch.
Buffer Pain(uint32_t seed, double pitch, Vowel vowel)
{
    Buffer b(0.4, EffectRate);
    Vocal(b, seed, 0.0, 0.32, pitch * 1.35, pitch * 0.85, vowel, Uh, 0.25, 1.0);
    Burst(b, seed + 1, 0.0, 700.0, 1500.0, 0.6, 0.001, 0.03, 0.2); // a sharp breath at the blow
    return b;
}

// A long falling cry and the body hitting the ground.
Buffer Death(uint32_t seed, double pitch)
{
    Buffer b(1.2, EffectRate);
    Vocal(b, seed, 0.0, 0.8, pitch * 1.5, pitch * 0.6, Ah, Oh, 0.3, 1.0);
    Thump(b, 0.85, 90.0, 45.0, 0.08, 0.8);
    Burst(b, seed + 1, 0.85, 400.0, 200.0, 0.7, 0.002, 0.06, 0.6);
    return b;
}

// A few syllables of vocal burst with the class's pitch, shaped by the letters of the line; what plays when
// no speech synthesizer is at hand.
Buffer StandIn(const std::string& text, double pitch, uint32_t seed)
{
    std::vector<Vowel> syllables;
    bool inVowel = false;
    for (char c : text) {
        const char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool vowel = l == 'a' || l == 'e' || l == 'i' || l == 'o' || l == 'u' || l == 'y';
        if (vowel && !inVowel && syllables.size() < 5)
            syllables.push_back(l == 'a' ? Ah : l == 'e' ? Eh : l == 'i' || l == 'y' ? Ee : l == 'o' ? Oh : Uh);
        inVowel = vowel;
    }
    if (syllables.empty())
        syllables.push_back(Uh);
    const bool shout = text.find('!') != std::string::npos;
    const double length = 0.16;
    Buffer b(0.1 + length * static_cast<double>(syllables.size()), VoiceRate);
    for (size_t k = 0; k < syllables.size(); ++k) {
        const double at = 0.02 + length * static_cast<double>(k);
        // Statements fall at the end; shouts ride higher throughout.
        const double rise = shout ? 1.25 : 1.0;
        const double fall = k + 1 == syllables.size() ? 0.8 : 1.0;
        const Vowel next = k + 1 < syllables.size() ? syllables[k + 1] : Uh;
        Vocal(b, seed + static_cast<uint32_t>(k), at, length * 0.95, pitch * rise, pitch * rise * fall, syllables[k],
              next, 0.1, 1.0);
    }
    return b;
}

// ---- Speech -----------------------------------------------------------------------------------------------

struct Speaker {
    const char* voice;
    int pitch; // espeak-ng's 0-99
    int speed; // words a minute
    double f0; // the stand-in's pitch in Hz
};

constexpr Speaker Pikeman{"en-gb+m3", 45, 175, 130.0};
constexpr Speaker CombatMage{"en-gb-x-rp+m1", 60, 170, 150.0};
constexpr Speaker Assassin{"en-us+m7", 30, 165, 115.0};
constexpr Speaker Knight{"en-gb-scotland+m2", 20, 155, 95.0};

struct Line {
    const char* file;
    const Speaker* speaker;
    const char* text;
};

// The spoken lines: attack shouts, defend and focus calls, move acknowledgements, general shouts, turn-start
// greetings and death cries, plus the lines some classes speak as they use an ability.
const std::vector<Line>& Lines()
{
    static const std::vector<Line> lines = {
        {"PMVO_AT_01.wav", &Pikeman, "Have at you!"},
        {"PMVO_AT_02.wav", &Pikeman, "Pikes forward!"},
        {"PMVO_AT_03.wav", &Pikeman, "Take this!"},
        {"PMVO_DE_01.wav", &Pikeman, "Hold the line!"},
        {"PMVO_DE_02.wav", &Pikeman, "Shields up!"},
        {"PMVO_FO_01.wav", &Pikeman, "Steady."},
        {"PMVO_FO_02.wav", &Pikeman, "Deep breath."},
        {"PMVO_MO_01.wav", &Pikeman, "Moving out."},
        {"PMVO_MO_02.wav", &Pikeman, "On my way."},
        {"PMVO_MO_03.wav", &Pikeman, "Marching!"},
        {"PMVO_GA_01.wa", &Pikeman, "For the Varnholt!"},
        {"PMVO_GA_02.wav", &Pikeman, "Stand fast!"},
        {"PMVO_GA_03.wav", &Pikeman, "Ha!"},
        {"PMVO_GA_04.wav", &Pikeman, "Come on then!"},
        {"PMVO_GA_05.wav", &Pikeman, "Pikes high!"},
        {"PMVO_UG_01.wav", &Pikeman, "Ready."},
        {"PMVO_UG_02.wav", &Pikeman, "Awaiting orders."},
        {"PMVO_UG_03.wav", &Pikeman, "Pikeman here."},
        {"PMVO_VS_01.wav", &Pikeman, "Aaagh!"},
        {"PMVO_VS_02.wav", &Pikeman, "Not like this!"},
        {"PMVO_XX_01.wav", &Pikeman, "Victory!"},
        {"PMVO_XX_02.wav", &Pikeman, "Too easy."},
        {"PMVO_SP_01_01.wav", &Pikeman, "Thrust!"},
        {"PMVO_SP_02_01.wav", &Pikeman, "Spirit, guide me!"},
        {"PMVO_SP_03_01.wav", &Pikeman, "Phalanx!"},
        {"CMVO AT 01.wav", &CombatMage, "Burn!"},
        {"CMVO AT 02.wav", &CombatMage, "Feel my power!"},
        {"CMVO AT 03.wav", &CombatMage, "Taste lightning!"},
        {"CMVO MO 01.wav", &CombatMage, "As you wish."},
        {"CMVO MO 02.wav", &CombatMage, "Moving."},
        {"CMVO MO 03.wav", &CombatMage, "Very well."},
        {"CMVO AO 01.wav", &CombatMage, "The storm answers."},
        {"CMVO AO 02.wav", &CombatMage, "Power flows."},
        {"CMVO AO 03.wav", &CombatMage, "Mind your step."},
        {"CMVO UG 01.wav", &CombatMage, "I am ready."},
        {"CMVO UG 02.wav", &CombatMage, "Speak."},
        {"CMVO DE 01.wav", &CombatMage, "Ward me!"},
        {"CMVO SP 02.wav", &CombatMage, "Shards of ice!"},
        {"CMVO SP_ 4.wav", &CombatMage, "Focus!"},
        {"ASVO AT 01.wav", &Assassin, "Die quietly."},
        {"ASVO AT 02.wav", &Assassin, "Too slow."},
        {"ASVO AT 03.wav", &Assassin, "From the shadows!"},
        {"ASVO DE 01.wav", &Assassin, "Try me."},
        {"ASVO DE 02.wav", &Assassin, "Guarded."},
        {"ASVO FO 01.wav", &Assassin, "Patience."},
        {"ASVO FO 02.wav", &Assassin, "I see it now."},
        {"ASVO MO 01.wav", &Assassin, "Unseen."},
        {"ASVO MO 02.wav", &Assassin, "Moving."},
        {"ASVO MO 03.wav", &Assassin, "Like a shadow."},
        {"ASVO GA 01.wav", &Assassin, "Hm."},
        {"ASVO GA 02.wav", &Assassin, "Blades ready."},
        {"ASVO GA 03.wav", &Assassin, "No one escapes."},
        {"ASVO GA 04.wav", &Assassin, "Quiet now."},
        {"ASVO GA 05.wav", &Assassin, "A clean cut."},
        {"ASVO UG 01.wav", &Assassin, "Yes?"},
        {"ASVO UG 02.wav", &Assassin, "Your move."},
        {"ASVO UG 03.wav", &Assassin, "I'm listening."},
        {"ASVO SP 02.wav", &Assassin, "Fan of daggers!"},
        {"KNVO_AT_01.wav", &Knight, "For honour!"},
        {"KNVO_AT_02.wav", &Knight, "Yield!"},
        {"KNVO_AT_03.wav", &Knight, "Have at thee!"},
        {"KNVO_DE_01.wav", &Knight, "I stand firm!"},
        {"KNVO_DE_02.wav", &Knight, "None shall pass!"},
        {"KNVO_FO_01.wav", &Knight, "Steel yourself."},
        {"KNVO_FO_02.wav", &Knight, "Steady, heart."},
        {"KNVO_MO_01.wav", &Knight, "Forward!"},
        {"KNVO_MO_02.wav", &Knight, "Onward!"},
        {"KNVO_MO_03.wav", &Knight, "Ride on!"},
        {"KNVO_GA_01.wav", &Knight, "For the realm!"},
        {"KNVO_GA_02.wav", &Knight, "To arms!"},
        {"KNVO_GA_03.wav", &Knight, "Glory awaits!"},
        {"KNVO_GA_04.wav", &Knight, "Stand with me!"},
        {"KNVO_GA_05.wav", &Knight, "Ha ha!"},
        {"KNVO_UG_01.wav", &Knight, "At your command."},
        {"KNVO_US_01.wav", &Knight, "My sword is yours."},
        {"KNVO_US_02.wav", &Knight, "Ready for battle."},
    };
    return lines;
}

// Reads the mono 16-bit PCM a speech synthesizer wrote; false when the file is not one.
bool ReadSpeech(const std::filesystem::path& path, Buffer& out)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
               static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
    };
    auto u16 = [&](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    if (bytes.size() < 12 || std::string(bytes.begin(), bytes.begin() + 4) != "RIFF" ||
        std::string(bytes.begin() + 8, bytes.begin() + 12) != "WAVE")
        return false;
    int rate = 0;
    bool pcm16mono = false;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id(bytes.begin() + static_cast<long>(at), bytes.begin() + static_cast<long>(at) + 4);
        // A writer that streams may leave the size unpatched; never read past the end.
        const size_t size = std::min<size_t>(u32(at + 4), bytes.size() - at - 8);
        if (id == "fmt " && size >= 16) {
            pcm16mono = u16(at + 8) == 1 && u16(at + 10) == 1 && u16(at + 22) == 16;
            rate = static_cast<int>(u32(at + 12));
        } else if (id == "data") {
            if (!pcm16mono || rate < 8000 || rate > 96000)
                return false;
            out.rate = rate;
            out.samples.clear();
            for (size_t i = 0; i + 1 < size; i += 2)
                out.samples.push_back(static_cast<int16_t>(u16(at + 8 + i)) / 32768.0);
            return !out.samples.empty();
        }
        at += 8 + size + (size & 1);
    }
    return false;
}

// Cuts the silence around the words and fades out whatever runs over the longest length.
void TrimSpeech(Buffer& b)
{
    double peak = 0.0;
    for (double s : b.samples)
        peak = std::max(peak, std::abs(s));
    const double floor = peak * 0.02;
    auto first = std::find_if(b.samples.begin(), b.samples.end(), [&](double s) { return std::abs(s) > floor; });
    auto last = std::find_if(b.samples.rbegin(), b.samples.rend(), [&](double s) { return std::abs(s) > floor; });
    if (first == b.samples.end())
        return;
    // A little air on both sides keeps the onset and the last consonant.
    const long pad = b.rate / 100;
    const long begin = std::max(0L, static_cast<long>(first - b.samples.begin()) - pad);
    const long end = std::min(static_cast<long>(b.samples.size()), static_cast<long>(b.samples.rend() - last) + pad);
    std::vector<double> kept(b.samples.begin() + begin, b.samples.begin() + end);
    const size_t longest = static_cast<size_t>(LongestSeconds * b.rate);
    if (kept.size() > longest) {
        kept.resize(longest);
        const size_t fade = static_cast<size_t>(b.rate) / 20;
        for (size_t i = 0; i < fade; ++i)
            kept[longest - 1 - i] *= static_cast<double>(i) / fade;
    }
    b.samples = std::move(kept);
}

// Speaks the line through espeak-ng into a temporary file; false when the program is missing or fails.
bool Speak(const Line& line, size_t index, Buffer& out)
{
    const std::filesystem::path temp =
        std::filesystem::temp_directory_path() /
        ("varnholt-voice-" + std::to_string(getpid()) + "-" + std::to_string(index) + ".wav");
    const std::string pitch = std::to_string(line.speaker->pitch);
    const std::string speed = std::to_string(line.speaker->speed);
    const std::string output = temp.string();
    std::vector<std::string> args = {"espeak-ng", "-v",     line.speaker->voice, "-p", pitch, "-s", speed, "-w", output,
                                     "--",        line.text};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "espeak-ng", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    bool spoken = false;
    if (spawned == 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) { }
        spoken = WIFEXITED(status) && WEXITSTATUS(status) == 0 && ReadSpeech(temp, out);
    }
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    if (spoken)
        TrimSpeech(out);
    return spoken && out.samples.size() > static_cast<size_t>(out.rate / 20);
}

// ---- The table of effects ------------------------------------------------------------------------------

struct Effect {
    const char* file;
    Buffer (*render)(uint32_t seed);
};

const std::vector<Effect>& Effects()
{
    static const std::vector<Effect> effects = {
        // Footsteps, two per class (left and right foot).
        {"PM_MO_01.wav", [](uint32_t s) { return Footstep(s, Boots::Mail, 1.0); }},
        {"PM_MO_02.wav", [](uint32_t s) { return Footstep(s, Boots::Mail, 0.92); }},
        {"MI_MO_01.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 1.0); }},
        {"MI_MO_02.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 0.92); }},
        {"PA_MO_S_01.wav", [](uint32_t s) { return Footstep(s, Boots::Plate, 1.0); }},
        {"PA_MO_S_02.wav", [](uint32_t s) { return Footstep(s, Boots::Plate, 0.93); }},
        {"MA_MO_01.wav", [](uint32_t s) { return Footstep(s, Boots::Cloth, 1.05); }},
        {"MA_MO_02.wav", [](uint32_t s) { return Footstep(s, Boots::Cloth, 0.97); }},
        {"MA_MO_03.wav", [](uint32_t s) { return Footstep(s, Boots::Cloth, 1.1); }},
        {"MA_MO_04.wav", [](uint32_t s) { return Footstep(s, Boots::Cloth, 1.02); }},
        {"CM_MO_01.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 1.05); }},
        {"CM_MO_02.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 0.97); }},
        {"AS_MO_R1.wav", [](uint32_t s) { return Footstep(s, Boots::Cloth, 1.15); }},
        {"AS_MO_L1.wav", [](uint32_t s) { return Footstep(s, Boots::Cloth, 1.08); }},
        {"SC_MO_01.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 1.1); }},
        {"SC_MO_03.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 1.02); }},
        {"KN_MO_S_01.wav", [](uint32_t s) { return Footstep(s, Boots::Plate, 0.9); }},
        {"KN_MO_S_02.wav", [](uint32_t s) { return Footstep(s, Boots::Plate, 0.84); }},
        {"AR_MO_01.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 1.0); }},
        {"AR_MO_02.wav", [](uint32_t s) { return Footstep(s, Boots::Leather, 0.94); }},
        // Attacks, by weapon.
        {"PM_AT_01.wav", [](uint32_t s) { return Attack(s, Weapon::Pike, 0); }},
        {"PM_AT_02.wav", [](uint32_t s) { return Attack(s, Weapon::Pike, 1); }},
        {"MI_AT_01.wav", [](uint32_t s) { return Attack(s, Weapon::Club, 0); }},
        {"MI_AT_02.wav", [](uint32_t s) { return Attack(s, Weapon::Club, 1); }},
        {"MA_AT_01.wav", [](uint32_t s) { return Attack(s, Weapon::Staff, 0); }},
        {"CM_AT_01.wav", [](uint32_t s) { return Attack(s, Weapon::Hammer, 0); }},
        {"AS_AT_01.wav", [](uint32_t s) { return Attack(s, Weapon::Daggers, 0); }},
        {"AS_AT_02.wav", [](uint32_t s) { return Attack(s, Weapon::Daggers, 1); }},
        {"SC_AT_1.wav", SlingRelease},
        {"ALL_TD_LIGHT.wav", BowShot},
        // Abilities.
        {"ALL_SP_HEAL.wav", [](uint32_t s) { return Spell(s, School::Holy, 0); }},
        {"PA_SP_04.wav", [](uint32_t s) { return Spell(s, School::Holy, 1); }},
        {"CM_SP_01.wav", [](uint32_t s) { return Spell(s, School::Arcane, 0); }},
        {"CM_SP_03.wav", [](uint32_t s) { return Spell(s, School::Shadow, 0); }},
        {"AS_SP_01.wav", [](uint32_t s) { return Attack(s, Weapon::Daggers, 0); }},
        {"AS_SP_03.wav", [](uint32_t s) { return Spell(s, School::Shadow, 1); }},
        {"AS_SP_04.wav", [](uint32_t s) { return Spell(s, School::Shadow, 2); }},
        {"KN_SP_02.wav", Charge},
        // Defend and focus.
        {"CM_DE_01.wav", [](uint32_t s) { return Spell(s, School::Arcane, 1); }},
        {"AS_DE_01.wav", Parry},
        {"CM_FO_01.wav", [](uint32_t s) { return Spell(s, School::Arcane, 2); }},
        {"AS_FO.wav", [](uint32_t s) { return Spell(s, School::Nature, 0); }},
        // Pain.
        {"PM_GD_01.wav", [](uint32_t s) { return Pain(s, 130.0, Uh); }},
        {"PM_GD_02.wav", [](uint32_t s) { return Pain(s, 125.0, Ah); }},
        {"MI_GD_01.wav", [](uint32_t s) { return Pain(s, 120.0, Uh); }},
        {"MI_GD_02.wav", [](uint32_t s) { return Pain(s, 115.0, Eh); }},
        {"MA_GD_01.wav", [](uint32_t s) { return Pain(s, 145.0, Oh); }},
        {"SC_GD_01.wav", [](uint32_t s) { return Pain(s, 140.0, Ah); }},
        {"KN_GD_01.wav", [](uint32_t s) { return Pain(s, 95.0, Uh); }},
        {"KN_GD_02.wav", [](uint32_t s) { return Pain(s, 90.0, Ah); }},
        {"AS_TD_01.wav", [](uint32_t s) { return Pain(s, 115.0, Eh); }},
        {"AS_TD_02.wav", [](uint32_t s) { return Pain(s, 110.0, Uh); }},
        // Deaths.
        {"PM_XX_01.wav", [](uint32_t s) { return Death(s, 130.0); }},
        {"CM_XX_01.wav", [](uint32_t s) { return Death(s, 150.0); }},
        {"AS_XX_01.wav", [](uint32_t s) { return Death(s, 115.0); }},
        // Shared by every unit.
        {"ALL_ZOC.wav", ShieldBlock},
        {"ALL_CritSlowdown.wav", Slowdown},
        {"ALL_MISS.wav", Miss},
        {"ALL_TD_HEAVY.WAV", HeavyBlow},
        {"ALL_DEATHWIND.wav", DeathWind},
        {"UI_LIGHTBEAM.wav", [](uint32_t s) { return Spell(s, School::Arcane, 3); }},
    };
    return effects;
}

} // namespace

int WriteUnitSounds(const std::filesystem::path& directory, VoiceSource voices)
{
    std::filesystem::create_directories(directory);
    for (const Effect& effect : Effects()) {
        Buffer b = effect.render(Seed(effect.file));
        WriteWav(directory / effect.file, b.rate, 1, Finish(b));
    }

    // Each line is rendered on its own; the synthesizer runs as a child process, so a few at a time.
    const std::vector<Line>& lines = Lines();
    std::vector<std::vector<int16_t>> rendered(lines.size());
    std::vector<int> rates(lines.size(), VoiceRate);
    std::atomic<size_t> next{0};
    std::atomic<int> fallbacks{0};
    auto work = [&] {
        for (size_t i = next++; i < lines.size(); i = next++) {
            const Line& line = lines[i];
            Buffer b(0.0, VoiceRate);
            if (voices == VoiceSource::StandIn || !Speak(line, i, b)) {
                if (voices == VoiceSource::Speech)
                    ++fallbacks;
                b = StandIn(line.text, line.speaker->f0, Seed(line.file));
            }
            rates[i] = b.rate;
            rendered[i] = Finish(b);
        }
    };
    const unsigned workers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> threads;
    for (unsigned k = 1; k < workers; ++k)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();
    if (fallbacks > 0)
        std::fprintf(stderr,
                     "makedata: %d voice lines could not be spoken (is espeak-ng installed?); "
                     "they use the synthesized stand-in\n",
                     fallbacks.load());
    for (size_t i = 0; i < lines.size(); ++i)
        WriteWav(directory / lines[i].file, rates[i], 1, rendered[i]);
    return static_cast<int>(Effects().size() + lines.size());
}
