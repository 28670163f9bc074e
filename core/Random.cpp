#include "core/Random.h"

#include "d3d9/D3D9.h"

#include <cmath>
#include <cstdint>

namespace {

// Each thread has its own state, as with the multithreaded C runtime: every thread starts from 1, a seed
// affects only the thread that sets it, and the loading worker's draws never move the main thread's sequence.
thread_local uint32_t t_state = 1;

constexpr uint32_t MULTIPLIER = 214013u;
constexpr uint32_t INCREMENT = 2531011u;
// Single-precision 1/32767.
constexpr float RAND_SCALE = 1.0f / 32767.0f;
constexpr float TWO_PI = 6.2831855f;
constexpr float PI = 3.1415927f;

} // namespace

void Srand(unsigned int seed)
{
    t_state = seed;
}

int Rand()
{
    t_state = t_state * MULTIPLIER + INCREMENT;
    return static_cast<int>((t_state >> 16) & 0x7fffu);
}

int RandomInt(int n)
{
    const int r = Rand();
    if (n == 0)
        return 0;
    return r % n;
}

float RandomFloat(float a, float b)
{
    return a + static_cast<float>(Rand()) * RAND_SCALE * (b - a);
}

void RandomVector(float x, float y, float z, D3DVECTOR& out)
{
    out.x = -x + (x - (-x)) * static_cast<float>(Rand()) * RAND_SCALE;
    out.y = -y + (y - (-y)) * static_cast<float>(Rand()) * RAND_SCALE;
    out.z = -z + (z - (-z)) * static_cast<float>(Rand()) * RAND_SCALE;
}

void RandomDirection(float r, D3DVECTOR& out)
{
    const float u = static_cast<float>(Rand()) * RAND_SCALE * 2.0f - 1.0f;
    const float angle = static_cast<float>(Rand()) * RAND_SCALE * TWO_PI - PI;
    out.x = std::cos(angle) * r;
    out.y = u;
    out.z = std::sin(angle) * r;
}
