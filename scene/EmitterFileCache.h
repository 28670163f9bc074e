#pragma once
// Emitter files read once per name: units reload their emitters on every hit, and the file does not change
// while the game runs. A name that cannot be found is remembered too.

#include "scene/EmitterFile.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>

class EmitterFileCache
{
public:
    // The file's contents, or null when no data directory holds it. A malformed file is reported once on
    // stderr and handed out as far as it could be read.
    static std::shared_ptr<const EmitterFile> Get(const std::string& name);
    // Forgets every file (tests, and a data directory that changed).
    static void Clear();
    // Reads a file straight from a path, without the cache; null when it cannot be opened.
    static std::shared_ptr<const EmitterFile> ReadPath(const std::string& path, const std::string& name);

private:
    static std::mutex s_lock;
    static std::map<std::string, std::shared_ptr<const EmitterFile>> s_files;
};
