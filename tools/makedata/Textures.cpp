// Placeholder textures. Each texture has a function of its own that draws it; WriteTextures calls them all.
#include "DataWriter.h"
#include "Writers.h"

namespace {

// What every texture that cannot be found is drawn with: a grey checker board with a magenta border, plain
// enough to sit on a model and odd enough to be noticed.
void WriteDefaultTexture(const std::filesystem::path& root)
{
    constexpr int size = 64;
    constexpr int cell = 8;
    Image image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.Set(x, y, ((x / cell + y / cell) % 2 == 0) ? 0xFF9A9A9Au : 0xFF6E6E6Eu);
    image.FillRect(0, 0, size, 2, 0xFFFF00FFu);
    image.FillRect(0, size - 2, size, size, 0xFFFF00FFu);
    image.FillRect(0, 0, 2, size, 0xFFFF00FFu);
    image.FillRect(size - 2, 0, size, size, 0xFFFF00FFu);
    // In the first data directory, so that every fallback is found at the first look.
    WriteTga(DataDirectory(root, "") / "default.tga", image);
}

} // namespace

void WriteTextures(const std::filesystem::path& root)
{
    WriteDefaultTexture(root);
}
