#pragma once
// A scratch data tree for the data manager's tests: a fresh directory that becomes the working directory (so
// the data manager builds its table under it), with helpers to put files anywhere below it. The previous
// working directory and a fresh data manager are restored afterwards.

#include "core/DataManager.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class DataTree
{
public:
    // The tree sits in a fresh temporary directory, or in a subdirectory of that name inside it.
    explicit DataTree(const std::string& installDirectory = "")
    {
        m_previous = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "varnholt-data-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        m_temporary = mkdtemp(buffer.data());
        m_root = installDirectory.empty() ? m_temporary : m_temporary / installDirectory;
        std::filesystem::create_directories(m_root);
        std::filesystem::current_path(m_root);
        DataManager::ResetForTests();
    }
    ~DataTree()
    {
        DataManager::ResetForTests();
        std::filesystem::current_path(m_previous);
        std::error_code ignored;
        std::filesystem::remove_all(m_temporary, ignored);
    }
    DataTree(const DataTree&) = delete;
    DataTree& operator=(const DataTree&) = delete;

    const std::filesystem::path& Root() const { return m_root; }

    // Writes a file at a path relative to the root ('/' separated), creating its directories.
    std::filesystem::path Write(const std::string& relative, const std::string& content = "x")
    {
        const std::filesystem::path path = m_root / relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    // Lines joined with the given line end, the last one ended too.
    static std::string Lines(const std::vector<std::string>& lines, const char* end = "\n")
    {
        std::string text;
        for (const std::string& line : lines)
            text += line + end;
        return text;
    }

private:
    std::filesystem::path m_previous;
    std::filesystem::path m_temporary;
    std::filesystem::path m_root;
};
