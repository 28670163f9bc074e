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
from heading import Heading, sighting_fits
from varnholt_driver import centre

W, H = vd.WIDTH, vd.HEIGHT

TURN_LINE = re.compile(r"player (\d) (.+) at row (\d+) column (\d+)$")

# Board geometry: hex side 64; rows run along x, columns along z.
K = 55.42562484741211
HEX_STEP = 2 * K  # from a hex to its neighbour
def target_tint(team):
    """The colour the hex of an enemy in reach of the chosen attack or ability takes, for the side choosing: the
    enemy's own side's mark, drawn over again and so brighter; red for the second side's units, blue for the
    first's."""
    if team == 0:
        return lambda c: c[0] > 100 and c[0] > 1.6 * c[1] and c[0] > 1.6 * c[2]
    return lambda c: c[2] > 160 and c[2] > 1.8 * c[0] and c[2] > 1.4 * c[1]


# The ability the first player's unit casts, by its place on the ability row: a scout's first, Mud Sling, thrown
# at one enemy four hexes away at most.
ABILITY = 0
# Where the board can be clicked: under the top bar and the main-menu button, above the HUD.
BOARD = (0, 60, W, S.HUD_B - 70)
# The unit whose turn it is stands a little below the middle of the screen (the camera aims above its feet).
UNIT_ON_SCREEN = (W // 2, 420)
# Where its ring is looked for: left, top, right, bottom.
UNIT_SEARCH = (UNIT_ON_SCREEN[0] - 200, UNIT_ON_SCREEN[1] - 170, UNIT_ON_SCREEN[0] + 200, UNIT_ON_SCREEN[1] + 120)
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
        self.since = 0  # the log mark where the battle being commanded began
        self.team = 0  # the side of the unit whose turn is commanded (from the last turn noted)
        self.still = False  # whether the view had come to rest at the last wait for it
        # Learning the screen-to-board map from the walks measured.
        self.bearing = Heading()
        self.pending_walks = {}  # unit: (its place before, the screen offsets clicked added up) until its next turn
        self.attacks = 0
        self.casts = 0
        self.shots = 0
        self.defends = 0
        self.focuses = 0
        self.escapes = 0
        self.walked = 0
        self.cast_counts = {}  # place of the ability on the row: times cast
        self.waited_for = set()  # places of the abilities a turn has ended early for (see waits_for_abilities)
        # Seconds the ability row is waited for (when a unit is short of action points it stays shut): None for
        # a fixed 4 s, else that many frames of the game's pace, but 2 s at least.
        self.row_frames = None

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
            mark = self.game.mark()
            turns = self.turns()
            if len(turns) > self.turns_seen:
                self.turns_seen += 1
                return turns[self.turns_seen - 1]
            if self.battle_over():
                return None
            if self.game.process.poll() is not None:
                raise vd.DriverError("the game ended during the battle (status %s)" % self.game.process.returncode)
            if time.monotonic() > deadline:
                raise vd.DriverError("no new turn within %.0f s; last state %s" % (timeout, self.game.state()))
            self.game.wait_lines(mark, 0.2)

    def battle_over(self):
        """Whether the battle being commanded has ended (an earlier battle's end, before the mark, does not
        count)."""
        return "GAME_STATE_GAME_OVER" in self.game.events("session.state", self.since)

    def turn_over(self):
        """Whether the turn being commanded has passed (the game ends a turn by itself once its unit can do
        nothing more) or the battle has ended."""
        return len(self.turns()) > self.turns_seen or self.battle_over()

    def end_turn(self, timeout=None):
        """End Turn, again until the next turn comes: the game lets a turn end at most once in 1.5 s of game
        time, so a click right after the last turn change is not heard."""
        deadline = time.monotonic() + (timeout or self.turn_timeout)
        # A unit whose last walk or blow spent its action points has its turn ended by the game a moment later:
        # a click then would end the next unit's turn too.
        self.player.settle(4)
        while time.monotonic() < deadline:
            if self.turn_over():
                return
            self.player.click(*centre(S.ACTIONS["End Turn"]), frames=0)
            # Twelve frames for the answer: more than the six frames (1.5 s of game time at a quarter of a
            # second a frame) the game keeps between turn ends, so a click again, once the log has told no new
            # turn, cannot end the next unit's turn.
            wait_until = time.monotonic() + max(0.5, self.player.frame * 12)
            while time.monotonic() < wait_until:
                mark = self.game.mark()
                if len(self.turns()) > self.turns_seen or self.battle_over():
                    return
                self.game.wait_lines(mark, 0.2)
            # Off the button and back: a second click on a button that never saw the pointer leave is still a
            # click, but the move keeps the pointer's hover from hiding what happens.
            self.player.move(*REST, frames=1)
        raise vd.DriverError("End Turn did not end the turn within %.0f s" % (timeout or self.turn_timeout))

    # Finding things on the board by what lights up.
    def lit_cells(self, before, after, again, tint=None, region=None):
        """Cells of 16 pixels of the board that changed colour after a command was chosen: different from before
        in two pictures taken one after the other, and the same in both (units breathing and snow blowing are not
        places). tint, when given, must hold for the new colour. region (x, y, width, height; in whole cells)
        limits the search to a part of the board. Returns {cell: strength}."""
        cells = {}
        x0, y0, w, h = BOARD
        if region is not None:
            left, top = max(x0, region[0] // 16 * 16), max(y0, region[1] // 16 * 16)
            right = min(x0 + w, (region[0] + region[2] + 15) // 16 * 16)
            bottom = min(y0 + h, (region[1] + region[3] + 15) // 16 * 16)
            x0, y0, w, h = left, top, max(0, right - left), max(0, bottom - top)
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

    def row_timeout(self):
        return 4.0 if self.row_frames is None else max(2.0, self.player.frame * self.row_frames)

    def withdraw(self):
        """Escape takes back a command that waits for its target."""
        self.player.key("Escape", frames=2)
        self.escapes += 1

    def strike_lit(self, before, cells, what, towards=None):
        """Clicks the feet of the strongest lit unit (with a screen direction, of those on that side of the
        unit whose turn it is, which stands in the middle of the view); withdraws when nothing lit up. Returns
        whether it struck."""
        # The bars over a unit change with the command chosen too: a thin strip of red over blue is not a hex.
        places = [place for place in self.blobs(cells)
                  if not (max(k[1] for k in place[1]) - min(k[1] for k in place[1]) <= 1 and
                          self.status_bar(before, place[1]))]
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
        before, cells = self.choose(S.ACTIONS["Attack"], tint=target_tint(self.team))
        struck = self.strike_lit(before, cells, "attack", towards)
        self.attacks += struck
        return struck

    def cast_in_reach(self, index, on_row=None, towards=None, enemy=None, before=None):
        """Magic Spells, then the ability at that place of the row, then its target. on_row(before, row) sees the
        row open with the ability's costs shown (the pointer rests on it). With enemy (a point on the screen) the
        ability is aimed there: an ability on one unit lights nothing until the pointer is on a unit, and an area
        ability takes the hovered hex; it was cast when the row has closed. Without, the enemy it lights up is
        clicked. Returns whether it was cast; otherwise the command is taken back with Escape and Back closes the
        row."""
        if before is None:
            self.player.move(*REST, frames=0)
            before = self.wait_still()
        self.player.click(*centre(S.ACTIONS["Magic Spells"]), frames=3)
        self.player.move(*centre(S.ABILITIES[index]), frames=4)
        # The row takes the actions' place, and the description box rises while the pointer rests on the ability.
        row, _ = self.camera.wait_for(lambda im: im.difference(before, *S.ACTIONS["Move"]) > 5.0 and
                                      im.difference(before, *S.DESCRIPTION) > 10.0, self.row_timeout(),
                                      interval=self.player.frame)
        if row.difference(before, *S.ACTIONS["Move"]) <= 5.0:
            # Too few action points: every action is greyed and the row stays shut.
            self.say("ability %d: the row did not open" % (index + 1))
            self.player.move(*REST, frames=1)
            return False
        if on_row:
            on_row(before, row)
        self.player.click(*centre(S.ABILITIES[index]), frames=3)
        if enemy is not None:
            self.player.move(*enemy, frames=3)
            self.player.click(*enemy, frames=3)
            self.player.move(*REST, frames=2)
            shut = self.camera.shoot().difference(row, *S.ABILITIES[index]) > 8.0
            self.say("ability %d aimed at %s: %s" % (index + 1, enemy, "cast" if shut else "not cast"))
            if shut:
                self.player.settle(6)
                self.wait_still()
        else:
            self.player.move(*REST, frames=1)
            after = self.camera.shoot()
            self.player.settle(2)
            again = self.camera.shoot()
            cells = self.lit_cells(before, after, again, tint=target_tint(self.team))
            shut = self.strike_lit(before, cells, "ability %d" % (index + 1), towards)
        if shut:
            self.casts += 1
            self.cast_counts[index] = self.cast_counts.get(index, 0) + 1
            return True
        if enemy is not None:
            self.withdraw()
        self.player.click(*centre(S.ABILITY_BACK), frames=3)
        return False

    def waits_for_abilities(self, turn, abilities):
        """Beside the enemy, with an ability of those named not cast yet although it was tried: the game refused it
        for the action points the walk and the other ability took (no enemy is out of its reach there). A blow now
        could end the battle before it is ever cast, so the turn ends without one, and the next begins with every
        point. Once an ability in a battle, so that an ability the game refuses for another reason holds up no
        blow for ever. Returns whether the turn is to end."""
        waiting = [index for index in abilities if not self.cast_counts.get(index)
                   and index not in self.waited_for]
        if not waiting:
            return False
        self.waited_for.update(waiting)
        self.say("%s waits for its next turn to cast ability %s" % (
            turn.name, ", ".join(str(index + 1) for index in waiting)))
        return True

    def queue(self, name):
        """Chooses Defend or Focus, which wait for the end of the turn; returns whether the game took it: the
        chosen button is highlighted (a unit short of action points has it greyed and nothing changes)."""
        button = S.ACTIONS[name]
        self.player.move(*REST, frames=2)
        before = self.camera.shoot()
        self.player.click(*centre(button), frames=3)
        self.player.move(*REST, frames=0)
        _, taken = self.camera.wait_for(lambda im: im.difference(before, *button) > 6.0,
                                        max(2.0, self.player.frame * 8), interval=self.player.frame)
        self.say("%s: %s" % (name, "taken" if taken else "not taken"))
        return taken

    def defend(self):
        """Defend, queued for the end of the turn."""
        self.defends += self.queue("Defend")

    def focus(self):
        """Focus, queued for the end of the turn: the unit gathers mana."""
        self.focuses += self.queue("Focus")

    # Walking.
    @property
    def walks(self):
        """The walks that tell the heading now."""
        return self.bearing.measured

    def direction_towards(self, here, there):
        """The screen direction that walks from here towards there, or None while no walk was measured."""
        return self.bearing.screen_towards((there[0] - here[0], there[1] - here[1]))

    def note_turn(self, turn):
        """At a unit's turn, the walk it made in its last turn is measured."""
        self.team = turn.team
        pending = self.pending_walks.pop(turn.key, None)
        if pending is None:
            return
        before, clicked = pending
        moved = (turn.place[0] - before[0], turn.place[1] - before[1])
        norm = math.hypot(*clicked)
        direction = (clicked[0] / max(norm, 1.0), clicked[1] / max(norm, 1.0))
        if norm >= 20 and self.bearing.note(direction, moved):
            self.say("%s walked (%.0f, %.0f) on the board for (%.2f, %.2f) on the screen: heading %.0f degrees "
                     "(%d measured, %d left out)" % (
                         turn.name, moved[0], moved[1], direction[0], direction[1],
                         math.degrees(self.bearing.angle()), len(self.bearing.measured),
                         len(self.bearing.outliers())))

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
            # A frame and a half: two pictures within one frame would look still however the view moves.
            time.sleep(1.5 * self.player.frame)
            previous = self.camera.shoot()
            current = blocks(previous)
            changes = sorted(abs(p - q) for p, q in zip(current, last))
            still = still + 1 if changes[len(changes) * 9 // 10] < 2.5 else 0
            last = current
        self.still = still >= 2
        return previous

    def find_unit(self, image, team, found_only=False):
        """Where the unit whose turn it is stands on the screen: the middle of the ring under it, in its side's
        colour (cyan for the first side, red and pink for the second). The middle of the view when no ring shows (or
        None when found_only). The camera comes to rest over that unit, so the ring is the place of its colour
        nearest the middle of the view, looked for about the middle only: the timber and roofs of the farm's
        buildings, the dirt of its paths and the hexes of other units of the side have colours of the ring too.
        The second side's ring is dim over grass and may not be found: a still view has come to rest over the unit
        anyway."""
        cells = {}
        x0, y0, x1, y1 = UNIT_SEARCH
        for y in range(y0, y1, 3):
            for x in range(x0, x1, 3):
                r, g, b = image.pixel(x, y)
                if (team == 0 and g > 150 and g - r > 50 and b - r > 40) or \
                        (team == 1 and r > 120 and r - g > 20 and r - b > 12):
                    key = (x // 16, y // 16)
                    cells[key] = cells.get(key, 0) + 1
        # The health bar over the unit is red too (over blue): not a ring.
        places = [group for count, group in self.blobs(cells) if count >= 12 and not self.status_bar(image, group)]
        if not places:
            return None if found_only else UNIT_ON_SCREEN
        return min((self.feet(group) for group in places),
                   key=lambda p: math.hypot(p[0] - UNIT_ON_SCREEN[0], p[1] - UNIT_ON_SCREEN[1]))

    @staticmethod
    def stray(ring):
        """Whether a ring found is too far from the middle to be the unit's in a view that has come to rest: the
        camera rests over the unit whose turn it is, and a roof or a path of the ring's colour lies elsewhere."""
        return math.hypot(ring[0] - UNIT_ON_SCREEN[0], ring[1] - UNIT_ON_SCREEN[1]) > 100

    def place_of_unit(self, image, team):
        """Where the unit whose turn it is stands on the screen, in a picture from the last wait for a still
        view."""
        ring = self.find_unit(image, team, found_only=True)
        if ring is None or (self.still and self.stray(ring)):
            return UNIT_ON_SCREEN
        return ring

    def find_enemy(self, image, team, here, hexes=None, expected=None):
        """Where the nearest enemy stands on the screen, or None when none shows: the hexes of the second side's
        units are red (pink around a unit that defends), the first side's blue. The mark under the unit whose
        turn it is has its side's colour too (cyan for the first side, which its own side does not look for).
        A unit's own figure has colours of the other side (a red tunic, a blue cloak), so with hexes, how far the
        board places tell the enemy stands, only a place at a distance on the screen that fits is taken (and with
        expected, the screen direction the heading tells, in about that direction)."""
        if team == 0:
            def enemy(r, g, b):
                return r > 110 and ((r - g > 20 and r - b > 12 and b >= g - 5) or (r > 1.8 * g and r > 1.8 * b))
        else:
            def enemy(r, g, b):
                return b > 100 and b > 1.6 * r and b - g > 30
        cells = {}
        x0, y0, w, h = BOARD
        for y in range(y0, y0 + h, 4):
            for x in range(x0, x0 + w, 4):
                if enemy(*image.pixel(x, y)):
                    key = (x // 16, y // 16)
                    cells[key] = cells.get(key, 0.0) + 18.0
        places = [group for strength, group in self.blobs(cells)
                  if len(group) >= 3 and not self.status_bar(image, group) and
                  sighting_fits((self.feet(group)[0] - here[0], self.feet(group)[1] - here[1]), hexes, expected)]
        if not places:
            return None
        return min((self.feet(group) for group in places),
                   key=lambda p: math.hypot(p[0] - here[0], p[1] - here[1]))

    @staticmethod
    def status_bar(image, group):
        """Whether a place is the health and mana bars floating over a unit (red over blue, both saturated)
        rather than the hexes a unit stands on."""
        xs = [key[0] * 16 for key in group]
        ys = [key[1] * 16 for key in group]
        x0, y0 = min(xs) - 4, min(ys) - 4
        pixels = image.samples(x0, y0, max(xs) + 24 - x0, max(ys) + 24 - y0, step=2)
        red = sum(1 for r, g, b in pixels if r > 150 and g < 80 and b < 80)
        blue = sum(1 for r, g, b in pixels if b > 150 and r < 90 and g < 140)
        return red >= 3 and blue >= 3

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
            if self.still and (here is None or self.stray(here)):
                return image
            if time.monotonic() > deadline:
                self.say("%s: the camera did not come to the unit (ring at %s)" % (turn.name, here))
                return image
            self.player.settle(3)

    def walk(self, turn, direction, towards=None, before=None, turns=None):
        """Move, then the pointer out in that screen direction from the unit: the game lights the path to the
        hovered hex in green when the unit can reach it (and greys a hex beyond its reach), so the pointer is
        brought nearer until the hex under it is lit green, and that hex is clicked. towards, a point on the
        screen, walks towards it instead, as far as the path reaches but not past it. turns, angles in radians,
        are the directions tried in order, turned off the way (by default a little to either side when a rock or
        a tree stands on the straight way towards a point, and the straight way alone otherwise). Returns (where
        the unit stood on the screen, the point clicked) when the unit walked, else None; the walk is measured at
        the unit's next turn. before, when given, is a still picture of the board just taken with the pointer at
        rest."""
        if before is None:
            self.player.move(*REST, frames=0)
            before = self.wait_still()
        ring = self.find_unit(before, turn.team, found_only=True)
        if ring is not None and self.still and self.stray(ring):
            ring = None
        here = ring or UNIT_ON_SCREEN
        # Where the unit stands is known from its ring, or from a view come to rest over it.
        placed = ring is not None or self.still
        self.player.click(*centre(S.ACTIONS["Move"]), frames=3)
        reaches = (380, 300, 240, 190, 150, 110, 75)

        def on_board(point):
            return (BOARD[0] + 8 <= point[0] < BOARD[0] + BOARD[2] - 8 and
                    BOARD[1] + 8 <= point[1] < BOARD[1] + BOARD[3] - 8)

        def lit(point):
            """Whether the lit path runs unbroken from the unit to the hex under the pointer at that point."""
            self.player.move(*point, frames=2)

            def lit_to_pointer(after):
                # The path's hexes are lit green; only the part of the board between the unit and the pointer is
                # looked at (a path that leaves it far is not the one wanted).
                box = (min(here[0], point[0]) - 96, min(here[1], point[1]) - 96, abs(here[0] - point[0]) + 192,
                       abs(here[1] - point[1]) + 192)
                cells = self.lit_cells(before, after, after, tint=lambda c: c[1] - c[0] > 20 and c[1] - c[2] > 10,
                                       region=box)
                if self.verbose:
                    self.shots += 1
                    self.camera.keep(after, "debug-%03d-walk-%d-%d" % (self.shots, point[0], point[1]))
                for _, group in self.blobs(cells):
                    def near(p, limit):
                        return any(math.hypot(k[0] * 16 + 8 - p[0], k[1] * 16 + 8 - p[1]) < limit for k in group)
                    if near(point, 26) and near(here, 70):
                        return True
                return False
            # A busy machine draws the path a frame or two after the pointer came: a second look, two frames
            # later, before the hex counts as out of reach.
            if lit_to_pointer(self.camera.shoot()):
                return True
            self.player.settle(2)
            return lit_to_pointer(self.camera.shoot())

        def farthest(points):
            """The farthest lit of points along one line, nearest last: the hexes in reach run from the unit
            out to where its action points end, so the edge is found by halving."""
            points = [point for point in points if on_board(point)]
            if not points:
                return None
            # The nearest first: when it is not lit, nothing along the line is (a way off the board, a wall).
            low, high = 1, len(points) - 1  # the answer, if any, lies in points[low:high + 1]
            if not lit(points[high]):
                return None
            if high == 0 or lit(points[0]):
                return points[0]
            while low < high:
                middle = (low + high) // 2
                if lit(points[middle]):
                    high = middle
                else:
                    low = middle + 1
            return points[high]

        target = None
        if towards is not None:
            # The enemy in sight: as near to it as the lit path goes, never past it.
            vx, vy = towards[0] - here[0], towards[1] - here[1]
            length = math.hypot(vx, vy)
            fractions = [0.85, 0.7, 0.55] + [reach / length for reach in reaches if reach < 0.5 * length]
            for turn_by in (0.0, 0.4, -0.4, 0.8, -0.8) if turns is None else turns:
                c, s = math.cos(turn_by), math.sin(turn_by)
                target = farthest([(int(here[0] + (vx * c - vy * s) * f), int(here[1] + (vx * s + vy * c) * f))
                                   for f in (fractions if turn_by == 0.0 else fractions[1:])])
                if target:
                    break
        else:
            for turn_by in (0.0,) if turns is None else turns:
                c, s = math.cos(turn_by), math.sin(turn_by)
                dx, dy = direction[0] * c - direction[1] * s, direction[0] * s + direction[1] * c
                target = farthest([(int(here[0] + dx * reach), int(here[1] + dy * reach)) for reach in reaches])
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
        # One measurement per turn: the walks of a turn, each from the unit to the hex clicked on the screen, add
        # up to where the unit stands at its next turn (near the middle of the view the screen's pixels stand for
        # about the same stretch of the board everywhere). A walk from a place on the screen where the unit was
        # not seen, in a view still moving, spoils the turn's measurement: the view may not have come to the unit
        # yet, and the way clicked is then not the way walked.
        went = (target[0] - here[0], target[1] - here[1])
        pending = self.pending_walks.get(turn.key, (turn.place, (0, 0)))
        if not placed or pending is None:
            self.pending_walks[turn.key] = None
        else:
            self.pending_walks[turn.key] = (pending[0], (pending[1][0] + went[0], pending[1][1] + went[1]))
        self.walked += 1
        return here, target


# The screen direction from the first player's zone to the second's while the battle's camera keeps the heading the
# fly-over leaves it with; the walks measured correct it until the enemy shows on the screen.
FIRST_GUESS = (0.93, -0.37)
# A scout's abilities by their place on the row: Mud Sling thrown at one enemy (four hexes at most), Shrapnel Shot
# burst over an area (five hexes away at most).
UNIT_ABILITY = 0
AREA_ABILITY = 1
# Hexes from the enemy within which blows are tried: the farthest reach of an attack or an ability, and some more
# since the hexes left are an estimate.
NEAR = 7.5


def heading_towards(commander, turn, target):
    """The screen direction of a board place from the unit whose turn it is: learnt from the walks measured, the
    first guess before any."""
    direction = commander.direction_towards(turn.place, target) if target else None
    if direction is None:
        guess = FIRST_GUESS if turn.team == 0 else (-FIRST_GUESS[0], -FIRST_GUESS[1])
        norm = math.hypot(*guess)
        direction = (guess[0] / norm, guess[1] / norm)
    return direction


def close_in(commander, turn, target, abilities=(), on_row=None, actions=6, detour=0, spread=None, cast_all=False):
    """Commands one turn of a unit that closes in on the enemy and strikes it: near the enemy the unit casts each
    of the abilities named (once in the battle), then attacks, and walks up to the enemy when nothing is in reach.
    It walks straight at the enemy once it shows on the screen, and otherwise the way the walks measured tell.
    A unit that has stopped coming nearer (detour, +1 or -1: the side) first strikes whatever is in reach, then
    walks off to that side of the way before it heads for the enemy again; when nothing lights that way, to the
    other side or back, so that it moves anyway. spread, angles in radians, are the ways tried off the way the
    walks measured tell while the enemy does not show (before the first walk is measured, that way is a guess that
    may lead off the board). With cast_all, a unit beside the enemy that could not cast an ability yet ends its turn
    rather than strike (see Commander.waits_for_abilities). Ends the turn when the game has not ended it."""
    # How far the enemy is, in hexes: from the turn's line, then less by the part of the way to it each walk went.
    left = distance(turn.place, target) / HEX_STEP if target else None
    stepped = False
    if detour:
        commander.say("%s has come no nearer for a while: strikes what is in reach, then turns off %+d" % (
            turn.name, detour))
        if not commander.attack_in_reach():
            quarter = math.pi / 2
            commander.walk(turn, heading_towards(commander, turn, target),
                           turns=[detour * quarter, detour * quarter / 2, detour * 1.5 * quarter, -detour * quarter,
                                  2 * quarter])
        actions -= 1
    for _ in range(actions):
        if commander.turn_over():
            return
        commander.player.move(*REST, frames=0)
        image = commander.wait_still()
        here = commander.place_of_unit(image, turn.team)
        # Once a few walks have told the heading, the enemy is looked for about the way it tells.
        expected = commander.direction_towards(turn.place, target) if target and len(commander.walks) >= 2 else None
        seen = commander.find_enemy(image, turn.team, here, left, expected)
        if seen is None:
            direction, norm = heading_towards(commander, turn, target), None
            tried = left is not None and left < NEAR
        else:
            dx, dy = seen[0] - here[0], seen[1] - here[1]
            norm = max(math.hypot(dx, dy), 1.0)
            direction = (dx / norm, dy / norm)
            tried = left is None or left < NEAR
            commander.say("%s at %s sees the enemy at %s, about %s hexes away" % (
                turn.name, here, seen, "?" if left is None else "%.1f" % left))
        if tried:
            struck = False
            for index in abilities:
                if not commander.cast_counts.get(index) and commander.cast_in_reach(index, on_row, direction, seen):
                    struck = True
                    break
            if struck:
                continue
            if cast_all and norm is not None and norm < 90 and commander.waits_for_abilities(turn, abilities):
                break
            if commander.attack_in_reach(direction):
                continue
            if norm is not None and norm < 90:
                # Beside the enemy, or a hex short of it when the view is far: one step nearer, and when that is
                # not it, the action points are spent, but for a focus (once in a battle) that gathers mana with
                # what is left.
                if stepped or not commander.walk(turn, direction, towards=seen):
                    if not commander.focuses:
                        commander.focus()
                    break
                stepped = True
                continue
        walked = commander.walk(turn, direction, towards=seen, before=None if tried else image,
                                turns=None if seen is not None else spread)
        if not walked:
            break
        if left is not None and norm is not None:
            (fx, fy), (tx, ty) = walked
            left = left * max(0.0, 1.0 - math.hypot(tx - fx, ty - fy) / norm)
    if not commander.turn_over():
        commander.end_turn()


def stand(commander, turn, defended):
    """A unit that stands where it was deployed: it defends at its first turn, then focuses. (A defence each turn
    would guard the hexes around it and stop the walks that bring the enemy within its abilities' reach.)"""
    if turn.key in defended:
        commander.focus()
    else:
        defended.add(turn.key)
        commander.defend()
    commander.end_turn()


def fight(commander, turn_timeout, max_turns, on_turn=None, on_row=None):
    """Plays the battle to its end: the first player's units close in on the nearest enemy (where it stood at its
    last turn) and strike it, with each of a scout's abilities once and then with Attack; the second player's
    units stand and defend or focus. At the first player's first turn Attack is chosen with no enemy in reach and
    taken back with Escape.
    Returns (the turns played, the team of the last unit to have its turn); the battle has ended when the game
    logged its end (a DriverError otherwise)."""
    places = {}  # (team, name): where the unit stood at its last turn
    defended = set()
    last_team = None
    for played in range(max_turns):
        turn = commander.wait_turn(turn_timeout)
        if turn is None:
            return played, last_team
        last_team = turn.team
        commander.note_turn(turn)
        places[(turn.team, turn.name)] = turn.place
        if on_turn:
            on_turn(turn)
        commander.settle_on_unit(turn)
        enemies = [place for (team, _), place in places.items() if team != turn.team]
        target = min(enemies, key=lambda place: distance(place, turn.place)) if enemies else None
        commander.say("turn %d: %s of player %d at (%d, %d), nearest enemy %s; %d walks measured" % (
            played + 1, turn.name, turn.team + 1, turn.row, turn.column,
            "unknown" if target is None else "%.1f hexes away" % (distance(turn.place, target) / HEX_STEP),
            len(commander.walks)))
        if turn.team == 1:
            stand(commander, turn, defended)
            continue
        if not commander.escapes:
            commander.attack_in_reach()
        close_in(commander, turn, target, (UNIT_ABILITY, AREA_ABILITY), on_row, cast_all=True)
    raise vd.DriverError("the battle did not end within %d turns" % max_turns)
