"""Commanding a battle from outside: the turns are read from the game's log ("session.turn: player P <unit> at
row R column C"), commands are given on the HUD's buttons and targets clicked on the board.

The test cannot see where a hex is on the screen, so it finds things the way a player does: after Move, the path
to the hovered hex lights up green as far as the unit can go, so the pointer is brought in until the hex under it
is green; after Attack or an ability, the hexes of the enemies in reach turn red. Which way to walk is learnt: the
camera follows the unit whose turn it is and turns only when told to, so a screen direction is a board direction
turned by the camera's heading, and each walk, measured by where the unit stands at its next turn, tells the
heading.
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
HEX_STEP = 2 * K  # from a hex to its neighbour
# The hex of an enemy in reach of the chosen attack or ability turns red.
def TARGET_TINT(c):
    return c[0] > 100 and c[0] > 1.6 * c[1] and c[0] > 1.6 * c[2]


# The ability the first player's unit casts, by its place on the ability row: a scout's first, Mud Sling, thrown
# at one enemy four hexes away at most.
ABILITY = 0
# Where the board can be clicked: under the top bar and the main-menu button, above the HUD.
BOARD = (0, 60, W, S.HUD_B - 70)
# The unit whose turn it is stands a little below the middle of the screen (the camera aims above its feet).
UNIT_ON_SCREEN = (W // 2, 420)
# Where the pointer rests while the board is photographed: on the health bar, a control of the HUD, so that the
# board behind takes no hover and no hex lights up under the pointer.
REST = (250, 745)


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
    def key(self):
        """A unit, by its side and its name (both sides may have a unit of a class)."""
        return self.team, self.name

    @property
    def place(self):
        return ground(self.row, self.column)


class Commander:
    """Gives commands on the HUD for the unit whose turn it is."""

    def __init__(self, game, player, camera, timeout, turn_timeout, rng=None, verbose=False):
        self.verbose = verbose
        self.started = time.monotonic()
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
        self.casts = 0
        self.shots = 0
        self.defends = 0
        self.walked = 0

    def say(self, text):
        if self.verbose:
            print("    %6.1f s  %s" % (time.monotonic() - self.started, text), flush=True)

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

    def turn_over(self):
        """Whether the turn being commanded has passed (the game ends a turn by itself once its unit can do
        nothing more) or the battle has ended."""
        return len(self.turns()) > self.turns_seen or "GAME_STATE_GAME_OVER" in self.game.events("session.state")

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
    def lit_cells(self, before, after, again, tint=None):
        """Cells of 16 pixels of the board that changed colour after a command was chosen: different from before
        in two pictures taken one after the other, and the same in both (units breathing and snow blowing are not
        places). tint, when given, must hold for the new colour. Returns {cell: strength}."""
        cells = {}
        x0, y0, w, h = BOARD
        for y in range(y0, y0 + h, 4):
            for x in range(x0, x0 + w, 4):
                b = before.pixel(x, y)
                a = after.pixel(x, y)
                change = vd.colour_distance(a, b)
                if change > 18.0 and vd.colour_distance(again.pixel(x, y), b) > 18.0 and \
                        vd.colour_distance(a, again.pixel(x, y)) < 10.0 and (tint is None or tint(a)):
                    key = (x // 16, y // 16)
                    cells[key] = cells.get(key, 0.0) + change
        return {key: total for key, total in cells.items() if total >= 4 * 18.0}

    @staticmethod
    def blobs(cells):
        """The lit cells grouped into touching places, the strongest first: [(strength, [cells])]."""
        left = set(cells)
        found = []
        while left:
            seed = left.pop()
            group = [seed]
            todo = [seed]
            while todo:
                cx, cy = todo.pop()
                for dx in (-1, 0, 1):
                    for dy in (-1, 0, 1):
                        key = (cx + dx, cy + dy)
                        if key in left:
                            left.remove(key)
                            group.append(key)
                            todo.append(key)
            found.append((sum(cells[key] for key in group), group))
        found.sort(reverse=True)
        return found

    @staticmethod
    def feet(group):
        """The middle of a lit place: the red hex under the enemy (the board is picked under the pointer)."""
        return (sum(key[0] for key in group) * 16 // len(group) + 8,
                sum(key[1] for key in group) * 16 // len(group) + 8)

    def choose(self, button, tint=None):
        """Chooses a command and returns (picture before, the lit cells after). The camera must be still."""
        self.player.move(*REST, frames=0)
        before = self.wait_still()
        self.player.click(*centre(button), frames=3)
        self.player.move(*REST, frames=1)
        after = self.camera.shoot()
        self.player.settle(2)
        again = self.camera.shoot()
        if self.verbose:
            self.shots += 1
            self.camera.keep(before, "debug-%03d-before" % self.shots)
            self.camera.keep(again, "debug-%03d-after" % self.shots)
        return before, self.lit_cells(before, after, again, tint=tint)

    def withdraw(self):
        """Escape takes back a command that waits for its target."""
        self.player.key("Escape", frames=2)

    def strike_lit(self, before, cells, what, towards=None):
        """Clicks the feet of the strongest lit unit (with a screen direction, of those on that side of the
        unit whose turn it is, which stands in the middle of the view); withdraws when nothing lit up. Returns
        whether it struck."""
        places = self.blobs(cells)
        if towards is not None:
            def ahead(group):
                x, y = self.feet(group)
                dx, dy = x - UNIT_ON_SCREEN[0], y - UNIT_ON_SCREEN[1]
                return math.hypot(dx, dy) < 120 or dx * towards[0] + dy * towards[1] > 0.5 * math.hypot(dx, dy)
            places = [place for place in places if ahead(place[1])]
        self.say("%s: %d lit places %s" % (what, len(places), [(round(s), self.feet(g)) for s, g in places[:3]]))
        if not places:
            self.withdraw()
            return False
        self.player.click(*self.feet(places[0][1]), frames=2)
        # The blow lands after its wind-up and animation (and a slow-motion shot now and then).
        self.player.move(*REST, frames=6)
        self.wait_still()
        return True

    def attack_in_reach(self, towards=None):
        """Attack: when an enemy lights up as in reach, clicks it and returns True; otherwise takes the command
        back and returns False."""
        before, cells = self.choose(S.ACTIONS["Attack"], tint=TARGET_TINT)
        struck = self.strike_lit(before, cells, "attack", towards)
        self.attacks += struck
        return struck

    def cast_in_reach(self, index, on_row=None, towards=None):
        """Magic Spells, then the ability at that place of the row, then the enemy it lights up. on_row(picture)
        sees the row open with the ability's costs shown (the pointer rests on it). Returns whether it was cast;
        when nothing lit up, Back closes the row."""
        self.player.move(*REST, frames=0)
        before = self.wait_still()
        self.player.click(*centre(S.ACTIONS["Magic Spells"]), frames=3)
        self.player.move(*centre(S.ABILITIES[index]), frames=4)
        # The description box rises while the pointer rests on the ability.
        row, _ = self.camera.wait_for(lambda im: im.difference(before, *S.DESCRIPTION) > 10.0, 3.0)
        if on_row:
            on_row(before, row)
        self.player.click(*centre(S.ABILITIES[index]), frames=3)
        self.player.move(*REST, frames=1)
        after = self.camera.shoot()
        self.player.settle(2)
        again = self.camera.shoot()
        cells = self.lit_cells(before, after, again, tint=TARGET_TINT)
        if self.strike_lit(before, cells, "ability %d" % (index + 1), towards):
            self.casts += 1
            return True
        self.player.click(*centre(S.ABILITY_BACK), frames=3)
        return False

    def defend(self):
        """Defend, queued for the end of the turn."""
        self.player.click(*centre(S.ACTIONS["Defend"]), frames=3)
        self.defends += 1

    # Walking.
    def heading(self):
        """The angle that turns a screen direction into a board direction, or None before any walk was measured.

        The camera looks down at the board and turns about the vertical only, so a screen direction (x right, y
        down) is, on the board, (x, -y) turned by the camera's heading (its tilt shortens the second component,
        which changes the angle a little but not the side). Each walk measured gives the turn; the walks are
        averaged."""
        if not self.walks:
            return None
        c = s = 0.0
        for (sx, sy), (wx, wz) in self.walks:
            ux, uy = sx, -sy
            norm = math.hypot(ux, uy) * math.hypot(wx, wz)
            c += (ux * wx + uy * wz) / norm
            s += (ux * wz - uy * wx) / norm
        return math.atan2(s, c)

    def direction_towards(self, here, there):
        """The screen direction that walks from here towards there, or None while no walk was measured."""
        angle = self.heading()
        wx, wz = there[0] - here[0], there[1] - here[1]
        norm = math.hypot(wx, wz)
        if angle is None or norm < 1e-6:
            return None
        c, s = math.cos(-angle), math.sin(-angle)
        ux, uy = (wx * c - wz * s) / norm, (wx * s + wz * c) / norm
        return ux, -uy

    def note_turn(self, turn):
        """At a unit's turn, the walk it made in its last turn is measured."""
        pending = self.pending_walks.pop(turn.key, None)
        if pending is None:
            return
        before, direction = pending
        moved = (turn.place[0] - before[0], turn.place[1] - before[1])
        if math.hypot(*moved) > 50.0:
            self.walks.append((direction, moved))

    def wait_still(self, timeout=5.0):
        """Waits until the view has (nearly) stopped moving and returns the last picture. The camera glides after
        a walking unit and comes to rest slowly, so the wait is bounded; the board is compared in blocks of 32
        pixels, most of which must keep their brightness (blowing snow and the units' idle motion stay in a
        few blocks)."""
        def blocks(image):
            out = []
            x0, y0, w, h = BOARD
            for by in range(y0, y0 + h - 31, 32):
                for bx in range(x0, x0 + w - 31, 32):
                    pixels = image.samples(bx, by, 32, 32, step=8)
                    out.append(sum(p[0] + p[1] + p[2] for p in pixels) / (3.0 * len(pixels)))
            return out
        previous = self.camera.shoot()
        last = blocks(previous)
        deadline = time.monotonic() + timeout
        still = 0
        while time.monotonic() < deadline and still < 2:
            time.sleep(self.player.frame)
            previous = self.camera.shoot()
            current = blocks(previous)
            changes = sorted(abs(p - q) for p, q in zip(current, last))
            still = still + 1 if changes[len(changes) * 9 // 10] < 2.5 else 0
            last = current
        return previous

    def find_unit(self, image, team, found_only=False):
        """Where the unit whose turn it is stands on the screen: the middle of the ring under it, in its side's
        colour (cyan for the first side, red and pink for the second). The middle of the view when no ring shows (or
        None when found_only)."""
        xs, ys = [], []
        x0, y0, w, h = BOARD
        for y in range(y0, y0 + h, 3):
            for x in range(x0, x0 + w, 3):
                r, g, b = image.pixel(x, y)
                if team == 0 and g > 150 and g - r > 50 and b - r > 40:
                    xs.append(x)
                    ys.append(y)
                elif team == 1 and r > 120 and r - g > 20 and r - b > 12:
                    xs.append(x)
                    ys.append(y)
        if len(xs) < 12:
            return None if found_only else UNIT_ON_SCREEN
        xs.sort()
        ys.sort()
        return xs[len(xs) // 2], ys[len(ys) // 2]

    def settle_on_unit(self, turn, timeout=5.0):
        """Waits for the camera to come to the unit whose turn it is: its ring near the middle of a still view.
        The camera glides there from wherever it looked before, across the whole board at the first turn."""
        deadline = time.monotonic() + timeout
        self.player.move(*REST, frames=0)
        while True:
            image = self.wait_still(timeout=2.0)
            here = self.find_unit(image, turn.team, found_only=True)
            if here and math.hypot(here[0] - UNIT_ON_SCREEN[0], here[1] - UNIT_ON_SCREEN[1]) < 150:
                return image
            if time.monotonic() > deadline:
                self.say("%s: the camera did not come to the unit (ring at %s)" % (turn.name, here))
                return image
            self.player.settle(3)

    def walk(self, turn, direction, short=False):
        """Move, then the pointer out in that screen direction from the unit: the game lights the path to the
        hovered hex in green when the unit can reach it (and greys a hex beyond its reach), so the pointer is
        brought nearer until the hex under it is lit green, and that hex is clicked. Returns whether the unit
        walked; the walk is measured at the unit's next turn."""
        self.player.move(*REST, frames=0)
        before = self.wait_still()
        here = self.find_unit(before, turn.team)
        self.player.click(*centre(S.ACTIONS["Move"]), frames=3)
        target = None
        reaches = (380, 300, 240, 190, 150, 110, 75)
        for reach in reversed(reaches) if short else reaches:
            point = (int(here[0] + direction[0] * reach), int(here[1] + direction[1] * reach))
            if not (BOARD[0] + 8 <= point[0] < BOARD[0] + BOARD[2] - 8 and
                    BOARD[1] + 8 <= point[1] < BOARD[1] + BOARD[3] - 8):
                continue
            self.player.move(*point, frames=2)
            after = self.camera.shoot()
            # The path's hexes are lit green.
            cells = self.lit_cells(before, after, after, tint=lambda c: c[1] - c[0] > 20 and c[1] - c[2] > 10)
            if self.verbose:
                self.shots += 1
                self.camera.keep(after, "debug-%03d-walk-%d" % (self.shots, reach))
            # The lit path runs unbroken from the unit to the hex under the pointer.
            for _, group in self.blobs(cells):
                def near(p, limit):
                    return any(math.hypot(k[0] * 16 + 8 - p[0], k[1] * 16 + 8 - p[1]) < limit for k in group)
                if near(point, 26) and near(here, 70):
                    target = point
                    break
            if target:
                break
        if target is None:
            self.say("%s: no path lit towards (%.2f, %.2f)" % (turn.name, direction[0], direction[1]))
            self.withdraw()
            return False
        self.say("%s at %s on the screen: walk towards (%.2f, %.2f), click at %s" % (
            turn.name, here, direction[0], direction[1], target))
        self.player.click(*target, frames=3)
        self.player.move(*REST, frames=6)
        self.wait_still()
        # One measurement per turn, of walks all made in one direction: a turn that mixed directions measures
        # nothing.
        pending = self.pending_walks.get(turn.key)
        if turn.key not in self.pending_walks:
            self.pending_walks[turn.key] = (turn.place, direction)
        elif pending is not None and pending[1] != direction:
            self.pending_walks[turn.key] = None
        self.walked += 1
        return True


# The screen direction from the first player's zone to the second's while the battle's camera keeps the heading the
# fly-over leaves it with; the walks measured correct it as the battle goes on.
FIRST_GUESS = (0.9, 0.4)


def fight(commander, turn_timeout, max_turns, on_turn=None, on_row=None):
    """Plays the battle to its end. The first player's units walk towards the nearest enemy (where it stood at
    its last turn) and strike it once in reach (one blow with an ability, the rest with Attack); the second
    player's units stand where they were deployed (defending once, then focusing), so that the walks head for a
    place that stays put.
    Returns the number of turns played; the battle has ended when the game logged its end (a DriverError
    otherwise)."""
    places = {}  # (team, name): where the unit stood at its last turn
    defended = set()
    for played in range(max_turns):
        turn = commander.wait_turn(turn_timeout)
        if turn is None:
            return played
        commander.note_turn(turn)
        places[(turn.team, turn.name)] = turn.place
        if on_turn:
            on_turn(turn)
        commander.settle_on_unit(turn)
        enemies = [place for (team, _), place in places.items() if team != turn.team]
        target = min(enemies, key=lambda place: distance(place, turn.place)) if enemies else None
        left = distance(turn.place, target) if target else None
        direction = commander.direction_towards(turn.place, target) if target else None
        if direction is None:
            guess = FIRST_GUESS if turn.team == 0 else (-FIRST_GUESS[0], -FIRST_GUESS[1])
            norm = math.hypot(*guess)
            direction = (guess[0] / norm, guess[1] / norm)
        commander.say("turn %d: %s of player %d at (%d, %d), nearest enemy %s; %d walks measured" % (
            played + 1, turn.name, turn.team + 1, turn.row, turn.column,
            "unknown" if left is None else "%.0f away" % left, len(commander.walks)))
        if turn.team == 1:
            # A defence on the first turn only: the guarded hexes around the unit would stop the walks that
            # bring the enemy within its ability's reach. Later turns gather mana.
            if turn.key in defended:
                commander.player.click(*centre(S.ACTIONS["Focus"]), frames=3)
            else:
                defended.add(turn.key)
                commander.defend()
            commander.end_turn()
            continue
        for _ in range(3):
            if commander.turn_over():
                break
            near = left is not None and left < 7 * HEX_STEP
            if near:
                if not commander.casts:
                    # The ability reaches a hex less far than the bow: until it is cast, closer first.
                    if commander.cast_in_reach(ABILITY, on_row, direction):
                        continue
                    if commander.walk(turn, direction, short=True):
                        continue
                if commander.attack_in_reach(direction):
                    continue
            # Far away, as far as the unit can go; near, a few hexes at a time, so as not to walk past.
            if not commander.walk(turn, direction, short=near):
                break
            left = None if left is None else left - (2 if near else 6) * HEX_STEP
        if not commander.turn_over():
            commander.end_turn()
    raise vd.DriverError("the battle did not end within %d turns" % max_turns)
