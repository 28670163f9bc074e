#!/usr/bin/env python3
"""The soak's choice of where its units walk, without the game: distances on the board, the side a unit that no
longer comes nearer turns off to, fallen units, and the stall that fails a battle."""

import math
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from approach import Approach, hex_distance, turned  # noqa: E402

P1, P2 = 0, 1


class HexDistance(unittest.TestCase):
    def test_neighbours_are_one_step(self):
        # An even column's diagonal neighbours lie a row back, an odd column's a row on.
        for place in [(10, 10), (10, 11)]:
            row, column = place
            if column % 2 == 0:
                around = [(row + 1, column), (row - 1, column), (row, column + 1), (row, column - 1),
                          (row - 1, column + 1), (row - 1, column - 1)]
                beyond = [(row + 1, column + 1), (row + 1, column - 1)]
            else:
                around = [(row + 1, column), (row - 1, column), (row, column + 1), (row, column - 1),
                          (row + 1, column - 1), (row + 1, column + 1)]
                beyond = [(row - 1, column + 1), (row - 1, column - 1)]
            for other in around:
                self.assertEqual(hex_distance(place, other), 1, (place, other))
            for other in beyond:
                self.assertEqual(hex_distance(place, other), 2, (place, other))
        self.assertEqual(hex_distance((5, 5), (5, 5)), 0)

    def test_far_places(self):
        # Twenty columns allow ten rows of drift either way, so three rows cost nothing more.
        self.assertEqual(hex_distance((19, 21), (16, 41)), 20)
        self.assertEqual(hex_distance((16, 41), (19, 21)), 20)
        # Along one column, one step a row.
        self.assertEqual(hex_distance((0, 7), (35, 7)), 35)
        # Two columns give one row of drift: from (0, 0) to (5, 2) is 2 + 4.
        self.assertEqual(hex_distance((0, 0), (5, 2)), 6)
        # Corner to corner: 41 columns allow 20 rows back (the odd end a row on), leaving 15 of the 35.
        self.assertEqual(hex_distance((0, 0), (35, 41)), 56)


class Detour(unittest.TestCase):
    def test_a_unit_that_comes_nearer_walks_straight(self):
        approach = Approach(patience=2)
        approach.note((P2, "Knight"), (16, 40))
        for column in range(2, 12, 2):
            approach.note((P1, "Militia"), (19, column))
            self.assertEqual(approach.detour((P1, "Militia")), 0)
            approach.note((P2, "Knight"), (16, 40))
        self.assertEqual(approach.target((P1, "Militia")), (16, 40))

    def test_a_stalled_unit_keeps_to_a_side_then_the_other_for_longer(self):
        approach = Approach(patience=2)
        approach.note((P2, "Knight"), (16, 41))
        sides = []
        for _ in range(12):
            approach.note((P1, "Militia"), (19, 22))
            sides.append(approach.detour((P1, "Militia")))
            approach.note((P2, "Knight"), (16, 41))
        # Turns 1 and 2 set the nearest distance and wait; then two turns to one side, four to the other, eight back.
        self.assertEqual(sides, [0, 0, 1, 1, -1, -1, -1, -1, 1, 1, 1, 1])
        # The knight stood still too: its first turn with an enemy known set its nearest, eleven more gained
        # nothing: two turns to one side, four to the other, and the fifth of eight back.
        self.assertEqual(approach.detour((P2, "Knight")), 1)
        # A walk that brings the militia nearer than ever ends its detour.
        approach.note((P1, "Militia"), (18, 26))
        self.assertEqual(approach.detour((P1, "Militia")), 0)

    def test_a_step_back_is_no_gain(self):
        approach = Approach(patience=1)
        approach.note((P2, "Scout"), (10, 30))
        approach.note((P1, "Scout"), (10, 20))   # 10 hexes: the best
        approach.note((P1, "Scout"), (10, 18))   # 12: no gain
        self.assertEqual(approach.detour((P1, "Scout")), 1)
        approach.note((P1, "Scout"), (10, 21))   # 9: a new best
        self.assertEqual(approach.detour((P1, "Scout")), 0)

    def test_a_unit_beside_its_enemy_fights_where_it_stands(self):
        approach = Approach(patience=1, close=2)
        approach.note((P2, "Knight"), (10, 21))
        for place in [(10, 20)] * 4 + [(12, 20)] * 3:  # beside the knight, then two hexes away
            approach.note((P1, "Militia"), place)
            self.assertEqual(approach.detour((P1, "Militia")), 0)
            approach.note((P2, "Knight"), (10, 21))
        # Three hexes away: seven turns without gain since it stood beside the knight; past the patience of one,
        # two turns to one side, four to the other, and the first of eight back.
        approach.note((P1, "Militia"), (13, 20))
        self.assertEqual(approach.detour((P1, "Militia")), 1)

    def test_turned(self):
        x, y = turned((1.0, 0.0), math.pi / 2)
        self.assertAlmostEqual(x, 0.0)
        self.assertAlmostEqual(y, 1.0)
        x, y = turned((0.6, 0.8), -math.pi)
        self.assertAlmostEqual(x, -0.6)
        self.assertAlmostEqual(y, -0.8)


class FallenUnits(unittest.TestCase):
    def test_a_unit_without_turns_is_no_longer_a_target(self):
        approach = Approach()
        approach.note((P2, "Archer"), (10, 30))
        approach.note((P2, "Knight"), (20, 40))
        approach.note((P1, "Mage"), (10, 25))
        self.assertEqual(approach.target((P1, "Mage")), (10, 30))
        # The archer falls: only the knight and the mage have turns. Three units, so nine turns after its last
        # (turn 1) it is gone: at turn 11.
        for turn in range(4, 12):
            if turn % 2:
                approach.note((P2, "Knight"), (20, 40))
            else:
                approach.note((P1, "Mage"), (10, 25))
            expected = (10, 30) if turn <= 10 else (20, 40)
            self.assertEqual(approach.target((P1, "Mage")), expected, turn)
        self.assertEqual(sorted(approach.alive()), [(P1, "Mage"), (P2, "Knight")])

    def test_no_target_before_an_enemy_had_a_turn(self):
        approach = Approach()
        approach.note((P1, "Mage"), (10, 2))
        self.assertIsNone(approach.target((P1, "Mage")))
        self.assertEqual(approach.detour((P1, "Mage")), 0)


class Stuck(unittest.TestCase):
    def play(self, approach, militia_columns):
        for column in militia_columns:
            approach.note((P1, "Militia"), (19, column))
            approach.note((P2, "Knight"), (16, 41))

    def test_a_battle_that_stops_coming_nearer_is_stuck(self):
        approach = Approach(window=6, reach=6)
        # 39, 35, 31, 27, 23, 19 hexes (each militia turn and the knight's after it), then back and forth
        # between 19 and 20 hexes.
        self.play(approach, [2, 6, 10, 14, 18, 22])
        self.assertIsNone(approach.stuck())
        self.play(approach, [21, 22])
        self.assertIsNone(approach.stuck())  # the window still holds the walk to 19
        self.play(approach, [21])
        text = approach.stuck()
        self.assertIsNotNone(text)
        self.assertIn("than 19 hexes in 6 turns", text)
        self.assertIn("player 1 Militia at row 19 column 21", text)
        self.assertIn("player 2 Knight at row 16 column 41", text)

    def test_enemies_in_reach_are_not_stuck(self):
        approach = Approach(window=4, reach=6)
        self.play(approach, [33, 35, 35, 35, 35, 35, 35])  # 6 hexes from turn 3 on
        self.assertIsNone(approach.stuck())

    def test_a_new_nearest_is_progress(self):
        approach = Approach(window=4, reach=2)
        self.play(approach, [10, 12, 11, 12, 11, 13])  # 31, 29, 30, 29, 30, 28 hexes
        self.assertIsNone(approach.stuck())


if __name__ == "__main__":
    unittest.main()
