#include "core/Random.h"

#include "d3d9/D3D9.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

// Every expected sequence here follows from the recurrence state := state x 214013 + 2531011, result
// (state >> 16) & 0x7fff, worked out by hand and checked against a second, independent implementation.

TEST(Random, SeedOneGivesTheRuntimeSequence)
{
    Srand(1);
    EXPECT_EQ(Rand(), 41);
    EXPECT_EQ(Rand(), 18467);
    EXPECT_EQ(Rand(), 6334);
    EXPECT_EQ(Rand(), 26500);
    EXPECT_EQ(Rand(), 19169);
}

TEST(Random, SequenceHoldsFarOut)
{
    Srand(1);
    for (int i = 0; i < 9999; ++i)
        Rand();
    EXPECT_EQ(Rand(), 18796); // the 10,000th draw
    EXPECT_EQ(Rand(), 19484); // the 10,001st
}

TEST(Random, IntIsTheRemainderOfTheDraw)
{
    Srand(1);
    EXPECT_EQ(RandomInt(200), 41); // 41 % 200
    EXPECT_EQ(RandomInt(200), 67); // 18467 % 200
    EXPECT_EQ(RandomInt(100), 34); // 6334 % 100
    EXPECT_EQ(RandomInt(0), 0); // no division by zero; 26500 is drawn and dropped
    EXPECT_EQ(RandomInt(1000), 169); // 19169 % 1000
    Srand(7);
    for (int i = 0; i < 2000; ++i) {
        const int v = RandomInt(200);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 200);
    }
}

TEST(Random, FloatStaysWithinItsBounds)
{
    Srand(3);
    EXPECT_EQ(RandomFloat(2.5f, 2.5f), 2.5f);
    for (int i = 0; i < 5000; ++i) {
        const float v = RandomFloat(0.0f, 1.0f);
        ASSERT_GE(v, 0.0f);
        ASSERT_LE(v, 1.0f);
        const float w = RandomFloat(-3.0f, -1.0f);
        ASSERT_GE(w, -3.0f);
        ASSERT_LE(w, -1.0f);
    }
    Srand(1); // reseeding starts the sequence again: 41 first
    // 41 / 32767 of the way from 10 to 20.
    EXPECT_NEAR(RandomFloat(10.0f, 20.0f), 10.0f + 410.0f / 32767.0f, 1e-5f);
}

TEST(Random, VectorDrawsXThenYThenZ)
{
    Srand(1);
    D3DVECTOR v{};
    RandomVector(100.0f, 0.0f, 50.0f, v);
    EXPECT_NEAR(v.x, -100.0f + 200.0f * 41.0f / 32767.0f, 1e-3f);
    EXPECT_EQ(v.y, 0.0f);
    EXPECT_NEAR(v.z, -50.0f + 100.0f * 6334.0f / 32767.0f, 1e-3f);
}

TEST(Random, DirectionLeavesHeightUnscaled)
{
    Srand(1);
    D3DVECTOR d{};
    RandomDirection(0.0f, d);
    EXPECT_EQ(d.x, 0.0f);
    EXPECT_EQ(d.z, 0.0f);
    EXPECT_NEAR(d.y, 41.0f / 32767.0f * 2.0f - 1.0f, 1e-6f);

    Srand(1);
    RandomDirection(10.0f, d);
    const float angle = 18467.0f / 32767.0f * 6.2831855f - 3.1415927f;
    EXPECT_NEAR(d.x, std::cos(angle) * 10.0f, 1e-4f);
    EXPECT_NEAR(d.z, std::sin(angle) * 10.0f, 1e-4f);
    EXPECT_NEAR(std::hypot(d.x, d.z), 10.0f, 1e-4f);
    for (int i = 0; i < 1000; ++i) {
        RandomDirection(3.0f, d);
        ASSERT_GE(d.y, -1.0f);
        ASSERT_LE(d.y, 1.0f);
    }
}

TEST(Random, EachThreadHasItsOwnSequence)
{
    Srand(12345);
    EXPECT_EQ(Rand(), 7584);
    int workerDraws[3] = {};
    std::thread worker([&] {
        // A new thread starts from seed 1 whatever the main thread seeded, and its seed stays its own.
        workerDraws[0] = Rand();
        workerDraws[1] = Rand();
        Srand(12345);
        workerDraws[2] = Rand();
        Srand(99);
        for (int i = 0; i < 100; ++i)
            Rand();
    });
    worker.join();
    EXPECT_EQ(workerDraws[0], 41);
    EXPECT_EQ(workerDraws[1], 18467);
    EXPECT_EQ(workerDraws[2], 7584);
    // The main thread's sequence goes on where it was: the second draw of seed 12345.
    EXPECT_EQ(Rand(), 19164);
}
