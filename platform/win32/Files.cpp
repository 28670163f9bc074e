#include "win32/HandleTable.h"
#include "win32/KernelObject.h"
#include "win32/PathResolver.h"
#include "win32/Win32.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// '*' any run of characters, '?' any one; letters match in either case.
bool WildcardMatch(std::string_view pattern, std::string_view name)
{
    size_t p = 0;
    size_t n = 0;
    size_t starP = std::string_view::npos;
    size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    const size_t count = std::min(a.size(), b.size());
    for (size_t i = 0; i < count; ++i) {
        const char ca = LowerAscii(a[i]);
        const char cb = LowerAscii(b[i]);
        if (ca != cb) {
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t FILETIME_UNIX_EPOCH = 116444736000000000ULL;

FILETIME ToFileTime(const timespec& time)
{
    const uint64_t ticks = FILETIME_UNIX_EPOCH + static_cast<uint64_t>(time.tv_sec) * 10000000ULL +
                           static_cast<uint64_t>(time.tv_nsec) / 100ULL;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

struct FoundFile {
    std::string name;
    WIN32_FIND_DATAA data;
};

class FindObject : public KernelObject
{
public:
    explicit FindObject(std::vector<FoundFile> files) : files_(std::move(files)) { }

    bool Next(WIN32_FIND_DATAA* data)
    {
        if (next_ >= files_.size()) {
            return false;
        }
        *data = files_[next_++].data;
        return true;
    }

private:
    std::vector<FoundFile> files_;
    size_t next_ = 0;
};

} // namespace

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer)
{
    std::vector<char> path(4096);
    while (!getcwd(path.data(), path.size())) {
        if (errno != ERANGE || path.size() > (1u << 20)) {
            if (buffer && bufferLength > 0) {
                buffer[0] = '\0';
            }
            return 0;
        }
        path.resize(path.size() * 2);
    }
    const DWORD length = static_cast<DWORD>(std::strlen(path.data()));
    // As on the original: with room, the length without the terminator; without room, the size needed with it
    // (and the buffer is left alone).
    if (!buffer || bufferLength <= length) {
        return length + 1;
    }
    std::memcpy(buffer, path.data(), length + 1);
    return length;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    if (data) {
        std::memset(data, 0, sizeof(*data));
    }
    if (!pattern || !data || !*pattern) {
        return INVALID_HANDLE_VALUE;
    }
    // The directory part goes to the resolver as it is: a backslash there may be part of a real name.
    const std::string whole(pattern);
    const size_t slash = whole.find_last_of("/\\");
    std::string directory;
    std::string namePattern;
    if (slash == std::string::npos) {
        directory = ".";
        namePattern = whole;
    } else {
        directory = slash == 0 ? "/" : PathResolver::Resolve(whole.substr(0, slash));
        namePattern = whole.substr(slash + 1);
    }
    if (namePattern.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    // "*.*" names every file, with or without a dot, as it always has.
    if (namePattern == "*.*") {
        namePattern = "*";
    }

    std::vector<FoundFile> files;
    DIR* dir = opendir(directory.c_str());
    if (!dir) {
        return INVALID_HANDLE_VALUE;
    }
    while (dirent* entry = readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == ".." || name.size() >= MAX_PATH || !WildcardMatch(namePattern, name)) {
            continue;
        }
        struct stat info { };
        const std::string full = directory + "/" + std::string(name);
        if (stat(full.c_str(), &info) != 0) {
            continue;
        }
        FoundFile found{std::string(name), {}};
        WIN32_FIND_DATAA& d = found.data;
        d.dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
        d.ftCreationTime = ToFileTime(info.st_ctim);
        d.ftLastAccessTime = ToFileTime(info.st_atim);
        d.ftLastWriteTime = ToFileTime(info.st_mtim);
        const uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<uint64_t>(info.st_size);
        d.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        d.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
        std::memcpy(d.cFileName, name.data(), name.size());
        d.cFileName[name.size()] = '\0';
        files.push_back(std::move(found));
    }
    closedir(dir);
    if (files.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    // The directory hands names out in no useful order; sort them without regard to case, as the original's file
    // system listed them, so every run reads the files in the same order.
    std::sort(files.begin(), files.end(),
              [](const FoundFile& a, const FoundFile& b) { return LessIgnoringCase(a.name, b.name); });
    auto object = std::make_shared<FindObject>(std::move(files));
    object->Next(data);
    HANDLE handle = HandleTable::Get().Add(object);
    return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data)
{
    auto object = std::dynamic_pointer_cast<FindObject>(HandleTable::Get().Find(find));
    if (!object || !data) {
        return FALSE;
    }
    return object->Next(data) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE find)
{
    if (!std::dynamic_pointer_cast<FindObject>(HandleTable::Get().Find(find))) {
        return FALSE;
    }
    HandleTable::Get().Remove(find);
    return TRUE;
}
