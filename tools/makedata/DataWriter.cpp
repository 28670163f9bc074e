#include "DataWriter.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace {

std::ofstream OpenForWriting(const std::filesystem::path& path)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
    return out;
}

void Finish(std::ofstream& out, const std::filesystem::path& path)
{
    out.flush();
    if (!out)
        throw std::runtime_error("error while writing " + path.string());
}

void PutLE(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFFu));
}

} // namespace

void WriteTextFile(const std::filesystem::path& path, const std::vector<std::string>& lines, LineEnd ending)
{
    std::ofstream out = OpenForWriting(path);
    const char* end = ending == LineEnd::Windows ? "\r\n" : "\n";
    for (const std::string& line : lines)
        out << line << end;
    Finish(out, path);
}

Image::Image(int w, int h, uint32_t fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill)
{ }

void Image::Set(int x, int y, uint32_t argb)
{
    if (x >= 0 && y >= 0 && x < width && y < height)
        pixels[static_cast<size_t>(y) * width + x] = argb;
}

uint32_t Image::Get(int x, int y) const
{
    return pixels[static_cast<size_t>(y) * width + x];
}

void Image::FillRect(int x0, int y0, int x1, int y1, uint32_t argb)
{
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(width, x1); ++x)
            pixels[static_cast<size_t>(y) * width + x] = argb;
}

void WriteTga(const std::filesystem::path& path, const Image& image, bool withAlpha)
{
    if (image.width <= 0 || image.height <= 0 || image.width > 0xFFFF || image.height > 0xFFFF)
        throw std::runtime_error("bad image size for " + path.string());
    std::ofstream out = OpenForWriting(path);
    const int bits = withAlpha ? 32 : 24;
    out.put(0); // no image id
    out.put(0); // no colour map
    out.put(2); // uncompressed true colour
    for (int i = 0; i < 5; ++i)
        out.put(0); // colour-map fields: no colour map
    PutLE(out, 0, 2);
    PutLE(out, 0, 2);
    PutLE(out, static_cast<uint32_t>(image.width), 2);
    PutLE(out, static_cast<uint32_t>(image.height), 2);
    out.put(static_cast<char>(bits));
    // Top row first (bit 5), and the number of alpha bits.
    out.put(static_cast<char>(0x20 | (withAlpha ? 8 : 0)));
    for (uint32_t argb : image.pixels) {
        out.put(static_cast<char>(argb & 0xFFu));
        out.put(static_cast<char>((argb >> 8) & 0xFFu));
        out.put(static_cast<char>((argb >> 16) & 0xFFu));
        if (withAlpha)
            out.put(static_cast<char>((argb >> 24) & 0xFFu));
    }
    Finish(out, path);
}

void WriteBmp(const std::filesystem::path& path, const Image& image)
{
    if (image.width <= 0 || image.height <= 0 || image.width > 0x7FFF || image.height > 0x7FFF)
        throw std::runtime_error("bad image size for " + path.string());
    constexpr uint32_t fileHeaderBytes = 14;
    constexpr uint32_t infoHeaderBytes = 108; // BITMAPV4HEADER
    const uint32_t pixelBytes = static_cast<uint32_t>(image.width) * static_cast<uint32_t>(image.height) * 4u;
    std::ofstream out = OpenForWriting(path);
    out.write("BM", 2);
    PutLE(out, fileHeaderBytes + infoHeaderBytes + pixelBytes, 4);
    PutLE(out, 0, 4);
    PutLE(out, fileHeaderBytes + infoHeaderBytes, 4);
    PutLE(out, infoHeaderBytes, 4);
    PutLE(out, static_cast<uint32_t>(image.width), 4);
    PutLE(out, static_cast<uint32_t>(image.height), 4);
    PutLE(out, 1, 2); // planes
    PutLE(out, 32, 2); // bits per pixel
    PutLE(out, 3, 4); // BI_BITFIELDS
    PutLE(out, pixelBytes, 4);
    PutLE(out, 2835, 4); // 72 dpi
    PutLE(out, 2835, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0, 4);
    PutLE(out, 0x00FF0000u, 4); // red mask
    PutLE(out, 0x0000FF00u, 4); // green mask
    PutLE(out, 0x000000FFu, 4); // blue mask
    PutLE(out, 0xFF000000u, 4); // alpha mask
    PutLE(out, 0x73524742u, 4); // "sRGB"
    for (int i = 0; i < 12; ++i)
        PutLE(out, 0, 4); // end points and gamma, unused for sRGB
    for (int y = image.height - 1; y >= 0; --y)
        for (int x = 0; x < image.width; ++x)
            PutLE(out, image.Get(x, y), 4);
    Finish(out, path);
}

void WriteWav(const std::filesystem::path& path, int sampleRate, int channels, const std::vector<int16_t>& samples)
{
    if (sampleRate <= 0 || channels <= 0)
        throw std::runtime_error("bad sound format for " + path.string());
    std::ofstream out = OpenForWriting(path);
    const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * sizeof(int16_t);
    out.write("RIFF", 4);
    PutLE(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLE(out, 16, 4);
    PutLE(out, 1, 2); // PCM
    PutLE(out, static_cast<uint32_t>(channels), 2);
    PutLE(out, static_cast<uint32_t>(sampleRate), 4);
    PutLE(out, static_cast<uint32_t>(sampleRate) * blockAlign, 4);
    PutLE(out, blockAlign, 2);
    PutLE(out, 16, 2);
    out.write("data", 4);
    PutLE(out, dataBytes, 4);
    for (int16_t s : samples)
        PutLE(out, static_cast<uint16_t>(s), 2);
    Finish(out, path);
}

std::filesystem::path DataDirectory(const std::filesystem::path& root, const std::string& relative)
{
    return root / "Data" / std::filesystem::path(relative);
}
