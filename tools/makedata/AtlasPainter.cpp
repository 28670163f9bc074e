#include "AtlasPainter.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

struct AtlasPainter::Surfaces {
    cairo_surface_t* colour = nullptr;
    cairo_surface_t* height = nullptr;
    cairo_t* c = nullptr;
    cairo_t* h = nullptr;
};

namespace {

// A repeatable pseudo-random value in [0, 1) for integer coordinates.
float Hash(int x, int y, int seed)
{
    uint32_t v = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u +
                 static_cast<uint32_t>(seed) * 2246822519u;
    v = (v ^ (v >> 13)) * 1274126177u;
    v ^= v >> 16;
    return static_cast<float>(v & 0xFFFFFFu) / 16777216.0f;
}

void SetColour(cairo_t* cr, uint32_t rgb, double scale = 1.0, double alpha = 1.0)
{
    const double r = ((rgb >> 16) & 0xFF) / 255.0, g = ((rgb >> 8) & 0xFF) / 255.0, b = (rgb & 0xFF) / 255.0;
    cairo_set_source_rgba(cr, std::min(1.0, r * scale), std::min(1.0, g * scale), std::min(1.0, b * scale), alpha);
}

void SetHeight(cairo_t* cr, double value, double alpha = 1.0)
{
    cairo_set_source_rgba(cr, value, value, value, alpha);
}

} // namespace

AtlasPainter::AtlasPainter(int size_, int cells_) : surfaces(std::make_unique<Surfaces>()), size(size_), cells(cells_)
{
    surfaces->colour = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
    surfaces->height = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
    surfaces->c = cairo_create(surfaces->colour);
    surfaces->h = cairo_create(surfaces->height);
    if (cairo_status(surfaces->c) != CAIRO_STATUS_SUCCESS || cairo_status(surfaces->h) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a cairo surface");
    cairo_set_source_rgb(surfaces->c, 0.5, 0.5, 0.5);
    cairo_paint(surfaces->c);
    SetHeight(surfaces->h, 0.5);
    cairo_paint(surfaces->h);
}

AtlasPainter::~AtlasPainter()
{
    cairo_destroy(surfaces->c);
    cairo_destroy(surfaces->h);
    cairo_surface_destroy(surfaces->colour);
    cairo_surface_destroy(surfaces->height);
}

void AtlasPainter::Paint(int index, Pattern pattern, uint32_t colour, uint32_t second)
{
    cairo_t* c = surfaces->c;
    cairo_t* h = surfaces->h;
    const double cell = static_cast<double>(size) / cells;
    const double x0 = (index % cells) * cell, y0 = (index / cells) * cell;
    for (cairo_t* cr : {c, h}) {
        cairo_save(cr);
        cairo_rectangle(cr, x0, y0, cell, cell);
        cairo_clip(cr);
        cairo_translate(cr, x0, y0);
        cairo_scale(cr, cell / 64.0, cell / 64.0); // every pattern is drawn on a 64 x 64 cell
    }
    SetColour(c, colour);
    cairo_paint(c);
    SetHeight(h, 0.5);
    cairo_paint(h);
    cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_cap(h, CAIRO_LINE_CAP_ROUND);
    const int seed = index * 31 + static_cast<int>(pattern);

    // Soft speckle that keeps large surfaces from looking plastic.
    auto speckle = [&](double amount, double radius, int count) {
        for (int i = 0; i < count; ++i) {
            const double x = Hash(i, 1, seed) * 64.0, y = Hash(i, 2, seed) * 64.0;
            const double s = 1.0 + (Hash(i, 3, seed) - 0.5) * amount;
            SetColour(c, colour, s, 0.35);
            cairo_arc(c, x, y, radius * (0.5 + Hash(i, 4, seed)), 0, 2 * M_PI);
            cairo_fill(c);
            SetHeight(h, 0.5 + (s - 1.0), 0.4);
            cairo_arc(h, x, y, radius * (0.5 + Hash(i, 4, seed)), 0, 2 * M_PI);
            cairo_fill(h);
        }
    };
    auto line = [](cairo_t* cr, double ax, double ay, double bx, double by, double width) {
        cairo_set_line_width(cr, width);
        cairo_move_to(cr, ax, ay);
        cairo_line_to(cr, bx, by);
        cairo_stroke(cr);
    };

    switch (pattern) {
    case Pattern::FLAT:
        speckle(0.12, 4.0, 30);
        break;
    case Pattern::FACE: {
        speckle(0.06, 5.0, 20);
        // The front of the head lies a quarter of the way across the cell; eyes at mid height.
        for (double side : {-1.0, 1.0}) {
            SetColour(c, 0xF0F0F0);
            cairo_arc(c, 16.0 + side * 3.4, 31.0, 1.7, 0, 2 * M_PI);
            cairo_fill(c);
            SetColour(c, second);
            cairo_arc(c, 16.0 + side * 3.4, 31.0, 1.0, 0, 2 * M_PI);
            cairo_fill(c);
            SetColour(c, second, 0.7);
            line(c, 16.0 + side * 1.6, 27.8, 16.0 + side * 5.4, 27.2, 1.1);
        }
        SetColour(c, colour, 0.8);
        line(c, 16.0, 32.0, 16.0, 38.0, 1.6); // nose shadow
        SetColour(c, 0x8A4A40);
        line(c, 13.6, 43.5, 18.4, 43.5, 1.2);
        SetHeight(h, 0.8);
        line(h, 16.0, 31.5, 16.0, 38.5, 2.2);
        break;
    }
    case Pattern::HAIR:
        for (int i = 0; i < 70; ++i) {
            const double x = Hash(i, 5, seed) * 64.0;
            SetColour(c, colour, 0.7 + 0.6 * Hash(i, 6, seed));
            line(c, x, 0.0, x + (Hash(i, 7, seed) - 0.5) * 8.0, 64.0, 1.0);
            SetHeight(h, 0.3 + 0.5 * Hash(i, 8, seed));
            line(h, x, 0.0, x + (Hash(i, 7, seed) - 0.5) * 8.0, 64.0, 1.2);
        }
        break;
    case Pattern::WEAVE:
    case Pattern::STRIPE:
        for (int i = 0; i < 32; ++i) {
            const double p = i * 2.0 + 1.0;
            SetColour(c, colour, (i % 2) ? 0.9 : 1.06);
            line(c, p, 0.0, p, 64.0, 1.0);
            SetHeight(h, (i % 2) ? 0.35 : 0.65);
            line(h, p, 0.0, p, 64.0, 1.0);
            SetColour(c, colour, (i % 2) ? 0.95 : 1.03, 0.5);
            line(c, 0.0, p, 64.0, p, 1.0);
        }
        speckle(0.1, 5.0, 16);
        if (pattern == Pattern::STRIPE) {
            SetColour(c, second);
            line(c, 0.0, 10.0, 64.0, 10.0, 3.0);
            line(c, 0.0, 54.0, 64.0, 54.0, 3.0);
            SetHeight(h, 0.75);
            line(h, 0.0, 10.0, 64.0, 10.0, 3.0);
            line(h, 0.0, 54.0, 64.0, 54.0, 3.0);
        }
        break;
    case Pattern::LEATHER:
        speckle(0.22, 4.0, 60);
        SetColour(c, colour, 0.6);
        cairo_set_dash(c, (const double[]){2.0, 2.0}, 2, 0.0);
        line(c, 3.0, 0.0, 3.0, 64.0, 0.8);
        line(c, 61.0, 0.0, 61.0, 64.0, 0.8);
        cairo_set_dash(c, nullptr, 0, 0.0);
        SetHeight(h, 0.3);
        line(h, 3.0, 0.0, 3.0, 64.0, 1.0);
        line(h, 61.0, 0.0, 61.0, 64.0, 1.0);
        break;
    case Pattern::BRUSHED: {
        cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 64, 64);
        const double r = ((colour >> 16) & 0xFF) / 255.0, gg = ((colour >> 8) & 0xFF) / 255.0,
                     b = (colour & 0xFF) / 255.0;
        cairo_pattern_add_color_stop_rgb(g, 0.0, std::min(1.0, r * 1.25), std::min(1.0, gg * 1.25),
                                         std::min(1.0, b * 1.25));
        cairo_pattern_add_color_stop_rgb(g, 0.5, r * 0.85, gg * 0.85, b * 0.85);
        cairo_pattern_add_color_stop_rgb(g, 1.0, std::min(1.0, r * 1.1), std::min(1.0, gg * 1.1),
                                         std::min(1.0, b * 1.1));
        cairo_set_source(c, g);
        cairo_paint(c);
        cairo_pattern_destroy(g);
        for (int i = 0; i < 40; ++i) {
            const double y = Hash(i, 9, seed) * 64.0;
            SetColour(c, colour, 0.85 + 0.35 * Hash(i, 10, seed), 0.5);
            line(c, 0.0, y, 64.0, y + (Hash(i, 11, seed) - 0.5) * 4.0, 0.6);
        }
        break;
    }
    case Pattern::RINGS:
        for (int row = 0; row < 17; ++row) {
            for (int col = 0; col < 17; ++col) {
                const double x = col * 4.0 + (row % 2) * 2.0, y = row * 4.0;
                SetColour(c, colour, 1.3);
                cairo_set_line_width(c, 0.9);
                cairo_arc(c, x, y, 1.9, 0, 2 * M_PI);
                cairo_stroke(c);
                SetHeight(h, 0.85);
                cairo_set_line_width(h, 1.0);
                cairo_arc(h, x, y, 1.9, 0, 2 * M_PI);
                cairo_stroke(h);
            }
        }
        break;
    case Pattern::GRAIN:
    case Pattern::BARK:
    case Pattern::PLANKS: {
        const bool bark = pattern == Pattern::BARK;
        for (int i = 0; i < (bark ? 26 : 18); ++i) {
            const double x = i * (bark ? 2.5 : 3.6) + Hash(i, 12, seed) * 2.0;
            SetColour(c, colour, bark ? 0.55 + 0.3 * Hash(i, 13, seed) : 0.8 + 0.3 * Hash(i, 13, seed));
            cairo_set_line_width(c, bark ? 1.6 : 0.9);
            cairo_move_to(c, x, 0.0);
            for (int k = 1; k <= 8; ++k)
                cairo_line_to(c, x + std::sin(k * 0.9 + i) * (bark ? 1.6 : 0.8), k * 8.0);
            cairo_stroke(c);
            SetHeight(h, bark ? 0.15 : 0.35);
            cairo_set_line_width(h, bark ? 1.8 : 1.0);
            cairo_move_to(h, x, 0.0);
            for (int k = 1; k <= 8; ++k)
                cairo_line_to(h, x + std::sin(k * 0.9 + i) * (bark ? 1.6 : 0.8), k * 8.0);
            cairo_stroke(h);
        }
        if (pattern == Pattern::PLANKS) {
            SetColour(c, colour, 0.45);
            SetHeight(h, 0.05);
            for (double x : {0.5, 16.0, 32.0, 48.0}) {
                line(c, x, 0.0, x, 64.0, 1.4);
                line(h, x, 0.0, x, 64.0, 1.8);
            }
            SetColour(c, second);
            SetHeight(h, 0.9);
            for (double y : {8.0, 56.0}) { // iron hoops or rails
                line(c, 0.0, y, 64.0, y, 4.0);
                line(h, 0.0, y, 64.0, y, 4.0);
            }
        }
        break;
    }
    case Pattern::GLOW: {
        cairo_pattern_t* g = cairo_pattern_create_radial(32, 32, 2, 32, 32, 40);
        const double r = ((colour >> 16) & 0xFF) / 255.0, gg = ((colour >> 8) & 0xFF) / 255.0,
                     b = (colour & 0xFF) / 255.0;
        cairo_pattern_add_color_stop_rgb(g, 0.0, 1.0, 1.0, 1.0);
        cairo_pattern_add_color_stop_rgb(g, 0.5, r, gg, b);
        cairo_pattern_add_color_stop_rgb(g, 1.0, r * 0.8, gg * 0.8, b * 0.8);
        cairo_set_source(c, g);
        cairo_paint(c);
        cairo_pattern_destroy(g);
        break;
    }
    case Pattern::TWIST:
        for (int i = -8; i < 24; ++i) {
            SetColour(c, colour, 0.82);
            line(c, i * 4.0, 0.0, i * 4.0 + 16.0, 64.0, 0.8);
            SetHeight(h, 0.3);
            line(h, i * 4.0, 0.0, i * 4.0 + 16.0, 64.0, 1.0);
        }
        break;
    case Pattern::PLATES: {
        cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, 32);
        cairo_pattern_set_extend(g, CAIRO_EXTEND_REPEAT);
        const double r = ((colour >> 16) & 0xFF) / 255.0, gg = ((colour >> 8) & 0xFF) / 255.0,
                     b = (colour & 0xFF) / 255.0;
        cairo_pattern_add_color_stop_rgb(g, 0.0, std::min(1.0, r * 1.3), std::min(1.0, gg * 1.3),
                                         std::min(1.0, b * 1.3));
        cairo_pattern_add_color_stop_rgb(g, 0.85, r * 0.8, gg * 0.8, b * 0.8);
        cairo_pattern_add_color_stop_rgb(g, 1.0, r * 0.45, gg * 0.45, b * 0.45);
        cairo_set_source(c, g);
        cairo_paint(c);
        cairo_pattern_destroy(g);
        cairo_pattern_t* hg = cairo_pattern_create_linear(0, 0, 0, 32);
        cairo_pattern_set_extend(hg, CAIRO_EXTEND_REPEAT);
        cairo_pattern_add_color_stop_rgb(hg, 0.0, 0.7, 0.7, 0.7);
        cairo_pattern_add_color_stop_rgb(hg, 0.85, 0.5, 0.5, 0.5);
        cairo_pattern_add_color_stop_rgb(hg, 1.0, 0.1, 0.1, 0.1);
        cairo_set_source(h, hg);
        cairo_paint(h);
        cairo_pattern_destroy(hg);
        for (int row = 0; row < 2; ++row) {
            for (double x : {6.0, 26.0, 46.0}) {
                SetColour(c, second);
                cairo_arc(c, x, row * 32.0 + 4.0, 1.2, 0, 2 * M_PI);
                cairo_fill(c);
                SetHeight(h, 1.0);
                cairo_arc(h, x, row * 32.0 + 4.0, 1.4, 0, 2 * M_PI);
                cairo_fill(h);
            }
        }
        break;
    }
    case Pattern::EMBLEM:
        speckle(0.08, 5.0, 20);
        SetColour(c, second);
        cairo_set_line_width(c, 4.0);
        cairo_rectangle(c, 3.0, 3.0, 58.0, 58.0);
        cairo_stroke(c);
        // A cross over a diamond, the mark of the realm.
        cairo_move_to(c, 32.0, 12.0);
        cairo_line_to(c, 46.0, 32.0);
        cairo_line_to(c, 32.0, 52.0);
        cairo_line_to(c, 18.0, 32.0);
        cairo_close_path(c);
        cairo_fill(c);
        SetColour(c, colour);
        line(c, 32.0, 18.0, 32.0, 46.0, 3.0);
        line(c, 24.0, 30.0, 40.0, 30.0, 3.0);
        SetHeight(h, 0.6);
        cairo_move_to(h, 32.0, 12.0);
        cairo_line_to(h, 46.0, 32.0);
        cairo_line_to(h, 32.0, 52.0);
        cairo_line_to(h, 18.0, 32.0);
        cairo_close_path(h);
        cairo_fill(h);
        break;
    case Pattern::LEAVES:
    case Pattern::NEEDLES:
        for (int i = 0; i < 140; ++i) {
            const double x = Hash(i, 14, seed) * 64.0, y = Hash(i, 15, seed) * 64.0;
            const double s = 0.65 + 0.6 * Hash(i, 16, seed);
            SetColour(c, Hash(i, 17, seed) < 0.15 ? second : colour, s);
            SetHeight(h, 0.2 + 0.7 * Hash(i, 18, seed));
            if (pattern == Pattern::LEAVES) {
                for (cairo_t* cr : {c, h}) {
                    cairo_save(cr);
                    cairo_translate(cr, x, y);
                    cairo_rotate(cr, Hash(i, 19, seed) * 6.28);
                    cairo_scale(cr, 3.2, 1.7);
                    cairo_arc(cr, 0, 0, 1.0, 0, 2 * M_PI);
                    cairo_restore(cr);
                    cairo_fill(cr);
                }
            } else {
                const double a = Hash(i, 19, seed) * 0.8 - 0.4;
                line(c, x, y, x + 5.0 * std::sin(a), y + 5.0 * std::cos(a), 1.0);
                line(h, x, y, x + 5.0 * std::sin(a), y + 5.0 * std::cos(a), 1.0);
            }
        }
        break;
    case Pattern::STONE:
        speckle(0.3, 6.0, 50);
        for (int i = 0; i < 8; ++i) {
            const double x = Hash(i, 20, seed) * 64.0, y = Hash(i, 21, seed) * 64.0;
            SetColour(c, colour, 0.6);
            SetHeight(h, 0.15);
            line(c, x, y, x + (Hash(i, 22, seed) - 0.5) * 24.0, y + (Hash(i, 23, seed) - 0.5) * 24.0, 0.8);
            line(h, x, y, x + (Hash(i, 22, seed) - 0.5) * 24.0, y + (Hash(i, 23, seed) - 0.5) * 24.0, 1.2);
        }
        break;
    case Pattern::BRICKS:
        speckle(0.25, 5.0, 40);
        SetColour(c, second);
        SetHeight(h, 0.1);
        for (int row = 0; row <= 4; ++row) {
            line(c, 0.0, row * 16.0, 64.0, row * 16.0, 2.0);
            line(h, 0.0, row * 16.0, 64.0, row * 16.0, 2.4);
            for (int col = 0; col < 3; ++col) {
                const double x = col * 24.0 + (row % 2) * 12.0;
                line(c, x, row * 16.0, x, row * 16.0 + 16.0, 2.0);
                line(h, x, row * 16.0, x, row * 16.0 + 16.0, 2.4);
            }
        }
        break;
    case Pattern::PLASTER:
        speckle(0.1, 7.0, 40);
        SetColour(c, second); // timber framing
        SetHeight(h, 0.85);
        for (double x : {2.0, 62.0}) {
            line(c, x, 0.0, x, 64.0, 4.0);
            line(h, x, 0.0, x, 64.0, 4.0);
        }
        line(c, 0.0, 2.0, 64.0, 2.0, 4.0);
        line(h, 0.0, 2.0, 64.0, 2.0, 4.0);
        line(c, 4.0, 4.0, 60.0, 60.0, 3.0);
        line(h, 4.0, 4.0, 60.0, 60.0, 3.0);
        break;
    case Pattern::THATCH:
    case Pattern::STRAW:
        for (int i = 0; i < 160; ++i) {
            const double x = Hash(i, 24, seed) * 64.0, y = Hash(i, 25, seed) * 64.0;
            const double a = pattern == Pattern::THATCH ? (Hash(i, 26, seed) - 0.5) * 0.5 : Hash(i, 26, seed) * 6.28;
            SetColour(c, colour, 0.7 + 0.5 * Hash(i, 27, seed));
            SetHeight(h, 0.3 + 0.6 * Hash(i, 28, seed));
            line(c, x, y, x + 9.0 * std::sin(a), y + 9.0 * std::cos(a), 1.0);
            line(h, x, y, x + 9.0 * std::sin(a), y + 9.0 * std::cos(a), 1.2);
        }
        if (pattern == Pattern::THATCH) {
            SetColour(c, colour, 0.55);
            SetHeight(h, 0.1);
            for (double y : {16.0, 32.0, 48.0}) {
                line(c, 0.0, y, 64.0, y, 1.5);
                line(h, 0.0, y, 64.0, y, 2.0);
            }
        }
        break;
    case Pattern::ICE: {
        cairo_pattern_t* g = cairo_pattern_create_linear(0, 0, 0, 64);
        cairo_pattern_add_color_stop_rgb(g, 0.0, 0.95, 0.98, 1.0);
        const double r = ((colour >> 16) & 0xFF) / 255.0, gg = ((colour >> 8) & 0xFF) / 255.0,
                     b = (colour & 0xFF) / 255.0;
        cairo_pattern_add_color_stop_rgb(g, 1.0, r, gg, b);
        cairo_set_source(c, g);
        cairo_paint(c);
        cairo_pattern_destroy(g);
        for (int i = 0; i < 12; ++i) {
            const double x = Hash(i, 29, seed) * 64.0;
            SetColour(c, 0xFFFFFF, 1.0, 0.6);
            SetHeight(h, 0.9);
            line(c, x, 0.0, x + (Hash(i, 30, seed) - 0.5) * 20.0, 64.0, 0.8);
            line(h, x, 0.0, x + (Hash(i, 30, seed) - 0.5) * 20.0, 64.0, 1.0);
        }
        break;
    }
    }
    for (cairo_t* cr : {c, h})
        cairo_restore(cr);
}

Image AtlasPainter::Colour() const
{
    cairo_surface_flush(surfaces->colour);
    const unsigned char* data = cairo_image_surface_get_data(surfaces->colour);
    const int stride = cairo_image_surface_get_stride(surfaces->colour);
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < size; ++x)
            image.Set(x, y, 0xFF000000u | (row[x] & 0xFFFFFFu));
    }
    return image;
}

Image AtlasPainter::NormalMap() const
{
    cairo_surface_flush(surfaces->height);
    const unsigned char* data = cairo_image_surface_get_data(surfaces->height);
    const int stride = cairo_image_surface_get_stride(surfaces->height);
    auto height = [&](int x, int y) {
        x = std::clamp(x, 0, size - 1);
        y = std::clamp(y, 0, size - 1);
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        return static_cast<float>(row[x] & 0xFFu) / 255.0f;
    };
    constexpr float strength = 2.5f;
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float dx = (height(x + 1, y) - height(x - 1, y)) * strength;
            const float dy = (height(x, y + 1) - height(x, y - 1)) * strength;
            const float nx = -dx, ny = dy, nz = 1.0f;
            const float l = std::sqrt(nx * nx + ny * ny + nz * nz);
            auto byte = [](float v) { return static_cast<uint32_t>(std::lround((v * 0.5f + 0.5f) * 255.0f)); };
            image.Set(x, y, 0xFF000000u | (byte(nx / l) << 16) | (byte(ny / l) << 8) | byte(nz / l));
        }
    }
    return image;
}

void AtlasPainter::Write(const std::filesystem::path& directory, const std::string& name) const
{
    WriteTga(directory / (name + ".tga"), Colour(), false);
    WriteTga(directory / (name + "DOT3.tga"), NormalMap(), false);
}
