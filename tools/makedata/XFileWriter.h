#pragma once
// Writes an XFile as text ("xof 0303txt 0032") in the layout the DirectX exporters used, so any reader of
// the format takes it. Numbers are printed with fixed precision, so the output is the same on every run.

#include "XFile.h"

#include <filesystem>
#include <string>

class XFileWriter
{
public:
    static std::string Text(const XFile& file);
    // Throws std::runtime_error when the file cannot be written.
    static void Write(const std::filesystem::path& path, const XFile& file);
};
