#include "win32/ComObject.h"
#include "win32/ComPtr.h"
#include "win32/Log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct IProbe : IUnknown {
    virtual int Value() = 0;
};

class Probe : public ComObject<IProbe>
{
public:
    explicit Probe(int* destroyed) : m_destroyed(destroyed) { }
    ~Probe() override { ++*m_destroyed; }
    int Value() override { return 7; }

private:
    int* m_destroyed;
};

TEST(LogTest, ACaptureKeepsEveryThreadsMessagesWithTheirEvents)
{
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] {
            for (int n = 0; n < 25; ++n)
                Log(LogLevel::WARNING, "texture.missing", "x.tga");
        });
    for (std::thread& thread : threads)
        thread.join();
    LogFormat(LogLevel::ERROR, "level.truncated", "%s: %d of %d bytes", "Farm.txt", 12, 66000);
    EXPECT_EQ(capture.Count("texture.missing"), 100);
    EXPECT_EQ(capture.Count("level.truncated"), 1);
    ASSERT_EQ(capture.Records().size(), 101u);
    EXPECT_EQ(capture.Records().back().level, LogLevel::ERROR);
    EXPECT_EQ(capture.Records().back().text, "Farm.txt: 12 of 66000 bytes");
    capture.Clear();
    EXPECT_EQ(capture.Count("texture.missing"), 0);
}

TEST(ComObjectTest, TheLastReleaseDeletesAndComPtrHoldsExactlyOneReference)
{
    int destroyed = 0;
    IProbe* raw = new Probe(&destroyed);
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);
    {
        ComPtr<IProbe> owner(raw); // takes the creator's reference
        ComPtr<IProbe> copy = owner;
        EXPECT_EQ(copy->Value(), 7);
        ComPtr<IProbe> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);

    ComPtr<IProbe> slot(new Probe(&destroyed));
    IProbe** out = slot.AddressOf(); // an out-parameter releases what was held
    EXPECT_EQ(destroyed, 2);
    *out = new Probe(&destroyed);
    IProbe* detached = slot.Detach();
    EXPECT_FALSE(slot);
    EXPECT_EQ(detached->Release(), 0u);
    EXPECT_EQ(destroyed, 3);
}

} // namespace
