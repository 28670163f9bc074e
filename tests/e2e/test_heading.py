#!/usr/bin/env python3
"""The soak's sense of which way on the screen is which way on the board, without the game: one walk's reading,
the reading of many when some are wrong, the way back from the board to the screen, and which red places can be
the enemy."""

import math
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from heading import Heading, angle_of, sighting_fits, wrap  # noqa: E402

SQUASH = 2.0  # a round number for the tests: the screen's vertical stands for twice the board


def board_for(screen, heading):
    """The board displacement (of 400 units) a walk along a screen direction makes under a camera heading, by the
    model: right stays, up is stretched by the squash, then both turn by the heading."""
    ux, uy = screen[0], -screen[1] * SQUASH
    c, s = math.cos(heading), math.sin(heading)
    wx, wz = ux * c - uy * s, ux * s + uy * c
    norm = math.hypot(wx, wz)
    return 400 * wx / norm, 400 * wz / norm


class OneWalk(unittest.TestCase):
    def test_a_walk_to_the_right_tells_the_turn_of_the_rows(self):
        # The camera looks along +z (heading 0): screen right is board +x.
        self.assertAlmostEqual(angle_of((1, 0), (300, 0), SQUASH), 0.0)
        # Board +z for screen right: the view is turned a quarter to the left.
        self.assertAlmostEqual(angle_of((1, 0), (0, 300), SQUASH), math.pi / 2)
        # Screen up (y < 0) along board -x: a quarter the other way round.
        self.assertAlmostEqual(angle_of((0, -1), (-300, 0), SQUASH), math.pi / 2)

    def test_the_slant_is_taken_out(self):
        # With the squash, a walk to the screen's upper right (45 degrees on the screen) goes along
        # (1, 2) / sqrt(5) on the board when the heading is 0: atan(2) = 63.4 degrees from the rows.
        self.assertAlmostEqual(angle_of((1, -1), (100, 200), SQUASH), 0.0)
        # Read without the squash the same walk tells a heading of 63.4 - 45 = 18.4 degrees.
        self.assertAlmostEqual(math.degrees(angle_of((1, -1), (100, 200), 1.0)), 18.435, places=2)

    def test_wrap(self):
        self.assertAlmostEqual(wrap(3 * math.pi / 2), -math.pi / 2)
        self.assertAlmostEqual(wrap(-3 * math.pi / 2), math.pi / 2)
        self.assertAlmostEqual(wrap(math.pi), math.pi)
        self.assertAlmostEqual(wrap(2 * math.pi + 0.25), 0.25)


class ManyWalks(unittest.TestCase):
    def heading(self, **kwargs):
        return Heading(squash=SQUASH, **kwargs)

    def test_nothing_known_before_a_walk(self):
        self.assertIsNone(self.heading().angle())
        self.assertIsNone(self.heading().screen_towards((0, 100)))
        self.assertAlmostEqual(self.heading(prior=1.0).angle(), 1.0)

    def test_short_walks_and_no_direction_measure_nothing(self):
        heading = self.heading(minimum=160)
        self.assertFalse(heading.note((1, 0), (110, 0)))  # one hex
        self.assertFalse(heading.note((0, 0), (400, 0)))
        self.assertIsNone(heading.angle())
        self.assertTrue(heading.note((1, 0), (221, 0)))  # two hexes
        self.assertAlmostEqual(heading.angle(), 0.0)

    def test_walks_across_the_view_agree_under_a_fixed_heading(self):
        heading = self.heading()
        truth = math.radians(-110.0)
        for screen in [(1, 0), (0.6, 0.8), (-0.2, -1), (-1, 0.1), (0.7, -0.7)]:
            heading.note(screen, board_for(screen, truth))
        self.assertAlmostEqual(heading.angle(), truth)
        self.assertEqual(heading.outliers(), [])

    def test_wrong_walks_are_left_out(self):
        # Three good walks at 40 degrees and two wrong ones (a unit pushed back, a walk measured from the wrong
        # place) at 150 and 160 degrees: the mean of all five unit vectors points at 79.9 degrees (sines 2.770,
        # cosines 0.492), 40 off the mark; the heading keeps to 40.
        heading = self.heading()
        truth = math.radians(40.0)
        walks = [((1, 0), truth), ((0, 1), math.radians(150.0)), ((0.6, -0.8), truth),
                 ((-1, 0), math.radians(160.0)), ((0.3, 0.95), truth)]
        for screen, angle in walks:
            heading.note(screen, board_for(screen, angle))
        self.assertAlmostEqual(math.degrees(heading.angle()), 40.0)
        self.assertEqual(sorted(round(math.degrees(a)) for a in heading.outliers()), [150, 160])

    def test_readings_near_the_half_turn_are_averaged_across_it(self):
        heading = self.heading()
        for degrees in (175.0, -175.0, 179.0):
            heading.note((1, 0), board_for((1, 0), math.radians(degrees)))
        self.assertAlmostEqual(abs(math.degrees(heading.angle())), 179.667, places=2)

    def test_only_the_latest_walks_count(self):
        # The old readings scatter; the last three agree: with keep 3 only they are left.
        heading = self.heading(keep=3)
        for degrees in (0.0, 90.0, -60.0, 20.0, 22.0, 24.0):
            heading.note((1, 0), board_for((1, 0), math.radians(degrees)))
        self.assertAlmostEqual(math.degrees(heading.angle()), 22.0)
        heading.forget()
        self.assertIsNone(heading.angle())

    def test_two_readings_that_disagree_go_with_the_prior_then_the_latest(self):
        heading = self.heading(prior=math.radians(10.0))
        heading.note((1, 0), board_for((1, 0), math.radians(100.0)))
        heading.note((1, 0), board_for((1, 0), math.radians(20.0)))
        # 20 and the prior (10, half a vote) agree: their weighted mean, (20 + 0.5 * 10) / 1.5 near enough.
        self.assertAlmostEqual(math.degrees(heading.angle()), 16.67, places=1)
        no_prior = self.heading()
        no_prior.note((1, 0), board_for((1, 0), math.radians(100.0)))
        no_prior.note((1, 0), board_for((1, 0), math.radians(20.0)))
        self.assertAlmostEqual(math.degrees(no_prior.angle()), 20.0)

    def test_screen_towards_walks_the_board_direction(self):
        heading = self.heading()
        truth = math.radians(65.0)
        heading.note((1, 0), board_for((1, 0), truth))
        for board in [(0, 1), (1, 0), (-3, 4), (5, -1)]:
            screen = heading.screen_towards(board)
            self.assertAlmostEqual(math.hypot(*screen), 1.0)
            there = board_for(screen, truth)
            norm = math.hypot(*board)
            self.assertAlmostEqual(there[0] / 400, board[0] / norm)
            self.assertAlmostEqual(there[1] / 400, board[1] / norm)
        # Heading 0: board +z is straight up the screen, +x to the right.
        flat = self.heading(prior=0.0)
        self.assertEqual(tuple(round(v, 6) for v in flat.screen_towards((0, 5))), (0.0, -1.0))
        self.assertEqual(tuple(round(v, 6) for v in flat.screen_towards((5, 0))), (1.0, 0.0))


class Sightings(unittest.TestCase):
    def test_the_units_own_figure_is_not_the_enemy(self):
        # Red of a tunic just above the feet: never, however near the enemy is said to be.
        self.assertFalse(sighting_fits((2, -20), None))
        self.assertFalse(sighting_fits((-10, -60), 1.0))
        # Beside the feet, on the ground, at a hex: it can be.
        self.assertTrue(sighting_fits((45, 5), 1.0))
        self.assertTrue(sighting_fits((0, 30), 1.0))

    def test_a_far_enemy_is_not_seen_near(self):
        # 33 hexes away: it may have come 16 nearer, and even then 17 hexes span 238 pixels at least.
        self.assertFalse(sighting_fits((40, 20), 33.0))
        self.assertFalse(sighting_fits((200, 100), 33.0))  # 224 pixels
        self.assertTrue(sighting_fits((230, 70), 33.0))  # 240 pixels
        # Within the steps it may have come, anything off the figure.
        self.assertTrue(sighting_fits((40, 20), 16.0))

    def test_a_far_enemy_lies_about_the_way_the_heading_tells(self):
        # 24 hexes away, told to lie to the lower right (0.67, 0.75): red 185 pixels to the left is not it.
        self.assertTrue(sighting_fits((-168, 78), 24.0))
        self.assertFalse(sighting_fits((-168, 78), 24.0, expected=(0.67, 0.75)))
        # 55 degrees off the way told: still it (the enemy may have walked since); 65 degrees off: not.
        for degrees, fits in ((55, True), (65, False), (-55, True), (-65, False)):
            angle = math.atan2(0.75, 0.67) + math.radians(degrees)
            offset = (300 * math.cos(angle), 300 * math.sin(angle))
            self.assertEqual(sighting_fits(offset, 24.0, expected=(0.67, 0.75)), fits, degrees)
        # Within twenty hexes the enemy, which may have walked a whole turn since, may stand any way round.
        self.assertTrue(sighting_fits((-168, 78), 18.0, expected=(0.67, 0.75)))
        self.assertTrue(sighting_fits((-60, 20), 3.0, expected=(0.67, 0.75)))

    def test_a_near_enemy_is_not_seen_far(self):
        # Two hexes away: at most 150 pixels a hex, and one hex more.
        self.assertTrue(sighting_fits((440, 0), 2.0))
        self.assertFalse(sighting_fits((460, 0), 2.0))


if __name__ == "__main__":
    unittest.main()
