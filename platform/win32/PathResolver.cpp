#include "win32/PathResolver.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <mutex>
#include <unordered_map>
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
            it = listings_.insert_or_assign(directory, std::move(fresh)).first;
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
            auto [slot, inserted] = listing.byLowerName.try_emplace(LowerAscii(name), name);
            if (!inserted && name < slot->second) {
                slot->second = name;
            }
        }
        closedir(dir);
        return true;
    }

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

// The case-insensitive walk, one component at a time from the start of the path.
std::string Walk(const std::string& path)
{
    const bool absolute = !path.empty() && path[0] == '/';
    std::string resolved = absolute ? "/" : "";
    size_t pos = absolute ? 1 : 0;
    bool mapping = true;
    while (pos <= path.size()) {
        size_t end = path.find('/', pos);
        if (end == std::string::npos) {
            end = path.size();
        }
        std::string_view component(path.data() + pos, end - pos);
        const bool last = end == path.size();
        if (!component.empty()) {
            std::string real;
            if (mapping && component != "." && component != "..") {
                struct stat info {};
                const std::string directory = resolved.empty() ? "." : resolved;
                if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                    real = ListingCache::Get().Match(resolved, info, component);
                }
                if (real.empty()) {
                    // Nothing further down can exist: the rest stays as given.
                    mapping = false;
                }
            }
            if (!resolved.empty() && resolved.back() != '/') {
                resolved += '/';
            }
            resolved += real.empty() ? std::string(component) : real;
        }
        if (last) {
            break;
        }
        pos = end + 1;
    }
    if (path.size() > 1 && path.back() == '/' && (resolved.empty() || resolved.back() != '/')) {
        resolved += '/';
    }
    return resolved;
}

} // namespace

std::string PathResolver::Resolve(std::string_view path)
{
    const std::string slashed = Slashed(path);
    if (slashed.empty()) {
        return slashed;
    }
    struct stat info {};
    if (stat(slashed.c_str(), &info) == 0) {
        return slashed;
    }
    // Usually only the last name is off (a different case, or a file that is not there): settle that against
    // the listing of its directory when the directory exists as written.
    const size_t slash = slashed.find_last_of('/');
    if (slash != std::string::npos && slash + 1 < slashed.size()) {
        const std::string directory = DirectoryOf(slashed);
        if (stat(directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            const std::string_view name(slashed.data() + slash + 1, slashed.size() - slash - 1);
            std::string real = ListingCache::Get().Match(directory, info, name);
            return Join(directory, real.empty() ? name : std::string_view(real));
        }
    } else if (slash == std::string::npos) {
        if (stat(".", &info) == 0) {
            std::string real = ListingCache::Get().Match("", info, slashed);
            return real.empty() ? slashed : real;
        }
        return slashed;
    }
    return Walk(slashed);
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
        ListingCache::Get().Forget(DirectoryOf(resolved));
    }
    return file;
}

bool PathResolver::Exists(std::string_view path)
{
    const std::string resolved = Resolve(path);
    struct stat info {};
    return !resolved.empty() && stat(resolved.c_str(), &info) == 0;
}

void PathResolver::Invalidate(std::string_view path)
{
    const std::string resolved = Resolve(path);
    ListingCache::Get().Forget(DirectoryOf(resolved));
    std::string self = resolved;
    while (self.size() > 1 && self.back() == '/') {
        self.pop_back();
    }
    ListingCache::Get().Forget(self);
}
