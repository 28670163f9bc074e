#!/usr/bin/env python3
"""The driver's player, without a display: a held player gives no click and no key, and lets them through again
once the hold is lifted; the game's pace read from its log."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import varnholt_driver as vd  # noqa: E402


class HeldPlayer(unittest.TestCase):
    def setUp(self):
        self.player = vd.Player(":0", game=None, minimum_frame=0.0)
        self.sent = []
        self.player.send = lambda *args: self.sent.append(args)

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


class Pace(unittest.TestCase):
    def line(self, state, game_time):
        return "varnholt: info: session.state: %s at %.2f s" % (state, game_time)

    def test_real_seconds_a_frame_from_the_game_times_logged(self):
        lines = [(2.0, self.line("GAME_STATE_DEPLOYMENT", 2.0)),
                 (5.0, self.line("GAME_STATE_LOADING", 15.0)),
                 (11.0, "varnholt: info: session.turn: player 1 Scout at row 3 column 4"),
                 (12.5, self.line("GAME_STATE_BATTLE", 18.25)),
                 (212.5, self.line("GAME_STATE_GAME_OVER", 1518.25))]
        # Deployment: 13 s of game time, 52 frames in 3 s; loading left out; the battle: 1500 s of game time,
        # 6000 frames in 200 s. 6052 frames in 203 s.
        self.assertAlmostEqual(vd.seconds_per_frame(lines, 0.25), 203.0 / 6052.0)
        # The deployment alone: 3 s over 52 frames.
        self.assertAlmostEqual(vd.seconds_per_frame(lines[:2], 0.25), 3.0 / 52.0)
        # Loading alone tells nothing, nor does one line.
        self.assertIsNone(vd.seconds_per_frame(lines[1:4], 0.25))
        self.assertIsNone(vd.seconds_per_frame(lines[:1], 0.25))
        # Without a fixed frame time nothing can be told.
        self.assertIsNone(vd.seconds_per_frame(lines, None))


if __name__ == "__main__":
    unittest.main()
