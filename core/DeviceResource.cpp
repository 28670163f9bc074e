#include "core/DeviceResource.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Objects may be made on the loading thread while the main thread walks the list.
std::recursive_mutex g_lock;
std::vector<DeviceResource*>& Registered()
{
    static std::vector<DeviceResource*> list;
    return list;
}

template <class Call>
void Walk(Call call)
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    // A handler may destroy other resources, so each entry is looked up again before it is called.
    const std::vector<DeviceResource*> snapshot = Registered();
    for (DeviceResource* resource : snapshot) {
        const auto& live = Registered();
        if (std::find(live.begin(), live.end(), resource) != live.end())
            call(resource);
    }
}

} // namespace

DeviceResource::DeviceResource()
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    Registered().push_back(this);
}

DeviceResource::DeviceResource(const DeviceResource&) : DeviceResource()
{ }

DeviceResource::~DeviceResource()
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    auto& list = Registered();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void DeviceResource::LoseAll()
{
    Walk([](DeviceResource* resource) { resource->OnLostDevice(); });
}

void DeviceResource::ResetAll()
{
    Walk([](DeviceResource* resource) { resource->OnResetDevice(); });
}

std::size_t DeviceResource::Count()
{
    std::lock_guard<std::recursive_mutex> guard(g_lock);
    return Registered().size();
}
