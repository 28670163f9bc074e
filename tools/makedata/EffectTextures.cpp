// Textures of the scene's effects, drawn with cairo: particle sprites (white, so that each particle's colour
// tints them, with their shape in the alpha), bolt beams, ground decals and the bars and markers that float
// over units.
#include "DataWriter.h"
#include "Writers.h"

#include <cairo.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

constexpr double PI = 3.14159265358979323846;

// A fresh transparent canvas, handed to draw, and read back as straight (not premultiplied) colours.
Image Draw(int width, int height, const std::function<void(cairo_t*)>& draw)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    Image image(width, height, 0u);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            auto channel = [&](int shift) -> uint32_t {
                const uint32_t c = (p >> shift) & 0xFFu;
                return a ? std::min<uint32_t>(255u, (c * 255u + a / 2) / a) : 0u;
            };
            image.Set(x, y, (a << 24) | (channel(16) << 16) | (channel(8) << 8) | channel(0));
        }
    }
    cairo_surface_destroy(surface);
    return image;
}

// A radial glow of one colour from full alpha at the centre to none at radius r.
void Glow(cairo_t* cr, double x, double y, double r, double red, double green, double blue, double alpha = 1.0,
          double core = 0.0)
{
    cairo_pattern_t* p = cairo_pattern_create_radial(x, y, 0, x, y, r);
    cairo_pattern_add_color_stop_rgba(p, 0, red, green, blue, alpha);
    if (core > 0.0)
        cairo_pattern_add_color_stop_rgba(p, core, red, green, blue, alpha * 0.8);
    cairo_pattern_add_color_stop_rgba(p, 1, red, green, blue, 0);
    cairo_set_source(cr, p);
    cairo_arc(cr, x, y, r, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

// A small deterministic generator for the textures' irregular shapes.
struct Noise {
    uint32_t state;
    double Next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    }
};

void WriteParticleTextures(const std::filesystem::path& root)
{
    const std::filesystem::path dir = DataDirectory(root, "Textures/Particle Textures");
    WriteTga(dir / "particleDot.tga", Draw(64, 64, [](cairo_t* cr) { Glow(cr, 32, 32, 31, 1, 1, 1, 1, 0.25); }));

    // An ember: a hot point with a short halo, so that one drifting past the camera stays a spark rather than
    // a wide blur.
    WriteTga(dir / "particleEmber.tga", Draw(64, 64, [](cairo_t* cr) {
                 Glow(cr, 32, 32, 30, 1, 0.9, 0.7, 0.3);
                 Glow(cr, 32, 32, 14, 1, 1, 1, 1, 0.5);
             }));

    WriteTga(dir / "particleSpark.tga", Draw(64, 64, [](cairo_t* cr) {
                 Glow(cr, 32, 32, 30, 1, 1, 1, 0.55);
                 // Four thin rays and a hot core.
                 for (int i = 0; i < 4; ++i) {
                     cairo_save(cr);
                     cairo_translate(cr, 32, 32);
                     cairo_rotate(cr, i * PI / 4);
                     cairo_pattern_t* p = cairo_pattern_create_linear(-31, 0, 31, 0);
                     cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 0);
                     cairo_pattern_add_color_stop_rgba(p, 0.5, 1, 1, 1, i % 2 ? 0.5 : 1.0);
                     cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 0);
                     cairo_set_source(cr, p);
                     cairo_rectangle(cr, -31, -1.5, 62, 3);
                     cairo_fill(cr);
                     cairo_pattern_destroy(p);
                     cairo_restore(cr);
                 }
                 Glow(cr, 32, 32, 8, 1, 1, 1);
             }));

    WriteTga(dir / "particleSmoke.tga", Draw(64, 64, [](cairo_t* cr) {
                 // Overlapping soft lobes make an irregular puff.
                 Noise n{7};
                 for (int i = 0; i < 9; ++i) {
                     const double a = n.Next() * 2 * PI;
                     const double d = 4 + n.Next() * 10;
                     Glow(cr, 32 + std::cos(a) * d, 32 + std::sin(a) * d, 14 + n.Next() * 8, 1, 1, 1, 0.35);
                 }
             }));

    WriteTga(dir / "particleFlame.tga", Draw(64, 64, [](cairo_t* cr) {
                 // A tongue of flame, pointed at the top, brightest low in its body.
                 cairo_move_to(cr, 32, 2);
                 cairo_curve_to(cr, 40, 18, 56, 32, 52, 46);
                 cairo_curve_to(cr, 49, 58, 40, 62, 32, 62);
                 cairo_curve_to(cr, 24, 62, 15, 58, 12, 46);
                 cairo_curve_to(cr, 8, 32, 24, 18, 32, 2);
                 cairo_close_path(cr);
                 cairo_pattern_t* p = cairo_pattern_create_radial(32, 44, 2, 32, 40, 30);
                 cairo_pattern_add_color_stop_rgba(p, 0, 1, 1, 1, 1);
                 cairo_pattern_add_color_stop_rgba(p, 0.5, 1, 1, 1, 0.6);
                 cairo_pattern_add_color_stop_rgba(p, 1, 1, 1, 1, 0);
                 cairo_set_source(cr, p);
                 cairo_fill(cr);
                 cairo_pattern_destroy(p);
             }));

    WriteTga(dir / "particleSnow.tga", Draw(64, 64, [](cairo_t* cr) {
                 Glow(cr, 32, 32, 20, 1, 1, 1, 0.35);
                 cairo_set_source_rgba(cr, 1, 1, 1, 1);
                 cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
                 cairo_translate(cr, 32, 32);
                 for (int i = 0; i < 6; ++i) {
                     cairo_save(cr);
                     cairo_rotate(cr, i * PI / 3);
                     cairo_set_line_width(cr, 3);
                     cairo_move_to(cr, 0, 0);
                     cairo_line_to(cr, 0, -27);
                     cairo_stroke(cr);
                     cairo_set_line_width(cr, 2);
                     for (double at : {-12.0, -20.0}) {
                         cairo_move_to(cr, 0, at);
                         cairo_line_to(cr, -6, at - 6);
                         cairo_move_to(cr, 0, at);
                         cairo_line_to(cr, 6, at - 6);
                     }
                     cairo_stroke(cr);
                     cairo_restore(cr);
                 }
             }));

    WriteTga(dir / "particleShard.tga", Draw(64, 64, [](cairo_t* cr) {
                 Glow(cr, 32, 32, 26, 1, 1, 1, 0.3);
                 // A long crystal with one lit face.
                 cairo_move_to(cr, 32, 2);
                 cairo_line_to(cr, 44, 30);
                 cairo_line_to(cr, 32, 62);
                 cairo_line_to(cr, 20, 30);
                 cairo_close_path(cr);
                 cairo_set_source_rgba(cr, 1, 1, 1, 0.75);
                 cairo_fill(cr);
                 cairo_move_to(cr, 32, 2);
                 cairo_line_to(cr, 44, 30);
                 cairo_line_to(cr, 32, 62);
                 cairo_close_path(cr);
                 cairo_set_source_rgba(cr, 1, 1, 1, 1);
                 cairo_fill(cr);
             }));
}

// Beams run along v and across u, so each texture is a profile across the beam repeated down its length.
void WriteBoltTextures(const std::filesystem::path& root)
{
    const std::filesystem::path dir = DataDirectory(root, "Textures/Particle Textures");
    // The strip is 150 world units wide whatever the texture: the beam is its middle fifth, a white core in a
    // coloured halo, and the rest is left clear so that beams flying side by side read as separate lines.
    auto beam = [](double coreWidth, double r, double g, double b) {
        return [=](cairo_t* cr) {
            cairo_pattern_t* p = cairo_pattern_create_linear(0, 0, 64, 0);
            cairo_pattern_add_color_stop_rgba(p, 0, r, g, b, 0);
            cairo_pattern_add_color_stop_rgba(p, 0.38, r, g, b, 0);
            cairo_pattern_add_color_stop_rgba(p, 0.5 - coreWidth, r, g, b, 0.7);
            cairo_pattern_add_color_stop_rgba(p, 0.5, 1, 1, 1, 1);
            cairo_pattern_add_color_stop_rgba(p, 0.5 + coreWidth, r, g, b, 0.7);
            cairo_pattern_add_color_stop_rgba(p, 0.62, r, g, b, 0);
            cairo_pattern_add_color_stop_rgba(p, 1, r, g, b, 0);
            cairo_set_source(cr, p);
            cairo_paint(cr);
            cairo_pattern_destroy(p);
        };
    };
    WriteBmp(dir / "lightBolt.BMP", Draw(64, 128, beam(0.04, 1, 1, 1)));
    // The holy bolt: a golden beam with bright motes along it.
    WriteBmp(dir / "HBbolt.BMP", Draw(64, 128, [&](cairo_t* cr) {
                 beam(0.06, 1.0, 0.85, 0.4)(cr);
                 Noise n{11};
                 for (int i = 0; i < 10; ++i)
                     Glow(cr, 27 + n.Next() * 10, n.Next() * 128, 4, 1, 1, 0.8);
             }));
    // Lightning: a jagged white line zig-zagging down the middle with a blue glow.
    WriteBmp(dir / "bolt.BMP", Draw(64, 128, [](cairo_t* cr) {
                 Noise n{5};
                 cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
                 for (int pass = 0; pass < 2; ++pass) {
                     Noise path{5};
                     cairo_move_to(cr, 32, 0);
                     for (int y = 8; y <= 128; y += 8)
                         cairo_line_to(cr, y == 128 ? 32 : 25 + path.Next() * 14, y);
                     if (pass == 0) {
                         cairo_set_source_rgba(cr, 0.5, 0.7, 1, 0.5);
                         cairo_set_line_width(cr, 8);
                     } else {
                         cairo_set_source_rgba(cr, 1, 1, 1, 1);
                         cairo_set_line_width(cr, 3);
                     }
                     cairo_stroke(cr);
                 }
                 (void)n;
             }));
}

void Ring(cairo_t* cr, double radius, double width, double r, double g, double b, double a)
{
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_set_line_width(cr, width);
    cairo_arc(cr, 64, 64, radius, 0, 2 * PI);
    cairo_stroke(cr);
}

void WriteDecalTextures(const std::filesystem::path& root)
{
    const std::filesystem::path dir = DataDirectory(root, "Textures/Decal Textures");
    WriteTga(dir / "shadowDecal.tga", Draw(128, 128, [](cairo_t* cr) { Glow(cr, 64, 64, 60, 0, 0, 0, 0.7, 0.4); }));
    WriteTga(dir / "SelectedDecal.tga", Draw(128, 128, [](cairo_t* cr) {
                 Glow(cr, 64, 64, 60, 0.3, 1.0, 0.4, 0.25);
                 Ring(cr, 52, 6, 0.45, 1.0, 0.5, 0.95);
                 Ring(cr, 42, 2, 1.0, 0.9, 0.5, 0.8);
             }));
    WriteTga(dir / "TargetedDecal.tga", Draw(128, 128, [](cairo_t* cr) {
                 Ring(cr, 50, 5, 1.0, 0.2, 0.15, 0.95);
                 // Four ticks pointing in at the target.
                 cairo_set_line_width(cr, 6);
                 for (int i = 0; i < 4; ++i) {
                     const double a = i * PI / 2;
                     cairo_move_to(cr, 64 + std::cos(a) * 62, 64 + std::sin(a) * 62);
                     cairo_line_to(cr, 64 + std::cos(a) * 38, 64 + std::sin(a) * 38);
                 }
                 cairo_stroke(cr);
             }));
    WriteTga(dir / "AreaOfEffectDecal.tga", Draw(128, 128, [](cairo_t* cr) {
                 Glow(cr, 64, 64, 62, 1.0, 0.55, 0.1, 0.45, 0.7);
                 Ring(cr, 58, 4, 1.0, 0.75, 0.2, 1.0);
                 // A circle of rune-like marks.
                 cairo_set_source_rgba(cr, 1.0, 0.9, 0.4, 0.9);
                 cairo_set_line_width(cr, 2.5);
                 for (int i = 0; i < 12; ++i) {
                     const double a = i * PI / 6;
                     const double x = 64 + std::cos(a) * 46, y = 64 + std::sin(a) * 46;
                     cairo_move_to(cr, x - 3, y - 4);
                     cairo_line_to(cr, x + 3, y);
                     cairo_line_to(cr, x - 3, y + 4);
                 }
                 cairo_stroke(cr);
             }));
    for (int k = 1; k <= 5; ++k) {
        WriteTga(dir / ("BloodSplat" + std::to_string(k) + ".tga"), Draw(128, 128, [k](cairo_t* cr) {
                     // A pool with droplets thrown off in one direction, different for each splat.
                     Noise n{static_cast<uint32_t>(k * 97)};
                     cairo_set_source_rgba(cr, 0.45, 0.02, 0.02, 0.85);
                     for (int i = 0; i < 7; ++i) {
                         cairo_arc(cr, 64 + (n.Next() - 0.5) * 30, 64 + (n.Next() - 0.5) * 30, 12 + n.Next() * 14, 0,
                                   2 * PI);
                         cairo_fill(cr);
                     }
                     const double heading = n.Next() * 2 * PI;
                     for (int i = 0; i < 14; ++i) {
                         const double a = heading + (n.Next() - 0.5) * 1.6;
                         const double d = 30 + n.Next() * 28;
                         cairo_arc(cr, 64 + std::cos(a) * d, 64 + std::sin(a) * d, 1.5 + n.Next() * 4, 0, 2 * PI);
                         cairo_fill(cr);
                     }
                 }));
    }
}

void WriteWorldQuadTextures(const std::filesystem::path& root)
{
    const std::filesystem::path dir = DataDirectory(root, "Textures/Hud Textures");
    // A unit's four bar quads (frame, health fill, mana fill, turn-order badge) cover one and the same
    // rectangle, twice as wide as high, so the pictures are laid out to fit together: the badge on the left
    // third, the health bar over the mana bar to its right. The bars run from u 0.34 to 0.97 and the game cuts a
    // fill at the point its fraction reaches within that span; keep the two in step.
    constexpr double W = 128, H = 64;
    constexpr double barLeft = 0.34 * W, barRight = 0.97 * W;
    constexpr double healthTop = 0.18 * H, manaTop = 0.54 * H, barHeight = 0.28 * H;
    // The frame: a dark panel behind both bars, each bar in a darker groove with a light rim.
    WriteTga(dir / "HealthMana.tga", Draw(static_cast<int>(W), static_cast<int>(H), [=](cairo_t* cr) {
                 cairo_set_source_rgba(cr, 0.06, 0.06, 0.08, 0.8);
                 cairo_rectangle(cr, barLeft - 4, healthTop - 5, barRight - barLeft + 8,
                                 manaTop + barHeight - healthTop + 10);
                 cairo_fill(cr);
                 for (double top : {healthTop, manaTop}) {
                     cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.9);
                     cairo_rectangle(cr, barLeft, top, barRight - barLeft, barHeight);
                     cairo_fill(cr);
                     cairo_set_source_rgba(cr, 0.9, 0.82, 0.55, 1);
                     cairo_set_line_width(cr, 1.5);
                     cairo_rectangle(cr, barLeft - 1, top - 1, barRight - barLeft + 2, barHeight + 2);
                     cairo_stroke(cr);
                 }
             }));
    // A fill: a bright bar in its groove's rows only, clear everywhere else.
    auto fill = [=](double top, double r, double g, double b) {
        return [=](cairo_t* cr) {
            cairo_pattern_t* p = cairo_pattern_create_linear(0, top, 0, top + barHeight);
            cairo_pattern_add_color_stop_rgba(p, 0, std::min(1.0, r + 0.4), std::min(1.0, g + 0.4),
                                              std::min(1.0, b + 0.4), 1);
            cairo_pattern_add_color_stop_rgba(p, 0.45, r, g, b, 1);
            cairo_pattern_add_color_stop_rgba(p, 1, r * 0.55, g * 0.55, b * 0.55, 1);
            cairo_set_source(cr, p);
            cairo_rectangle(cr, barLeft, top, barRight - barLeft, barHeight);
            cairo_fill(cr);
            cairo_pattern_destroy(p);
        };
    };
    WriteTga(dir / "red.tga", Draw(static_cast<int>(W), static_cast<int>(H), fill(healthTop, 0.9, 0.12, 0.08)));
    WriteTga(dir / "blue.tga", Draw(static_cast<int>(W), static_cast<int>(H), fill(manaTop, 0.15, 0.4, 1.0)));
    // Turn-order badges: nine frames stacked top to bottom, numbered 1 to 9, each a disc in the left third.
    WriteTga(dir / "turnorder_f9.tga", Draw(static_cast<int>(W), static_cast<int>(H) * 9, [=](cairo_t* cr) {
                 cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
                 cairo_set_font_size(cr, 26);
                 constexpr double cx = 21, radius = 19;
                 for (int frame = 0; frame < 9; ++frame) {
                     const double cy = frame * H + H / 2;
                     cairo_arc(cr, cx, cy, radius, 0, 2 * PI);
                     cairo_set_source_rgba(cr, 0.12, 0.1, 0.3, 0.95);
                     cairo_fill_preserve(cr);
                     cairo_set_source_rgba(cr, 0.9, 0.75, 0.3, 1);
                     cairo_set_line_width(cr, 3);
                     cairo_stroke(cr);
                     const std::string digit = std::to_string(frame + 1);
                     cairo_text_extents_t extents;
                     cairo_text_extents(cr, digit.c_str(), &extents);
                     cairo_move_to(cr, cx - extents.width / 2 - extents.x_bearing,
                                   cy - extents.height / 2 - extents.y_bearing);
                     cairo_set_source_rgba(cr, 1, 0.95, 0.8, 1);
                     cairo_show_text(cr, digit.c_str());
                 }
             }));
    // The buff arrow points up; a weakening shows it tinted and turned by its owner.
    WriteTga(dir / "BuffArrow.tga", Draw(64, 64, [](cairo_t* cr) {
                 cairo_move_to(cr, 32, 4);
                 cairo_line_to(cr, 58, 32);
                 cairo_line_to(cr, 42, 32);
                 cairo_line_to(cr, 42, 60);
                 cairo_line_to(cr, 22, 60);
                 cairo_line_to(cr, 22, 32);
                 cairo_line_to(cr, 6, 32);
                 cairo_close_path(cr);
                 cairo_set_source_rgba(cr, 1, 1, 1, 1);
                 cairo_fill_preserve(cr);
                 cairo_set_source_rgba(cr, 0.1, 0.1, 0.1, 1);
                 cairo_set_line_width(cr, 3);
                 cairo_stroke(cr);
             }));
}

} // namespace

void WriteEffectTextures(const std::filesystem::path& root)
{
    WriteParticleTextures(root);
    WriteBoltTextures(root);
    WriteDecalTextures(root);
    WriteWorldQuadTextures(root);
}
