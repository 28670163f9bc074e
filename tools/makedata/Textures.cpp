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

// Shown while the game loads: a night-blue field with a gold frame and a row of hexes across it.
void WriteSplash(const std::filesystem::path& root)
{
    constexpr int width = 780;
    constexpr int height = 575;
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        const uint32_t blue = static_cast<uint32_t>(40 + (y * 80) / height);
        const uint32_t green = static_cast<uint32_t>(12 + (y * 30) / height);
        image.FillRect(0, y, width, y + 1, 0xFF000000u | (8u << 16) | (green << 8) | blue);
    }
    constexpr uint32_t gold = 0xFFD8B040u;
    image.FillRect(12, 12, width - 12, 18, gold);
    image.FillRect(12, height - 18, width - 12, height - 12, gold);
    image.FillRect(12, 12, 18, height - 12, gold);
    image.FillRect(width - 18, 12, width - 12, height - 12, gold);
    // Seven hexagons, outlined, across the middle.
    constexpr int radius = 40;
    for (int h = 0; h < 7; ++h) {
        const int cx = 150 + h * 80;
        const int cy = height / 2 + ((h % 2) ? 36 : -36);
        for (int y = -radius; y <= radius; ++y) {
            for (int x = -radius; x <= radius; ++x) {
                // A flat-topped hexagon: |y| <= r sin 60 and |x| + |y| / tan 60 <= r.
                const double ax = x < 0 ? -x : x;
                const double ay = y < 0 ? -y : y;
                const bool inside = ay <= radius * 0.866 && ax + ay * 0.577 <= radius;
                const bool inner = ay <= (radius - 5) * 0.866 && ax + ay * 0.577 <= radius - 5;
                if (inside && !inner)
                    image.Set(cx + x, cy + y, gold);
            }
        }
    }
    WriteBmp(DataDirectory(root, "Textures/Screen Overlay Textures") / "splash.bmp", image);
}

// The pointer: the usual slanted arrow with a tail, tip at the top-left pixel, outlined in black; white for
// the first player, red for the second.
bool InsideArrow(double x, double y)
{
    // Outline, clockwise from the tip; a point is inside when a ray to the right crosses it an odd number of times.
    static const double outline[][2] = {{0, 0}, {17, 17}, {10.5, 17}, {14.5, 26.5}, {10.5, 28.5}, {6.5, 19}, {0, 24.5}};
    constexpr int count = sizeof(outline) / sizeof(outline[0]);
    bool inside = false;
    for (int i = 0, j = count - 1; i < count; j = i++) {
        const double xi = outline[i][0], yi = outline[i][1];
        const double xj = outline[j][0], yj = outline[j][1];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

Image Arrow(uint32_t fill)
{
    constexpr int size = 32;
    Image image(size, size, 0x00000000u);
    const auto inside = [](int x, int y) { return x >= 0 && y >= 0 && InsideArrow(x + 0.5, y + 0.5); };
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            if (!inside(x, y))
                continue;
            const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            image.Set(x, y, edge ? 0xFF000000u : fill);
        }
    }
    image.Set(0, 0, 0xFF000000u);
    return image;
}

void WriteCursors(const std::filesystem::path& root)
{
    WriteBmp(root / "Data" / "Cursors" / "Cursor111.bmp", Arrow(0xFFF0F0F0u));
    WriteBmp(root / "Data" / "Cursors" / "Cursor112.bmp", Arrow(0xFFE04030u));
}

// The pointer's own quad (never drawn) and the window behind a mouse-over name.
void WriteMouseOverTextures(const std::filesystem::path& root)
{
    Image icon = Arrow(0xFFF0F0F0u);
    WriteTga(DataDirectory(root, "Textures/Hud Textures") / "mouseIcon.tga", icon);
    Image window(32, 32, 0xC0101828u);
    window.FillRect(0, 0, 32, 1, 0xFFD8B040u);
    window.FillRect(0, 31, 32, 32, 0xFFD8B040u);
    WriteTga(DataDirectory(root, "Textures/Hud Textures") / "mouseOverText.tga", window);
}

} // namespace

void WriteTextures(const std::filesystem::path& root)
{
    WriteDefaultTexture(root);
    WriteSplash(root);
    WriteCursors(root);
    WriteMouseOverTextures(root);
}
