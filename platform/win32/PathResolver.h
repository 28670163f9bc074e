#pragma once
// Maps the game's Windows-style paths ('\' separators, any letter case) onto the real file tree. Every file open
// in the game and in the platform layer goes through here.

#include <cstdio>
#include <string>
#include <string_view>

class PathResolver {
public:
    // '\' becomes '/', and each component is matched against the real directory: an exact match first, then one
    // that differs only in letter case. Where a component does not exist the rest is kept as given, so a file
    // can be created at the result.
    static std::string Resolve(std::string_view path);
    // fopen of the resolved path. A mode that writes or appends makes the new file visible to later lookups.
    static FILE* Open(std::string_view path, const char* mode);
    static bool Exists(std::string_view path);
    // Forgets what is known of the directory holding path (call after creating or removing files there by other
    // means than Open).
    static void Invalidate(std::string_view path);
};
