// The pictures that announce a new turn: the window behind the banner text ("Player 1 Turn.") and each side's
// pennant in the lower right corner, blue for the first player and red for the second, in the colours of their
// selection rings.
#include "DataWriter.h"
#include "UiStyle.h"
#include "Writers.h"

#include <cairo.h>

#include <cmath>
#include <string>

using namespace ui_style;

namespace {

constexpr double PI = 3.14159265358979323846;

// The window stands at (346, 148), 332 x 132; the banner's red text, 32 pixels high, is centred from y 200,
// so it lies 52 to 86 pixels down the window: a parchment band sits behind it.
constexpr int kWindowWidth = 332;
constexpr int kWindowHeight = 132;
constexpr double kBandTop = 44;
constexpr double kBandHeight = 48;

constexpr int kPennantWidth = 105;
constexpr int kPennantHeight = 256;

std::filesystem::path Dir(const std::filesystem::path& root)
{
    return DataDirectory(root, "Textures/Hud Textures");
}

void WriteTurnWindow(const std::filesystem::path& root)
{
    WriteTga(Dir(root) / "PlayerSwitchWindow.tga", Paint(kWindowWidth, kWindowHeight, [](cairo_t* cr) {
                 Frame(cr, 0, 0, kWindowWidth, kWindowHeight);
                 cairo_pattern_t* band = cairo_pattern_create_linear(0, kBandTop, 0, kBandTop + kBandHeight);
                 cairo_pattern_add_color_stop_rgba(band, 0, kText.r, kText.g, kText.b, 0.95);
                 cairo_pattern_add_color_stop_rgba(band, 1, kText.r * 0.82, kText.g * 0.78, kText.b * 0.66, 0.95);
                 cairo_rectangle(cr, 18, kBandTop, kWindowWidth - 36, kBandHeight);
                 cairo_set_source(cr, band);
                 cairo_fill(cr);
                 cairo_pattern_destroy(band);
                 SetColour(cr, kGold);
                 cairo_set_line_width(cr, 2);
                 cairo_rectangle(cr, 18, kBandTop, kWindowWidth - 36, kBandHeight);
                 cairo_stroke(cr);
                 TextStyle heading;
                 heading.font = "Liberation Serif, DejaVu Serif, Serif Bold 15";
                 heading.colour = kGold;
                 heading.centred = true;
                 Text(cr, "The Turn Passes", 0, 14, kWindowWidth, heading);
                 // Crossed blades under the band.
                 SetColour(cr, kGold, 0.85);
                 cairo_set_line_width(cr, 3);
                 const double cx = kWindowWidth / 2.0;
                 cairo_move_to(cr, cx - 22, 100);
                 cairo_line_to(cr, cx + 22, 122);
                 cairo_move_to(cr, cx + 22, 100);
                 cairo_line_to(cr, cx - 22, 122);
                 cairo_stroke(cr);
             }));
}

// A star of eight points for the first side, a flame for the second.
void Emblem(cairo_t* cr, bool first, double cx, double cy)
{
    SetColour(cr, kGold);
    if (first) {
        for (int i = 0; i < 16; ++i) {
            const double r = i % 2 == 0 ? 24.0 : 9.0;
            const double a = PI * i / 8.0 - PI / 2.0;
            if (i == 0)
                cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
            else
                cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        }
    } else {
        cairo_move_to(cr, cx, cy - 28);
        cairo_curve_to(cr, cx + 20, cy - 6, cx + 20, cy + 18, cx, cy + 22);
        cairo_curve_to(cr, cx - 20, cy + 18, cx - 20, cy - 2, cx - 6, cy - 12);
        cairo_curve_to(cr, cx - 4, cy - 2, cx + 2, cy - 6, cx, cy - 28);
    }
    cairo_close_path(cr);
    cairo_fill(cr);
}

void WritePennant(const std::filesystem::path& root, const std::string& name, bool first)
{
    const Rgb cloth = first ? Rgb{0.05, 0.42, 0.70} : Rgb{0.62, 0.09, 0.08};
    WriteTga(Dir(root) / name, Paint(kPennantWidth, kPennantHeight, [&](cairo_t* cr) {
                 // The pole, then the cloth hanging from it with a swallow-tailed foot. The pennant stands at
                 // x 890 over the bottom right corner, where the battle HUD's mana frame reaches x 912: the
                 // picture keeps its left 26 pixels clear so that the cloth hangs beside the frame, not over it.
                 SetColour(cr, kGoldDark);
                 cairo_rectangle(cr, 26, 6, kPennantWidth - 28, 7);
                 cairo_fill(cr);
                 const double left = 30;
                 const double right = kPennantWidth - 5;
                 const double foot = kPennantHeight - 8;
                 cairo_move_to(cr, left, 13);
                 cairo_line_to(cr, right, 13);
                 cairo_line_to(cr, right, foot);
                 cairo_line_to(cr, (left + right) / 2, foot - 34);
                 cairo_line_to(cr, left, foot);
                 cairo_close_path(cr);
                 cairo_pattern_t* fill = cairo_pattern_create_linear(left, 0, right, 0);
                 cairo_pattern_add_color_stop_rgb(fill, 0, cloth.r * 0.7, cloth.g * 0.7, cloth.b * 0.7);
                 cairo_pattern_add_color_stop_rgb(fill, 0.45, cloth.r, cloth.g, cloth.b);
                 cairo_pattern_add_color_stop_rgb(fill, 1, cloth.r * 0.6, cloth.g * 0.6, cloth.b * 0.6);
                 cairo_set_source(cr, fill);
                 cairo_fill_preserve(cr);
                 cairo_pattern_destroy(fill);
                 SetColour(cr, kGold);
                 cairo_set_line_width(cr, 3);
                 cairo_stroke(cr);
                 Emblem(cr, first, (left + right) / 2.0, 78);
                 TextStyle numeral;
                 numeral.font = "Liberation Serif, DejaVu Serif, Serif Bold 30";
                 numeral.colour = kText;
                 numeral.centred = true;
                 Text(cr, first ? "I" : "II", left, 126, right - left, numeral);
             }));
}

} // namespace

void WriteTurnTextures(const std::filesystem::path& root)
{
    WriteTurnWindow(root);
    WritePennant(root, "P1_Symbol.tga", true);
    WritePennant(root, "P2_Symbol.tga", false);
}
