"""How the soak's units close in on each other, by the board places the game's turn lines tell: which enemy a unit
heads for, whether its walks still bring it nearer, which way it turns off when they do not, and when the battle
as a whole has stopped moving.

The game's path search is greedy: a walk straight at an enemy behind a house or a fence runs along the wall into a
pocket, and the next walk straight at the enemy comes back to it. A unit that has not come nearer for a few of its
turns therefore walks off to one side first, and keeps to that side while the wall lasts (as one follows a wall
out of a maze), turning to the other side when that is long without gain.

Nothing here touches the game: it is fed the turn lines and tested on its own (test_approach.py).
"""

import math

# Rows and columns of the board.
ROWS, COLUMNS = 36, 42


def cube(place):
    """A hex (row, column) in cube coordinates (q, r): odd columns sit half a row further along the rows."""
    row, column = place
    return column, row - (column - (column & 1)) // 2


def hex_distance(a, b):
    """Steps from one hex to another on an open board."""
    qa, ra = cube(a)
    qb, rb = cube(b)
    dq, dr = qb - qa, rb - ra
    return (abs(dq) + abs(dr) + abs(dq + dr)) // 2


class Approach:
    """Follows the units' places turn by turn (from the game's turn lines) and tells each unit how to close in.

    patience: a unit's own turns without a new nearest distance to the enemy before it turns off to a side.
    window: turns of the whole battle without the nearest pair of enemies coming nearer than ever before, while
    they stand farther apart than reach, before the battle counts as stuck.
    close: hexes from the enemy within which a unit fights where it stands rather than walking off to a side (it
    cannot come nearer than beside the enemy, and a defender's zone holds it a hex short).
    """

    def __init__(self, patience=2, window=30, reach=6, close=2):
        self.patience = patience
        self.close = close
        self.window = window
        self.reach = reach
        self.places = {}  # (team, name): (row, column) at its last turn
        self.last_turn = {}  # (team, name): the number of the battle's turn it last had
        self.best = {}  # (team, name): the nearest it has stood to an enemy
        self.without_gain = {}  # (team, name): its turns since it came nearer than ever before
        self.distance = {}  # (team, name): hexes to the nearest enemy at its last turn
        self.nearest = []  # the nearest distance between enemies at each turn of the battle
        self.turns = 0

    def alive(self):
        """The units still in the battle: a unit that has missed three rounds of turns has fallen (a fallen unit
        gets no turn line, and its last place would draw the others to an empty hex)."""
        units = len(self.places)
        return [key for key in self.places if self.turns - self.last_turn[key] <= 3 * units]

    def enemies(self, key):
        return [self.places[other] for other in self.alive() if other[0] != key[0]]

    def target(self, key):
        """The place of the enemy nearest to the unit, or None while no enemy has had a turn."""
        here = self.places.get(key)
        enemies = self.enemies(key)
        if here is None or not enemies:
            return None
        return min(enemies, key=lambda place: hex_distance(here, place))

    def note(self, key, place):
        """A turn line: the unit (team, name) has its turn at place (row, column)."""
        self.turns += 1
        self.places[key] = place
        self.last_turn[key] = self.turns
        target = self.target(key)
        if target is not None:
            distance = hex_distance(place, target)
            self.distance[key] = distance
            if key not in self.best or distance < self.best[key]:
                self.best[key] = distance
                self.without_gain[key] = 0
            else:
                self.without_gain[key] += 1
        pairs = [hex_distance(self.places[a], self.places[b]) for a in self.alive() for b in self.alive()
                 if a[0] < b[0]]
        self.nearest.append(min(pairs) if pairs else None)

    def detour(self, key):
        """The side (+1 or -1, the angle the walk turns by off the way to the enemy, see turned) the unit turns
        off to before it heads for the enemy again, or 0 while its walks still bring it nearer or it stands close
        to the enemy. A unit keeps to one side for two of its turns without gain, then to the other for four, then
        back for eight, and so on."""
        stalled = self.without_gain.get(key, 0) - self.patience
        if stalled < 0 or self.distance.get(key, 0) <= self.close:
            return 0
        side, length = 1, 2
        while stalled >= length:
            stalled -= length
            side, length = -side, 2 * length
        return side

    def stuck(self):
        """A description of the stall when the nearest enemies have come no nearer than ever before for the
        window's turns and stand out of each other's reach; else None."""
        recent = [d for d in self.nearest[-self.window:] if d is not None]
        earlier = [d for d in self.nearest[:-self.window] if d is not None]
        if len(self.nearest) < self.window or not recent or not earlier:
            return None
        if min(recent) < min(earlier) or min(recent) <= self.reach:
            return None
        units = ", ".join("player %d %s at row %d column %d (%s)" % (
            team + 1, name, row, column,
            "nearest %d hexes" % self.best[(team, name)] if (team, name) in self.best else "no enemy seen")
            for (team, name), (row, column) in sorted(self.places.items()) if (team, name) in self.alive())
        return "no unit came nearer its enemy than %d hexes in %d turns: %s" % (min(earlier), self.window, units)


def turned(direction, angle):
    """A screen direction (x right, y down) turned by angle radians; positive turns from right towards down."""
    c, s = math.cos(angle), math.sin(angle)
    return direction[0] * c - direction[1] * s, direction[0] * s + direction[1] * c
