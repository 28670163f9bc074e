#include "scene/AnimationFileCache.h"

#include "core/DataManager.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace {

// The write time and size of the file, or 0 and -1 for one that is not there.
void Stamp(const std::string& path, long long& stamp, long long& size)
{
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    stamp = error ? 0 : static_cast<long long>(time.time_since_epoch().count());
    const auto bytes = std::filesystem::file_size(path, error);
    size = error ? -1 : static_cast<long long>(bytes);
}

} // namespace

std::mutex AnimationFileCache::s_lock;
std::map<std::string, AnimationFileCache::Entry> AnimationFileCache::s_files;
size_t AnimationFileCache::s_filesRead = 0;

std::shared_ptr<const AnimationFileCache::Sets> AnimationFileCache::Get(const std::string& path,
                                                                        ID3DXAllocateHierarchy* allocator)
{
    long long stamp = 0;
    long long size = -1;
    Stamp(path, stamp, size);
    {
        std::lock_guard<std::mutex> lock(s_lock);
        auto it = s_files.find(path);
        if (it != s_files.end() && it->second.stamp == stamp && it->second.size == size)
            return it->second.sets;
    }
    // Read without the lock, so that the other thread's lookups of files already read do not wait. Two
    // threads that read the same file at once keep the first copy stored.
    std::vector<ComPtr<ID3DXAnimationSet>> sets;
    D3DXFRAME* root = nullptr;
    ComPtr<ID3DXAnimationController> controller;
    if (SUCCEEDED(D3DXLoadMeshHierarchyFromX(path.c_str(), D3DXMESH_MANAGED, DataManager::Get()->GetDevice(), allocator,
                                             nullptr, &root, controller.AddressOf()))) {
        const UINT count = controller ? controller->GetNumAnimationSets() : 0;
        for (UINT i = 0; i < count; ++i) {
            ComPtr<ID3DXAnimationSet> set;
            if (SUCCEEDED(controller->GetAnimationSet(i, set.AddressOf())) && set)
                sets.push_back(std::move(set));
        }
        // The controller's outputs point into the frames: it goes first.
        controller.Reset();
        D3DXFrameDestroy(root, allocator);
    }
    auto read = std::make_shared<const Sets>(std::move(sets));
    std::lock_guard<std::mutex> lock(s_lock);
    ++s_filesRead;
    Entry& entry = s_files[path];
    if (!entry.sets || entry.stamp != stamp || entry.size != size)
        entry = Entry{std::move(read), stamp, size};
    return entry.sets;
}

void AnimationFileCache::Clear()
{
    std::lock_guard<std::mutex> lock(s_lock);
    s_files.clear();
    s_filesRead = 0;
}

size_t AnimationFileCache::FilesRead()
{
    std::lock_guard<std::mutex> lock(s_lock);
    return s_filesRead;
}
