#pragma once
// Small writers shared by every family of the default Data tree: text files (with Unix or Windows line ends),
// uncompressed TGA images and PCM WAV sounds, plus the directory table every asset is placed in. Each writer
// creates the directories it needs and throws std::runtime_error when a file cannot be written.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

enum class LineEnd
{
    Unix,
    Windows
};

// Each line is written followed by "\n" or, for files that should look written on Windows, "\r\n".
void WriteTextFile(const std::filesystem::path& path, const std::vector<std::string>& lines,
                   LineEnd ending = LineEnd::Unix);

// An image in 32-bit pixels 0xAARRGGBB, row 0 at the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Image(int w, int h, uint32_t fill = 0xFF000000u);
    void Set(int x, int y, uint32_t argb);
    uint32_t Get(int x, int y) const;
    // Fills the rectangle [x0, x1) x [y0, y1), clipped to the image.
    void FillRect(int x0, int y0, int x1, int y1, uint32_t argb);
};

// Uncompressed true-colour TGA, stored top row first; 32 bits with alpha, or 24 bits without.
void WriteTga(const std::filesystem::path& path, const Image& image, bool withAlpha = true);

// 32-bit BMP with an alpha channel (bit-field masks, so readers keep the alpha), stored bottom row first.
void WriteBmp(const std::filesystem::path& path, const Image& image);

// 16-bit PCM WAV; samples interleaved by channel.
void WriteWav(const std::filesystem::path& path, int sampleRate, int channels, const std::vector<int16_t>& samples);

// The data directories the game searches, below the root, in its search order ("Data", "Data/Textures/World
// Textures", ...).
const std::vector<std::string>& DataDirectories();
// root / "Data" / relative, with relative written with '/' ("Textures/Hud Textures").
std::filesystem::path DataDirectory(const std::filesystem::path& root, const std::string& relative);
