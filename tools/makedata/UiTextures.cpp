// The pictures of the interface's common windows: the description box, the ability row's hover ring and Back
// button, the fallback ability icon, the loading screens with their bar, and the help window with its pages
// of text. All are drawn in the shared interface style.
#include "DataWriter.h"
#include "UiStyle.h"
#include "Writers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace ui_style;

namespace {

constexpr double PI = 3.14159265358979323846;

std::filesystem::path HudDirectory(const std::filesystem::path& root)
{
    return DataDirectory(root, "Textures/Hud Textures");
}

void WriteDescriptionWindow(const std::filesystem::path& root)
{
    WriteTga(HudDirectory(root) / "GUI_HelpTextWindow.tga", Paint(336, 391, [](cairo_t* cr) {
                 Frame(cr, 0, 0, 336, 391);
                 // A gold rule under the heading space; the description is set below it.
                 SetColour(cr, kGold, 0.8);
                 cairo_rectangle(cr, 40, 70, 256, 2);
                 cairo_fill(cr);
                 TextStyle heading;
                 heading.font = "Liberation Serif, DejaVu Serif, Serif Bold 20";
                 heading.colour = kGold;
                 heading.centred = true;
                 Text(cr, "Description", 0, 30, 336, heading);
             }));
}

// The ring that lights an ability button under the pointer, and the row's Back button.
void WriteAbilityRowPictures(const std::filesystem::path& root)
{
    WriteTga(HudDirectory(root) / "Scroll_Over.tga", Paint(43, 49, [](cairo_t* cr) {
                 RoundedRect(cr, 1.5, 1.5, 40, 46, 7);
                 SetColour(cr, kGold, 0.95);
                 cairo_set_line_width(cr, 3);
                 cairo_stroke(cr);
             }));
    WriteTga(HudDirectory(root) / "ButMBack.tga", Paint(43, 49, [](cairo_t* cr) {
                 ButtonFace(cr, 0, 0, 43, 49, false);
                 // A curved arrow back to the action row.
                 SetColour(cr, kText);
                 cairo_set_line_width(cr, 3.5);
                 cairo_arc(cr, 21.5, 27, 10, -PI * 0.9, PI * 0.5);
                 cairo_stroke(cr);
                 cairo_move_to(cr, 6, 24);
                 cairo_line_to(cr, 12.5, 14);
                 cairo_line_to(cr, 18, 24);
                 cairo_close_path(cr);
                 cairo_fill(cr);
             }));
    WriteTga(DataDirectory(root, "Textures/Icon Textures") / "Unknown_Icon_f2.tga",
             TwoFrames(64, 64, [](cairo_t* cr, bool greyed) {
                 ButtonFace(cr, 0, 0, 64, 64, greyed);
                 TextStyle mark;
                 mark.font = "Liberation Serif, DejaVu Serif, Serif Bold 36";
                 mark.colour = kGold;
                 mark.centred = true;
                 Text(cr, "?", 0, 6, 64, mark);
             }));
}

// A symbol for each spell the classes use, so that two spells of one class never share a face (initials alone
// made Slashing Strike and Shadow Sight both "SS"). All are in DejaVu Sans.
static const char* SpellSymbol(const std::string& name)
{
    static const std::pair<const char*, const char*> symbols[] = {
        {"Aimed Shot", "\u25CE"},
        {"Arcane Missile", "\u2726"},
        {"Assassin's Touch", "\u2620"},
        {"Battle Focus", "\u25C9"},
        {"Blessing", "\u263C"},
        {"Camouflage", "\u2740"},
        {"Charge!", "\u2691"},
        {"Consecration", "\u2719"},
        {"Critical Strike", "\u2738"},
        {"Divine Shield", "\u269C"},
        {"Fan of Daggers", "\u2735"},
        {"First Aid", "\u271A"},
        {"Flashing Strike", "\u21AF"},
        {"Heal", "\u2695"},
        {"Holy Light", "\u2600"},
        {"Lightning Bolt", "\u26A1"},
        {"Long Shot", "\u27B9"},
        {"Mana Drain", "\u263E"},
        {"Mana Spring", "\u2668"},
        {"Melee Spirit", "\u2764"},
        {"Mud Sling", "\u2601"},
        {"Nature's Vigor", "\u2618"},
        {"Phalanx", "\u2630"},
        {"Pike Thrust", "\u21D1"},
        {"Pillar of Flames", "\u2604"},
        {"Poison Arrow", "\u2697"},
        {"Prayer of Healing", "\u271D"},
        {"Pulverize", "\u2692"},
        {"Shadow Sight", "\u25D0"},
        {"Shards of Ice", "\u2744"},
        {"Shield Bash", "\u2B1F"},
        {"Shrapnel Shot", "\u2042"},
        {"Slashing Strike", "\u2694"},
        {"Surge of Speed", "\u27A4"},
        {"Sweeping Strike", "\u21BB"},
        {"Thundershackle", "\u26AF"},
        {"Unrelenting Assault", "\u27BD"},
        {"Warcry", "\u2762"},
    };
    for (const auto& [spell, symbol] : symbols)
        if (name == spell)
            return symbol;
    return nullptr;
}

// One icon for every spell file: the spell's symbol over a glow in its school's colour with its initials beneath
// (the initials alone where the spell has no symbol), normal over greyed.
void WriteAbilityIcons(const std::filesystem::path& root)
{
    const std::filesystem::path spells = DataDirectory(root, "Config Files/Spells");
    if (!std::filesystem::is_directory(spells))
        return;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(spells))
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    const std::filesystem::path icons = DataDirectory(root, "Textures/Icon Textures");
    for (const std::filesystem::path& file : files) {
        std::string name = file.stem().string();
        std::string school;
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("Name = ", 0) == 0)
                name = line.substr(7);
            else if (line.rfind("School = ", 0) == 0)
                school = line.substr(9);
        }
        // The initials of the name's words, the small joining words left out ("Shards of Ice" is "SI").
        std::string initials;
        std::istringstream words(name);
        for (std::string word; words >> word && initials.size() < 2;)
            if (word != "Of" && word != "of" && word != "The" && std::isalpha(static_cast<unsigned char>(word[0])))
                initials += word[0];
        const char* symbol = SpellSymbol(name);
        const Rgb glow = school == "HOLY"     ? Rgb{0.95, 0.85, 0.45}
                         : school == "SHADOW" ? Rgb{0.55, 0.30, 0.75}
                         : school == "NATURE" ? Rgb{0.35, 0.75, 0.35}
                                              : Rgb{0.35, 0.60, 0.95};
        WriteTga(icons / (file.stem().string() + "_Icon_f2.tga"), TwoFrames(64, 64, [&](cairo_t* cr, bool greyed) {
                     ButtonFace(cr, 0, 0, 64, 64, greyed);
                     cairo_pattern_t* p = cairo_pattern_create_radial(32, 32, 2, 32, 32, 28);
                     cairo_pattern_add_color_stop_rgba(p, 0, glow.r, glow.g, glow.b, 0.85);
                     cairo_pattern_add_color_stop_rgba(p, 1, glow.r, glow.g, glow.b, 0.0);
                     cairo_set_source(cr, p);
                     cairo_arc(cr, 32, 32, 28, 0, 2 * PI);
                     cairo_fill(cr);
                     cairo_pattern_destroy(p);
                     TextStyle mark;
                     mark.colour = kText;
                     mark.centred = true;
                     if (!symbol) {
                         mark.font = "Liberation Serif, DejaVu Serif, Serif Bold 24";
                         Text(cr, initials, 0, 14, 64, mark);
                         return;
                     }
                     mark.font = "DejaVu Sans 26";
                     Text(cr, symbol, 0, 5, 64, mark);
                     TextStyle small = mark;
                     small.font = "Liberation Serif, DejaVu Serif, Serif Bold 10";
                     Text(cr, initials, 0, 44, 64, small);
                 }));
    }
}

// --- Loading screens ---------------------------------------------------------------------------------------

struct Scene {
    Rgb skyTop;
    Rgb skyBottom;
    Rgb far;
    Rgb near;
    bool moon;
    bool snow;
    const char* tip;
};

const Scene kScenes[7] = {
    {{0.05, 0.06, 0.16},
     {0.55, 0.25, 0.18},
     {0.16, 0.12, 0.20},
     {0.06, 0.05, 0.08},
     false,
     false,
     "Each side has 200 requisition to spend on its army before the battle."},
    {{0.02, 0.03, 0.09},
     {0.12, 0.18, 0.32},
     {0.10, 0.14, 0.22},
     {0.03, 0.05, 0.08},
     true,
     true,
     "W and S zoom the camera, A and D turn it; drag with the right mouse button to orbit."},
    {{0.10, 0.16, 0.30},
     {0.70, 0.62, 0.45},
     {0.24, 0.30, 0.22},
     {0.08, 0.12, 0.07},
     false,
     false,
     "A defending unit guards the hexes around it: enemies cannot walk through them."},
    {{0.04, 0.04, 0.10},
     {0.30, 0.10, 0.10},
     {0.18, 0.08, 0.08},
     {0.05, 0.02, 0.03},
     true,
     false,
     "A focusing unit grows stronger, but it is hit harder until its next turn."},
    {{0.20, 0.30, 0.45},
     {0.80, 0.85, 0.90},
     {0.55, 0.60, 0.70},
     {0.25, 0.30, 0.38},
     false,
     true,
     "Greyed buttons and spells cost more action points or mana than the unit has left."},
    {{0.06, 0.10, 0.12},
     {0.35, 0.45, 0.35},
     {0.14, 0.22, 0.16},
     {0.04, 0.08, 0.05},
     true,
     false,
     "Right-click a unit you placed during deployment to get its requisition back."},
    {{0.12, 0.06, 0.14},
     {0.80, 0.45, 0.20},
     {0.30, 0.14, 0.16},
     {0.10, 0.04, 0.06},
     false,
     false,
     "Press F1 on any screen but this one to read the help."},
};

// A ridge line of mountains across the picture, from a fixed series of peaks.
void Ridge(cairo_t* cr, double baseY, double height, int seed, const Rgb& colour)
{
    cairo_move_to(cr, 0, 768);
    cairo_line_to(cr, 0, baseY);
    for (int x = 0; x <= 1024; x += 16) {
        const double t = x / 1024.0 * 2 * PI;
        const double y = baseY - height * (0.5 + 0.3 * std::sin(t * 2 + seed) + 0.15 * std::sin(t * 5 + seed * 2.3) +
                                           0.05 * std::sin(t * 13 + seed * 0.7));
        cairo_line_to(cr, x, y);
    }
    cairo_line_to(cr, 1024, 768);
    cairo_close_path(cr);
    SetColour(cr, colour);
    cairo_fill(cr);
}

void DrawLoadingScene(cairo_t* cr, const Scene& scene, int index)
{
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, 560);
    cairo_pattern_add_color_stop_rgb(sky, 0, scene.skyTop.r, scene.skyTop.g, scene.skyTop.b);
    cairo_pattern_add_color_stop_rgb(sky, 1, scene.skyBottom.r, scene.skyBottom.g, scene.skyBottom.b);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);
    if (scene.moon) {
        // Below the title's line (its letters reach down to about y 165) and above the highest peaks (y 290).
        cairo_arc(cr, 860 - index * 40, 232, 46, 0, 2 * PI);
        cairo_set_source_rgba(cr, 0.95, 0.93, 0.85, 0.9);
        cairo_fill(cr);
    }
    Ridge(cr, 470, 180, index, scene.far);
    if (scene.snow) {
        // Snow on the far peaks: the same ridge, lighter, clipped to its upper part.
        cairo_save(cr);
        cairo_rectangle(cr, 0, 0, 1024, 380);
        cairo_clip(cr);
        Ridge(cr, 470, 180, index, {0.85, 0.88, 0.95});
        cairo_restore(cr);
        Ridge(cr, 480, 150, index, scene.far);
    }
    Ridge(cr, 560, 110, index * 3 + 1, scene.near);
    // A darker foot under the bar so the bar and its frame read clearly.
    cairo_pattern_t* foot = cairo_pattern_create_linear(0, 520, 0, 768);
    cairo_pattern_add_color_stop_rgba(foot, 0, 0, 0, 0, 0);
    cairo_pattern_add_color_stop_rgba(foot, 1, 0, 0, 0, 0.85);
    cairo_set_source(cr, foot);
    cairo_paint(cr);
    cairo_pattern_destroy(foot);

    TextStyle title;
    title.font = "Liberation Serif, DejaVu Serif, Serif Bold 64";
    title.colour = kGold;
    title.centred = true;
    Text(cr, "The Varnholt", 0, 60, 1024, title);
    TextStyle tip;
    tip.font = "Liberation Serif, DejaVu Serif, Serif Italic 20";
    tip.centred = true;
    Text(cr, scene.tip, 112, 540, 800, tip);
}

void WriteLoadingScreens(const std::filesystem::path& root)
{
    const std::filesystem::path dir = DataDirectory(root, "Textures/Screen Overlay Textures");
    for (int i = 0; i < 7; ++i)
        PaintPng(dir / ("LS" + std::to_string(i + 1) + "BG.png"), 1024, 768,
                 [i](cairo_t* cr) { DrawLoadingScene(cr, kScenes[i], i); });

    // The trough the red fill grows in.
    WriteTga(HudDirectory(root) / "LSLoadingBarBG.tga", Paint(609, 32, [](cairo_t* cr) {
                 cairo_rectangle(cr, 0, 0, 609, 32);
                 cairo_set_source_rgba(cr, 0.02, 0.02, 0.04, 0.9);
                 cairo_fill(cr);
                 cairo_rectangle(cr, 0, 0, 609, 3);
                 cairo_set_source_rgba(cr, 0, 0, 0, 1);
                 cairo_fill(cr);
             }));
    // The frame over the bar: open where the bar shows (80..689 across, 36..68 down) and solid beside it, so
    // the fill's last pixels past the trough stay under the frame.
    WriteTga(HudDirectory(root) / "LSLoadingBar.tga", Paint(764, 90, [](cairo_t* cr) {
                 Frame(cr, 0, 0, 764, 90);
                 cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
                 cairo_rectangle(cr, 82, 38, 605, 28);
                 cairo_fill(cr);
                 cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
                 SetColour(cr, kGold);
                 cairo_set_line_width(cr, 2);
                 cairo_rectangle(cr, 79, 35, 611, 34);
                 cairo_stroke(cr);
                 TextStyle label;
                 label.font = "Liberation Serif, DejaVu Serif, Serif Bold 15";
                 label.colour = kGold;
                 label.centred = true;
                 Text(cr, "Preparing the battle", 0, 10, 764, label);
             }));
}

// --- Help window ---------------------------------------------------------------------------------------------

void WriteHelpWindow(const std::filesystem::path& root)
{
    const std::filesystem::path dir = HudDirectory(root);
    WriteTga(dir / "vh_menu_help.tga", Paint(414, 437, [](cairo_t* cr) {
                 Frame(cr, 0, 0, 414, 437, 0.97);
                 // The title plate, around the title label's rectangle (340..680 on the screen, the window at
                 // 305) with room either side of the longest title, short of the close button (at 388), and the
                 // page window the text pictures fill.
                 RoundedRect(cr, 30, 16, 350, 38, 6);
                 SetColour(cr, kPanel, 1.0);
                 cairo_fill_preserve(cr);
                 SetColour(cr, kGoldDark);
                 cairo_set_line_width(cr, 2);
                 cairo_stroke(cr);
                 cairo_rectangle(cr, 13, 58, 369, 329);
                 SetColour(cr, kGoldDark);
                 cairo_set_line_width(cr, 2);
                 cairo_stroke(cr);
                 // The scroll track between the two scroll buttons.
                 cairo_rectangle(cr, 393, 75, 6, 290);
                 SetColour(cr, kPanelLight, 1.0);
                 cairo_fill(cr);
             }));
    auto arrow = [](cairo_t* cr, bool pointsUp) {
        ButtonFace(cr, 0, 0, 16, 15, false);
        SetColour(cr, kText);
        if (pointsUp) {
            cairo_move_to(cr, 8, 3);
            cairo_line_to(cr, 13, 11);
            cairo_line_to(cr, 3, 11);
        } else {
            cairo_move_to(cr, 3, 7.5);
            cairo_line_to(cr, 12, 3);
            cairo_line_to(cr, 12, 12);
        }
        cairo_close_path(cr);
        cairo_fill(cr);
    };
    // Drawn pointing left and up: the next and scroll-down buttons show them mirrored.
    WriteTga(dir / "help_next_button.tga", Paint(16, 15, [&](cairo_t* cr) { arrow(cr, false); }));
    WriteTga(dir / "help_up_button.tga", Paint(16, 15, [&](cairo_t* cr) { arrow(cr, true); }));
    WriteTga(dir / "help_close_button.tga", Paint(16, 15, [](cairo_t* cr) {
                 ButtonFace(cr, 0, 0, 16, 15, false);
                 SetColour(cr, kBlood);
                 cairo_set_line_width(cr, 2.5);
                 cairo_move_to(cr, 4.5, 4);
                 cairo_line_to(cr, 11.5, 11);
                 cairo_move_to(cr, 11.5, 4);
                 cairo_line_to(cr, 4.5, 11);
                 cairo_stroke(cr);
             }));
}

struct HelpPage {
    const char* file;
    int height; // the window shows 325 pixels of it at a time
    std::vector<std::string> sections;
};

// A section that is a heading, set in gold.
std::string H(const std::string& heading)
{
    return "#" + heading;
}

const std::vector<HelpPage>& HelpPages()
{
    static const std::vector<HelpPage> pages = {
        {"vh_menu_help_text01.png",
         1200,
         {H("The Mouse"),
          "Click a button with the left mouse button. When a command waits for a target, click the hex or the "
          "unit on the battlefield with the left button.",
          "Rest the pointer on a button to see its name, and in battle what it costs.", H("The Camera"),
          "The camera follows the unit whose turn it is.",
          "<b>W</b> and <b>S</b> zoom in and out; the mouse wheel zooms too.",
          "<b>A</b> and <b>D</b> turn the camera around the unit.",
          "Hold the <b>right mouse button</b> and drag to turn the camera.", H("Keys"),
          "<b>F1</b> shows or hides this help, on every screen but the intro and the loading screen.",
          "<b>Esc</b> cancels choosing a target for an attack.", "<b>Space</b> or <b>Esc</b> skips the intro.",
          "<b>F5</b>, <b>F6</b> and <b>F7</b> change the window to 800 x 600, 1024 x 768 and 1280 x 1024.",
          "<b>Right Alt + Enter</b> switches between window and full screen.",
          "<b>F10</b> saves a screenshot into Data/Screenshots.", H("This Window"),
          "The arrows at the bottom turn the pages; the arrows at the right scroll the page while you hold "
          "them down. The cross at the top closes the help.",
          "The page you read last stays open for the next time."}},
        {"vh_menu_help_text02.png",
         800,
         {H("The Command Bar"), "During its turn a unit is commanded with the buttons at the bottom of the screen:",
          "<b>Move</b> (5 AP): click a hex in reach to walk there.", "<b>Attack</b> (6 AP): click an enemy in reach.",
          "<b>Defend</b> (4 AP) and <b>Focus</b> (2 AP): take up the stance when the turn ends. Click again to "
          "change your mind.",
          "<b>Magic Spells</b>: opens the unit's spells. <b>Back</b> returns to the commands.",
          "<b>End Turn</b>: passes the turn on.", "A greyed button costs more than the unit has left.",
          H("Bars and Texts"),
          "The bars beside the command bar show the unit's health and mana; the text in the middle shows its "
          "action points (AP) and health (HP).",
          "Resting on a spell shows its AP and mana cost, and its description rises from below.",
          "The button at the top right returns to the main menu; Start takes you back into the battle."}},
        {"vh_menu_help_text03.png",
         750,
         {H("Choosing a Map"), "The arrows beside the map name choose the battlefield.", H("Raising an Army"),
          "Click <b>Player 1</b> or <b>Player 2</b> to deploy that side. Each side has <b>200</b> requisition.",
          "Drag a class from the roster onto a green hex of your zone to buy it. A class you cannot afford "
          "any more cannot be dragged.",
          "Drag a placed unit to another hex of your zone to move it; right-click it to send it home and get "
          "its requisition back.",
          "The window at the top right shows the class, its attributes and its spells.", H("To Battle"),
          "<b>Deploy</b> lights up once both sides have at least one unit. The camera looks over the zone of the "
          "side you are deploying."}},
        {"vh_menu_help_text04.png",
         600,
         {H("Turns"),
          "Every unit waits for its turn while its initiative counts down; the fastest units count down "
          "quickest. The first unit to reach zero acts.",
          "At the start of its turn a unit gets all its action points back.",
          "Ending a turn with every action point unspent makes the unit wait longer for its next turn.", H("Stances"),
          "A defending unit guards the hexes around it: enemies cannot walk through them, and blows against "
          "it are weakened. A focusing unit grows stronger, keener or regains mana, but takes heavier blows.",
          "A hard hit breaks either stance.", H("Victory"),
          "The battle is won when the other side has no unit left standing."}},
        {"vh_menu_help_text05.png",
         1200,
         {H("Spells That Last"),
          "Many spells change a unit for some turns. An arrow over the unit shows that a spell is working on "
          "it. When the spell runs out, the unit returns to what it was.",
          H("What Spells Change"), "<b>Health</b> and <b>Mana</b>: heal or harm, restore or drain.",
          "<b>Initiative</b>: the unit's next turn comes sooner or later.",
          "<b>Movement</b>: the unit walks farther or less far.",
          "<b>Strength</b>, <b>Agility</b> and <b>Intelligence</b>: the unit's attributes rise or fall.",
          "<b>Miss</b>: the unit's attacks miss more or less often.",
          "<b>Critical</b>: the unit strikes critical blows more or less often.",
          "<b>Action Points</b>: the unit has more or fewer action points each turn.",
          "<b>Free Passage</b>: the unit walks through hexes guarded by defenders.",
          "<b>Phalanx</b>: the unit spends its action points on a stance that hard blows cannot break.",
          "<b>Invincible</b>: a magic shield blocks every blow.", H("Mana"),
          "Spells cost mana and action points, and some can be cast only a few times in a battle. A spell "
          "that cannot be paid for is greyed."}},
    };
    return pages;
}

void WriteHelpPages(const std::filesystem::path& root)
{
    const std::filesystem::path dir = HudDirectory(root);
    for (const HelpPage& page : HelpPages()) {
        PaintPng(dir / page.file, 365, page.height, [&](cairo_t* cr) {
            cairo_set_source_rgba(cr, kPanel.r * 0.7, kPanel.g * 0.7, kPanel.b * 0.7, 1.0);
            cairo_paint(cr);
            TextStyle body;
            body.font = "Liberation Serif, DejaVu Serif, Serif 15";
            double y = 12;
            TextStyle heading;
            heading.font = "Liberation Serif, DejaVu Serif, Serif Bold 17";
            heading.colour = kGold;
            for (const std::string& section : page.sections) {
                if (section[0] == '#')
                    y += Text(cr, section.substr(1), 14, y + 6, 337, heading) + 12;
                else
                    y += Text(cr, section, 14, y, 337, body) + 10;
            }
        });
    }
}

} // namespace

void WriteUiTextures(const std::filesystem::path& root)
{
    WriteDescriptionWindow(root);
    WriteAbilityRowPictures(root);
    WriteAbilityIcons(root);
    WriteLoadingScreens(root);
    WriteHelpWindow(root);
    WriteHelpPages(root);
}
