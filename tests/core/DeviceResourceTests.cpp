#include "core/DeviceResource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

class Recorder : public DeviceResource
{
public:
    explicit Recorder(std::string name) : m_name(std::move(name)) { }
    void OnLostDevice() override
    {
        g_calls.push_back(m_name + " lost");
        if (victim)
            victim->reset();
    }
    void OnResetDevice() override { g_calls.push_back(m_name + " reset"); }

    std::unique_ptr<Recorder>* victim = nullptr;

private:
    std::string m_name;
};

TEST(DeviceResourceTest, EveryLivingObjectIsVisitedInOrderAndADestroyedOneIsSkipped)
{
    g_calls.clear();
    const std::size_t before = DeviceResource::Count();
    auto first = std::make_unique<Recorder>("first");
    auto second = std::make_unique<Recorder>("second");
    auto third = std::make_unique<Recorder>("third");
    EXPECT_EQ(DeviceResource::Count(), before + 3);

    second.reset();
    DeviceResource::LoseAll();
    DeviceResource::ResetAll();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"first lost", "third lost", "first reset", "third reset"}));

    // A handler that destroys a later object: the walk does not call into freed memory.
    g_calls.clear();
    first->victim = &third;
    DeviceResource::LoseAll();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"first lost"}));
    first.reset();
    EXPECT_EQ(DeviceResource::Count(), before);
}

} // namespace
