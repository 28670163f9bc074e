// The ground textures of the three levels, the sky strip, the stars and the level decals. Ground textures
// are 256 x 256 and tile: their noise wraps at the edge and every shape drawn near an edge is drawn again on
// the far side.
#include "DataWriter.h"
#include "Noise.h"
#include "Writers.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr int SIZE = 256;

struct Rgb {
    float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

uint32_t Pack(Rgb c, float alpha = 1.0f)
{
    auto byte = [](float v) { return static_cast<uint32_t>(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f); };
    return byte(alpha) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
}

// A cairo surface whose drawing is copied into an image at the end.
class Canvas
{
public:
    explicit Canvas(int size) : m_size(size)
    {
        m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
        m_cr = cairo_create(m_surface);
    }
    ~Canvas()
    {
        cairo_destroy(m_cr);
        cairo_surface_destroy(m_surface);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* Cr() { return m_cr; }

    // Runs draw nine times, shifted by the texture size in every direction, so shapes cross the edges whole.
    void Tiled(const std::function<void(cairo_t*)>& draw)
    {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                cairo_save(m_cr);
                cairo_translate(m_cr, dx * m_size, dy * m_size);
                draw(m_cr);
                cairo_restore(m_cr);
            }
    }

    void FromImage(const Image& image)
    {
        cairo_surface_flush(m_surface);
        unsigned char* data = cairo_image_surface_get_data(m_surface);
        const int stride = cairo_image_surface_get_stride(m_surface);
        for (int y = 0; y < m_size; ++y)
            for (int x = 0; x < m_size; ++x)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] = image.Get(x, y) | 0xFF000000u;
        cairo_surface_mark_dirty(m_surface);
    }

    Image ToImage(bool opaque = true)
    {
        cairo_surface_flush(m_surface);
        Image image(m_size, m_size);
        const unsigned char* data = cairo_image_surface_get_data(m_surface);
        const int stride = cairo_image_surface_get_stride(m_surface);
        for (int y = 0; y < m_size; ++y)
            for (int x = 0; x < m_size; ++x) {
                uint32_t p = reinterpret_cast<const uint32_t*>(data + y * stride)[x];
                if (!opaque) {
                    // Cairo keeps premultiplied colour; the image wants it straight.
                    const uint32_t a = p >> 24;
                    if (a > 0 && a < 255) {
                        auto un = [a](uint32_t c) { return std::min<uint32_t>(255u, (c * 255u + a / 2) / a); };
                        p = a << 24 | un((p >> 16) & 0xFF) << 16 | un((p >> 8) & 0xFF) << 8 | un(p & 0xFF);
                    }
                } else {
                    p |= 0xFF000000u;
                }
                image.Set(x, y, p);
            }
        return image;
    }

private:
    int m_size;
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};

// A tiling field between two colours by wrapped fractal noise, with a finer grain on top.
Image NoiseField(Rgb dark, Rgb light, uint32_t seed, float cells, float grain)
{
    Image image(SIZE, SIZE);
    const int period = static_cast<int>(cells);
    for (int y = 0; y < SIZE; ++y)
        for (int x = 0; x < SIZE; ++x) {
            const float u = static_cast<float>(x) / SIZE * cells, v = static_cast<float>(y) / SIZE * cells;
            float t = Fbm(u, v, seed, 5, period);
            t += (ValueNoise(static_cast<float>(x) * 0.5f, static_cast<float>(y) * 0.5f, seed + 99u, SIZE / 2) - 0.5f) *
                 grain;
            image.Set(x, y, Pack(Mix(dark, light, std::clamp(t * 1.4f - 0.2f, 0.0f, 1.0f))));
        }
    return image;
}

void Save(const std::filesystem::path& root, const char* name, const Image& image)
{
    WriteTga(DataDirectory(root, "Textures/World Textures") / name, image, false);
}

// Seeded scatter of n points in the tile.
template <typename F>
void Scatter(int n, uint32_t seed, F&& each)
{
    for (int i = 0; i < n; ++i) {
        const float x = NoiseLattice(i, 1, seed) * SIZE, y = NoiseLattice(i, 2, seed) * SIZE;
        each(i, x, y, NoiseLattice(i, 3, seed));
    }
}

void Grass(const std::filesystem::path& root, const char* name, Rgb dark, Rgb light, uint32_t seed)
{
    Canvas canvas(SIZE);
    canvas.FromImage(NoiseField(dark, light, seed, 8.0f, 0.35f));
    canvas.Tiled([&](cairo_t* cr) {
        cairo_set_line_width(cr, 1.0);
        Scatter(900, seed + 7u, [&](int, float x, float y, float r) {
            const Rgb c = Mix(dark, light, r);
            cairo_set_source_rgba(cr, c.r * 0.9, c.g * 1.05, c.b * 0.8, 0.55);
            cairo_move_to(cr, x, y);
            cairo_line_to(cr, x + (r - 0.5f) * 4.0f, y - 3.0f - r * 4.0f);
            cairo_stroke(cr);
        });
    });
    Save(root, name, canvas.ToImage());
}

void Rock(const std::filesystem::path& root, const char* name, Rgb dark, Rgb light, uint32_t seed)
{
    Canvas canvas(SIZE);
    canvas.FromImage(NoiseField(dark, light, seed, 6.0f, 0.5f));
    canvas.Tiled([&](cairo_t* cr) {
        // Cracks: short jagged dark strokes, and light edges along their upper side.
        Scatter(40, seed + 3u, [&](int i, float x, float y, float r) {
            cairo_set_line_width(cr, 1.0 + r * 1.5);
            cairo_set_source_rgba(cr, dark.r * 0.5, dark.g * 0.5, dark.b * 0.5, 0.7);
            cairo_move_to(cr, x, y);
            float px = x, py = y;
            for (int k = 0; k < 5; ++k) {
                px += 6.0f + NoiseLattice(i, k + 10, seed) * 10.0f;
                py += (NoiseLattice(i, k + 20, seed) - 0.5f) * 14.0f;
                cairo_line_to(cr, px, py);
            }
            cairo_stroke(cr);
        });
    });
    Save(root, name, canvas.ToImage());
}

void Dirt(const std::filesystem::path& root, const char* name, Rgb dark, Rgb light, uint32_t seed)
{
    Canvas canvas(SIZE);
    canvas.FromImage(NoiseField(dark, light, seed, 8.0f, 0.6f));
    canvas.Tiled([&](cairo_t* cr) {
        Scatter(160, seed + 5u, [&](int, float x, float y, float r) {
            const Rgb c = Mix(dark, light, r);
            cairo_set_source_rgba(cr, c.r * 0.8, c.g * 0.8, c.b * 0.8, 0.8);
            cairo_arc(cr, x, y, 1.0 + r * 2.5, 0.0, 2.0 * M_PI);
            cairo_fill(cr);
        });
    });
    Save(root, name, canvas.ToImage());
}

// Ploughed earth in rows, for the farm's fields.
void Field(const std::filesystem::path& root, const char* name, uint32_t seed)
{
    const Rgb dark{0.33f, 0.24f, 0.14f}, light{0.52f, 0.40f, 0.24f};
    Canvas canvas(SIZE);
    canvas.FromImage(NoiseField(dark, light, seed, 8.0f, 0.4f));
    cairo_t* cr = canvas.Cr();
    for (int row = 0; row < 16; ++row) {
        const double y = row * 16.0 + 8.0;
        cairo_set_line_width(cr, 5.0);
        cairo_set_source_rgba(cr, 0.25, 0.17, 0.09, 0.6);
        cairo_move_to(cr, 0.0, y);
        cairo_line_to(cr, SIZE, y);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 2.0);
        cairo_set_source_rgba(cr, 0.62, 0.58, 0.30, 0.5);
        cairo_move_to(cr, 0.0, y - 5.0);
        cairo_line_to(cr, SIZE, y - 5.0);
        cairo_stroke(cr);
    }
    Save(root, name, canvas.ToImage());
}

void Snow(const std::filesystem::path& root, const char* name, Rgb dark, Rgb light, uint32_t seed, int sparkles)
{
    Canvas canvas(SIZE);
    canvas.FromImage(NoiseField(dark, light, seed, 6.0f, 0.15f));
    canvas.Tiled([&](cairo_t* cr) {
        Scatter(sparkles, seed + 11u, [&](int, float x, float y, float r) {
            cairo_set_source_rgba(cr, 1.0, 1.0, 1.0, 0.5 + r * 0.5);
            cairo_rectangle(cr, x, y, 1.0, 1.0);
            cairo_fill(cr);
        });
    });
    Save(root, name, canvas.ToImage());
}

// Square-cut stones in offset courses with mortar between them.
void Paving(const std::filesystem::path& root, const char* name, uint32_t seed)
{
    Canvas canvas(SIZE);
    canvas.FromImage(NoiseField({0.30f, 0.29f, 0.27f}, {0.42f, 0.40f, 0.37f}, seed, 8.0f, 0.3f));
    cairo_t* cr = canvas.Cr();
    constexpr int kCourses = 8;
    constexpr double kCourse = static_cast<double>(SIZE) / kCourses;
    for (int row = 0; row < kCourses; ++row) {
        const double offset = (row % 2) * kCourse * 0.5;
        for (int col = -1; col <= kCourses; ++col) {
            const float shade = NoiseLattice(row, (col + kCourses) % kCourses, seed);
            const double x = col * kCourse + offset + 2.0, y = row * kCourse + 2.0;
            cairo_rectangle(cr, x, y, kCourse - 4.0, kCourse - 4.0);
            cairo_set_source_rgba(cr, 0.55 + shade * 0.15, 0.52 + shade * 0.14, 0.47 + shade * 0.12, 0.55);
            cairo_fill_preserve(cr);
            cairo_set_line_width(cr, 1.5);
            cairo_set_source_rgba(cr, 0.18, 0.17, 0.15, 0.8);
            cairo_stroke(cr);
        }
    }
    Save(root, name, canvas.ToImage());
}

// The sky strip: the sky value picks a column (24 units across the strip) and creeps on while the game runs,
// round the strip every twenty minutes; along v the horizon at the top and the zenith further down. Every level
// is lit by a day's sun that never sets, so every column is a day sky: cooler and hazier towards one end, a
// deep clear blue towards the middle, and the same at both ends so that the strip wraps without a seam. The
// alpha (how much of the star field shows through the dome) is nought throughout: no stars over a sunlit land.
void Sky(const std::filesystem::path& root)
{
    constexpr int kWidth = 256, kHeight = 128;
    Image image(kWidth, kHeight);
    struct Key {
        float hour;
        Rgb horizon, zenith;
    };
    const Key keys[] = {
        {0.0f, {0.80f, 0.86f, 0.94f}, {0.34f, 0.54f, 0.86f}},  {6.0f, {0.82f, 0.87f, 0.93f}, {0.38f, 0.56f, 0.84f}},
        {12.0f, {0.76f, 0.87f, 0.98f}, {0.25f, 0.48f, 0.90f}}, {18.0f, {0.80f, 0.85f, 0.92f}, {0.31f, 0.50f, 0.85f}},
        {24.0f, {0.80f, 0.86f, 0.94f}, {0.34f, 0.54f, 0.86f}},
    };
    for (int x = 0; x < kWidth; ++x) {
        const float hour = (static_cast<float>(x) + 0.5f) / kWidth * 24.0f;
        size_t k = 0;
        while (k + 2 < std::size(keys) && keys[k + 1].hour <= hour)
            ++k;
        const Key& a = keys[k];
        const Key& b = keys[k + 1];
        const float t = NoiseSmooth((hour - a.hour) / (b.hour - a.hour));
        const Rgb horizon = Mix(a.horizon, b.horizon, t), zenith = Mix(a.zenith, b.zenith, t);
        for (int y = 0; y < kHeight; ++y) {
            // The dome's v runs from 0 at the rim to about 0.72 at the top.
            const float up = std::clamp(static_cast<float>(y) / (kHeight * 0.72f), 0.0f, 1.0f);
            image.Set(x, y, Pack(Mix(horizon, zenith, std::sqrt(up)), 0.0f));
        }
    }
    WriteTga(DataDirectory(root, "Textures/Skybox Textures") / "clearSky2.tga", image, true);
}

void Stars(const std::filesystem::path& root)
{
    Canvas canvas(SIZE);
    cairo_t* cr = canvas.Cr();
    cairo_set_source_rgb(cr, 0.0, 0.0, 0.02);
    cairo_paint(cr);
    canvas.Tiled([&](cairo_t* c) {
        Scatter(220, 4242u, [&](int, float x, float y, float r) {
            const double radius = 0.4 + r * r * 1.3;
            cairo_set_source_rgba(c, 0.85 + r * 0.15, 0.88 + r * 0.1, 1.0, 0.4 + r * 0.6);
            cairo_arc(c, x, y, radius, 0.0, 2.0 * M_PI);
            cairo_fill(c);
        });
    });
    WriteTga(DataDirectory(root, "Textures/Skybox Textures") / "stars.tga", canvas.ToImage(), false);
}

// Decals: transparent around the picture, so the grid's square never shows.
void Decal(const std::filesystem::path& root, const char* name, const std::function<void(cairo_t*)>& draw)
{
    Canvas canvas(128);
    draw(canvas.Cr());
    WriteTga(DataDirectory(root, "Textures/World Textures") / name, canvas.ToImage(false), true);
}

void Decals(const std::filesystem::path& root)
{
    Decal(root, "ScorchMark.tga", [](cairo_t* cr) {
        cairo_pattern_t* p = cairo_pattern_create_radial(64, 64, 4, 64, 64, 62);
        cairo_pattern_add_color_stop_rgba(p, 0.0, 0.05, 0.04, 0.03, 0.95);
        cairo_pattern_add_color_stop_rgba(p, 0.6, 0.15, 0.10, 0.06, 0.7);
        cairo_pattern_add_color_stop_rgba(p, 1.0, 0.2, 0.15, 0.1, 0.0);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    });
    Decal(root, "FrostPatch.tga", [](cairo_t* cr) {
        cairo_pattern_t* p = cairo_pattern_create_radial(64, 64, 2, 64, 64, 62);
        cairo_pattern_add_color_stop_rgba(p, 0.0, 0.75, 0.88, 1.0, 0.8);
        cairo_pattern_add_color_stop_rgba(p, 0.7, 0.65, 0.80, 0.95, 0.5);
        cairo_pattern_add_color_stop_rgba(p, 1.0, 0.6, 0.75, 0.9, 0.0);
        cairo_set_source(cr, p);
        cairo_paint(cr);
        cairo_pattern_destroy(p);
    });
    Decal(root, "CrestMosaic.tga", [](cairo_t* cr) {
        cairo_set_line_width(cr, 6.0);
        cairo_arc(cr, 64, 64, 54, 0.0, 2.0 * M_PI);
        cairo_set_source_rgba(cr, 0.55, 0.12, 0.10, 0.9);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0.85, 0.70, 0.30, 1.0);
        cairo_stroke(cr);
        // A tower of the crest: a stepped gold silhouette.
        cairo_move_to(cr, 44, 96);
        cairo_line_to(cr, 44, 48);
        for (int k = 0; k < 5; ++k) {
            cairo_rel_line_to(cr, 0, -8);
            cairo_rel_line_to(cr, 8, 0);
            cairo_rel_line_to(cr, 0, 8 * (k % 2 == 0 ? 1 : -1) + (k % 2 == 0 ? 0 : 0));
        }
        cairo_line_to(cr, 84, 48);
        cairo_line_to(cr, 84, 96);
        cairo_close_path(cr);
        cairo_set_source_rgba(cr, 0.85, 0.70, 0.30, 1.0);
        cairo_fill(cr);
    });
}

} // namespace

void WriteTerrainTextures(const std::filesystem::path& root)
{
    Grass(root, "farm_grass.tga", {0.20f, 0.36f, 0.12f}, {0.42f, 0.58f, 0.22f}, 11u);
    Rock(root, "farm_rock.tga", {0.33f, 0.30f, 0.25f}, {0.55f, 0.51f, 0.44f}, 12u);
    Dirt(root, "farm_path.tga", {0.40f, 0.30f, 0.18f}, {0.62f, 0.50f, 0.34f}, 13u);
    Field(root, "farm_field.tga", 14u);

    Snow(root, "winter_snow.tga", {0.80f, 0.84f, 0.90f}, {0.97f, 0.98f, 1.0f}, 21u, 500);
    Rock(root, "winter_rock.tga", {0.25f, 0.26f, 0.29f}, {0.48f, 0.49f, 0.52f}, 22u);
    Snow(root, "winter_trail.tga", {0.62f, 0.66f, 0.72f}, {0.82f, 0.85f, 0.90f}, 23u, 120);
    Dirt(root, "winter_scree.tga", {0.30f, 0.31f, 0.33f}, {0.55f, 0.56f, 0.58f}, 24u);

    Grass(root, "citadel_grass.tga", {0.22f, 0.33f, 0.14f}, {0.40f, 0.50f, 0.24f}, 31u);
    Rock(root, "citadel_rock.tga", {0.36f, 0.34f, 0.31f}, {0.58f, 0.56f, 0.52f}, 32u);
    Paving(root, "citadel_paving.tga", 33u);
    Dirt(root, "citadel_road.tga", {0.42f, 0.36f, 0.26f}, {0.60f, 0.54f, 0.42f}, 34u);

    Sky(root);
    Stars(root);
    Decals(root);
}
