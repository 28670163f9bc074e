#include "scene/EmitterFileCache.h"

#include "core/DataManager.h"
#include "win32/Log.h"

#include <fstream>

std::mutex EmitterFileCache::s_lock;
std::map<std::string, std::shared_ptr<const EmitterFile>> EmitterFileCache::s_files;

std::shared_ptr<const EmitterFile> EmitterFileCache::ReadPath(const std::string& path, const std::string& name)
{
    std::ifstream in(path);
    if (!in)
        return nullptr;
    auto file = std::make_shared<EmitterFile>();
    const std::string problem = file->Parse(in);
    if (!problem.empty())
        Log(LogLevel::WARNING, "emitter.file",
            name + ": " + problem + "; the rest of the file is ignored and its defaults are used");
    return file;
}

std::shared_ptr<const EmitterFile> EmitterFileCache::Get(const std::string& name)
{
    {
        std::lock_guard<std::mutex> lock(s_lock);
        auto it = s_files.find(name);
        if (it != s_files.end())
            return it->second;
    }
    const std::string path = DataManager::Get()->FindFile(name);
    std::shared_ptr<const EmitterFile> file = ReadPath(path, name);
    if (!file)
        Log(LogLevel::WARNING, "emitter.file", name + " cannot be found; the emitter stays empty");
    std::lock_guard<std::mutex> lock(s_lock);
    return s_files.emplace(name, std::move(file)).first->second;
}

void EmitterFileCache::Clear()
{
    std::lock_guard<std::mutex> lock(s_lock);
    s_files.clear();
}
