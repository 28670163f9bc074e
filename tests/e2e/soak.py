#!/usr/bin/env python3
"""Plays whole games one after another in one process of the game, the way a careless player would: random
deployments, random clicks on the battle's buttons and the board (most of them commands the game can carry out)
and random keys, all through the window system's input. After each game it takes the rematch and plays again.

It fails on a crash or a sanitizer report, on a game that does not reach its end page within a bound (with a
picture of where it stuck), and on resident memory or open files that keep growing from game to game.
"""

import argparse
import math
import os
import random
import resource
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import battle  # noqa: E402
from approach import Approach  # noqa: E402
from phases import Phases  # noqa: E402
import screens as S  # noqa: E402
import varnholt_driver as vd  # noqa: E402
from varnholt_driver import centre  # noqa: E402

W, H = vd.WIDTH, vd.HEIGHT

# Where the board can be clicked in battle: above the HUD, below the main-menu button.
BOARD = (0, 60, W, S.HUD_B - 60)
COSTS = {"Militia": 25, "Scout": 25, "Mage": 25, "Pikeman": 50, "Archer": 50, "Rogue": 50, "Healer": 50,
         "CombatMage": 50, "Knight": 75, "Paladin": 75, "Assassin": 75}

# The ways a unit tries, off the way to the enemy, when nothing lights straight on: before any walk is measured the
# way is a guess, and by the board's edge a wrong guess points off the board.
SPREAD = (0.0, 0.5, -0.5, 1.0, -1.0, 1.6, -1.6)


class Stuck(AssertionError):
    pass


class Soak:
    def __init__(self, args):
        self.args = args
        self.random = random.Random(args.seed)
        vd.require_tools()
        self.out = os.path.abspath(args.out)
        os.makedirs(self.out, exist_ok=True)
        for name in os.listdir(self.out):
            if name.endswith(".png") or name.startswith("probe."):
                os.remove(os.path.join(self.out, name))
        self.server = vd.XServer()
        self.game = vd.Game(os.path.abspath(args.game), os.path.abspath(args.workdir), self.server.display,
                            seed=args.seed, frame_time=args.frame_time,
                            log_path=os.path.join(self.out, "game.log"))
        self.player = vd.Player(self.server.display, self.game, minimum_frame=args.minimum_frame)
        self.camera = vd.Camera(self.server.display, self.out)
        # Where each battle's time goes, told with its end.
        self.phases = Phases()
        self.phases.watch(self.camera, "shoot")
        self.phases.watch(self.player, "settle", "send")
        self.timeout = args.screen_timeout
        self.samples = []  # (game, resident KiB, open files) at the start of each deployment
        self.faults = []
        self.clicks = 0
        self.turns = 0
        self.paced_since = 0  # the log mark the game's pace is measured from

    def fault(self, text):
        print("  FAULT: " + text)
        self.faults.append(text)

    def picture(self, name):
        try:
            self.camera.shoot(name)
            print("  picture: %s.png" % os.path.join(self.out, name))
        except Exception as error:  # the display may be gone with the game
            print("  (no picture: %s)" % error)

    def wait_state(self, state, since, timeout):
        try:
            return self.game.wait_event("session.state", state, since, timeout)
        except vd.DriverError as error:
            raise Stuck(str(error))

    def start(self):
        self.wait_state("GAME_STATE_INTRO", 0, self.args.start_timeout)
        self.player.move(W - 40, H // 2 + 60, 1)
        self.player.key_until("space", "session.state", "GAME_STATE_MAIN_MENU", timeout=self.timeout)
        self.player.click_until(*centre(S.MAIN_MENU["Start"]), "session.state", "GAME_STATE_DEPLOYMENT",
                                timeout=self.timeout)

    def sample(self, game):
        # The same moment of every game: the deployment screen has settled, nothing is loading.
        self.player.settle(4)
        rss, files, threads = self.game.rss_kib(), self.game.open_files(), self.game.threads()
        self.samples.append((game, rss, files, threads))
        print("  game %d: resident %s KiB, %s open files, %s threads" % (game, rss, files, threads))

    def army(self):
        """A tiny random army within the budget: one or two units, cheap ones more often."""
        count = self.random.randint(1, self.args.max_units)
        budget = 200
        chosen = []
        for _ in range(count):
            affordable = [name for name, cost in COSTS.items() if cost <= budget]
            weights = [100 // COSTS[name] for name in affordable]
            name = self.random.choices(affordable, weights)[0]
            chosen.append(name)
            budget -= COSTS[name]
        return chosen

    def deploy(self, game):
        # Now and then the other level first.
        for _ in range(self.random.choice([0, 0, 1, 2])):
            arrow = self.random.choice(["left arrow", "right arrow"])
            before = self.camera.shoot()
            self.player.click(*centre(S.DEPLOYMENT[arrow]), frames=0)
            self.camera.wait_for(lambda im: im.difference(before, *S.LEVEL_NAME) > 5.0, self.timeout)
        teams = [0, 1]
        self.random.shuffle(teams)
        for team in teams:
            button = S.DEPLOYMENT["Player %d" % (team + 1)]
            before = self.camera.shoot()
            # On a loaded machine a click can land in a frame that the page does not look at (seen once in a
            # long soak): a player clicks again rather than giving up on the deployment.
            shown = False
            for _ in range(3):
                self.player.click(*centre(button), frames=0)
                _, shown = self.camera.wait_for(lambda im: im.difference(before, *S.REQUISITION_NUMBER) > 3.0,
                                                self.timeout / 3)
                if shown:
                    break
            if not shown:
                raise Stuck("game %d: choosing player %d shows no requisition" % (game, team + 1))
            self.player.move(W - 40, 200, 2)
            image = self.camera.shoot()
            placed = 0
            for unit in self.army():
                cx, cy = centre(S.SCENE_WINDOW)
                home = S.CLASS_BUTTONS[unit]
                for _ in range(6):
                    target = (cx + self.random.randint(-130, 130), cy + self.random.randint(-30, 60))
                    before = image
                    bought, image = vd.drag_onto_board(self.player, self.camera, home, target, before,
                                                       S.REQUISITION, self.timeout)
                    if bought:
                        placed += 1
                        self.player.move(W - 40, 200, 2)
                        # The button glides back home before the next one is taken.
                        image, _ = self.camera.wait_for(lambda im: im.difference(before, *home) < 2.0,
                                                        self.timeout)
                        break
            if not placed:
                raise Stuck("game %d: player %d could not place a unit" % (game, team + 1))
        since = self.game.mark()
        self.player.click_until(*centre(S.DEPLOYMENT["Deploy"]), "session.state", "GAME_STATE_LOADING",
                                timeout=self.timeout)
        self.wait_state("GAME_STATE_BATTLE", since, self.args.load_timeout)

    def battle(self, game, since):
        """Commands every turn from the HUD: up to two random commands (walks, blows and abilities when the enemy is
        near, defences, focuses, keys, clicks anywhere on the board), then the unit closes in on the enemy and
        strikes it, so that every battle ends."""
        started = time.monotonic()
        # The commands are paced by the game's frames: how long they took since the last deployment (the whole
        # run before the first), from the game time its log tells.
        pace = self.game.pace(self.paced_since)
        if pace:
            self.player.frame = max(self.args.minimum_frame, min(pace, 1.0))
        print("  a frame takes %.0f ms" % (1000 * self.player.frame))
        commander = battle.Commander(self.game, self.player, self.camera, self.timeout, self.args.turn_timeout,
                                     verbose=self.args.verbose)
        commander.row_frames = 16
        self.phases.watch(commander, "wait_turn", "settle_on_unit", "wait_still", "walk", "lit_cells", "choose",
                          "strike_lit", "cast_in_reach", "queue", "end_turn", "find_unit", "find_enemy")
        self.phases.clear()
        self.player.hold = commander.battle_over
        commander.turns_seen = len(commander.turns())
        commander.since = since
        approach = Approach(window=self.args.stall_turns)
        while True:
            if time.monotonic() - started > self.args.battle_timeout:
                raise Stuck("game %d: no end page after %.0f s of battle" % (game, self.args.battle_timeout))
            try:
                turn = commander.wait_turn(self.args.turn_timeout)
            except vd.DriverError as error:
                raise Stuck("game %d: %s" % (game, error))
            if turn is None:
                return
            commander.note_turn(turn)
            approach.note(turn.key, (turn.row, turn.column))
            stuck = approach.stuck()
            if stuck:
                raise Stuck("game %d: %s" % (game, stuck))
            commander.settle_on_unit(turn)
            nearest = approach.target(turn.key)
            target = battle.ground(*nearest) if nearest else None
            direction = battle.heading_towards(commander, turn, target)
            near = target is not None and battle.distance(turn.place, target) < 8 * battle.HEX_STEP
            detour = approach.detour(turn.key)
            try:
                # A unit that has stopped coming nearer spends its action points on getting round what is in
                # its way rather than on random commands.
                for _ in range(0 if detour else self.random.randint(0, 2)):
                    if commander.turn_over():
                        break
                    self.random_command(commander, turn, direction, near)
                    if "GAME_STATE_GAME_OVER" in self.game.events("session.state", since):
                        return
                # Now and then an ability first, at a place of the row the unit may not have.
                abilities = [self.random.randrange(len(S.ABILITIES))] if self.random.random() < 0.4 else []
                commander.cast_counts.clear()
                battle.close_in(commander, turn, target, abilities, detour=detour, spread=SPREAD)
            except vd.DriverError as error:
                raise Stuck("game %d: %s" % (game, error))

    def random_command(self, commander, turn, direction, near):
        roll = self.random.random()
        if roll < 0.08:
            self.player.key(self.random.choice(["Escape", "Tab", "w", "s"]), frames=2)
        elif roll < 0.16:
            self.player.click(self.random.randint(0, W - 1), self.random.randint(BOARD[1], S.HUD_B), frames=2)
            commander.withdraw()
        elif roll < 0.3:
            self.player.click(*centre(S.ACTIONS[self.random.choice(["Defend", "Focus"])]), frames=2)
        elif near and roll < 0.45:
            commander.cast_in_reach(self.random.randrange(len(S.ABILITIES)), towards=direction)
        elif near and roll < 0.75:
            commander.attack_in_reach(direction)
        elif near:
            # Near the enemy a random walk away would only make the battle longer.
            return
        else:
            angle = self.random.uniform(-0.8, 0.8)
            c, s = math.cos(angle), math.sin(angle)
            commander.walk(turn, (direction[0] * c - direction[1] * s, direction[0] * s + direction[1] * c))
        self.clicks += 1

    def end_page(self, game, last):
        since = self.game.mark()
        image, _ = self.camera.wait_for(
            lambda im: not any(vd.check_widget(im, name, rect, "") for name, rect in S.END_OF_GAME.items()),
            self.timeout)
        for name, rect in S.END_OF_GAME.items():
            for complaint in vd.check_widget(image, name, rect, ""):
                self.fault("game %d end page: %s" % (game, complaint))
        if game == 1:
            self.camera.keep(image, "end-page")
        if last:
            self.player.click(*centre(S.END_OF_GAME["Quit"]), frames=2)
            return
        self.player.click_until(*centre(S.END_OF_GAME["Rematch"]), "session.state", "GAME_STATE_DEPLOYMENT",
                                timeout=self.timeout)
        del since

    def check_growth(self):
        """Memory, open files and threads measured at the same moment of each game must level off. The first
        games fill the caches of the levels and classes they meet for the first time, so memory is compared from
        the second game (from the middle one in a long run, by when most of them were met) to the last, and what
        the later games add must stay within an allowance."""
        if len(self.samples) < 3:
            return
        base_game, base_rss, base_files, base_threads = self.samples[max(1, (len(self.samples) - 1) // 2)]
        last_game, last_rss, last_files, last_threads = self.samples[-1]
        games = last_game - base_game
        if base_rss and last_rss:
            growth = last_rss - base_rss
            allowed = self.args.rss_allowance_kib + self.args.rss_per_game_kib * games
            print("resident memory from game %d to %d: %+d KiB (allowed %d)" % (base_game, last_game, growth,
                                                                                allowed))
            if growth > allowed:
                self.fault("resident memory grew by %d KiB over %d games" % (growth, games))
        if base_files is not None and last_files is not None:
            print("open files from game %d to %d: %d -> %d" % (base_game, last_game, base_files, last_files))
            if last_files > base_files + 2:
                self.fault("open files grew from %d to %d over %d games" % (base_files, last_files, games))
        if base_threads is not None and last_threads is not None:
            print("threads from game %d to %d: %d -> %d" % (base_game, last_game, base_threads, last_threads))
            if last_threads > base_threads:
                self.fault("threads grew from %d to %d over %d games" % (base_threads, last_threads, games))

    def run(self):
        started = time.monotonic()
        played = 0
        try:
            self.start()
            for game in range(1, self.args.games + 1):
                print("game %d" % game)
                self.sample(game)
                deployed = self.game.mark()
                self.paced_since = self.paced_since if game == 1 else previous
                previous = deployed
                game_started = time.monotonic()
                self.deploy(game)
                since = self.game.mark()
                try:
                    self.battle(game, since)
                finally:
                    self.player.hold = None
                # The battle began before the mark the battle was commanded from: its state line is in the
                # deployment's part of the log.
                times = dict(self.game.game_times(deployed))
                length = times.get("GAME_STATE_GAME_OVER", 0.0) - times.get("GAME_STATE_BATTLE", 0.0)
                turns = len(self.game.events("session.turn", since))
                self.turns += turns
                print("  battle over after %d turns, %.1f s of game time, %.0f s from deployment; %d targeted clicks "
                      "so far" % (turns, length, time.monotonic() - game_started, self.clicks))
                print("  time spent: " + self.phases.report())
                if self.args.verbose:
                    print("  by caller: " + self.phases.report(by_caller=True))
                if turns > self.args.battle_turns:
                    self.fault("game %d: the battle took %d turns" % (game, turns))
                self.end_page(game, last=game == self.args.games)
                played = game
            status = self.game.wait_exit(self.args.exit_timeout)
            if status != 0:
                self.fault("the game did not end with status 0 (status %s)" % status)
        except Stuck as stuck:
            self.fault(str(stuck) + " (last state %s)" % self.game.state())
            self.picture("stuck")
        except vd.DriverError as error:
            self.fault(str(error))
            self.picture("failure")
        finally:
            self.game.stop()
            self.camera.close()
            self.player.close()
            self.server.stop()
        for report in self.game.sanitizer_reports():
            self.fault("sanitizer: " + report)
        for line in self.game.unexpected()[:20]:
            self.fault("unexpected on stderr: " + line)
        self.check_growth()
        usage = resource.getrusage(resource.RUSAGE_SELF)
        print("%d of %d games played in %.0f s, %d turns; the player used %.0f s of processor time" % (
            played, self.args.games, time.monotonic() - started, self.turns, usage.ru_utime + usage.ru_stime))
        return vd.finish(self.out, self.faults, "no faults")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("games", type=int, nargs="?", default=200, help="how many whole games to play")
    parser.add_argument("--game", required=True, help="the game binary")
    parser.add_argument("--workdir", required=True, help="the directory holding Data/ (the build directory)")
    parser.add_argument("--out", required=True, help="where the log and the pictures of faults go")
    parser.add_argument("--seed", type=int, default=1, help="seeds the game and the random player alike")
    parser.add_argument("--frame-time", type=float, default=0.25)
    parser.add_argument("--turn-timeout", type=float, default=120.0, help="how long a turn may take to come")
    parser.add_argument("--max-units", type=int, default=1, help="the largest army a player buys")
    parser.add_argument("--minimum-frame", type=float, default=0.02,
                        help="the shortest frame the commands are paced by (seconds)")
    parser.add_argument("--screen-timeout", type=float, default=30.0)
    parser.add_argument("--start-timeout", type=float, default=120.0)
    parser.add_argument("--load-timeout", type=float, default=180.0)
    parser.add_argument("--exit-timeout", type=float, default=60.0)
    parser.add_argument("--battle-timeout", type=float, default=900.0,
                        help="real seconds a battle may last before the game counts as stuck (the last resort: a "
                        "battle whose units stop coming nearer fails sooner, see --stall-turns; a battle takes one "
                        "to three minutes on two cores, and a weak unit against a healer that mends itself up to "
                        "ten)")
    parser.add_argument("--verbose", action="store_true",
                        help="tell each command of the battles and keep the pictures it was chosen by")
    parser.add_argument("--stall-turns", type=int, default=30,
                        help="turns of a battle in which no unit comes nearer its enemy, out of reach, before it "
                        "counts as stuck")
    parser.add_argument("--battle-turns", type=int, default=200,
                        help="turns a battle may last (counted in turns, not in game time: a turn's game time is "
                        "mostly the frames that go by while this player looks and waits, more on a busy machine; the "
                        "longest of a hundred soak games took 94)")
    parser.add_argument("--rss-allowance-kib", type=int, default=49152,
                        help="resident memory the later games may add in all (levels and classes met for the first "
                        "time fill caches)")
    parser.add_argument("--rss-per-game-kib", type=int, default=256,
                        help="and per game on top")
    return Soak(parser.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
