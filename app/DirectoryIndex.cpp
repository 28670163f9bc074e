#include "app/DirectoryIndex.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A directory may be watched both for itself and as the parent of one that is missing; the kernel gives both one
// watch, so each adds its events to the other's instead of replacing them.
constexpr uint32_t DirectoryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                     IN_MOVE_SELF | IN_ONLYDIR | IN_MASK_ADD;
constexpr uint32_t ParentEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR | IN_MASK_ADD;

std::string Parent(const std::string& directory)
{
    std::string path = directory;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

DirectoryIndex::DirectoryIndex() : m_notify(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

DirectoryIndex::~DirectoryIndex()
{
    if (m_notify >= 0)
        close(m_notify);
}

std::string DirectoryIndex::Lower(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

size_t DirectoryIndex::Add(const std::string& directory)
{
    m_entries.push_back(Entry{});
    m_entries.back().directory = directory.empty() ? "." : directory;
    Watch(m_entries.back());
    return m_entries.size() - 1;
}

void DirectoryIndex::Clear()
{
    for (Entry& entry : m_entries)
        if (entry.watch >= 0 && m_notify >= 0)
            inotify_rm_watch(m_notify, entry.watch);
    for (int watch : m_parentWatches)
        inotify_rm_watch(m_notify, watch);
    m_parentWatches.clear();
    m_entries.clear();
    // Events of the removed watches may still be queued; they name no entry now.
    Refresh();
}

void DirectoryIndex::Watch(Entry& entry)
{
    if (m_notify < 0)
        return;
    entry.listed = false;
    entry.watch = inotify_add_watch(m_notify, entry.directory.c_str(), DirectoryEvents);
    if (entry.watch >= 0)
        return;
    WatchParents(entry.directory);
    // It may have appeared before the parent was watched.
    entry.watch = inotify_add_watch(m_notify, entry.directory.c_str(), DirectoryEvents);
}

void DirectoryIndex::WatchParents(const std::string& directory)
{
    std::string parent = Parent(directory);
    for (;;) {
        const int watch = inotify_add_watch(m_notify, parent.c_str(), ParentEvents);
        if (watch >= 0) {
            m_parentWatches.insert(watch);
            return;
        }
        if (parent == "/" || parent == ".")
            return;
        parent = Parent(parent);
    }
}

void DirectoryIndex::List(Entry& entry)
{
    entry.exact.clear();
    entry.byLower.clear();
    entry.listed = true;
    DIR* dir = opendir(entry.directory.c_str());
    if (!dir)
        return;
    while (dirent* found = readdir(dir)) {
        const std::string name = found->d_name;
        if (name == "." || name == "..")
            continue;
        entry.exact.insert(name);
        // Of names that differ only in case the smallest wins, so the choice does not depend on directory order.
        auto [slot, inserted] = entry.byLower.try_emplace(Lower(name), name);
        if (!inserted && name < slot->second)
            slot->second = name;
    }
    closedir(dir);
}

void DirectoryIndex::Refresh()
{
    if (m_notify < 0)
        return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t length = read(m_notify, buffer, sizeof buffer);
        if (length <= 0) {
            if (length < 0 && errno == EINTR)
                continue;
            break;
        }
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                // Changes were lost: read every directory afresh.
                for (Entry& entry : m_entries)
                    entry.listed = false;
                m_recheckMissing = true;
                continue;
            }
            if (m_parentWatches.count(event->wd))
                m_recheckMissing = true;
            for (Entry& entry : m_entries) {
                if (entry.watch != event->wd)
                    continue;
                entry.listed = false;
                if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                    entry.watch = -1;
                    m_recheckMissing = true;
                }
            }
        }
    }
    if (m_recheckMissing) {
        m_recheckMissing = false;
        for (Entry& entry : m_entries)
            if (entry.watch < 0)
                Watch(entry);
    }
}

std::string DirectoryIndex::Find(size_t slot, const std::string& name, const std::string& lowerName)
{
    if (slot >= m_entries.size())
        return {};
    Entry& entry = m_entries[slot];
    if (entry.watch < 0)
        return {};
    if (!entry.listed)
        List(entry);
    if (entry.exact.count(name))
        return name;
    auto found = entry.byLower.find(lowerName);
    return found == entry.byLower.end() ? std::string() : found->second;
}
