"""Commanding a battle from outside: the turns are read from the game's log ("session.turn: player P at row R
column C"), commands are given on the HUD's buttons and targets clicked on the board.

The test cannot see where a hex is on the screen, so it learns it: the camera follows the unit whose turn it is
and keeps its heading from turn to turn, so a click in a given direction from the unit walks it in a fixed
direction on the board. Each walk is measured by where the unit stands at its next turn; two walks in different
directions give the map from directions on the screen to directions on the board, and from then on the walker
heads for the enemy. A unit in reach of an enemy is found the way a player finds it: Attack lights up the
enemies in reach, and the lit place is clicked.
"""

import math
import re
import time

import screens as S
import varnholt_driver as vd
from varnholt_driver import centre

W, H = vd.WIDTH, vd.HEIGHT

TURN_LINE = re.compile(r"player (\d) (.+) at row (\d+) column (\d+)$")

# Board geometry: hex side 64; rows run along x, columns along z.
K = 55.42562484741211
MELEE_REACH = 112.0
# Where the board can be clicked: under the top bar and the main-menu button, above the HUD.
BOARD = (0, 60, W, S.HUD_B - 70)
# The unit whose turn it is stands a little below the middle of the screen (the camera aims above its feet).
UNIT_ON_SCREEN = (W // 2, 420)
WALK_CLICK_RADIUS = 170
# Where the pointer rests while the board is photographed: on the HUD's frame, so that no hex under it lights up.
REST = (230, 650)


def ground(row, column):
    """A hex's place on the board (x, z) in world units, up to a constant."""
    return ((2 * row + (column & 1)) * K, 96.0 * column)


def distance(a, b):
    return math.hypot(a[0] - b[0], a[1] - b[1])


class Turn:
    def __init__(self, team, name, row, column, mark):
        self.team = team
        self.name = name
        self.row = row
        self.column = column
        self.mark = mark  # the log mark just after the turn's line

    @property
    def place(self):
        return ground(self.row, self.column)


class Commander:
    """Gives commands on the HUD for the unit whose turn it is."""

    def __init__(self, game, player, camera, timeout, turn_timeout, rng=None):
        self.turn_timeout = turn_timeout
        self.game = game
        self.player = player
        self.camera = camera
        self.timeout = timeout
        self.rng = rng
        self.turns_seen = 0
        # Learning the screen-to-board map: (screen direction, board displacement) of earlier walks.
        self.walks = []
        self.pending_walks = {}  # unit name: (its place before, screen direction) until its next turn
        self.attacks = 0

    # The turns.
    def turns(self):
        found = []
        with self.game.lock:
            lines = list(self.game.lines)
        for index, (_, text) in enumerate(lines):
            match = vd.LOG_LINE.match(text)
            if match and match.group(2) == "session.turn":
                turn = TURN_LINE.match(match.group(3))
                if turn:
                    found.append(Turn(int(turn.group(1)) - 1, turn.group(2), int(turn.group(3)),
                                      int(turn.group(4)), index + 1))
        return found

    def wait_turn(self, timeout):
        """Waits for a turn not handled yet, or the end of the battle; returns the turn or None."""
        deadline = time.monotonic() + timeout
        while True:
            turns = self.turns()
            if len(turns) > self.turns_seen:
                self.turns_seen += 1
                return turns[self.turns_seen - 1]
            if "GAME_STATE_GAME_OVER" in self.game.events("session.state"):
                return None
            if self.game.process.poll() is not None:
                raise vd.DriverError("the game ended during the battle (status %s)" % self.game.process.returncode)
            if time.monotonic() > deadline:
                raise vd.DriverError("no new turn within %.0f s; last state %s" % (timeout, self.game.state()))
            time.sleep(0.2)

    def end_turn(self, timeout=None):
        """End Turn, again until the next turn comes: the game lets a turn end at most once in 1.5 s of game
        time, so a click right after the last turn change is not heard."""
        deadline = time.monotonic() + (timeout or self.turn_timeout)
        while time.monotonic() < deadline:
            self.player.click(*centre(S.ACTIONS["End Turn"]), frames=0)
            wait_until = time.monotonic() + max(2.0, self.player.frame * 12)
            while time.monotonic() < wait_until:
                if len(self.turns()) > self.turns_seen or "GAME_STATE_GAME_OVER" in self.game.events("session.state"):
                    return
                time.sleep(0.2)
            # Off the button and back: a second click on a button that never saw the pointer leave is still a
            # click, but the move keeps the pointer's hover from hiding what happens.
            self.player.move(*REST, frames=1)
        raise vd.DriverError("End Turn did not end the turn within %.0f s" % (timeout or self.turn_timeout))

    # Finding things on the board by what lights up.
    def lit_places(self, before, after):
        """Places on the board that changed between two pictures, in cells of 16 pixels, biggest first. Single
        changed dots (embers drifting over the farm) are not places."""
        cells = {}
        x0, y0, w, h = BOARD
        for y in range(y0, y0 + h, 4):
            for x in range(x0, x0 + w, 4):
                if vd.colour_distance(before.pixel(x, y), after.pixel(x, y)) > 30.0:
                    key = (x // 16, y // 16)
                    cells[key] = cells.get(key, 0) + 1
        strong = [(count, key) for key, count in cells.items() if count >= 5]
        strong.sort(reverse=True)
        return [(key[0] * 16 + 8, key[1] * 16 + 8) for _, key in strong]

    def attack_in_reach(self):
        """Attack: when an enemy lights up as in reach, clicks it and returns True; otherwise withdraws the
        command and returns False."""
        self.player.move(*REST, frames=1)
        before = self.camera.shoot()
        self.player.click(*centre(S.ACTIONS["Attack"]), frames=3)
        self.player.move(*REST, frames=2)
        after = self.camera.shoot()
        places = self.lit_places(before, after)
        if places:
            self.player.click(*places[0], frames=2)
            self.attacks += 1
            # The blow lands after its wind-up and animation (and a slow-motion shot now and then).
            self.player.settle(6)
            self.wait_still()
            return True
        # Attack again withdraws the command.
        self.player.click(*centre(S.ACTIONS["Attack"]), frames=2)
        return False

    # Walking.
    def screen_to_board(self):
        """The linear map from screen directions to board displacements, by least squares over the walks
        measured so far; None until two walks in different directions were measured."""
        if len(self.walks) < 2:
            return None
        sxx = sxy = syy = 0.0
        wxs = [0.0, 0.0]
        wys = [0.0, 0.0]
        for (sx, sy), (wx, wz) in self.walks:
            sxx += sx * sx
            sxy += sx * sy
            syy += sy * sy
            wxs[0] += wx * sx
            wxs[1] += wx * sy
            wys[0] += wz * sx
            wys[1] += wz * sy
        det = sxx * syy - sxy * sxy
        if abs(det) < 1e-6:
            return None
        inv = ((syy / det, -sxy / det), (-sxy / det, sxx / det))
        # M = [W S^T] (S S^T)^-1
        row_x = (wxs[0] * inv[0][0] + wxs[1] * inv[1][0], wxs[0] * inv[0][1] + wxs[1] * inv[1][1])
        row_z = (wys[0] * inv[0][0] + wys[1] * inv[1][0], wys[0] * inv[0][1] + wys[1] * inv[1][1])
        return row_x, row_z

    def direction_towards(self, here, there):
        """The screen direction that walks from here towards there, or None while the map is not known."""
        m = self.screen_to_board()
        if m is None:
            return None
        (a, b), (c, d) = m
        det = a * d - b * c
        if abs(det) < 1e-9:
            return None
        wx, wz = there[0] - here[0], there[1] - here[1]
        sx = (d * wx - b * wz) / det
        sy = (-c * wx + a * wz) / det
        norm = math.hypot(sx, sy)
        if norm < 1e-9:
            return None
        return sx / norm, sy / norm

    def note_turn(self, turn):
        """At a unit's turn, the walk it made in its last turn is measured."""
        pending = self.pending_walks.pop(turn.name, None)
        if pending is None:
            return
        before, direction = pending
        moved = (turn.place[0] - before[0], turn.place[1] - before[1])
        if math.hypot(*moved) > 50.0:
            self.walks.append((direction, moved))

    def wait_still(self, timeout=None):
        """Waits until the view stops moving: a walking unit is followed by the camera."""
        previous = self.camera.shoot()
        deadline = time.monotonic() + (timeout or self.timeout)
        still = 0
        while time.monotonic() < deadline and still < 2:
            time.sleep(self.player.frame)
            current = self.camera.shoot()
            still = still + 1 if current.difference(previous, *BOARD) < 1.5 else 0
            previous = current
        return previous

    def walk(self, turn, direction, radius=WALK_CLICK_RADIUS):
        """Move, then a click on the board in that screen direction from the unit; the path stops at the unit's
        movement radius. The walk is measured at the unit's next turn."""
        x = int(UNIT_ON_SCREEN[0] + direction[0] * radius)
        y = int(UNIT_ON_SCREEN[1] + direction[1] * radius)
        x = max(BOARD[0] + 5, min(BOARD[0] + BOARD[2] - 5, x))
        y = max(BOARD[1] + 5, min(BOARD[1] + BOARD[3] - 5, y))
        self.player.click(*centre(S.ACTIONS["Move"]), frames=3)
        self.player.click(x, y, frames=3)
        if turn.name not in self.pending_walks:
            self.pending_walks[turn.name] = (turn.place, direction)
        self.wait_still()


def fight(commander, walkers, turn_timeout, max_turns, on_turn=None):
    """Plays the battle to its end: the units of the team `walkers` walk to the nearest enemy and strike it; the
    other side ends its turns where it stands. Returns the number of turns played; the battle has ended when
    the game logged its end (a DriverError otherwise)."""
    probes = [(0.0, -1.0), (1.0, 0.0), (0.0, 1.0), (-1.0, 0.0)]
    probe = 0
    enemies = {}
    for played in range(max_turns):
        turn = commander.wait_turn(turn_timeout)
        if turn is None:
            return played
        commander.note_turn(turn)
        if on_turn:
            on_turn(turn)
        if turn.team != walkers:
            enemies[turn.name] = turn.place
            commander.end_turn()
            continue
        if not enemies:
            # Where the enemy stands is known once it has had a turn.
            commander.end_turn()
            continue
        target = min(enemies.values(), key=lambda place: distance(place, turn.place))
        near = distance(turn.place, target) < 1100.0
        direction = commander.direction_towards(turn.place, target)
        if direction is None:
            direction = probes[probe % len(probes)]
            probe += 1
        for _ in range(2):
            if near and commander.attack_in_reach():
                continue
            commander.walk(turn, direction)
            near = True
        commander.end_turn()
    raise vd.DriverError("the battle did not end within %d turns" % max_turns)
