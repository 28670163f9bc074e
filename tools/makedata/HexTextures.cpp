// The board's hex overlays. The hex grid maps the whole square image onto the hexagon (the square's four
// edges run along the hexagon's six, its centre to the hexagon's centre), so a frame drawn along the square's
// border becomes the hexagon's outline. Every overlay has a dark outer rim so that it reads on snow and pale
// paving as well as on grass, a bright band in its colour inside the rim, and a light wash over the inside.
#include "DataWriter.h"
#include "Writers.h"

#include <cairo.h>

#include <stdexcept>
#include <string>

namespace {

constexpr int SIZE = 128;

enum class Mark
{
    NONE,
    CROSS, // ground that cannot be entered
    STRIPES, // a defended zone
    DOTS, // a target in reach
};

struct HexStyle {
    const char* name;
    uint32_t rgb;
    Mark mark;
    // The pointer rests on it: a white band inside the coloured one.
    bool highlighted;
};

double Red(uint32_t rgb)
{
    return ((rgb >> 16) & 0xFF) / 255.0;
}
double Green(uint32_t rgb)
{
    return ((rgb >> 8) & 0xFF) / 255.0;
}
double Blue(uint32_t rgb)
{
    return (rgb & 0xFF) / 255.0;
}

void Frame(cairo_t* cr, double inset, double width, double r, double g, double b, double a)
{
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_set_line_width(cr, width);
    const double half = inset + width / 2.0;
    cairo_rectangle(cr, half, half, SIZE - 2.0 * half, SIZE - 2.0 * half);
    cairo_stroke(cr);
}

Image Draw(const HexStyle& style)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, SIZE, SIZE);
    cairo_t* cr = cairo_create(surface);
    const double r = Red(style.rgb);
    const double g = Green(style.rgb);
    const double b = Blue(style.rgb);

    // The wash: stronger towards the rim, so the centre never hides the unit standing on the hex.
    cairo_pattern_t* wash =
        cairo_pattern_create_radial(SIZE / 2.0, SIZE / 2.0, 8.0, SIZE / 2.0, SIZE / 2.0, SIZE * 0.72);
    cairo_pattern_add_color_stop_rgba(wash, 0.0, r, g, b, 0.22);
    cairo_pattern_add_color_stop_rgba(wash, 1.0, r, g, b, 0.75);
    cairo_set_source(cr, wash);
    cairo_paint(cr);
    cairo_pattern_destroy(wash);

    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    switch (style.mark) {
    case Mark::CROSS:
        cairo_set_source_rgba(cr, 0.08, 0.02, 0.02, 0.85);
        cairo_set_line_width(cr, 16.0);
        cairo_move_to(cr, 18, 18);
        cairo_line_to(cr, SIZE - 18, SIZE - 18);
        cairo_move_to(cr, SIZE - 18, 18);
        cairo_line_to(cr, 18, SIZE - 18);
        cairo_stroke_preserve(cr);
        cairo_set_source_rgba(cr, r, g, b, 1.0);
        cairo_set_line_width(cr, 9.0);
        cairo_stroke(cr);
        break;
    case Mark::STRIPES:
        cairo_set_source_rgba(cr, r, g, b, 0.75);
        cairo_set_line_width(cr, 7.0);
        for (int x = -SIZE; x < 2 * SIZE; x += 22) {
            cairo_move_to(cr, x, 0);
            cairo_line_to(cr, x + SIZE, SIZE);
        }
        cairo_stroke(cr);
        break;
    case Mark::DOTS:
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                cairo_arc(cr, 36.0 + 28.0 * x, 36.0 + 28.0 * y, 6.0, 0.0, 6.2831853);
                cairo_set_source_rgba(cr, 0.05, 0.05, 0.05, 0.7);
                cairo_fill_preserve(cr);
                cairo_set_source_rgba(cr, r, g, b, 1.0);
                cairo_set_line_width(cr, 3.0);
                cairo_stroke(cr);
            }
        }
        break;
    case Mark::NONE:
        break;
    }

    // The board draws these at about a third of their alpha: the rim and band are opaque and wide.
    Frame(cr, 0.0, 7.0, 0.03, 0.03, 0.05, 1.0);
    Frame(cr, 7.0, 12.0, r, g, b, 1.0);
    if (style.highlighted) {
        Frame(cr, 19.0, 7.0, 1.0, 1.0, 1.0, 1.0);
        Frame(cr, 26.0, 3.0, 0.03, 0.03, 0.05, 0.8);
    } else {
        Frame(cr, 19.0, 3.0, 0.03, 0.03, 0.05, 0.7);
    }

    cairo_destroy(cr);
    cairo_surface_flush(surface);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string("cannot draw ") + style.name);

    // Cairo keeps premultiplied pixels; the TGA holds straight alpha.
    Image image(SIZE, SIZE, 0);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < SIZE; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < SIZE; ++x) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            uint32_t out = 0;
            if (a > 0) {
                auto straight = [a](uint32_t c) { return (c * 255 + a / 2) / a; };
                out = (a << 24) | (straight((p >> 16) & 0xFF) << 16) | (straight((p >> 8) & 0xFF) << 8) |
                      straight(p & 0xFF);
            }
            image.Set(x, y, out);
        }
    }
    cairo_surface_destroy(surface);
    return image;
}

constexpr uint32_t kPlayer1 = 0x2F6DFF;
constexpr uint32_t kPlayer2 = 0xE8402C;
// The deployment zones are shown with the movement overlay, and the deployment screen asks for "Green Hexes".
constexpr uint32_t kMovement = 0x2ED64A;
constexpr uint32_t kBlocked = 0xFF2A2A;
constexpr uint32_t kOutOfRange = 0xFFA51E;
constexpr uint32_t kDefended = 0xB45CFF;
constexpr uint32_t kAttack = 0xFF5A1E;
constexpr uint32_t kSpell = 0x8C78FF;

const HexStyle kStyles[] = {
    {"HexMovement.tga", kMovement, Mark::NONE, false},
    {"HexMovementMouseOver.tga", kMovement, Mark::NONE, true},
    {"HexBlocked.tga", kBlocked, Mark::CROSS, false},
    {"HexBlockedMouseOver.tga", kBlocked, Mark::CROSS, true},
    {"HexJustOutOfRange.tga", kOutOfRange, Mark::NONE, false},
    {"HexMouseOver.tga", 0xFFFFFF, Mark::NONE, true},
    {"HexPlayer1.tga", kPlayer1, Mark::NONE, false},
    {"HexPlayer2.tga", kPlayer2, Mark::NONE, false},
    {"HexDefendedPlayer1.tga", kPlayer1, Mark::STRIPES, false},
    {"HexDefendedPlayer2.tga", kPlayer2, Mark::STRIPES, false},
    {"HexDefended.tga", kDefended, Mark::STRIPES, false},
    {"HexDefendedMouseOver.tga", kDefended, Mark::STRIPES, true},
    {"HexAttackInRange.tga", kAttack, Mark::DOTS, false},
    {"HexAttackMouseOver.tga", kAttack, Mark::DOTS, true},
    {"HexSpellInRange.tga", kSpell, Mark::DOTS, false},
    {"HexSpellMouseOver.tga", kSpell, Mark::DOTS, true},
};

} // namespace

void WriteHexTextures(const std::filesystem::path& root)
{
    const std::filesystem::path directory = DataDirectory(root, "Textures/Hex Tile Textures");
    for (const HexStyle& style : kStyles)
        WriteTga(directory / style.name, Draw(style));
}
