"""Where the game's screens put their widgets on a 1024 x 768 back buffer (x, y, width, height), worked out by
hand from the front end's placement rules, and the points a player clicks."""

import varnholt_driver as vd

W, H = vd.WIDTH, vd.HEIGHT
MAIN_MENU = {
    "Start": (W // 2 - 74, H // 2 - 129, 149, 61),
    "Help": (W // 2 - 70, H // 2 - 71, 142, 53),
    "Options": (W // 2 - 71, H // 2 - 11, 143, 56),
    "Quit": (W // 2 - 74, H // 2 + 43, 149, 51),
}
OPTIONS = {
    "800 x 600": MAIN_MENU["Start"],
    "1024 x 768": MAIN_MENU["Help"],
    "1280 x 1024": MAIN_MENU["Options"],
    "Back": MAIN_MENU["Quit"],
}
HELP_BACKDROP = (305, 101, 414, 437)
HELP_PAGE = (320, 161, 365, 325)
HELP_TITLE = (375, 121, 300, 32)
HELP_BUTTONS = {
    "next": (533, 509, 16, 15),
    "previous": (470, 509, 16, 15),
    "scroll down": (693, 469, 16, 15),
    "scroll up": (693, 157, 16, 15),
    "close": (693, 114, 16, 15),
}
HELP_LABEL = (470, 10, 76, 18)  # "F1 For Help", 16-pixel type at (470, 10)


def roster_box(k):
    """Roster entry k: three rows of 25-, 50- and 75-point classes."""
    if k < 3:
        return 190 + 108 * k, 30
    if k < 8:
        return 90 + 108 * (k - 3), 128
    return 65 + 108 * (k - 8), 227


CLASSES = ["Militia", "Scout", "Mage", "Pikeman", "Archer", "Rogue", "Healer", "CombatMage", "Knight", "Paladin",
           "Assassin"]
CLASS_BUTTONS = {name: (roster_box(k)[0] + 16, roster_box(k)[1] + 16, 64, 77) for k, name in enumerate(CLASSES)}
DEPLOYMENT = {
    "left arrow": (400, 310, 61, 41),
    "right arrow": (545, 310, 61, 41),
    "Deploy": (322, H - 79, 128, 79),
    "Back": (W - 156, H - 65, 128, 57),
    "Player 1": (27, 33, 121, 28),
    "Player 2": (27, 74, 121, 28),
}
SCENE_WINDOW = (62, 359, 647, 385)
INFO_WINDOW = (613, 14, 405, 437)
PREVIEW = (765, 40, 212, 160)
LEVEL_NAME = (190, 358, 400, 35)
REQUISITION = (750, 600, 250, 80)
# The number alone, centred under its label: two players' numbers differ in a few strokes, which the whole label's
# mean difference can hide (175 against 200 stays near the threshold).
REQUISITION_NUMBER = (795, 626, 80, 36)
LOADING_FRAME = ((W - 764) // 2, 600, 764, 90)
LOADING_BAR_START = (W - 764) // 2 + 80

# Which sides of each widget are background rather than a neighbour.
SIDES = {"Start": "lr", "Help": "lr", "Options": "lr", "Quit": "lrb"}

# The end of the game.
END_BACKDROP = (62, 355, 906, 385)
END_TEXT = (W // 2 - 128, 400, 255, 255)
END_OF_GAME = {
    "Rematch": (451, 690, 121, 28),
    "Quit": (451, 731, 121, 28),
}

# The battle HUD, laid out from A = W / 2 - 400 and B = H - 160.
HUD_A, HUD_B = W // 2 - 400, H - 160
HUD_FRAME = (HUD_A, HUD_B, 800, 163)
ACTIONS = {name: (x, H - 58, 43, 49) for name, x in
           [("Move", 366), ("Attack", 414), ("Defend", 462), ("Focus", 510), ("Magic Spells", 558), ("End Turn", 606)]}
ABILITIES = [(HUD_A + 255 + 48 * i, H - 58, 43, 49) for i in range(5)]
ABILITY_BACK = (HUD_A + 255 + 240, H - 58, 43, 49)
HUD_MAIN_MENU = (917, -2, 89, 52)
HEALTH_FRAME = (HUD_A + 9, HUD_B + 75, 190, 88)
MANA_FRAME = (HUD_A + 602, HUD_B + 75, 190, 88)
# The description box risen above the HUD (its lower part stays behind the HUD).
DESCRIPTION = (346, 310, 336, 280)
# The end page's statistics: four rows 71 pixels apart from y 408, each side's numbers centred under its name
# plate (x 262 and 717), the first player's in blue, the second's in red.
END_STATISTICS = [(242, 408 + 71 * row, 40, 22) for row in range(4)] + \
                 [(697, 408 + 71 * row, 40, 22) for row in range(4)]
