#include "win32/PathResolver.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <functional>
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

struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

template <typename T>
using StringMap = std::unordered_map<std::string, T, StringHash, std::equal_to<>>;

enum class EntryType : unsigned char
{
    File,
    Directory,
    Other
};

struct Entry {
    std::string name;
    // Other (links, or a file system that does not say) is asked with stat when it matters.
    EntryType type = EntryType::Other;
};

struct Listing {
    // Lower-cased name -> the real names that lower-case to it, smallest first, so the choice among names that
    // differ only in case does not depend on the order the directory hands them out.
    StringMap<std::vector<Entry>> byLowerName;
    // Kept current by change notices; otherwise checked against the directory's identity and time stamp.
    bool watched = false;
    timespec modified{};
    dev_t device = 0;
    ino_t inode = 0;
    // A directory changed within the file system's timestamp granularity of its listing could change again
    // without its time moving, so such a listing is used once and read again next time.
    bool settled = false;
};

// What a directory named by the game maps to. When the whole directory exists, `complete` is set and the anchor is
// the directory itself; otherwise the anchor is the deepest directory of the path that exists, whose contents
// decide whether the rest could now be found.
struct Mapping {
    std::string resolved;
    std::string anchor;
    bool complete = false;
    // Every directory the walk read is watched: change notices keep the mapping true without a stat.
    bool watched = false;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    bool settled = false;
    // The directory's listing as last looked up, good while no listing has been dropped since.
    mutable const Listing* listing = nullptr;
    mutable uint64_t listingEpoch = 0;
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
    const long long age =
        (static_cast<long long>(now.tv_sec) - modified.tv_sec) * 1'000'000'000LL + (now.tv_nsec - modified.tv_nsec);
    return age > SETTLE_NANOSECONDS;
}

bool StatDirectory(const std::string& directory, struct stat& info)
{
    return stat(directory.empty() ? "." : directory.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Where the next separator at or after pos is, either kind; the end of the path when there is none.
size_t NextSeparator(std::string_view path, size_t pos)
{
    while (pos < path.size() && path[pos] != '/' && path[pos] != '\\') {
        ++pos;
    }
    return pos;
}

// Where the last separator of a path is, either kind. (find_last_of with a set asks memchr once per character.)
size_t LastSeparator(std::string_view path)
{
    for (size_t at = path.size(); at > 0; --at) {
        if (path[at - 1] == '/' || path[at - 1] == '\\') {
            return at - 1;
        }
    }
    return std::string_view::npos;
}

// The directory part of a path: "" for the working directory.
std::string_view DirectoryOf(std::string_view path)
{
    const size_t slash = LastSeparator(path);
    if (slash == std::string_view::npos) {
        return {};
    }
    return path.substr(0, slash == 0 ? 1 : slash);
}

std::string Join(std::string_view directory, std::string_view name)
{
    std::string out(directory);
    if (!out.empty() && out.back() != '/') {
        out += '/';
    }
    out += name;
    return out;
}

// path is directory itself or lies below it.
bool IsWithin(std::string_view path, std::string_view directory)
{
    if (directory.empty()) {
        return path.empty();
    }
    if (path.size() < directory.size() || path.compare(0, directory.size(), directory) != 0) {
        return false;
    }
    return path.size() == directory.size() || directory.back() == '/' || path[directory.size()] == '/';
}

bool HasDotComponent(std::string_view path)
{
    size_t pos = 0;
    while (pos <= path.size()) {
        const size_t end = NextSeparator(path, pos);
        const std::string_view component = path.substr(pos, end - pos);
        if (component == "." || component == "..") {
            return true;
        }
        pos = end + 1;
    }
    return false;
}

const Entry* Match(const Listing& listing, std::string_view name, const std::string& lowerName)
{
    auto found = listing.byLowerName.find(lowerName);
    if (found == listing.byLowerName.end()) {
        return nullptr;
    }
    for (const Entry& entry : found->second) {
        if (entry.name == name) {
            return &entry;
        }
    }
    return &found->second.front();
}

bool ReadListing(const std::string& directory, Listing& listing)
{
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (!dir) {
        return false;
    }
    while (dirent* found = readdir(dir)) {
        const std::string_view name = found->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        Entry entry{std::string(name), EntryType::Other};
        if (found->d_type == DT_REG) {
            entry.type = EntryType::File;
        } else if (found->d_type == DT_DIR) {
            entry.type = EntryType::Directory;
        }
        listing.byLowerName[LowerAscii(name)].push_back(std::move(entry));
    }
    closedir(dir);
    for (auto& [lower, entries] : listing.byLowerName) {
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name < b.name; });
    }
    return true;
}

// The cache of directory listings and directory mappings, with the change notices that keep them current. One
// lock guards it all; the notices are taken in at the start of every public call, so whatever was done to the
// file system before the call is seen by it.
class Resolver
{
public:
    static Resolver& Get()
    {
        static Resolver* resolver = new Resolver;
        return *resolver;
    }

    std::mutex& Lock() { return mutex_; }

    void TakeNotices()
    {
        if (notify_ < 0) {
            return;
        }
        alignas(inotify_event) char buffer[16384];
        for (;;) {
            const ssize_t length = read(notify_, buffer, sizeof buffer);
            if (length < 0 && errno == EINTR) {
                continue;
            }
            if (length <= 0) {
                return;
            }
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
                Notice(*event);
            }
        }
    }

    // The mapping of a directory as given ('\\' or '/' separated); info describes its anchor when it is not
    // watched.
    const Mapping& Map(std::string_view directory, struct stat& info)
    {
        auto it = mappings_.find(directory);
        if (it != mappings_.end()) {
            const Mapping& m = it->second;
            if (m.watched) {
                return m;
            }
            // A complete mapping holds while its directory is the same one; a partial one while nothing was added
            // to or removed from its anchor.
            if (StatDirectory(m.anchor, info) && info.st_dev == m.device && info.st_ino == m.inode &&
                (m.complete || (m.settled && SameTime(info.st_mtim, m.modified)))) {
                return m;
            }
            mappings_.erase(it);
        }
        Mapping fresh = Walk(std::string(directory), info);
        if (mappings_.size() >= MAX_ENTRIES) {
            mappings_.clear();
            childrenInUse_.clear();
        }
        return mappings_.insert_or_assign(std::string(directory), std::move(fresh)).first->second;
    }

    // The listing of an existing resolved directory, or null. info describes the directory when not watched.
    const Listing* List(const std::string& directory, bool watch, const struct stat* info)
    {
        auto it = listings_.find(directory);
        if (watch && notify_ >= 0) {
            if (it != listings_.end() && it->second.watched) {
                return &it->second;
            }
            // Watched before it is read, so no change falls between the two.
            const int watchId = inotify_add_watch(notify_, directory.c_str(), WATCH_EVENTS);
            if (watchId >= 0) {
                Listing fresh;
                fresh.watched = true;
                if (!ReadListing(directory, fresh)) {
                    Forget(directory);
                    return nullptr;
                }
                std::vector<std::string>& keys = watchKeys_[watchId];
                if (std::find(keys.begin(), keys.end(), directory) == keys.end()) {
                    keys.push_back(directory);
                }
                return Store(directory, std::move(fresh));
            }
            if (errno == ENOENT || errno == ENOTDIR) {
                Forget(directory);
                return nullptr;
            }
            // Out of watches: fall back on the time stamp.
        }
        struct stat own { };
        if (!info) {
            if (!StatDirectory(directory, own)) {
                Forget(directory);
                return nullptr;
            }
            info = &own;
        }
        if (it != listings_.end() && !it->second.watched && it->second.settled &&
            SameTime(it->second.modified, info->st_mtim) && it->second.device == info->st_dev &&
            it->second.inode == info->st_ino) {
            return &it->second;
        }
        Listing fresh;
        if (!ReadListing(directory, fresh)) {
            Forget(directory);
            return nullptr;
        }
        fresh.modified = info->st_mtim;
        fresh.device = info->st_dev;
        fresh.inode = info->st_ino;
        fresh.settled = IsSettled(info->st_mtim);
        return Store(directory, std::move(fresh));
    }

    // The listing of a complete mapping's directory; info as Map gave it.
    const Listing* ListOf(const Mapping& m, const struct stat& info)
    {
        if (m.watched && m.listing && m.listingEpoch == listingEpoch_) {
            return m.listing;
        }
        const Listing* listing = List(m.resolved, m.watched, m.watched ? nullptr : &info);
        if (m.watched && listing && listing->watched) {
            m.listing = listing;
            m.listingEpoch = listingEpoch_;
        }
        return listing;
    }

    void Forget(const std::string& directory)
    {
        if (listings_.erase(directory) > 0) {
            ++listingEpoch_;
        }
    }

    void ForgetMappingsAt(const std::string& directory)
    {
        std::erase_if(mappings_, [&](const auto& entry) {
            return entry.second.anchor == directory || entry.second.resolved == directory;
        });
    }

private:
    static constexpr size_t MAX_ENTRIES = 4096;
    static constexpr uint32_t WATCH_EVENTS =
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

    Resolver() : notify_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) { }

    const Listing* Store(const std::string& directory, Listing&& listing)
    {
        if (listings_.size() >= MAX_ENTRIES) {
            listings_.clear();
            ++listingEpoch_;
        }
        return &listings_.insert_or_assign(directory, std::move(listing)).first->second;
    }

    // The case-insensitive walk, one component at a time from the start of the path ('/' or '\\' separated).
    // Absolute paths are walked through watched listings; relative ones depend on the working directory and are
    // checked with stat.
    Mapping Walk(const std::string& path, struct stat& info)
    {
        Mapping mapping;
        const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\');
        const bool watch = absolute && notify_ >= 0 && !HasDotComponent(path);
        bool watched = watch;
        std::vector<std::pair<std::string, std::string>> uses;
        std::string resolved = absolute ? "/" : "";
        std::string anchor = resolved;
        bool ok = watch || StatDirectory(resolved, info);
        size_t pos = absolute ? 1 : 0;
        while (ok && pos <= path.size()) {
            size_t end = NextSeparator(path, pos);
            std::string_view component(path.data() + pos, end - pos);
            const size_t start = pos;
            pos = end + 1;
            if (component.empty()) {
                continue;
            }
            const Entry* entry = nullptr;
            if (component == "." || component == "..") {
                static const Entry dot{".", EntryType::Other};
                static const Entry dotDot{"..", EntryType::Other};
                entry = component == "." ? &dot : &dotDot;
            } else {
                const Listing* listing = List(resolved, watch, watch ? nullptr : &info);
                watched = watched && listing && listing->watched;
                const std::string lower = LowerAscii(component);
                if (watch) {
                    uses.emplace_back(resolved, lower);
                }
                entry = listing ? Match(*listing, component, lower) : nullptr;
                // A backslash may be part of a real name (a directory "a\\b" made on this system) rather than a
                // Windows separator: on a miss, the name is tried with the components after it joined on.
                for (size_t longer = end; !entry && listing && longer < path.size() && path[longer] == '\\';) {
                    longer = NextSeparator(path, longer + 1);
                    const std::string_view joined(path.data() + start, longer - start);
                    const std::string joinedLower = LowerAscii(joined);
                    entry = Match(*listing, joined, joinedLower);
                    if (entry) {
                        if (watch) {
                            uses.emplace_back(resolved, joinedLower);
                        }
                        component = joined;
                        pos = longer + 1;
                    }
                }
            }
            if (!resolved.empty() && resolved.back() != '/') {
                resolved += '/';
            }
            resolved += entry ? std::string_view(entry->name) : component;
            if (!entry || entry->type == EntryType::File) {
                ok = false;
            } else if (entry->type == EntryType::Directory && watch) {
                anchor = resolved;
            } else if (StatDirectory(resolved, info)) {
                anchor = resolved;
            } else {
                ok = false;
            }
        }
        // Nothing further down can exist: the rest stays as given.
        while (pos <= path.size()) {
            const size_t end = NextSeparator(path, pos);
            const std::string_view component(path.data() + pos, end - pos);
            pos = end + 1;
            if (component.empty()) {
                continue;
            }
            if (!resolved.empty() && resolved.back() != '/') {
                resolved += '/';
            }
            resolved += component;
        }
        mapping.resolved = resolved;
        mapping.anchor = anchor;
        mapping.complete = ok;
        mapping.watched = watched;
        if (watched) {
            for (auto& [parent, child] : uses) {
                childrenInUse_[parent].insert(std::move(child));
            }
        } else {
            if (!StatDirectory(anchor, info)) {
                // The anchor went away during the walk: a mapping that the next call does again.
                info = {};
            }
            mapping.device = info.st_dev;
            mapping.inode = info.st_ino;
            mapping.modified = info.st_mtim;
            mapping.settled = IsSettled(info.st_mtim);
        }
        return mapping;
    }

    void Notice(const inotify_event& event)
    {
        if (event.mask & IN_Q_OVERFLOW) {
            // Notices were lost: start again from the file system.
            listings_.clear();
            ++listingEpoch_;
            mappings_.clear();
            childrenInUse_.clear();
            return;
        }
        auto it = watchKeys_.find(event.wd);
        if (it == watchKeys_.end()) {
            return;
        }
        if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
            // The directory is gone from where it was: everything known at or below it is.
            for (const std::string& key : it->second) {
                ForgetTree(key);
            }
            if (event.mask & IN_MOVE_SELF) {
                inotify_rm_watch(notify_, event.wd);
            }
            if (event.mask & (IN_IGNORED | IN_MOVE_SELF)) {
                watchKeys_.erase(it);
            }
            return;
        }
        const std::string_view name = event.len > 0 ? std::string_view(event.name) : std::string_view();
        for (const std::string& key : it->second) {
            Forget(key);
            if (!name.empty()) {
                ForgetChild(key, name);
            }
        }
    }

    void ForgetTree(const std::string& directory)
    {
        if (std::erase_if(listings_, [&](const auto& entry) { return IsWithin(entry.first, directory); }) > 0) {
            ++listingEpoch_;
        }
        std::erase_if(mappings_, [&](const auto& entry) {
            return IsWithin(entry.second.resolved, directory) || IsWithin(entry.second.anchor, directory);
        });
    }

    // An entry of a watched directory came or went. Mappings that walked through a name like it (in any letter
    // case) may now map differently.
    void ForgetChild(const std::string& parent, std::string_view name)
    {
        auto uses = childrenInUse_.find(parent);
        const std::string lower = LowerAscii(name);
        if (uses == childrenInUse_.end() || uses->second.count(lower) == 0) {
            return;
        }
        const std::string prefix = LowerAscii(Join(parent, name));
        std::erase_if(mappings_,
                      [&](const auto& entry) { return IsWithin(LowerAscii(entry.second.resolved), prefix); });
        if (std::erase_if(listings_, [&](const auto& entry) { return IsWithin(LowerAscii(entry.first), prefix); }) >
            0) {
            ++listingEpoch_;
        }
    }

    std::mutex mutex_;
    int notify_ = -1;
    std::unordered_map<int, std::vector<std::string>> watchKeys_;
    StringMap<Listing> listings_;
    // Moves on whenever a listing is dropped, so a pointer to one taken before is known to be stale.
    uint64_t listingEpoch_ = 1;
    StringMap<Mapping> mappings_;
    // For each watched directory, the lower-cased names that mappings looked up in it.
    StringMap<std::unordered_set<std::string>> childrenInUse_;
};

// Resolves a path ('/' or '\\' separated) under the lock; entry says what its last name is, null when it is not
// in its directory.
std::string ResolveLocked(Resolver& resolver, std::string_view path, const Entry** entryOut)
{
    *entryOut = nullptr;
    if (path.empty()) {
        return {};
    }
    static const Entry directory{"", EntryType::Directory};
    const size_t slash = LastSeparator(path);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    struct stat info { };
    if (name.empty() || name == "." || name == "..") {
        // A directory named with a trailing slash, or a relative step: map it as a directory.
        const Mapping& m = resolver.Map(path, info);
        std::string resolved = m.resolved;
        const bool trailing = path.back() == '/' || path.back() == '\\';
        if (path.size() > 1 && trailing && !resolved.empty() && resolved.back() != '/') {
            resolved += '/';
        }
        *entryOut = m.complete ? &directory : nullptr;
        return resolved;
    }
    const Mapping& m = resolver.Map(DirectoryOf(path), info);
    const Listing* listing = m.complete ? resolver.ListOf(m, info) : nullptr;
    const Entry* entry = listing ? Match(*listing, name, LowerAscii(name)) : nullptr;
    if (!entry && slash != std::string_view::npos && path[slash] == '\\') {
        // The last backslash may be part of a real directory's name: the walk joins such names.
        const Mapping& whole = resolver.Map(path, info);
        if (whole.complete) {
            *entryOut = &directory;
            return whole.resolved;
        }
    }
    *entryOut = entry;
    return Join(m.resolved, entry ? std::string_view(entry->name) : name);
}

// The directory holding a real path (separated by '/' only): "" for the working directory.
std::string_view ParentOf(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) {
        return {};
    }
    return path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

std::string PathResolver::Resolve(std::string_view path)
{
    Resolver& resolver = Resolver::Get();
    std::lock_guard lock(resolver.Lock());
    resolver.TakeNotices();
    const Entry* entry = nullptr;
    return ResolveLocked(resolver, path, &entry);
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
    Resolver& resolver = Resolver::Get();
    std::lock_guard lock(resolver.Lock());
    resolver.TakeNotices();
    const Entry* entry = nullptr;
    ResolveLocked(resolver, path, &entry);
    return entry != nullptr;
}

bool PathResolver::LocateFile(std::span<const std::string> prefixes, std::string_view name, size_t& index,
                              std::string& path)
{
    if (name.empty()) {
        return false;
    }
    Resolver& resolver = Resolver::Get();
    std::lock_guard lock(resolver.Lock());
    resolver.TakeNotices();
    std::string candidate;
    std::string lastName;
    std::string lowerName;
    struct stat info { };
    for (size_t i = 0; i < prefixes.size(); ++i) {
        // Left as given: the directory part is the key of its cached mapping.
        candidate.assign(prefixes[i]).append(name);
        const size_t slash = LastSeparator(candidate);
        const std::string_view file =
            slash == std::string::npos ? std::string_view(candidate) : std::string_view(candidate).substr(slash + 1);
        if (file.empty() || file == "." || file == "..") {
            continue;
        }
        const Mapping& m = resolver.Map(DirectoryOf(candidate), info);
        if (!m.complete) {
            continue;
        }
        const Listing* listing = resolver.ListOf(m, info);
        if (!listing) {
            continue;
        }
        if (file != lastName) {
            lastName.assign(file);
            lowerName = LowerAscii(file);
        }
        const Entry* entry = Match(*listing, file, lowerName);
        if (!entry || entry->type == EntryType::Directory) {
            continue;
        }
        std::string full = Join(m.resolved, entry->name);
        if (entry->type == EntryType::Other && (stat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode))) {
            continue;
        }
        index = i;
        path = std::move(full);
        return true;
    }
    return false;
}

void PathResolver::Invalidate(std::string_view path)
{
    Resolver& resolver = Resolver::Get();
    std::lock_guard lock(resolver.Lock());
    resolver.TakeNotices();
    const Entry* entry = nullptr;
    std::string resolved = ResolveLocked(resolver, path, &entry);
    while (resolved.size() > 1 && resolved.back() == '/') {
        resolved.pop_back();
    }
    const std::string parent(ParentOf(resolved));
    resolver.Forget(parent);
    resolver.Forget(resolved);
    resolver.ForgetMappingsAt(parent);
    resolver.ForgetMappingsAt(resolved);
}
