#pragma once
// The names in each directory of the data directory table, kept up to date by the kernel's change
// notifications, so that looking a bare name up across the whole table costs no file system call per
// directory. It only says where a name may be: the data manager still opens the file to count it as found.
//
// Where change notifications are not available the index reports itself unusable and the data manager asks the
// file system for every candidate instead.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class DirectoryIndex {
public:
    DirectoryIndex();
    ~DirectoryIndex();

    DirectoryIndex(const DirectoryIndex&) = delete;
    DirectoryIndex& operator=(const DirectoryIndex&) = delete;

    bool IsUsable() const { return m_notify >= 0; }

    // Adds a directory (a real path, '/' separated) and returns its slot.
    size_t Add(const std::string& directory);
    void Clear();

    // Takes in the changes reported since the last call. Call once before a series of lookups.
    void Refresh();
    // The real name in the directory of the slot that matches name: the exact name when present, else one that
    // differs only in letter case; empty when there is none (or the directory does not exist).
    std::string Find(size_t slot, const std::string& name, const std::string& lowerName);
    const std::string& Directory(size_t slot) const { return m_entries[slot].directory; }

    static std::string Lower(const std::string& text);

private:
    struct Entry {
        std::string directory;
        int watch = -1;
        bool listed = false;
        std::unordered_set<std::string> exact;
        std::unordered_map<std::string, std::string> byLower;
    };

    void Watch(Entry& entry);
    void List(Entry& entry);
    void WatchParents(const std::string& directory);

    int m_notify = -1;
    std::vector<Entry> m_entries;
    // Watches on the nearest existing parents of directories that do not exist yet: any change there may mean
    // one of them has appeared.
    std::unordered_set<int> m_parentWatches;
    bool m_recheckMissing = false;
};
