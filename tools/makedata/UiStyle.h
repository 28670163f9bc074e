#pragma once
// The one look of the interface pictures: a palette, the framed dark panel with its gold trim, two-frame
// buttons (normal over greyed) and text set with Pango. The menu, HUD and help pictures all draw with these,
// so every screen shares one style.

#include "DataWriter.h"

#include <cairo.h>

#include <filesystem>
#include <functional>
#include <string>

namespace ui_style {

struct Rgb {
    double r, g, b;
};

// The palette.
inline constexpr Rgb kPanel{0.078, 0.106, 0.173}; // deep night blue
inline constexpr Rgb kPanelLight{0.149, 0.192, 0.286}; // its lit upper edge
inline constexpr Rgb kGold{0.847, 0.690, 0.251}; // trim and headings
inline constexpr Rgb kGoldDark{0.478, 0.357, 0.106}; // trim shadow
inline constexpr Rgb kText{0.941, 0.902, 0.800}; // parchment white
inline constexpr Rgb kBlood{0.690, 0.165, 0.125}; // accents, the loading bar
inline constexpr Rgb kGrey{0.45, 0.45, 0.47}; // greyed controls

void SetColour(cairo_t* cr, const Rgb& c, double alpha = 1.0);

// A transparent canvas of the given size handed to draw; returned as straight (not premultiplied) pixels.
Image Paint(int width, int height, const std::function<void(cairo_t*)>& draw);
// The same canvas written as a PNG file.
void PaintPng(const std::filesystem::path& path, int width, int height, const std::function<void(cairo_t*)>& draw);

// A rounded rectangle path.
void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius);
// The framed panel: a dark vertical gradient, a gold trim line inside a darker rim, corner studs.
void Frame(cairo_t* cr, double x, double y, double w, double h, double alpha = 0.92);
// A small square button face (the same frame, smaller trim) with a glyph drawn by the caller.
void ButtonFace(cairo_t* cr, double x, double y, double w, double h, bool greyed);
// Two frames stacked vertically, frame 1 normal on top and frame 2 greyed below, each w x h: face draws one
// frame at (0, 0) with the greyed flag; the greyed frame is then desaturated and darkened.
Image TwoFrames(int w, int h, const std::function<void(cairo_t*, bool greyed)>& face);

struct TextStyle {
    std::string font = "Liberation Serif, DejaVu Serif, Serif 16";
    Rgb colour = kText;
    double alpha = 1.0;
    bool centred = false;
    bool shadow = true;
};
// Sets Pango markup at (x, y) wrapped to width; returns the height used in pixels.
int Text(cairo_t* cr, const std::string& markup, double x, double y, double width, const TextStyle& style);

} // namespace ui_style
