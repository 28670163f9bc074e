#pragma once
// A scratch directory of this test process, removed with everything in it when the object goes.

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

class ScratchDirectory
{
public:
    explicit ScratchDirectory(const std::string& purpose)
        : root(std::filesystem::temp_directory_path() / ("varnholt-" + purpose + "-" + std::to_string(::getpid())))
    {
        std::filesystem::create_directories(root);
    }
    ~ScratchDirectory()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::string Path(const std::string& name) const { return (root / name).string(); }

private:
    std::filesystem::path root;
};
