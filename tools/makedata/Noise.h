#pragma once
// Seeded value noise for the generated levels and textures. The tiling form repeats every `period` lattice
// cells, so a texture made from it joins its own edges without a seam.

#include <cmath>
#include <cstdint>

inline uint32_t NoiseHash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// A lattice value in [0, 1].
inline float NoiseLattice(int32_t x, int32_t y, uint32_t seed)
{
    return static_cast<float>(NoiseHash(x, y, seed) & 0xFFFFu) / 65535.0f;
}

inline float NoiseSmooth(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

// Value noise in [0, 1]; with period > 0 the lattice wraps every period cells.
inline float ValueNoise(float x, float y, uint32_t seed, int32_t period = 0)
{
    const float fx = std::floor(x), fy = std::floor(y);
    int32_t x0 = static_cast<int32_t>(fx), y0 = static_cast<int32_t>(fy);
    int32_t x1 = x0 + 1, y1 = y0 + 1;
    if (period > 0) {
        auto wrap = [period](int32_t v) { return ((v % period) + period) % period; };
        x0 = wrap(x0);
        x1 = wrap(x1);
        y0 = wrap(y0);
        y1 = wrap(y1);
    }
    const float tx = NoiseSmooth(x - fx), ty = NoiseSmooth(y - fy);
    const float a = NoiseLattice(x0, y0, seed), b = NoiseLattice(x1, y0, seed);
    const float c = NoiseLattice(x0, y1, seed), d = NoiseLattice(x1, y1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// Fractal sum of octaves, in [0, 1]. With period > 0 each octave wraps (period doubles with the frequency).
inline float Fbm(float x, float y, uint32_t seed, int octaves, int32_t period = 0)
{
    float sum = 0.0f, amplitude = 0.5f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * ValueNoise(x, y, seed + static_cast<uint32_t>(i) * 1013u, period);
        norm += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        if (period > 0)
            period *= 2;
        amplitude *= 0.5f;
    }
    return sum / norm;
}

inline float SmoothStep(float edge0, float edge1, float x)
{
    float t = (x - edge0) / (edge1 - edge0);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    return t * t * (3.0f - 2.0f * t);
}
