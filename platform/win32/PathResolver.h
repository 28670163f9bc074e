#pragma once
// Maps the game's Windows-style paths ('\' separators, any letter case) onto the real file tree. Every file open
// in the game and in the platform layer goes through here.
//
// What is known of a directory is cached. Where the file system sends change notices the cache follows them, so a
// file made by any means is seen by the next call; elsewhere a directory is checked against its time stamp.

#include <cstddef>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

class PathResolver
{
public:
    // '\' becomes '/', and each component is matched against the real directory: an exact match first, then one
    // that differs only in letter case. Where a component does not exist the rest is kept as given, so a file
    // can be created at the result.
    static std::string Resolve(std::string_view path);
    // fopen of the resolved path. A mode that writes or appends makes the new file visible to later lookups.
    static FILE* Open(std::string_view path, const char* mode);
    static bool Exists(std::string_view path);
    // The first of the prefixes for which prefix + name is a regular file (prefix and name joined directly, as
    // given): true with its index and its real path. Looks the directories' cached listings up, so a long list
    // of prefixes costs no file system call for each.
    static bool LocateFile(std::span<const std::string> prefixes, std::string_view name, size_t& index,
                           std::string& path);
    // Forgets what is known of the directory holding path (call after creating or removing files there by other
    // means than Open where the file system sends no change notices).
    static void Invalidate(std::string_view path);
};
