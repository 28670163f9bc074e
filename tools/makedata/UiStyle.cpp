#include "UiStyle.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace ui_style {

namespace {
constexpr double PI = 3.14159265358979323846;

cairo_surface_t* NewSurface(int width, int height)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot create a cairo surface");
    return surface;
}

Image ToImage(cairo_surface_t* surface)
{
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
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
    return image;
}
} // namespace

void SetColour(cairo_t* cr, const Rgb& c, double alpha)
{
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

Image Paint(int width, int height, const std::function<void(cairo_t*)>& draw)
{
    cairo_surface_t* surface = NewSurface(width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    Image image = ToImage(surface);
    cairo_surface_destroy(surface);
    return image;
}

void PaintPng(const std::filesystem::path& path, int width, int height, const std::function<void(cairo_t*)>& draw)
{
    std::filesystem::create_directories(path.parent_path());
    cairo_surface_t* surface = NewSurface(width, height);
    cairo_t* cr = cairo_create(surface);
    draw(cr);
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.string().c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + path.string());
}

void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double radius)
{
    const double r = std::min({radius, w / 2, h / 2});
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, PI / 2, PI);
    cairo_arc(cr, x + r, y + r, r, PI, 3 * PI / 2);
    cairo_close_path(cr);
}

void Frame(cairo_t* cr, double x, double y, double w, double h, double alpha)
{
    const double rim = std::clamp(std::min(w, h) * 0.02, 2.0, 4.0);
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(fill, 0, kPanelLight.r, kPanelLight.g, kPanelLight.b, alpha);
    cairo_pattern_add_color_stop_rgba(fill, 0.35, kPanel.r, kPanel.g, kPanel.b, alpha);
    cairo_pattern_add_color_stop_rgba(fill, 1, kPanel.r * 0.6, kPanel.g * 0.6, kPanel.b * 0.6, alpha);
    RoundedRect(cr, x + 1, y + 1, w - 2, h - 2, rim * 3);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    SetColour(cr, kGoldDark, 1.0);
    cairo_set_line_width(cr, rim);
    cairo_stroke(cr);
    RoundedRect(cr, x + rim * 2, y + rim * 2, w - rim * 4, h - rim * 4, rim * 2);
    SetColour(cr, kGold, 1.0);
    cairo_set_line_width(cr, std::max(1.0, rim * 0.5));
    cairo_stroke(cr);
    if (w >= 64 && h >= 64) {
        const double s = rim * 1.5;
        for (double cx : {x + rim * 2, x + w - rim * 2})
            for (double cy : {y + rim * 2, y + h - rim * 2}) {
                cairo_move_to(cr, cx, cy - s);
                cairo_line_to(cr, cx + s, cy);
                cairo_line_to(cr, cx, cy + s);
                cairo_line_to(cr, cx - s, cy);
                cairo_close_path(cr);
                SetColour(cr, kGold);
                cairo_fill(cr);
            }
    }
}

void ButtonFace(cairo_t* cr, double x, double y, double w, double h, bool greyed)
{
    cairo_pattern_t* fill = cairo_pattern_create_linear(0, y, 0, y + h);
    const Rgb top = greyed ? kGrey : kPanelLight;
    cairo_pattern_add_color_stop_rgba(fill, 0, top.r, top.g, top.b, 1);
    cairo_pattern_add_color_stop_rgba(fill, 1, kPanel.r, kPanel.g, kPanel.b, 1);
    RoundedRect(cr, x + 0.5, y + 0.5, w - 1, h - 1, std::min(w, h) * 0.2);
    cairo_set_source(cr, fill);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(fill);
    SetColour(cr, greyed ? kGrey : kGold);
    cairo_set_line_width(cr, std::max(1.0, std::min(w, h) * 0.06));
    cairo_stroke(cr);
}

Image TwoFrames(int w, int h, const std::function<void(cairo_t*, bool greyed)>& face)
{
    Image normal = Paint(w, h, [&](cairo_t* cr) { face(cr, false); });
    Image greyed = Paint(w, h, [&](cairo_t* cr) { face(cr, true); });
    Image both(w, 2 * h, 0u);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            both.Set(x, y, normal.Get(x, y));
            const uint32_t p = greyed.Get(x, y);
            const uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            const uint32_t l = (r * 30 + g * 59 + b * 11) / 100 * 55 / 100;
            both.Set(x, y + h, (p & 0xFF000000u) | (l << 16) | (l << 8) | l);
        }
    return both;
}

int Text(cairo_t* cr, const std::string& markup, double x, double y, double width, const TextStyle& style)
{
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string(style.font.c_str());
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    pango_layout_set_alignment(layout, style.centred ? PANGO_ALIGN_CENTER : PANGO_ALIGN_LEFT);
    pango_layout_set_markup(layout, markup.c_str(), -1);
    int w = 0;
    int h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    if (style.shadow) {
        cairo_move_to(cr, x + 1, y + 1);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.8 * style.alpha);
        pango_cairo_show_layout(cr, layout);
    }
    cairo_move_to(cr, x, y);
    SetColour(cr, style.colour, style.alpha);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    return h;
}

} // namespace ui_style
