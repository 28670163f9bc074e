#!/usr/bin/env python3
"""The battle commander's search for the enemy in reach, on pictures made up for it (no game): the hex of an enemy
in reach is its side's mark drawn brighter, so the first side looks for red and the second for blue; the bars
over a unit are not a target; a unit's own figure is not its enemy."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import battle  # noqa: E402
import varnholt_driver as vd  # noqa: E402

SNOW = (200, 205, 215)
BLUE_MARK = (72, 97, 154)  # the first side's hex under a unit
BLUE_IN_REACH = (51, 94, 201)  # the same hex in reach of the second side's attack
RED_MARK = (140, 70, 60)
RED_IN_REACH = (215, 60, 50)


def picture(*areas):
    """A board of snow with rectangles (x, y, w, h, colour) painted on it, in order."""
    rgb = bytearray(SNOW * (vd.WIDTH * vd.HEIGHT))
    for x, y, w, h, colour in areas:
        for yy in range(y, y + h):
            start = (yy * vd.WIDTH + x) * 3
            rgb[start:start + w * 3] = bytes(colour) * w
    return vd.Image(vd.WIDTH, vd.HEIGHT, bytes(rgb))


class FakePlayer:
    def __init__(self):
        self.clicks = []
        self.keys = []
        self.frame = 0.0

    def click(self, x, y, frames=3):
        self.clicks.append((x, y))

    def move(self, x, y, frames=3):
        pass

    def key(self, name, frames=3):
        self.keys.append(name)

    def settle(self, frames=3):
        pass


def commander(team):
    player = FakePlayer()
    chief = battle.Commander(game=None, player=player, camera=None, timeout=1.0, turn_timeout=1.0)
    chief.team = team
    chief.wait_still = lambda timeout=5.0: None
    return chief, player


# An enemy's hex beside the unit (the unit stands at 512, 420): 64 x 32 pixels to its upper right.
HEX = (552, 372, 64, 32)


class EnemyInReach(unittest.TestCase):
    def strike(self, team, mark, lit, extra=()):
        chief, player = commander(team)
        before = picture((*HEX, mark), *extra)
        after = picture((*HEX, lit), *extra)
        cells = chief.lit_cells(before, after, after, tint=battle.target_tint(team))
        struck = chief.strike_lit(before, cells, "attack")
        return struck, player

    def test_the_second_side_strikes_a_blue_hex_lit_brighter(self):
        struck, player = self.strike(1, BLUE_MARK, BLUE_IN_REACH)
        self.assertTrue(struck)
        # The middle of the lit cells. Samples every 4 pixels: across, x 552-612 falls in cells 34 to 38; down,
        # y 372-400 in cells 23 (three rows of samples), 24 (four) and 25 (one). A cell counts with the change of
        # four samples (23.7 each here): row 25 only in the cells 35 to 37 (four samples, where 34 and 38 have
        # two). 13 cells: x (5 * 36 + 5 * 36 + 3 * 36) * 16 // 13 + 8 = 584, y (5 * 23 + 5 * 24 + 3 * 25) * 16 // 13
        # + 8 = 389.
        self.assertEqual(player.clicks, [(584, 389)])
        self.assertEqual(player.keys, [])

    def test_the_first_side_strikes_a_red_hex_lit_brighter(self):
        struck, player = self.strike(0, RED_MARK, RED_IN_REACH)
        self.assertTrue(struck)
        self.assertEqual(player.clicks, [(584, 389)])

    def test_a_side_does_not_take_its_own_colour_for_a_target(self):
        # The first side looks for red: a blue hex lit brighter (one of its own, when a spell of its own is
        # aimed) is nothing to strike, and the command is taken back.
        struck, player = self.strike(0, BLUE_MARK, BLUE_IN_REACH)
        self.assertFalse(struck)
        self.assertEqual(player.clicks, [])
        self.assertEqual(player.keys, ["Escape"])
        struck, player = self.strike(1, RED_MARK, RED_IN_REACH)
        self.assertFalse(struck)

    def test_the_bars_over_a_unit_are_no_target(self):
        # The unit's health bar (red over blue, 32 x 8 pixels, above its head) changes when Attack is chosen.
        chief, player = commander(0)
        bars = [(496, 330, 32, 4, (200, 30, 30)), (496, 334, 32, 4, (30, 40, 200))]
        before = picture(*bars)
        after = picture((496, 330, 32, 4, (250, 40, 30)), bars[1])
        cells = chief.lit_cells(before, after, after, tint=battle.target_tint(0))
        self.assertTrue(cells)  # the bar did change, in a red that passes for a target's
        self.assertFalse(chief.strike_lit(before, cells, "attack"))
        self.assertEqual(player.clicks, [])


class UnitOnScreen(unittest.TestCase):
    BAR = [(496, 333, 32, 5, (235, 52, 42)), (496, 338, 32, 5, (53, 116, 253))]

    def test_the_health_bar_is_not_the_ring(self):
        # The second side's ring is dim over grass and not found; the bar over the unit's head, the nearest red
        # to the middle of the view, is no ring either.
        chief, _ = commander(1)
        grass = (78, 113, 38)
        image = picture((0, 60, vd.WIDTH, 600, grass), (470, 410, 84, 20, (93, 76, 29)), *self.BAR)
        self.assertIsNone(chief.find_unit(image, 1, found_only=True))
        self.assertEqual(chief.find_unit(image, 1), battle.UNIT_ON_SCREEN)

    def test_a_bright_ring_is_found_under_its_bar(self):
        # On snow the ring is bright: a band 80 x 12 pixels at 472-551 across and 414-425 down. Its samples (every
        # 3 pixels from 312 and 250: x 474 to 549, y 415 to 424) fall in cells 29 to 34 across and 25 to 26 down,
        # whose middle is (31.5 * 16 + 8, 25.5 * 16 + 8); the bar's blob is left out.
        chief, _ = commander(1)
        image = picture((472, 414, 80, 12, (200, 60, 60)), *self.BAR)
        self.assertEqual(chief.find_unit(image, 1, found_only=True), (512, 416))


class OwnFigure(unittest.TestCase):
    def test_a_red_tunic_over_the_units_feet_is_not_the_enemy(self):
        chief, _ = commander(0)
        here = (512, 420)
        # A red tunic 24 x 40 pixels just above the feet, and the enemy's red hex far off to the left.
        image = picture((500, 370, 24, 40, (180, 40, 40)), (150, 300, 64, 32, (180, 40, 40)))
        # The hex's samples fall in cells 9 to 13 across and 18 to 20 down: the middle of the 15 cells is
        # (11 * 16 + 8, 19 * 16 + 8).
        self.assertEqual(chief.find_enemy(image, 0, here, hexes=8.0), (184, 312))
        # Told the enemy is 50 hexes away (at least 34 after a turn's walks), the hex 345 pixels off cannot be it.
        self.assertIsNone(chief.find_enemy(image, 0, here, hexes=50.0))
        # Without the hex, the tunic alone is not taken for the enemy.
        tunic = picture((500, 370, 24, 40, (180, 40, 40)))
        self.assertIsNone(chief.find_enemy(tunic, 0, here, hexes=1.0))


if __name__ == "__main__":
    unittest.main()
