#pragma once
// The animation sets of each animation file, read once per path: every unit of a class plays the same files,
// and a set never changes once read, so the controllers of all of them register the one copy. A file that
// cannot be read, or holds no sets, is remembered as empty; a file written anew since it was read (its time
// or size changed) is read again. Safe from the loading thread and the main thread at once.

#include "d3dx9/D3DX9.h"
#include "win32/ComPtr.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class AnimationFileCache
{
public:
    // The sets of one file, in file order; the cache holds one reference on each.
    class Sets
    {
    public:
        explicit Sets(std::vector<ComPtr<ID3DXAnimationSet>> sets) : m_sets(std::move(sets)) { }
        Sets(const Sets&) = delete;
        Sets& operator=(const Sets&) = delete;
        const std::vector<ComPtr<ID3DXAnimationSet>>& Get() const { return m_sets; }

    private:
        std::vector<ComPtr<ID3DXAnimationSet>> m_sets;
    };

    // The sets of the file at path (a path the data manager found). The file's hierarchy is read through
    // allocator and let go again; only the sets are kept. Never null.
    static std::shared_ptr<const Sets> Get(const std::string& path, ID3DXAllocateHierarchy* allocator);
    // Forgets every file (tests, and the end of the game's resources).
    static void Clear();
    // Files read from disk since the last Clear.
    static size_t FilesRead();

private:
    struct Entry {
        std::shared_ptr<const Sets> sets;
        long long stamp = 0; // the file's write time
        long long size = -1;
    };

    static std::mutex s_lock;
    static std::map<std::string, Entry> s_files;
    static size_t s_filesRead;
};
