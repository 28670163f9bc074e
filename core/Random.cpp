#include "core/Random.h"

#include "d3d9/D3D9.h"

#include <atomic>
#include <cmath>
#include <cstdint>

namespace {

// The loading thread may draw while the main thread does; the state moves in one atomic step so that no draw
// is lost or repeated.
std::atomic<uint32_t> g_state{1};

constexpr uint32_t Multiplier = 214013u;
constexpr uint32_t Increment = 2531011u;
// Single-precision 1/32767.
constexpr float RandScale = 1.0f / 32767.0f;
constexpr float TwoPi = 6.2831855f;
constexpr float Pi = 3.1415927f;

} // namespace

void Srand(unsigned int seed)
{
    g_state.store(seed, std::memory_order_relaxed);
}

int Rand()
{
    uint32_t state = g_state.load(std::memory_order_relaxed);
    uint32_t next;
    do {
        next = state * Multiplier + Increment;
    } while (!g_state.compare_exchange_weak(state, next, std::memory_order_relaxed));
    return static_cast<int>((next >> 16) & 0x7fffu);
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
    return a + static_cast<float>(Rand()) * RandScale * (b - a);
}

void RandomVector(float x, float y, float z, D3DVECTOR& out)
{
    out.x = -x + (x - (-x)) * static_cast<float>(Rand()) * RandScale;
    out.y = -y + (y - (-y)) * static_cast<float>(Rand()) * RandScale;
    out.z = -z + (z - (-z)) * static_cast<float>(Rand()) * RandScale;
}

void RandomDirection(float r, D3DVECTOR& out)
{
    const float u = static_cast<float>(Rand()) * RandScale * 2.0f - 1.0f;
    const float angle = static_cast<float>(Rand()) * RandScale * TwoPi - Pi;
    out.x = std::cos(angle) * r;
    out.y = u;
    out.z = std::sin(angle) * r;
}
