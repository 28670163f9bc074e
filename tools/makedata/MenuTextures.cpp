// The front end's pictures: main-menu and options buttons, the end-of-game page, the deployment screen's
// border, windows, roster boxes, price badges, arrows and buttons, and one icon per class. They share the
// interface's palette and frame with the HUD and help pictures.
#include "DataWriter.h"
#include "UiStyle.h"
#include "Writers.h"

#include <cairo.h>

#include <cmath>
#include <string>

using namespace ui_style;

namespace {

constexpr double PI = 3.14159265358979323846;

std::filesystem::path Dir(const std::filesystem::path& root)
{
    return DataDirectory(root, "Textures/Hud Textures");
}

std::string Font(double size, bool bold = true)
{
    return std::string("Liberation Serif, DejaVu Serif, Serif ") + (bold ? "Bold " : "") +
           std::to_string(static_cast<int>(size)) + "px";
}

// Text centred vertically on cy across the whole width.
void CentredText(cairo_t* cr, const std::string& text, double cy, double width, double size, const Rgb& colour,
                 double x = 0.0)
{
    TextStyle style;
    style.font = Font(size);
    style.colour = colour;
    style.centred = true;
    // Pango's line box is about 1.17 of the pixel size for these faces.
    Text(cr, text, x, cy - size * 0.62, width, style);
}

// A menu button: the framed face with its word; the hover picture lights the face and gilds the word. The face's
// place in the texture (fx, fy, fw, fh) lets buttons whose rectangles differ in size show faces of one size; the
// rest of the texture stays clear.
void MenuButton(const std::filesystem::path& path, int w, int h, const std::string& word, bool lit, double fx,
                double fy, double fw, double fh)
{
    WriteTga(path, Paint(w, h, [&](cairo_t* cr) {
                 ButtonFace(cr, fx, fy, fw, fh, false);
                 if (lit) {
                     const double cx = fx + fw / 2.0;
                     const double cy = fy + fh / 2.0;
                     cairo_pattern_t* glow = cairo_pattern_create_radial(cx, cy, 0, cx, cy, fw / 2.0);
                     cairo_pattern_add_color_stop_rgba(glow, 0, kGold.r, kGold.g, kGold.b, 0.35);
                     cairo_pattern_add_color_stop_rgba(glow, 1, kGold.r, kGold.g, kGold.b, 0.0);
                     RoundedRect(cr, fx + 2, fy + 2, fw - 4, fh - 4, std::min(fw, fh) * 0.2);
                     cairo_set_source(cr, glow);
                     cairo_fill(cr);
                     cairo_pattern_destroy(glow);
                 }
                 // Short buttons get a larger share of their height so that the word stays readable.
                 CentredText(cr, word, fy + fh / 2.0, fw, std::round(fh * (fh < 32 ? 0.56 : 0.45)), lit ? kGold : kText,
                             fx);
             }));
}

void MenuButton(const std::filesystem::path& path, int w, int h, const std::string& word, bool lit)
{
    MenuButton(path, w, h, word, lit, 1, 1, w - 2, h - 2);
}

// A band of the deployment border: dark stone with a gold rule along one edge (0 top, 1 right, 2 bottom,
// 3 left), tiled across the screen by the border's texture coordinates.
void BorderBand(const std::filesystem::path& path, int w, int h, int trimEdge)
{
    WriteTga(path, Paint(w, h, [&](cairo_t* cr) {
                 const bool across = trimEdge == 0 || trimEdge == 2;
                 cairo_pattern_t* fill =
                     across ? cairo_pattern_create_linear(0, 0, 0, h) : cairo_pattern_create_linear(0, 0, w, 0);
                 cairo_pattern_add_color_stop_rgb(fill, 0, kPanel.r * 0.7, kPanel.g * 0.7, kPanel.b * 0.7);
                 cairo_pattern_add_color_stop_rgb(fill, 0.5, kPanelLight.r, kPanelLight.g, kPanelLight.b);
                 cairo_pattern_add_color_stop_rgb(fill, 1, kPanel.r * 0.7, kPanel.g * 0.7, kPanel.b * 0.7);
                 cairo_rectangle(cr, 0, 0, w, h);
                 cairo_set_source(cr, fill);
                 cairo_fill(cr);
                 cairo_pattern_destroy(fill);
                 // A faint diamond pattern so that the band does not read as a flat bar.
                 SetColour(cr, kGoldDark, 0.25);
                 cairo_set_line_width(cr, 1.0);
                 const double step = across ? h * 0.6 : w * 0.6;
                 for (double p = -step; p < (across ? w : h) + step; p += step) {
                     if (across) {
                         cairo_move_to(cr, p, 0);
                         cairo_line_to(cr, p + step, h);
                         cairo_move_to(cr, p + step, 0);
                         cairo_line_to(cr, p, h);
                     } else {
                         cairo_move_to(cr, 0, p);
                         cairo_line_to(cr, w, p + step);
                         cairo_move_to(cr, 0, p + step);
                         cairo_line_to(cr, w, p);
                     }
                 }
                 cairo_stroke(cr);
                 SetColour(cr, kGold);
                 cairo_set_line_width(cr, 3.0);
                 switch (trimEdge) {
                 case 0:
                     cairo_move_to(cr, 0, 2.5);
                     cairo_line_to(cr, w, 2.5);
                     break;
                 case 1:
                     cairo_move_to(cr, w - 2.5, 0);
                     cairo_line_to(cr, w - 2.5, h);
                     break;
                 case 2:
                     cairo_move_to(cr, 0, h - 2.5);
                     cairo_line_to(cr, w, h - 2.5);
                     break;
                 default:
                     cairo_move_to(cr, 2.5, 0);
                     cairo_line_to(cr, 2.5, h);
                     break;
                 }
                 cairo_stroke(cr);
                 SetColour(cr, kGoldDark);
                 cairo_set_line_width(cr, 1.0);
                 switch (trimEdge) {
                 case 0:
                     cairo_move_to(cr, 0, 6.5);
                     cairo_line_to(cr, w, 6.5);
                     break;
                 case 1:
                     cairo_move_to(cr, w - 6.5, 0);
                     cairo_line_to(cr, w - 6.5, h);
                     break;
                 case 2:
                     cairo_move_to(cr, 0, h - 6.5);
                     cairo_line_to(cr, w, h - 6.5);
                     break;
                 default:
                     cairo_move_to(cr, 6.5, 0);
                     cairo_line_to(cr, 6.5, h);
                     break;
                 }
                 cairo_stroke(cr);
             }));
}

// A slender dragon climbing a border: its body follows the spine (x, y pairs from the tail up to the neck), a
// folded wing rises from the shoulder and the head looks along (dx, 0) at the top. Kept narrow so that it frames
// the screen without covering what lies inside it.
void Dragon(cairo_t* cr, const double (&spine)[8], double wingSide, double headDirection, double alpha)
{
    auto body = [&](double width, const Rgb& colour) {
        cairo_move_to(cr, spine[0], spine[1]);
        cairo_curve_to(cr, spine[2], spine[3], spine[4], spine[5], spine[6], spine[7]);
        SetColour(cr, colour, alpha);
        cairo_set_line_width(cr, width);
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
        cairo_stroke(cr);
    };
    const double nx = spine[6];
    const double ny = spine[7];
    // The wing: a membrane of three points behind the neck.
    cairo_move_to(cr, nx, ny + 60);
    cairo_line_to(cr, nx + wingSide * 40, ny - 30);
    cairo_line_to(cr, nx + wingSide * 30, ny + 10);
    cairo_line_to(cr, nx + wingSide * 52, ny + 5);
    cairo_line_to(cr, nx + wingSide * 30, ny + 45);
    cairo_line_to(cr, nx + wingSide * 45, ny + 50);
    cairo_close_path(cr);
    SetColour(cr, kBlood, alpha * 0.8);
    cairo_fill_preserve(cr);
    SetColour(cr, kGold, alpha);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
    body(20, kGold);
    body(15, kBlood);
    // Spines along the back: small gold marks.
    for (int i = 1; i < 12; ++i) {
        const double t = i / 12.0;
        const double u = 1 - t;
        const double x =
            u * u * u * spine[0] + 3 * u * u * t * spine[2] + 3 * u * t * t * spine[4] + t * t * t * spine[6];
        const double y =
            u * u * u * spine[1] + 3 * u * u * t * spine[3] + 3 * u * t * t * spine[5] + t * t * t * spine[7];
        cairo_arc(cr, x, y, 2.0, 0, 2 * PI);
        SetColour(cr, kGold, alpha);
        cairo_fill(cr);
    }
    // The head: a wedge with a horn and an eye.
    const double d = headDirection;
    cairo_move_to(cr, nx - d * 10, ny - 10);
    cairo_line_to(cr, nx + d * 40, ny - 2);
    cairo_line_to(cr, nx + d * 28, ny + 6);
    cairo_line_to(cr, nx + d * 38, ny + 12);
    cairo_line_to(cr, nx - d * 6, ny + 12);
    cairo_close_path(cr);
    SetColour(cr, kBlood, alpha);
    cairo_fill_preserve(cr);
    SetColour(cr, kGold, alpha);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    cairo_move_to(cr, nx - d * 4, ny - 8);
    cairo_line_to(cr, nx - d * 22, ny - 26);
    cairo_line_to(cr, nx + d * 4, ny - 6);
    cairo_close_path(cr);
    SetColour(cr, kGold, alpha);
    cairo_fill(cr);
    cairo_arc(cr, nx + d * 14, ny + 1, 2.5, 0, 2 * PI);
    SetColour(cr, kText, alpha);
    cairo_fill(cr);
}

void WriteMainMenu(const std::filesystem::path& dir)
{
    // The four rectangles differ in size and the neighbours overlap by a few pixels (Start and Help, Options and
    // Quit), so each texture holds a face of one size, 136 x 40, placed so that the faces line up centred on
    // the screen's middle, 55 pixels apart (a 15-pixel gap): face tops at H/2 - 120, - 65, - 10 and + 45.
    struct Entry {
        const char* name;
        const char* word;
        int w, h;
        double fx, fy;
    };
    constexpr double kFaceW = 136, kFaceH = 40;
    const Entry entries[] = {{"BT_openStart", "Start", 149, 61, 6, 9},
                             {"BT_openHelp", "Help", 142, 53, 2, 6},
                             {"BT_openOpt", "Options", 143, 56, 3, 1},
                             {"BT_openQuit", "Quit", 149, 51, 6, 2}};
    for (const Entry& e : entries) {
        MenuButton(dir / (std::string(e.name) + "01.tga"), e.w, e.h, e.word, false, e.fx, e.fy, kFaceW, kFaceH);
        MenuButton(dir / (std::string(e.name) + "02.tga"), e.w, e.h, e.word, true, e.fx, e.fy, kFaceW, kFaceH);
    }
    // The options page puts its buttons on the same four rectangles.
    const Entry options[] = {{"800", "800 x 600", 149, 61, 6, 9},
                             {"1024", "1024 x 768", 142, 53, 2, 6},
                             {"1280", "1280 x 1024", 143, 56, 3, 1},
                             {"back", "Back", 149, 51, 6, 2}};
    for (const Entry& e : options) {
        MenuButton(dir / (std::string(e.name) + ".tga"), e.w, e.h, e.word, false, e.fx, e.fy, kFaceW, kFaceH);
        MenuButton(dir / (std::string(e.name) + "_over.tga"), e.w, e.h, e.word, true, e.fx, e.fy, kFaceW, kFaceH);
    }
}

void WriteEndOfGame(const std::filesystem::path& dir)
{
    WriteTga(dir / "TopBar.tga", Paint(512, 8, [](cairo_t* cr) {
                 cairo_pattern_t* bar = cairo_pattern_create_linear(0, 0, 512, 0);
                 cairo_pattern_add_color_stop_rgba(bar, 0, kGold.r, kGold.g, kGold.b, 0.0);
                 cairo_pattern_add_color_stop_rgba(bar, 0.15, kGold.r, kGold.g, kGold.b, 1.0);
                 cairo_pattern_add_color_stop_rgba(bar, 0.85, kGold.r, kGold.g, kGold.b, 1.0);
                 cairo_pattern_add_color_stop_rgba(bar, 1, kGold.r, kGold.g, kGold.b, 0.0);
                 cairo_rectangle(cr, 0, 1, 512, 6);
                 cairo_set_source(cr, bar);
                 cairo_fill(cr);
                 cairo_pattern_destroy(bar);
             }));
    // Both climb the screen's edge: the left one up the left border, its head in the gap above the board.
    WriteTga(dir / "LDragon.tga", Paint(307, 468, [](cairo_t* cr) {
                 const double spine[8] = {30, 468, 55, 300, 5, 180, 40, 70};
                 Dragon(cr, spine, -1.0, 1.0, 0.95);
             }));
    // The right one stands right of the board, below the information window, looking toward the roster.
    WriteTga(dir / "RDragon.tga", Paint(578, 462, [](cairo_t* cr) {
                 const double spine[8] = {545, 462, 520, 330, 570, 260, 540, 180};
                 Dragon(cr, spine, 1.0, -1.0, 0.9);
             }));
    // The row names of the statistics the session prints either side, one row every 71 pixels.
    WriteTga(dir / "end_game_text.tga", Paint(255, 255, [](cairo_t* cr) {
                 const char* rows[] = {"Units Slain", "Damage Dealt", "Turns Taken", "Hexes Moved"};
                 for (int i = 0; i < 4; ++i)
                     CentredText(cr, rows[i], 24 + 71 * i, 255, 22, kGold);
             }));
    const struct {
        const char* file;
        const char* word;
        Rgb colour;
    } players[] = {{"end_game_player1.tga", "Player 1", {0.20, 0.32, 0.70}},
                   {"end_game_player2.tga", "Player 2", {0.70, 0.18, 0.15}}};
    for (const auto& p : players)
        WriteTga(dir / p.file, Paint(125, 40, [&](cairo_t* cr) {
                     RoundedRect(cr, 1, 1, 123, 38, 8);
                     SetColour(cr, p.colour, 0.95);
                     cairo_fill_preserve(cr);
                     SetColour(cr, kGold);
                     cairo_set_line_width(cr, 2);
                     cairo_stroke(cr);
                     CentredText(cr, p.word, 20, 125, 20, kText);
                 }));
    WriteTga(dir / "PlayerButtonBG.tga", Paint(144, 103, [](cairo_t* cr) { Frame(cr, 0, 0, 144, 103); }));
    MenuButton(dir / "rematchbutton.tga", 121, 28, "Rematch", false);
    MenuButton(dir / "rematchbuttonOver.tga", 121, 28, "Rematch", true);
    MenuButton(dir / "quitButton.tga", 121, 28, "Quit", false);
    MenuButton(dir / "quitButtonOver.tga", 121, 28, "Quit", true);
}

// A frame with an open middle, for pictures that go around something drawn beneath them.
void OpenFrame(cairo_t* cr, double w, double h, double border)
{
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
    RoundedRect(cr, 0.5, 0.5, w - 1, h - 1, border);
    RoundedRect(cr, border, border, w - 2 * border, h - 2 * border, border * 0.5);
    SetColour(cr, kPanel);
    cairo_fill(cr);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    RoundedRect(cr, 1.5, 1.5, w - 3, h - 3, border);
    SetColour(cr, kGoldDark);
    cairo_set_line_width(cr, 2);
    cairo_stroke(cr);
    RoundedRect(cr, border - 1.5, border - 1.5, w - 2 * border + 3, h - 2 * border + 3, border * 0.5);
    SetColour(cr, kGold);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

void Arrow(cairo_t* cr, int w, int h, bool left, bool pressed)
{
    ButtonFace(cr, 1, 1, w - 2, h - 2, false);
    const double cx = w / 2.0, cy = h / 2.0, s = h * 0.28;
    const double dir = left ? -1.0 : 1.0;
    cairo_move_to(cr, cx + dir * s * 1.2, cy);
    cairo_line_to(cr, cx - dir * s * 0.6, cy - s);
    cairo_line_to(cr, cx - dir * s * 0.6, cy + s);
    cairo_close_path(cr);
    SetColour(cr, pressed ? kText : kGold);
    cairo_fill(cr);
}

struct ClassIcon {
    const char* file;
    const char* name;
    const char* symbol;
    Rgb field;
};

void WriteDeployment(const std::filesystem::path& root, const std::filesystem::path& dir)
{
    BorderBand(dir / "BGTop.tga", 160, 67, 2);
    BorderBand(dir / "BGSides.tga", 37, 120, 3);
    BorderBand(dir / "BGBottom.tga", 160, 26, 0);
    // The corner piece as it sits at the bottom right; the other three are its mirror images.
    WriteTga(dir / "BGCorner.tga", Paint(131, 131, [](cairo_t* cr) {
                 cairo_move_to(cr, 131, 131);
                 cairo_line_to(cr, 131, 20);
                 cairo_curve_to(cr, 100, 60, 60, 100, 20, 131);
                 cairo_close_path(cr);
                 SetColour(cr, kPanelLight);
                 cairo_fill_preserve(cr);
                 SetColour(cr, kGold);
                 cairo_set_line_width(cr, 3);
                 cairo_stroke(cr);
                 cairo_arc(cr, 112, 112, 10, 0, 2 * PI);
                 SetColour(cr, kGold);
                 cairo_fill(cr);
                 cairo_arc(cr, 112, 112, 5, 0, 2 * PI);
                 SetColour(cr, kBlood);
                 cairo_fill(cr);
             }));
    // The class texts flash in the player's dark tint and settle to white, so the window is dark.
    WriteTga(dir / "infoWindow.tga", Paint(405, 437, [](cairo_t* cr) { Frame(cr, 0, 0, 405, 437, 0.97); }));
    WriteTga(dir / "Characterboarder.tga", Paint(96, 116, [](cairo_t* cr) { OpenFrame(cr, 96, 116, 8); }));
    WriteTga(dir / "CharacterWindow.tga", Paint(212, 160, [](cairo_t* cr) { OpenFrame(cr, 212, 160, 8); }));
    for (const char* cost : {"25", "50", "75"})
        WriteTga(dir / (std::string(cost) + ".tga"), Paint(25, 39, [&](cairo_t* cr) {
                     // A hanging pennant with the price.
                     cairo_move_to(cr, 1, 1);
                     cairo_line_to(cr, 24, 1);
                     cairo_line_to(cr, 24, 38);
                     cairo_line_to(cr, 12.5, 30);
                     cairo_line_to(cr, 1, 38);
                     cairo_close_path(cr);
                     SetColour(cr, kBlood);
                     cairo_fill_preserve(cr);
                     SetColour(cr, kGold);
                     cairo_set_line_width(cr, 1.5);
                     cairo_stroke(cr);
                     CentredText(cr, cost, 14, 25, 12, kText);
                 }));
    WriteTga(dir / "MapArrowLeft.tga", Paint(61, 41, [](cairo_t* cr) { Arrow(cr, 61, 41, true, false); }));
    WriteTga(dir / "MapArrowLeftPress.tga", Paint(61, 41, [](cairo_t* cr) { Arrow(cr, 61, 41, true, true); }));
    WriteTga(dir / "MapArrowRight.tga", Paint(61, 41, [](cairo_t* cr) { Arrow(cr, 61, 41, false, false); }));
    WriteTga(dir / "MapArrowRightPress.tga", Paint(61, 41, [](cairo_t* cr) { Arrow(cr, 61, 41, false, true); }));
    WriteTga(dir / "DeployButton_f2.tga", TwoFrames(128, 79, [](cairo_t* cr, bool greyed) {
                 ButtonFace(cr, 1, 1, 126, 77, greyed);
                 CentredText(cr, "Deploy", 39.5, 128, 28, greyed ? kGrey : kText);
             }));
    MenuButton(dir / "DeployOverButton.tga", 128, 79, "Deploy", true);
    MenuButton(dir / "BackButton.tga", 128, 57, "Back", false);
    MenuButton(dir / "BackOverButton.tga", 128, 57, "Back", true);
    // The player buttons carry no word: the screen writes "Player 1" and "Player 2" over them.
    const struct {
        const char* name;
        Rgb colour;
    } players[] = {{"Blue", {0.16, 0.26, 0.62}}, {"Red", {0.62, 0.15, 0.12}}};
    for (const auto& p : players)
        for (bool over : {false, true})
            WriteTga(dir / (std::string(over ? "PlayerOverButton" : "PlayerButton") + p.name + ".tga"),
                     Paint(121, 28, [&](cairo_t* cr) {
                         RoundedRect(cr, 1, 1, 119, 26, 6);
                         cairo_pattern_t* fill = cairo_pattern_create_linear(0, 0, 0, 28);
                         const double lift = over ? 1.45 : 1.0;
                         cairo_pattern_add_color_stop_rgb(fill, 0, std::min(1.0, p.colour.r * 1.4 * lift),
                                                          std::min(1.0, p.colour.g * 1.4 * lift),
                                                          std::min(1.0, p.colour.b * 1.4 * lift));
                         cairo_pattern_add_color_stop_rgb(fill, 1, p.colour.r * 0.6 * lift, p.colour.g * 0.6 * lift,
                                                          p.colour.b * 0.6 * lift);
                         cairo_set_source(cr, fill);
                         cairo_fill_preserve(cr);
                         cairo_pattern_destroy(fill);
                         SetColour(cr, over ? kText : kGold);
                         cairo_set_line_width(cr, 1.5);
                         cairo_stroke(cr);
                     }));

    const ClassIcon icons[] = {
        {"MilitiaIcon.tga", "Militia", "\u2694", {0.35, 0.42, 0.30}},
        {"ScoutIcon.tga", "Scout", "\u27B6", {0.30, 0.45, 0.30}},
        {"MageIcon.tga", "Mage", "\u2726", {0.25, 0.30, 0.60}},
        {"PikemanIcon.tga", "Pikeman", "\u2191", {0.42, 0.40, 0.30}},
        {"ArcherIcon.tga", "Archer", "\u27B3", {0.30, 0.48, 0.28}},
        {"RogueIcon.tga", "Rogue", "\u2020", {0.32, 0.30, 0.32}},
        {"HealerIcon.tga", "Healer", "\u271A", {0.60, 0.58, 0.50}},
        {"CombatMageIcon.tga", "C. Mage", "\u26A1", {0.50, 0.20, 0.50}},
        {"KnightIcon.tga", "Knight", "\u265E", {0.45, 0.45, 0.50}},
        {"PaladinIcon.tga", "Paladin", "\u2692", {0.62, 0.52, 0.22}},
        {"AssassinIcon.tga", "Assassin", "\u2620", {0.25, 0.15, 0.18}},
    };
    for (const ClassIcon& icon : icons)
        WriteTga(
            DataDirectory(root, "Textures/Icon Textures") / icon.file, Paint(64, 77, [&](cairo_t* cr) {
                // A shield in the class's colour with its sign, the name on a band below.
                cairo_move_to(cr, 4, 4);
                cairo_line_to(cr, 60, 4);
                cairo_line_to(cr, 60, 34);
                cairo_curve_to(cr, 60, 48, 46, 56, 32, 62);
                cairo_curve_to(cr, 18, 56, 4, 48, 4, 34);
                cairo_close_path(cr);
                cairo_pattern_t* fill = cairo_pattern_create_linear(0, 4, 0, 62);
                cairo_pattern_add_color_stop_rgb(fill, 0, std::min(1.0, icon.field.r * 1.5),
                                                 std::min(1.0, icon.field.g * 1.5), std::min(1.0, icon.field.b * 1.5));
                cairo_pattern_add_color_stop_rgb(fill, 1, icon.field.r * 0.6, icon.field.g * 0.6, icon.field.b * 0.6);
                cairo_set_source(cr, fill);
                cairo_fill_preserve(cr);
                cairo_pattern_destroy(fill);
                SetColour(cr, kGold);
                cairo_set_line_width(cr, 2);
                cairo_stroke(cr);
                TextStyle sign;
                sign.font = "DejaVu Sans, Sans Bold 26px";
                sign.colour = kText;
                sign.centred = true;
                Text(cr, icon.symbol, 0, 11, 64, sign);
                RoundedRect(cr, 1, 62, 62, 14, 3);
                SetColour(cr, kPanel, 0.95);
                cairo_fill(cr);
                CentredText(cr, icon.name, 69, 64, 11, kText);
            }));
}

} // namespace

void WriteMenuTextures(const std::filesystem::path& root)
{
    const std::filesystem::path dir = Dir(root);
    WriteMainMenu(dir);
    WriteEndOfGame(dir);
    WriteDeployment(root, dir);
}
