#!/usr/bin/env python3
"""The driver's player, without a display: a held player gives no click and no key, and lets them through again
once the hold is lifted."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import varnholt_driver as vd  # noqa: E402


class HeldPlayer(unittest.TestCase):
    def setUp(self):
        self.player = vd.Player(":0", game=None, minimum_frame=0.0)
        self.sent = []
        self.player.xdotool = lambda *args: self.sent.append(args)

    def test_clicks_and_keys_pass_while_nothing_holds(self):
        self.player.click(10, 20, frames=0)
        self.player.key("Escape", frames=0)
        self.assertEqual(self.sent, [("mousemove", 10, 20), ("click", 1), ("key", "Escape")])

    def test_a_battle_over_holds_every_click_and_key(self):
        over = [False]
        self.player.hold = lambda: over[0]
        self.player.click(483, 734, frames=0)  # Defend, while the battle lasts
        over[0] = True
        self.player.click(531, 734, frames=0)  # Focus, once it has ended: where the end page's Quit is
        self.player.key("Escape", frames=0)
        self.assertEqual(self.sent, [("mousemove", 483, 734), ("click", 1)])
        self.player.hold = None
        self.player.click(511, 704, frames=0)  # Rematch, on the end page
        self.assertEqual(self.sent[2:], [("mousemove", 511, 704), ("click", 1)])

    def test_the_battle_ending_between_the_move_and_the_click_holds_the_click(self):
        answers = iter([False, True])
        self.player.hold = lambda: next(answers)
        self.player.click(531, 734, frames=0)
        self.assertEqual(self.sent, [("mousemove", 531, 734)])


if __name__ == "__main__":
    unittest.main()
