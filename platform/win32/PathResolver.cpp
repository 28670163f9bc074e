#include "win32/PathResolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

struct Listing {
    // Lower-cased name -> the real name; of several names that differ only in case, the smallest wins so the
    // choice does not depend on the order the directory hands them out.
    std::unordered_map<std::string, std::string> byLowerName;
    std::unordered_set<std::string> names;
    timespec modified{};
    // The same path may name another directory later (the working directory changes).
    dev_t device = 0;
    ino_t inode = 0;
    // A directory changed within the file system's timestamp granularity of its listing could change again
    // without its time moving, so such a listing is used once and read again next time.
    bool settled = false;
};

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// How long after a directory's last change its listing is trusted to stay in step with its time stamp. File
// systems stamp with a coarse clock (a scheduler tick), so this is well above one tick.
constexpr long SETTLE_NANOSECONDS = 100'000'000;

bool IsSettled(const timespec& modified)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const long long age = (static_cast<long long>(now.tv_sec) - modified.tv_sec) * 1'000'000'000LL +
                          (now.tv_nsec - modified.tv_nsec);
    return age > SETTLE_NANOSECONDS;
}

class ListingCache {
public:
    static ListingCache& Get()
    {
        static ListingCache* cache = new ListingCache;
        return *cache;
    }

    // Looks a name up in a directory whose state `info` was just read: the real name of an entry matching
    // `name` case-insensitively, preferring an exact match. Empty when there is none.
    std::string Match(const std::string& directory, const struct stat& info, std::string_view name)
    {
        std::lock_guard lock(mutex_);
        auto it = listings_.find(directory);
        if (it == listings_.end() || !it->second.settled || !SameTime(it->second.modified, info.st_mtim) ||
            it->second.device != info.st_dev || it->second.inode != info.st_ino) {
            Listing fresh;
            if (!Read(directory, fresh)) {
                listings_.erase(directory);
                return {};
            }
            fresh.modified = info.st_mtim;
            fresh.device = info.st_dev;
            fresh.inode = info.st_ino;
            fresh.settled = IsSettled(info.st_mtim);
            if (listings_.size() >= MAX_ENTRIES) {
                listings_.clear();
            }
            it = listings_.insert_or_assign(directory, std::move(fresh)).first;
        }
        if (it->second.names.count(std::string(name)) != 0) {
            return std::string(name);
        }
        auto found = it->second.byLowerName.find(LowerAscii(name));
        if (found == it->second.byLowerName.end()) {
            return {};
        }
        return found->second;
    }

    void Forget(const std::string& directory)
    {
        std::lock_guard lock(mutex_);
        listings_.erase(directory);
    }

private:
    static bool Read(const std::string& directory, Listing& listing)
    {
        DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
        if (!dir) {
            return false;
        }
        while (dirent* entry = readdir(dir)) {
            std::string_view name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            listing.names.emplace(name);
            auto [slot, inserted] = listing.byLowerName.try_emplace(LowerAscii(name), name);
            if (!inserted && name < slot->second) {
                slot->second = name;
            }
        }
        closedir(dir);
        return true;
    }

    static constexpr size_t MAX_ENTRIES = 4096;
    std::mutex mutex_;
    std::unordered_map<std::string, Listing> listings_;
};

std::string Slashed(std::string_view path)
{
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

// The directory part of a slashed path as a key for the cache: "" for the working directory.
std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {};
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string Join(const std::string& directory, std::string_view name)
{
    if (directory.empty()) {
        return std::string(name);
    }
    std::string out = directory;
    if (out.back() != '/') {
        out += '/';
    }
    out += name;
    return out;
}

bool StatDirectory(const std::string& directory, struct stat& info)
{
    return stat(directory.empty() ? "." : directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// What a directory named by the game maps to. When the whole directory exists, `complete` is set and the anchor is
// the directory itself; otherwise the anchor is the deepest directory of the path that exists, whose contents
// decide whether the rest could now be found.
struct DirectoryMapping {
    std::string resolved;
    std::string anchor;
    bool complete = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    bool settled = false;
};

// The case-insensitive walk, one component at a time from the start of the path.
DirectoryMapping Walk(const std::string& path)
{
    DirectoryMapping mapping;
    const bool absolute = !path.empty() && path[0] == '/';
    std::string resolved = absolute ? "/" : "";
    std::string anchor = resolved;
    struct stat anchorInfo {};
    bool mapping_ok = StatDirectory(resolved, anchorInfo);
    size_t pos = absolute ? 1 : 0;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string_view component(path.data() + pos, end - pos);
        if (!component.empty()) {
            std::string real;
            if (mapping_ok) {
                if (component == "." || component == "..") {
                    real = std::string(component);
                } else {
                    real = ListingCache::Get().Match(resolved, anchorInfo, component);
                }
            }
            if (!resolved.empty() && resolved.back() != '/') {
                resolved += '/';
            }
            resolved += real.empty() ? std::string(component) : real;
            if (mapping_ok && !real.empty()) {
                struct stat info {};
                if (StatDirectory(resolved, info)) {
                    anchor = resolved;
                    anchorInfo = info;
                } else {
                    mapping_ok = false;
                }
            } else {
                // Nothing further down can exist: the rest stays as given.
                mapping_ok = false;
            }
        }
        if (end == path.size()) {
            break;
        }
        pos = end + 1;
    }
    mapping.resolved = resolved;
    mapping.anchor = anchor;
    mapping.complete = mapping_ok;
    mapping.device = anchorInfo.st_dev;
    mapping.inode = anchorInfo.st_ino;
    mapping.modified = anchorInfo.st_mtim;
    mapping.settled = IsSettled(anchorInfo.st_mtim);
    return mapping;
}

// Most lookups name a handful of directories over and over (the data manager's search prefixes), so the mapping of
// each is kept and checked with one stat of its anchor.
class DirectoryCache {
public:
    static DirectoryCache& Get()
    {
        static DirectoryCache* cache = new DirectoryCache;
        return *cache;
    }

    // The resolved directory; when it exists, complete is set and info describes it.
    std::string Map(const std::string& directory, bool* complete, struct stat* info)
    {
        {
            std::lock_guard lock(mutex_);
            auto it = mappings_.find(directory);
            if (it != mappings_.end()) {
                const DirectoryMapping& m = it->second;
                struct stat now {};
                // A complete mapping holds while its directory is the same one; a partial one while nothing was
                // added to or removed from its anchor.
                if (StatDirectory(m.anchor, now) && now.st_dev == m.device && now.st_ino == m.inode &&
                    (m.complete || (m.settled && SameTime(now.st_mtim, m.modified)))) {
                    *complete = m.complete;
                    *info = now;
                    return m.resolved;
                }
                mappings_.erase(it);
            }
        }
        DirectoryMapping fresh = Walk(directory);
        *complete = fresh.complete;
        if (fresh.complete && !StatDirectory(fresh.resolved, *info)) {
            *complete = false;
        }
        std::lock_guard lock(mutex_);
        if (mappings_.size() >= MAX_ENTRIES) {
            mappings_.clear();
        }
        std::string resolved = fresh.resolved;
        mappings_.insert_or_assign(directory, std::move(fresh));
        return resolved;
    }

    void Forget(const std::string& resolvedDirectory)
    {
        std::lock_guard lock(mutex_);
        std::erase_if(mappings_, [&](const auto& entry) {
            return entry.second.anchor == resolvedDirectory || entry.second.resolved == resolvedDirectory;
        });
    }

private:
    static constexpr size_t MAX_ENTRIES = 4096;
    std::mutex mutex_;
    std::unordered_map<std::string, DirectoryMapping> mappings_;
};

// Resolves path; found says whether its last name is in its directory.
std::string ResolveFound(std::string_view path, bool* found)
{
    *found = false;
    const std::string slashed = Slashed(path);
    if (slashed.empty()) {
        return slashed;
    }
    const size_t slash = slashed.find_last_of('/');
    const std::string_view name =
        slash == std::string::npos ? std::string_view(slashed) : std::string_view(slashed).substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        // A directory named with a trailing slash, or a relative step: map it as a directory.
        bool complete = false;
        struct stat info {};
        std::string resolved = DirectoryCache::Get().Map(slashed, &complete, &info);
        if (slashed.size() > 1 && slashed.back() == '/' && resolved.back() != '/') {
            resolved += '/';
        }
        *found = complete;
        return resolved;
    }
    bool complete = false;
    struct stat info {};
    const std::string directory = DirectoryCache::Get().Map(DirectoryOf(slashed), &complete, &info);
    if (!complete) {
        return Join(directory, name);
    }
    const std::string real = ListingCache::Get().Match(directory, info, name);
    *found = !real.empty();
    return Join(directory, *found ? std::string_view(real) : name);
}

} // namespace

std::string PathResolver::Resolve(std::string_view path)
{
    bool found = false;
    return ResolveFound(path, &found);
}

FILE* PathResolver::Open(std::string_view path, const char* mode)
{
    if (!mode) {
        return nullptr;
    }
    const std::string resolved = Resolve(path);
    if (resolved.empty()) {
        return nullptr;
    }
    FILE* file = std::fopen(resolved.c_str(), mode);
    const std::string_view m(mode);
    if (file && (m.find('w') != std::string_view::npos || m.find('a') != std::string_view::npos)) {
        Invalidate(resolved);
    }
    return file;
}

bool PathResolver::Exists(std::string_view path)
{
    bool found = false;
    ResolveFound(path, &found);
    return found;
}

void PathResolver::Invalidate(std::string_view path)
{
    std::string resolved = Resolve(path);
    while (resolved.size() > 1 && resolved.back() == '/') {
        resolved.pop_back();
    }
    const std::string parent = DirectoryOf(resolved);
    ListingCache::Get().Forget(parent);
    ListingCache::Get().Forget(resolved);
    DirectoryCache::Get().Forget(parent);
    DirectoryCache::Get().Forget(resolved);
}
