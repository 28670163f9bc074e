"""Which way on the screen is which way on the board, learnt from walks.

The battle's camera follows the unit whose turn it is and turns only when the player turns it (the A and D keys or
a drag with the right button), so within one battle a direction on the screen is a direction on the board turned
by one fixed angle, the camera's heading. The camera looks down at a slant, so the screen's up and down stand for
longer stretches of the board than its left and right: a screen direction (x right, y down) is first stretched to
(x, -y * squash), then turned by the heading.

Each walk measured (the screen direction clicked, the board displacement seen at the unit's next turn) tells the
heading by itself, but some tell it wrongly: a walk stopped short or pushed aside, a unit that was not where the
pointer was measured from. So the heading is the measurement that disagrees least with the others (a median on
the circle), refined by the mean of those near it; the others are left out. Before any measurement a prior, when
known, is used; with few measurements it breaks ties.

Nothing here touches the game: it is tested on its own (test_heading.py).
"""

import math

# How much longer a stretch of the board the screen's vertical stands for than its horizontal: the camera looks
# down at about 25 degrees from a distance twice its height above the board.
SQUASH = 2.3
# Measurements farther than this from the median are left out (radians).
AGREE = math.radians(35.0)


def wrap(angle):
    """An angle brought into (-pi, pi]."""
    angle = math.fmod(angle, 2 * math.pi)
    if angle > math.pi:
        angle -= 2 * math.pi
    elif angle <= -math.pi:
        angle += 2 * math.pi
    return angle


def board_of_screen(screen, squash=SQUASH):
    """A screen direction (x right, y down) in the camera's own board frame: right, and ahead stretched."""
    return screen[0], -screen[1] * squash


def angle_of(screen, board, squash=SQUASH):
    """The heading one walk tells: the angle that turns the screen direction, stretched, into the board
    displacement (x along the rows, z along the columns)."""
    ux, uy = board_of_screen(screen, squash)
    wx, wz = board
    return math.atan2(ux * wz - uy * wx, ux * wx + uy * wz)


class Heading:
    """The camera's heading learnt from a battle's walks.

    keep: the most recent measurements looked at. minimum: the board length (world units) a walk must have to be
    measured (a walk of one hex can only go one of six ways, so it tells the heading to 30 degrees at best).
    prior: the heading believed before any walk, or None."""

    def __init__(self, prior=None, keep=9, minimum=160.0, squash=SQUASH):
        self.prior = prior
        self.keep = keep
        self.minimum = minimum
        self.squash = squash
        self.measured = []  # angles, oldest first

    def note(self, screen, board):
        """A walk: the screen direction clicked and the board displacement it made. Returns whether it was
        measured (a short walk, or a screen direction of no length, is not)."""
        if math.hypot(*board) < self.minimum or math.hypot(*screen) < 1e-6:
            return False
        self.measured.append(angle_of(screen, board, self.squash))
        del self.measured[:-self.keep]
        return True

    def forget(self):
        """Drops what was learnt (the camera was turned)."""
        self.measured = []

    def votes(self):
        """(angle, weight) of the measurements and the prior: the prior counts half a measurement."""
        votes = [(angle, 1.0) for angle in self.measured]
        if self.prior is not None:
            votes.append((self.prior, 0.5))
        return votes

    def angle(self):
        """The heading, or None with neither measurements nor a prior."""
        votes = self.votes()
        if not votes:
            return None
        # The vote nearest to all the others (ties to the most recent measurement).
        best = min(reversed(votes), key=lambda vote: sum(weight * abs(wrap(vote[0] - other))
                                                          for other, weight in votes))[0]
        near = [(angle, weight) for angle, weight in votes if abs(wrap(angle - best)) <= AGREE]
        s = sum(weight * math.sin(angle) for angle, weight in near)
        c = sum(weight * math.cos(angle) for angle, weight in near)
        return math.atan2(s, c)

    def outliers(self):
        """The measurements left out of the heading."""
        angle = self.angle()
        return [a for a in self.measured if abs(wrap(a - angle)) > AGREE]

    def screen_towards(self, board):
        """The screen direction (x right, y down, of length one) that walks along a board direction, or None
        while the heading is not known."""
        angle = self.angle()
        norm = math.hypot(*board)
        if angle is None or norm < 1e-6:
            return None
        c, s = math.cos(-angle), math.sin(-angle)
        ux, uy = board[0] * c - board[1] * s, board[0] * s + board[1] * c
        sx, sy = ux, -uy / self.squash
        length = math.hypot(sx, sy)
        return sx / length, sy / length


# The fewest and the most pixels of the screen a hex of the board spans, from across the view (the far zoom, seen
# along the camera's slant) to along it (the near zoom).
PIXELS_PER_HEX = (14.0, 150.0)
# Hexes an enemy may have come nearer since its place was told (a unit walks up to seven hexes a walk, and a
# rogue or a scout walks twice or more in a turn).
ENEMY_STEPS = 16.0
# The unit's own figure, from its feet up (left, top, right, bottom from the middle of its ring): the red of a
# tunic or a banner there is not an enemy.
OWN_FIGURE = (-26, -100, 26, 10)


# Beyond this many hexes an enemy seen must lie within this angle of the way the heading tells: it can have
# walked a turn's hexes since, which turns the way to it by less than this (asin(16 / 20) is 53 degrees).
FAR_SIGHTING = (20.0, math.radians(60.0))


def sighting_fits(offset, hexes, expected=None):
    """Whether something of the enemy's colour, at offset (pixels from the unit's feet), can be the enemy when the
    board places tell it stands about hexes away (None: not known) and, when the heading is known, in the expected
    screen direction. It cannot stand in the unit's own figure, nor nearer on the screen than its hexes allow, nor
    farther, nor, far off, the other way."""
    dx, dy = offset
    if OWN_FIGURE[0] < dx < OWN_FIGURE[2] and OWN_FIGURE[1] < dy < OWN_FIGURE[3]:
        return False
    if hexes is None:
        return True
    pixels = math.hypot(dx, dy)
    fewest = PIXELS_PER_HEX[0] * max(0.0, hexes - ENEMY_STEPS)
    most = PIXELS_PER_HEX[1] * (hexes + 1.0)
    if not fewest <= pixels <= most:
        return False
    if expected is not None and hexes > FAR_SIGHTING[0] and pixels > 0:
        cosine = (dx * expected[0] + dy * expected[1]) / (pixels * math.hypot(*expected))
        return cosine >= math.cos(FAR_SIGHTING[1])
    return True
