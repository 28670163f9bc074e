// The battle HUD's pictures: the frame along the bottom of the screen with its bar windows, text plate and
// button wells, the bar troughs and fills, the six action buttons (normal over greyed), the animated ring
// over the chosen action and the main-menu button. They share the interface's palette and frame.
#include "DataWriter.h"
#include "UiStyle.h"
#include "Writers.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

using namespace ui_style;

namespace {

constexpr double PI = 3.14159265358979323846;

// Where the HUD places its pieces, in the frame's own pixels (the frame is 800 x 163).
constexpr int kFrameWidth = 800;
constexpr int kFrameHeight = 163;
constexpr int kBarWidth = 190;
constexpr int kBarHeight = 88;
constexpr double kHealthBarX = 9;
constexpr double kManaBarX = 602;
constexpr double kBarY = 75;
// The window of a bar inside its 190 x 88 rectangle; the fill runs the whole width under it.
constexpr double kTroughX = 6;
constexpr double kTroughY = 24;
constexpr double kTroughW = 178;
constexpr double kTroughH = 28;
constexpr double kButtonX = 254;
constexpr double kButtonY = 102;
constexpr double kButtonPitch = 48;
constexpr int kButtonW = 43;
constexpr int kButtonH = 49;
// The two unit texts are centred on x 400 between y 52 and 95.
constexpr double kTextPlateX = 306;
constexpr double kTextPlateY = 48;
constexpr double kTextPlateW = 190;
constexpr double kTextPlateH = 50;

std::filesystem::path Dir(const std::filesystem::path& root)
{
    return DataDirectory(root, "Textures/Hud Textures");
}

std::string Font(double size)
{
    return "Liberation Serif, DejaVu Serif, Serif Bold " + std::to_string(static_cast<int>(size)) + "px";
}

void Fill(cairo_t* cr, const Rgb& c, double alpha = 1.0)
{
    SetColour(cr, c, alpha);
    cairo_fill(cr);
}

void Stroke(cairo_t* cr, const Rgb& c, double width, double alpha = 1.0)
{
    SetColour(cr, c, alpha);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

// A vertical gradient of the panel colours over the current path, which is kept.
void PanelFill(cairo_t* cr, double top, double bottom, double alpha)
{
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, top, 0, bottom);
    cairo_pattern_add_color_stop_rgba(fill, 0, kPanelLight.r, kPanelLight.g, kPanelLight.b, alpha);
    cairo_pattern_add_color_stop_rgba(fill, 0.3, kPanel.r, kPanel.g, kPanel.b, alpha);
    cairo_pattern_add_color_stop_rgba(fill, 1, kPanel.r * 0.55, kPanel.g * 0.55, kPanel.b * 0.55, alpha);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
}

// A sunken well: dark inside, shadow along the top, a thin gold lip.
void Well(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    RoundedRect(cr, x, y, w, h, radius);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(fill, 0, 0.01, 0.02, 0.04, 0.95);
    cairo_pattern_add_color_stop_rgba(fill, 1, 0.06, 0.08, 0.13, 0.95);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    Stroke(cr, kGoldDark, 1.5);
}

// The frame: two low wings carrying the bars and a raised centre with the text plate and the button wells.
// The bar windows are cut out so the troughs and fills drawn beneath it show through.
void WriteFrame(const std::filesystem::path& dir)
{
    WriteTga(dir / "HumanGUI.tga", Paint(kFrameWidth, kFrameHeight, [](cairo_t* cr) {
                 const double wingTop = 50;
                 // Wide enough to hide the description box waiting below it (x 346 to 682 on the screen).
                 const double plateX = 228;
                 const double plateW = 346;
                 const double plateTop = 22;
                 // The outline: the wings and the raised plate as one shape.
                 const auto outline = [&]() {
                     cairo_new_path(cr);
                     RoundedRect(cr, 2, wingTop, kFrameWidth - 4, kFrameHeight - wingTop + 12, 14);
                     RoundedRect(cr, plateX, plateTop, plateW, kFrameHeight - plateTop + 12, 16);
                 };
                 cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
                 // A soft shadow above the frame so it sits on the scene rather than being pasted over it.
                 for (int i = 4; i >= 1; --i) {
                     cairo_save(cr);
                     cairo_translate(cr, 0, -i);
                     outline();
                     SetColour(cr, {0, 0, 0}, 0.08);
                     cairo_fill(cr);
                     cairo_restore(cr);
                 }
                 outline();
                 PanelFill(cr, plateTop, kFrameHeight, 0.96);
                 cairo_new_path(cr);
                 // Gold trim along the top edges of the wings and the plate.
                 cairo_save(cr);
                 RoundedRect(cr, 2, wingTop, kFrameWidth - 4, kFrameHeight - wingTop + 12, 14);
                 Stroke(cr, kGoldDark, 4);
                 RoundedRect(cr, 8, wingTop + 6, kFrameWidth - 16, kFrameHeight - wingTop, 10);
                 Stroke(cr, kGold, 1.5);
                 RoundedRect(cr, plateX, plateTop, plateW, kFrameHeight - plateTop + 12, 16);
                 PanelFill(cr, plateTop, kFrameHeight, 1.0);
                 Stroke(cr, kGoldDark, 4);
                 RoundedRect(cr, plateX + 6, plateTop + 6, plateW - 12, kFrameHeight - plateTop, 11);
                 Stroke(cr, kGold, 1.5);
                 cairo_restore(cr);

                 // Studs where the plate meets the wings.
                 for (double x : {plateX - 10.0, plateX + plateW + 10.0}) {
                     cairo_arc(cr, x, wingTop + 16, 4, 0, 2 * PI);
                     Fill(cr, kGold);
                     cairo_arc(cr, x - 1, wingTop + 15, 1.5, 0, 2 * PI);
                     Fill(cr, kText, 0.8);
                 }

                 // The text plate behind the action points and health.
                 Well(cr, kTextPlateX, kTextPlateY, kTextPlateW, kTextPlateH, 8);
                 cairo_move_to(cr, kTextPlateX + 24, kTextPlateY + 27.5);
                 cairo_line_to(cr, kTextPlateX + kTextPlateW - 24, kTextPlateY + 27.5);
                 Stroke(cr, kGoldDark, 1, 0.6);

                 // One well under each button place.
                 for (int i = 0; i < 6; ++i)
                     Well(cr, kButtonX - 2 + kButtonPitch * i, kButtonY - 2, kButtonW + 3, kButtonH + 4, 8);

                 // The two bar windows with their captions.
                 TextStyle caption;
                 caption.font = Font(13);
                 caption.colour = kGold;
                 caption.centred = true;
                 const struct {
                     double x;
                     const char* word;
                 } bars[2] = {{kHealthBarX, "HEALTH"}, {kManaBarX, "MANA"}};
                 for (const auto& bar : bars) {
                     const double x = bar.x + kTroughX;
                     const double y = kBarY + kTroughY;
                     RoundedRect(cr, x - 5, y - 5, kTroughW + 10, kTroughH + 10, 9);
                     SetColour(cr, {0.02, 0.03, 0.05}, 1.0);
                     cairo_fill(cr);
                     RoundedRect(cr, x - 4, y - 4, kTroughW + 8, kTroughH + 8, 8);
                     Stroke(cr, kGold, 2);
                     // The window itself is clear.
                     cairo_save(cr);
                     cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
                     RoundedRect(cr, x, y, kTroughW, kTroughH, 5);
                     cairo_fill(cr);
                     cairo_restore(cr);
                     Text(cr, bar.word, bar.x, kBarY - 5, kBarWidth, caption);
                     // Small diamonds either side of the caption.
                     for (double dx : {-38.0, 38.0}) {
                         const double cx = bar.x + kBarWidth / 2.0 + dx;
                         const double cy = kBarY + 4;
                         cairo_move_to(cr, cx, cy - 3.5);
                         cairo_line_to(cr, cx + 3.5, cy);
                         cairo_line_to(cr, cx, cy + 3.5);
                         cairo_line_to(cr, cx - 3.5, cy);
                         cairo_close_path(cr);
                         Fill(cr, kGold);
                     }
                 }
             }));
}

// The empty part of a bar: a dark engraved trough, seen through the frame's window.
void WriteTrough(const std::filesystem::path& dir)
{
    WriteTga(dir / "scroll.tga", Paint(kBarWidth, kBarHeight, [](cairo_t* cr) {
                 const double y = kTroughY - 3;
                 const double h = kTroughH + 6;
                 cairo_rectangle(cr, 0, y, kBarWidth, h);
                 cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
                 cairo_pattern_add_color_stop_rgb(fill, 0, 0.03, 0.03, 0.05);
                 cairo_pattern_add_color_stop_rgb(fill, 0.5, 0.10, 0.09, 0.12);
                 cairo_pattern_add_color_stop_rgb(fill, 1, 0.05, 0.05, 0.07);
                 cairo_set_source(cr, fill);
                 cairo_fill(cr);
                 cairo_pattern_destroy(fill);
                 // Notches every tenth of the bar, so a player can read the value off the empty part too.
                 for (int i = 1; i < 10; ++i) {
                     const double x = kTroughX + kTroughW * i / 10.0;
                     cairo_move_to(cr, x, kTroughY + 2);
                     cairo_line_to(cr, x, kTroughY + kTroughH - 2);
                 }
                 Stroke(cr, kGoldDark, 1, 0.45);
             }));
}

// A full bar: a bright band of the colour with a glossy top and the same tenth notches as the trough. The
// HUD cuts it from the right, so the notches stay where they are.
void WriteFill(const std::filesystem::path& path, const Rgb& light, const Rgb& dark)
{
    WriteTga(path, Paint(kBarWidth, kBarHeight, [&](cairo_t* cr) {
                 const double y = kTroughY - 3;
                 const double h = kTroughH + 6;
                 cairo_rectangle(cr, 0, y, kBarWidth, h);
                 cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
                 cairo_pattern_add_color_stop_rgb(fill, 0, light.r, light.g, light.b);
                 cairo_pattern_add_color_stop_rgb(fill, 0.45, (light.r + dark.r) / 2, (light.g + dark.g) / 2,
                                                  (light.b + dark.b) / 2);
                 cairo_pattern_add_color_stop_rgb(fill, 1, dark.r, dark.g, dark.b);
                 cairo_set_source(cr, fill);
                 cairo_fill(cr);
                 cairo_pattern_destroy(fill);
                 // The gloss along the upper third.
                 cairo_rectangle(cr, 0, kTroughY + 2, kBarWidth, kTroughH * 0.3);
                 SetColour(cr, {1, 1, 1}, 0.22);
                 cairo_fill(cr);
                 for (int i = 1; i < 10; ++i) {
                     const double x = kTroughX + kTroughW * i / 10.0;
                     cairo_move_to(cr, x, kTroughY + 2);
                     cairo_line_to(cr, x, kTroughY + kTroughH - 2);
                 }
                 Stroke(cr, {0, 0, 0}, 1, 0.25);
             }));
}

// The glyphs of the action buttons, drawn in a 43 x 49 face. Each fills its path with parchment and outlines
// it in dark so it reads over the face; the greyed frame is desaturated by TwoFrames.
void Glyph(cairo_t* cr, const std::function<void()>& path, const Rgb& fill)
{
    cairo_save(cr);
    cairo_translate(cr, 1.2, 1.4);
    path();
    SetColour(cr, {0, 0, 0}, 0.6);
    cairo_fill(cr);
    cairo_restore(cr);
    path();
    SetColour(cr, fill);
    cairo_fill_preserve(cr);
    Stroke(cr, {0.12, 0.08, 0.03}, 1.1);
}

void Boot(cairo_t* cr)
{
    Glyph(
        cr,
        [cr]() {
            cairo_new_path(cr);
            cairo_move_to(cr, 15, 10);
            cairo_line_to(cr, 26, 10);
            cairo_line_to(cr, 26, 27);
            cairo_curve_to(cr, 29, 29, 34, 29, 36, 32);
            cairo_curve_to(cr, 37.5, 34, 37.5, 36, 36.5, 37.5);
            cairo_line_to(cr, 12.5, 37.5);
            cairo_line_to(cr, 12.5, 31);
            cairo_curve_to(cr, 14, 27, 15, 22, 15, 10);
            cairo_close_path(cr);
        },
        kText);
    // The sole, the cuff and the lacing.
    cairo_rectangle(cr, 12, 37, 25, 3);
    Fill(cr, {0.25, 0.16, 0.08});
    cairo_rectangle(cr, 14, 9, 13, 4);
    Fill(cr, kGold);
    for (int i = 0; i < 3; ++i) {
        cairo_move_to(cr, 17, 17 + 4 * i);
        cairo_line_to(cr, 24, 15 + 4 * i);
    }
    Stroke(cr, {0.35, 0.22, 0.10}, 1.1);
    // Speed lines behind the heel.
    for (int i = 0; i < 3; ++i) {
        cairo_move_to(cr, 4, 22 + 5 * i);
        cairo_line_to(cr, 10 - i, 22 + 5 * i);
    }
    Stroke(cr, kGold, 1.4, 0.9);
}

void Sword(cairo_t* cr)
{
    cairo_save(cr);
    cairo_translate(cr, 21.5, 24.5);
    cairo_rotate(cr, PI / 4);
    // Blade.
    Glyph(cr,
          [cr]() {
              cairo_new_path(cr);
              cairo_move_to(cr, 0, -21);
              cairo_line_to(cr, 3.2, -16);
              cairo_line_to(cr, 3.2, 6);
              cairo_line_to(cr, -3.2, 6);
              cairo_line_to(cr, -3.2, -16);
              cairo_close_path(cr);
          },
          {0.88, 0.90, 0.95});
    cairo_move_to(cr, 0, -17);
    cairo_line_to(cr, 0, 5);
    Stroke(cr, {0.55, 0.58, 0.65}, 1);
    // Guard, grip and pommel.
    Glyph(
        cr,
        [cr]() {
            cairo_new_path(cr);
            RoundedRect(cr, -9, 6, 18, 4, 1.5);
        },
        kGold);
    Glyph(cr,
          [cr]() {
              cairo_new_path(cr);
              cairo_rectangle(cr, -2, 10, 4, 8);
          },
          {0.45, 0.25, 0.12});
    Glyph(
        cr,
        [cr]() {
            cairo_new_path(cr);
            cairo_arc(cr, 0, 20, 3, 0, 2 * PI);
        },
        kGold);
    cairo_restore(cr);
}

void Shield(cairo_t* cr)
{
    const auto shape = [cr]() {
        cairo_new_path(cr);
        cairo_move_to(cr, 8, 9);
        cairo_curve_to(cr, 16, 11, 27, 11, 35, 9);
        cairo_line_to(cr, 35, 22);
        cairo_curve_to(cr, 35, 32, 28, 38, 21.5, 42);
        cairo_curve_to(cr, 15, 38, 8, 32, 8, 22);
        cairo_close_path(cr);
    };
    Glyph(cr, shape, {0.62, 0.14, 0.12});
    // A gold cross on the field, then the rim again over it.
    cairo_save(cr);
    shape();
    cairo_clip(cr);
    cairo_rectangle(cr, 19.5, 8, 4, 36);
    cairo_rectangle(cr, 7, 18, 30, 4);
    Fill(cr, kGold);
    cairo_restore(cr);
    shape();
    Stroke(cr, kText, 1.8);
}

void Eye(cairo_t* cr)
{
    const auto almond = [cr]() {
        cairo_new_path(cr);
        cairo_move_to(cr, 4, 25);
        cairo_curve_to(cr, 12, 13, 31, 13, 39, 25);
        cairo_curve_to(cr, 31, 37, 12, 37, 4, 25);
        cairo_close_path(cr);
    };
    Glyph(cr, almond, kText);
    cairo_arc(cr, 21.5, 25, 7.5, 0, 2 * PI);
    Fill(cr, {0.20, 0.55, 0.75});
    cairo_arc(cr, 21.5, 25, 3.5, 0, 2 * PI);
    Fill(cr, {0.02, 0.02, 0.04});
    cairo_arc(cr, 19.5, 23, 1.6, 0, 2 * PI);
    Fill(cr, {1, 1, 1});
    almond();
    Stroke(cr, {0.12, 0.08, 0.03}, 1.3);
    // Lashes of light above the eye: the unit gathers itself.
    for (int i = -2; i <= 2; ++i) {
        const double a = -PI / 2 + i * 0.35;
        cairo_move_to(cr, 21.5 + 14 * std::cos(a), 26 + 14 * std::sin(a));
        cairo_line_to(cr, 21.5 + 19 * std::cos(a), 26 + 19 * std::sin(a));
    }
    Stroke(cr, kGold, 1.6);
}

void Star(cairo_t* cr, double cx, double cy, double outer, double inner, int points)
{
    cairo_new_path(cr);
    for (int i = 0; i < points * 2; ++i) {
        const double a = -PI / 2 + i * PI / points;
        const double r = i % 2 ? inner : outer;
        if (i == 0)
            cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        else
            cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
    }
    cairo_close_path(cr);
}

void Spark(cairo_t* cr)
{
    cairo_pattern_t* glow = cairo_pattern_create_radial(21.5, 25, 1, 21.5, 25, 18);
    cairo_pattern_add_color_stop_rgba(glow, 0, 0.55, 0.75, 1.0, 0.9);
    cairo_pattern_add_color_stop_rgba(glow, 1, 0.35, 0.45, 1.0, 0.0);
    cairo_set_source(cr, glow);
    cairo_arc(cr, 21.5, 25, 18, 0, 2 * PI);
    cairo_fill(cr);
    cairo_pattern_destroy(glow);
    Glyph(cr, [cr]() { Star(cr, 21.5, 25, 15, 4, 4); }, {0.92, 0.96, 1.0});
    Glyph(
        cr, [cr]() { Star(cr, 33, 12, 5, 1.5, 4); }, kGold);
    Glyph(
        cr, [cr]() { Star(cr, 10, 37, 4, 1.2, 4); }, kGold);
}

void Hourglass(cairo_t* cr)
{
    // Caps.
    Glyph(cr,
          [cr]() {
              cairo_new_path(cr);
              RoundedRect(cr, 10, 7, 23, 4, 1.5);
              RoundedRect(cr, 10, 38, 23, 4, 1.5);
          },
          {0.45, 0.25, 0.12});
    const auto glass = [cr]() {
        cairo_new_path(cr);
        cairo_move_to(cr, 13, 11);
        cairo_line_to(cr, 30, 11);
        cairo_curve_to(cr, 30, 19, 23, 22, 23, 24.5);
        cairo_curve_to(cr, 23, 27, 30, 30, 30, 38);
        cairo_line_to(cr, 13, 38);
        cairo_curve_to(cr, 13, 30, 20, 27, 20, 24.5);
        cairo_curve_to(cr, 20, 22, 13, 19, 13, 11);
        cairo_close_path(cr);
    };
    Glyph(cr, glass, {0.80, 0.88, 0.95});
    // The sand: a little left above, a heap below and the falling thread.
    cairo_save(cr);
    glass();
    cairo_clip(cr);
    cairo_rectangle(cr, 10, 17, 23, 5);
    Fill(cr, kGold);
    cairo_move_to(cr, 13, 38);
    cairo_curve_to(cr, 17, 30, 26, 30, 30, 38);
    cairo_close_path(cr);
    Fill(cr, kGold);
    cairo_rectangle(cr, 21, 22, 1.2, 10);
    Fill(cr, kGold);
    cairo_restore(cr);
    glass();
    Stroke(cr, {0.12, 0.08, 0.03}, 1.2);
    // Side posts.
    cairo_move_to(cr, 11, 11);
    cairo_line_to(cr, 11, 38);
    cairo_move_to(cr, 32, 11);
    cairo_line_to(cr, 32, 38);
    Stroke(cr, {0.45, 0.25, 0.12}, 2);
}

void WriteActionButtons(const std::filesystem::path& dir)
{
    const struct {
        const char* file;
        void (*glyph)(cairo_t*);
    } buttons[] = {
        {"bMove_f2.tga", Boot}, {"bAttack_f2.tga", Sword}, {"bDefend_f2.tga", Shield},
        {"bFocus_f2.tga", Eye}, {"bMagic_f2.tga", Spark},  {"bEnd_f2.tga", Hourglass},
    };
    for (const auto& button : buttons) {
        WriteTga(dir / button.file, TwoFrames(kButtonW, kButtonH, [&](cairo_t* cr, bool greyed) {
                     ButtonFace(cr, 0, 0, kButtonW, kButtonH, greyed);
                     button.glyph(cr);
                 }));
    }
}

// Nine frames of a gold ring around a button with a spark running once round it.
void WriteHighlight(const std::filesystem::path& dir)
{
    constexpr int frames = 9;
    WriteTga(dir / "selectedIcon_f9.tga", Paint(kButtonW, kButtonH * frames, [](cairo_t* cr) {
                 for (int f = 0; f < frames; ++f) {
                     cairo_save(cr);
                     cairo_translate(cr, 0, kButtonH * f);
                     cairo_rectangle(cr, 0, 0, kButtonW, kButtonH);
                     cairo_clip(cr);
                     const double pulse = 0.5 + 0.5 * std::cos(2 * PI * f / frames);
                     RoundedRect(cr, 2, 2, kButtonW - 4, kButtonH - 4, 7);
                     Stroke(cr, kGold, 5, 0.25 + 0.2 * pulse);
                     RoundedRect(cr, 2, 2, kButtonW - 4, kButtonH - 4, 7);
                     Stroke(cr, {1.0, 0.92, 0.6}, 2, 0.9);
                     // The spark's place along the ring's perimeter.
                     const double w = kButtonW - 4;
                     const double h = kButtonH - 4;
                     double t = (2 * w + 2 * h) * f / frames;
                     double x = 2;
                     double y = 2;
                     if (t < w) {
                         x += t;
                     } else if ((t -= w) < h) {
                         x += w;
                         y += t;
                     } else if ((t -= h) < w) {
                         x += w - t;
                         y += h;
                     } else {
                         t -= w;
                         y += h - t;
                     }
                     cairo_pattern_t* glow = cairo_pattern_create_radial(x, y, 0, x, y, 8);
                     cairo_pattern_add_color_stop_rgba(glow, 0, 1, 1, 0.85, 1);
                     cairo_pattern_add_color_stop_rgba(glow, 1, 1, 0.8, 0.3, 0);
                     cairo_set_source(cr, glow);
                     cairo_arc(cr, x, y, 8, 0, 2 * PI);
                     cairo_fill(cr);
                     cairo_pattern_destroy(glow);
                     cairo_restore(cr);
                 }
             }));
}

// The main-menu button in the top right corner, and the lit face that fades in over it on hover.
void WriteMainMenuButton(const std::filesystem::path& dir)
{
    constexpr int w = 89;
    constexpr int h = 52;
    const auto face = [](cairo_t* cr, bool lit) {
        // The top two pixels lie above the screen.
        ButtonFace(cr, 3, 4, w - 6, h - 7, false);
        if (lit) {
            cairo_pattern_t* glow = cairo_pattern_create_radial(w / 2.0, h / 2.0, 0, w / 2.0, h / 2.0, w / 2.0);
            cairo_pattern_add_color_stop_rgba(glow, 0, kGold.r, kGold.g, kGold.b, 0.45);
            cairo_pattern_add_color_stop_rgba(glow, 1, kGold.r, kGold.g, kGold.b, 0.0);
            RoundedRect(cr, 5, 6, w - 10, h - 11, 8);
            cairo_set_source(cr, glow);
            cairo_fill(cr);
            cairo_pattern_destroy(glow);
            RoundedRect(cr, 3, 4, w - 6, h - 7, 9);
            Stroke(cr, {1.0, 0.92, 0.6}, 2);
        }
        TextStyle word;
        word.font = Font(19);
        word.colour = lit ? Rgb{1.0, 0.92, 0.6} : kText;
        word.centred = true;
        Text(cr, "Menu", 0, 14, w, word);
    };
    WriteTga(dir / "GUI_MainMenuButton.tga", Paint(w, h, [&](cairo_t* cr) { face(cr, false); }));
    WriteTga(dir / "GUI_MainMenuButtonOver.tga", Paint(w, h, [&](cairo_t* cr) { face(cr, true); }));
}

} // namespace

void WriteHudTextures(const std::filesystem::path& root)
{
    const std::filesystem::path dir = Dir(root);
    WriteFrame(dir);
    WriteTrough(dir);
    WriteFill(dir / "health.tga", {0.95, 0.30, 0.25}, {0.45, 0.04, 0.04});
    WriteFill(dir / "mana.tga", {0.35, 0.60, 1.00}, {0.06, 0.12, 0.45});
    WriteActionButtons(dir);
    WriteHighlight(dir);
    WriteMainMenuButton(dir);
}
