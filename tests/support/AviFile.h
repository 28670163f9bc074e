#pragma once
// Builds small uncompressed AVI files for tests: one video stream of 24-bit BI_RGB frames, each frame given as
// a picture of colours addressed from the top-left, stored the way AVI stores it (bottom row first, rows
// padded to four bytes).

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace TestAvi {

struct Colour {
    uint8_t r, g, b;
};

struct Layout {
    int width = 4;
    int height = 2;
    uint32_t scale = 1;
    uint32_t rate = 25;
    // colour(frame, x, y) with y counted from the top of the picture
    std::function<Colour(int, int, int)> colour = [](int, int, int) { return Colour{0, 0, 0}; };
    int frames = 1;
    bool withIndex = true;
    // Frames stored as a single byte, which no decoder can make a picture of.
    std::vector<int> damaged;
};

inline void Put32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

inline void Put16(std::string& out, uint32_t v)
{
    out += char(v & 0xFF);
    out += char((v >> 8) & 0xFF);
}

inline std::string Chunk(const char* id, const std::string& body)
{
    std::string out(id, 4);
    Put32(out, uint32_t(body.size()));
    out += body;
    if (body.size() % 2)
        out += '\0';
    return out;
}

inline std::string List(const char* type, const std::string& body)
{
    return Chunk("LIST", std::string(type, 4) + body);
}

inline std::string FrameBytes(const Layout& layout, int frame)
{
    const int stride = ((layout.width * 3 + 3) / 4) * 4;
    std::string bytes(size_t(stride) * size_t(layout.height), '\0');
    for (int y = 0; y < layout.height; ++y) {
        const size_t row = size_t(layout.height - 1 - y) * size_t(stride);
        for (int x = 0; x < layout.width; ++x) {
            const Colour c = layout.colour(frame, x, y);
            bytes[row + size_t(x) * 3 + 0] = char(c.b);
            bytes[row + size_t(x) * 3 + 1] = char(c.g);
            bytes[row + size_t(x) * 3 + 2] = char(c.r);
        }
    }
    return bytes;
}

inline std::string Build(const Layout& layout)
{
    const int stride = ((layout.width * 3 + 3) / 4) * 4;
    const uint32_t frameSize = uint32_t(stride * layout.height);

    std::string avih;
    Put32(avih, layout.rate ? uint32_t(1000000ull * layout.scale / layout.rate) : 0);
    Put32(avih, 0);
    Put32(avih, 0);
    Put32(avih, layout.withIndex ? 0x10 : 0); // has an index
    Put32(avih, uint32_t(layout.frames));
    Put32(avih, 0);
    Put32(avih, 1);
    Put32(avih, frameSize);
    Put32(avih, uint32_t(layout.width));
    Put32(avih, uint32_t(layout.height));
    for (int i = 0; i < 4; ++i)
        Put32(avih, 0);

    std::string strh = "vidsDIB ";
    Put32(strh, 0);
    Put16(strh, 0);
    Put16(strh, 0);
    Put32(strh, 0);
    Put32(strh, layout.scale);
    Put32(strh, layout.rate);
    Put32(strh, 0);
    Put32(strh, uint32_t(layout.frames));
    Put32(strh, frameSize);
    Put32(strh, 0xFFFFFFFFu);
    Put32(strh, 0);
    Put16(strh, 0);
    Put16(strh, 0);
    Put16(strh, uint32_t(layout.width));
    Put16(strh, uint32_t(layout.height));

    std::string strf;
    Put32(strf, 40);
    Put32(strf, uint32_t(layout.width));
    Put32(strf, uint32_t(layout.height));
    Put16(strf, 1);
    Put16(strf, 24);
    Put32(strf, 0);
    Put32(strf, frameSize);
    for (int i = 0; i < 4; ++i)
        Put32(strf, 0);

    const std::string header =
        List("hdrl", Chunk("avih", avih) + List("strl", Chunk("strh", strh) + Chunk("strf", strf)));

    std::string movi;
    std::string index;
    for (int f = 0; f < layout.frames; ++f) {
        const bool damaged = std::find(layout.damaged.begin(), layout.damaged.end(), f) != layout.damaged.end();
        const std::string bytes = damaged ? std::string(1, '\x7f') : FrameBytes(layout, f);
        index += "00db";
        Put32(index, 0x10); // key frame
        Put32(index, uint32_t(4 + movi.size())); // from the "movi" type
        Put32(index, uint32_t(bytes.size()));
        movi += Chunk("00db", bytes);
    }
    std::string body = "AVI " + header + List("movi", movi);
    if (layout.withIndex)
        body += Chunk("idx1", index);
    return Chunk("RIFF", body);
}

inline void Write(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

} // namespace TestAvi
