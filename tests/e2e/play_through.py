#!/usr/bin/env python3
"""One whole visit of the game as a player makes it, on the real binary under a virtual X server:

title with its video -> Space -> main menu -> Help (pages 1 to 5 and round again, Close) -> Options (1024 x 768,
Back) -> Start -> deployment (the level arrows, both players drag units onto their zones) -> Deploy -> loading ->
fly-over -> battle commanded from the HUD (walks, blows, an ability from the ability row, defences, End Turn) ->
end page with its statistics -> Rematch -> deployment -> Deploy -> the next battle -> menu button -> main menu ->
Quit, exit status 0.

Every screen is photographed into the output directory (<nn>-<screen>.png) and its buttons are looked for at the
places the game's layout gives them; the game's state is followed through its log lines. The run fails on any
missing widget, a state that does not come, a non-zero exit status or a sanitizer report.
"""

import argparse
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import varnholt_driver as vd  # noqa: E402
from varnholt_driver import centre  # noqa: E402

import battle  # noqa: E402
import screens as S  # noqa: E402

W, H = vd.WIDTH, vd.HEIGHT


class Walk:
    def __init__(self, args):
        self.args = args
        self.complaints = []
        self.shots = 0
        vd.require_tools()
        self.server = vd.XServer()
        self.out = os.path.abspath(args.out)
        os.makedirs(self.out, exist_ok=True)
        for name in os.listdir(self.out):
            if name.endswith(".png") or name.startswith("probe."):
                os.remove(os.path.join(self.out, name))
        self.game = vd.Game(os.path.abspath(args.game), os.path.abspath(args.workdir), self.server.display,
                            seed=args.seed, frame_time=args.frame_time,
                            log_path=os.path.join(self.out, "game.log"))
        self.player = vd.Player(self.server.display, self.game, minimum_frame=args.minimum_frame)
        self.camera = vd.Camera(self.server.display, self.out)
        self.timeout = args.screen_timeout
        self.started = time.monotonic()

    def note(self, complaint):
        print("  FAULT: " + complaint)
        self.complaints.append(complaint)

    def expect(self, condition, complaint):
        if not condition:
            self.note(complaint)
        return condition

    def record(self, image, screen):
        """Keeps the picture of a screen as <nn>-<screen>.png."""
        self.shots += 1
        name = "%02d-%s" % (self.shots, screen)
        print("%6.1f s  screen %s" % (time.monotonic() - self.started, name))
        self.camera.keep(image, name)
        return image

    def complaints_about(self, image, layout, sides=None, **limits):
        found = []
        for name, rect in layout.items():
            found += vd.check_widget(image, name, rect, (sides or {}).get(name, "lr"), **limits)
        return found

    def screen(self, screen, layout, sides=None, extra=None, **limits):
        """Waits until every widget of the layout shows at its place (and the extra test holds), then records
        the screen; what never shows is a fault."""
        def test(image):
            return not self.complaints_about(image, layout, sides, **limits) and (extra is None or extra(image))
        image, held = self.camera.wait_for(test, self.timeout)
        if not held:
            for complaint in self.complaints_about(image, layout, sides, **limits):
                self.note("%s: %s" % (screen, complaint))
            if extra is not None and not extra(image):
                self.note("%s: %s" % (screen, getattr(extra, "what", "the screen is not as expected")))
        return self.record(image, screen)

    def changed(self, before, rect, what, threshold=3.0, name="probe"):
        """Waits until a region differs from the picture before; a fault when it never does."""
        image, held = self.camera.wait_for(lambda im: im.difference(before, *rect) > threshold, self.timeout, name)
        self.expect(held, what)
        return image

    def same_as(self, reference, rect, what, threshold=2.0):
        """Waits until a region looks as it did in the reference picture."""
        image, held = self.camera.wait_for(lambda im: im.difference(reference, *rect) < threshold, self.timeout)
        self.expect(held, what)
        return image

    def wait_state(self, state, since, timeout=60.0):
        took = self.game.wait_event("session.state", state, since, timeout)
        print("  state %s after %.2f s" % (state, took))
        return took

    def rest_pointer(self):
        """The pointer away from every button, so none shows its hover picture."""
        self.player.move(W - 40, H // 2 + 60, 1)

    # Title: the intro video fills the screen and moves; Space leaves it.
    def title(self):
        self.wait_state("GAME_STATE_INTRO", 0, timeout=self.args.start_timeout)
        self.rest_pointer()

        def video_shows(image):
            # Not a flat clear colour: many colours, over every quarter of the screen (the intro is a dark sky,
            # so its brightness varies little).
            if len(set(image.samples(0, 0, W, H, step=4))) < 24:
                return False
            quarters = [(0, 0, W // 2, H // 2), (W // 2, 0, W // 2, H // 2), (0, H // 2, W // 2, H // 2),
                        (W // 2, H // 2, W // 2, H // 2)]
            return all(len(set(image.samples(*q, step=4))) >= 8 for q in quarters)
        video_shows.what = "the intro video does not fill the screen"
        first = self.screen("title", {}, extra=video_shows)
        self.changed(first, (0, 0, W, H), "the title video does not move", threshold=0.5)
        self.player.key_until("space", "session.state", "GAME_STATE_MAIN_MENU")

    def main_menu(self):
        self.rest_pointer()

        def help_text(image):
            return image.stats(*S.HELP_LABEL, step=1)[1] > 10.0
        help_text.what = "the \"F1 For Help\" text is missing"
        return self.screen("main-menu", S.MAIN_MENU, S.SIDES, extra=help_text)

    def help_screen(self, menu):
        self.player.click(*centre(S.MAIN_MENU["Help"]), frames=0)
        self.changed(menu, S.HELP_BACKDROP, "Help did not open the help window", threshold=15.0)
        self.rest_pointer()
        layout = {"help window": S.HELP_BACKDROP, "page text": S.HELP_PAGE, "page title": S.HELP_TITLE}
        layout.update(S.HELP_BUTTONS)
        sides = {name: "" for name in layout}
        sides["help window"] = "lrt"
        pages = [self.screen("help-page-1", layout, sides, min_spread=4.0)]
        for page in range(2, 6):
            self.player.click(*centre(S.HELP_BUTTONS["next"]), frames=0)
            image = self.changed(pages[-1], S.HELP_PAGE, "next did not turn the help to page %d" % page)
            self.expect(image.difference(pages[-1], *S.HELP_TITLE) > 3.0,
                        "the help title did not change on page %d" % page)
            self.rest_pointer()
            pages.append(self.screen("help-page-%d" % page, layout, sides, min_spread=4.0))
        # Past the last page the help starts again at the first; back from the first is the last.
        self.player.click(*centre(S.HELP_BUTTONS["next"]), frames=0)
        self.same_as(pages[0], S.HELP_PAGE, "next on page 5 did not come back to page 1")
        self.player.click(*centre(S.HELP_BUTTONS["previous"]), frames=0)
        self.same_as(pages[4], S.HELP_PAGE, "previous on page 1 did not go to page 5")
        self.player.click(*centre(S.HELP_BUTTONS["close"]), frames=0)
        closed = self.same_as(menu, S.HELP_BACKDROP, "Close did not take the help window away", threshold=6.0)
        self.record(closed, "help-closed")

    def options(self):
        self.player.click_until(*centre(S.MAIN_MENU["Options"]), "menu.screen", "SCREEN_OPTIONS")
        self.rest_pointer()
        before = self.screen("options", S.OPTIONS, {"Back": "lrb"})
        # The size the game already has: the device is reset and every widget keeps its place.
        since = self.game.mark()
        self.player.click(*centre(S.OPTIONS["1024 x 768"]), frames=8)
        self.rest_pointer()
        self.screen("options-after-reset", S.OPTIONS, {"Back": "lrb"})
        self.expect(self.game.state() == "GAME_STATE_MAIN_MENU" and not self.game.events("menu.screen", since),
                    "choosing 1024 x 768 left the options screen")
        del before
        self.player.click_until(*centre(S.OPTIONS["Back"]), "menu.screen", "SCREEN_MAIN_MENU")

    def deployment(self):
        self.player.click_until(*centre(S.MAIN_MENU["Start"]), "session.state", "GAME_STATE_DEPLOYMENT")
        self.rest_pointer()

        def board_shows(image):
            return image.stats(*S.SCENE_WINDOW, step=4)[1] > 8.0
        board_shows.what = "the view of the board is flat"
        sides = {name: "" for name in S.CLASS_BUTTONS}
        sides.update({"Deploy": "", "Back": "l", "Player 1": "", "Player 2": ""})
        layout = dict(S.CLASS_BUTTONS)
        layout.update(S.DEPLOYMENT)
        winter = self.screen("deployment", layout, sides, extra=board_shows)

        # The level arrows: the other level, and back to the first (the battle is fought there: the ravine is
        # open ground from one zone to the other).
        self.player.click(*centre(S.DEPLOYMENT["left arrow"]), frames=0)
        farm = self.changed(winter, S.LEVEL_NAME, "the left arrow did not change the level's name", threshold=5.0)
        self.expect(farm.difference(winter, *S.SCENE_WINDOW) > 5.0, "the left arrow did not change the level shown")
        self.rest_pointer()
        self.record(self.camera.shoot("probe"), "deployment-other-level")
        self.player.click(*centre(S.DEPLOYMENT["right arrow"]), frames=0)
        greyed = self.same_as(winter, S.LEVEL_NAME, "the right arrow did not bring the first level back")

        self.deploy_armies(layout, sides, "", second_first=True)
        self.rest_pointer()
        ready = self.changed(greyed, S.DEPLOYMENT["Deploy"], "Deploy does not show itself ready once both players "
                             "have units", threshold=5.0)
        self.record(ready, "deployment-ready")

    def deploy_armies(self, layout, sides, game, second_first=False):
        """Each player: choose him, then drag classes onto the middle of his zone, which the camera looks at. With
        second_first the second player is chosen and buys before the first: the end page must still tell the
        sides by their numbers, not by the order they came in."""
        armies = [(0, "Player 1", self.args.army1.split(",")), (1, "Player 2", self.args.army2.split(","))]
        if second_first:
            armies.reverse()
        for team, button, army in armies:
            before = self.camera.shoot("probe")
            self.player.click(*centre(S.DEPLOYMENT[button]), frames=0)
            self.changed(before, S.REQUISITION, "player %d: choosing him shows no requisition" % (team + 1))
            self.rest_pointer()

            def chosen(image):
                return image.stats(*S.PREVIEW, step=2)[1] > 8.0 and image.stats(*S.REQUISITION, step=2)[1] > 8.0
            chosen.what = "the class preview or the requisition is missing"
            image = self.screen("%sdeployment-player-%d" % (game, team + 1), layout, sides, extra=chosen)
            for unit in army:
                image = self.buy(team, unit, image)
            self.record(image, "%sdeployment-player-%d-army" % (game, team + 1))

    def buy(self, team, unit, before):
        """Drags a class onto the zone: the middle of the view first (the camera looks at the middle of the zone),
        then the hexes around it. Returns the picture after the purchase."""
        home = S.CLASS_BUTTONS[unit]
        cx, cy = centre(S.SCENE_WINDOW)
        for dx, dy in [(0, 0), (-55, 0), (55, 0), (-28, 35), (28, 35), (-110, 0), (110, 0), (0, 70)]:
            bought, image = vd.drag_onto_board(self.player, self.camera, home, (cx + dx, cy + dy), before,
                                               S.REQUISITION, self.timeout)
            if bought:
                print("  player %d bought a %s at %+d,%+d from the middle of the view" % (team + 1, unit, dx, dy))
                self.rest_pointer()
                after, _ = self.camera.wait_for(lambda im: im.difference(before, *home) < 2.0, self.timeout)
                return after
            before = image
        self.note("player %d: could not place a %s on the zone" % (team + 1, unit))
        return before

    def loading(self):
        since = self.game.mark()
        self.player.click_until(*centre(S.DEPLOYMENT["Deploy"]), "session.state", "GAME_STATE_LOADING")

        def picture(image):
            return image.stats(0, 0, W, H, step=4)[1] > 8.0
        picture.what = "the loading picture is flat"
        shown = self.screen("loading", {"loading bar frame": S.LOADING_FRAME}, {"loading bar frame": ""},
                            extra=picture)
        self.wait_state("GAME_STATE_BATTLE", since, timeout=self.args.load_timeout)
        return shown

    def battle(self, loading):
        # The loading picture gives way to the battlefield.
        image = self.changed(loading, (0, 0, W, H), "the loading picture stays after the battle began",
                             threshold=10.0)
        self.record(image, "battle-opening")
        commander = battle.Commander(self.game, self.player, self.camera, self.timeout, self.args.turn_timeout,
                                     verbose=self.args.verbose)
        hud_seen = []

        def first_turn(turn):
            if hud_seen:
                return
            hud_seen.append(turn)
            self.rest_pointer()
            layout = dict(S.ACTIONS)
            layout.update({"HUD frame": S.HUD_FRAME, "main-menu button": S.HUD_MAIN_MENU,
                           "health bar": S.HEALTH_FRAME, "mana bar": S.MANA_FRAME})
            sides = {name: "" for name in layout}
            self.screen("battle-hud", layout, sides)

        rows_seen = []

        def ability_row(before, row):
            # A unit short of action points has every action greyed and the row does not open: the next try.
            if rows_seen or row.difference(before, *S.ACTIONS["Move"]) <= 5.0:
                return
            rows_seen.append(row)
            # The row replaces the actions: Back at the end of it, and the pointer's ability shows its costs in
            # the description box risen above the HUD.
            layout = {"ability %d" % (i + 1): rect for i, rect in enumerate(S.ABILITIES[:2])}
            layout["Back"] = S.ABILITY_BACK
            for complaint in self.complaints_about(row, layout, {name: "" for name in layout}):
                self.note("ability row: " + complaint)
            self.expect(row.difference(before, *S.DESCRIPTION) > 10.0, "the ability's description box did not rise")
            self.record(row, "battle-ability-row")

        since = self.game.mark()
        turns, last_team = battle.fight(commander, self.args.turn_timeout, self.args.max_turns, on_turn=first_turn,
                                        on_row=ability_row)
        print("  the battle ended after %d turns: %d walks, %d blows struck, abilities cast %s, %d defences, "
              "%d focuses, %d commands taken back" % (turns, commander.walked, commander.attacks,
                                                       commander.cast_counts, commander.defends, commander.focuses,
                                                       commander.escapes))
        self.expect(rows_seen, "Magic Spells never opened the ability row")
        self.expect(commander.walked > 0, "no unit walked in the battle")
        self.expect(commander.attacks > 0, "no blow was struck with Attack in the battle")
        self.expect(commander.cast_counts.get(battle.UNIT_ABILITY), "the ability on one unit was not cast")
        self.expect(commander.cast_counts.get(battle.AREA_ABILITY), "the area ability was not cast")
        self.expect(commander.defends > 0, "no unit defended in the battle")
        self.expect(commander.focuses > 0, "no unit focused in the battle")
        self.expect(commander.escapes > 0, "no command was taken back with Escape")
        self.wait_state("GAME_STATE_GAME_OVER", 0, timeout=self.timeout)
        self.check_result(commander, since, last_team)

    def check_result(self, commander, since, last_team):
        """The end page's winner and its statistics columns (as the game logs them) against the battle the walk
        saw: the first player's units struck every blow and walked every step, the second player's stood; the
        side whose unit had the last turn struck the last blow."""
        lines = self.game.events("session.result", since)
        if not self.expect(lines, "the end page's result was not logged"):
            return
        match = re.match(r"^(Player [12] Wins!) kills (\d+) (\d+), damage (\d+) (\d+), turns (\d+) (\d+), "
                         r"hexes walked (\d+) (\d+)$", lines[-1])
        if not self.expect(match, "the end page's result is not understood: %s" % lines[-1]):
            return
        print("  end page: " + lines[-1])
        banner = match.group(1)
        kills, damage, begun, walked = [(int(match.group(2 + 2 * i)), int(match.group(3 + 2 * i))) for i in range(4)]
        self.expect(last_team == 0, "the battle's last turn was not the first player's (%s)" % last_team)
        self.expect(banner == "Player 1 Wins!", "the first player won, but the end page says \"%s\"" % banner)
        enemies = len(self.args.army2.split(","))
        self.expect(kills == (enemies, 0), "kills: the first player killed %d, the second none; the end page has "
                    "%d and %d" % ((enemies,) + kills))
        self.expect(damage[0] > 0 and damage[1] == 0, "damage dealt: the first player's only; the end page has "
                    "%d and %d" % damage)
        turns = [t.team for t in commander.turns() if t.mark > since]
        counted = (turns.count(0), turns.count(1))
        self.expect(begun == counted, "turns: the battle had %d and %d; the end page has %d and %d"
                    % (counted + begun))
        self.expect(walked[0] > 0 and walked[1] == 0, "hexes walked: the first player's only; the end page has "
                    "%d and %d" % walked)

    def end_of_game(self):
        self.rest_pointer()

        def winner_art(image):
            return image.stats(*S.END_TEXT, step=2)[1] > 8.0
        winner_art.what = "the end page's picture is missing"

        def statistics(image):
            # Each side's four numbers (kills, damage, turns, hexes walked) are written on the backdrop in the
            # side's colour: blue for the first player, red for the second.
            def blue(rect):
                return sum(1 for r, g, b in image.samples(*rect, step=1) if b > 180 and r < 150)

            def red(rect):
                return sum(1 for r, g, b in image.samples(*rect, step=1) if r > 180 and g < 110 and b < 110)
            return all(blue(rect) >= 6 for rect in S.END_STATISTICS[:4]) and \
                all(red(rect) >= 6 for rect in S.END_STATISTICS[4:])
        statistics.what = "the end page's statistics are missing"
        layout = dict(S.END_OF_GAME)
        layout["backdrop"] = S.END_BACKDROP
        self.screen("end-of-game", layout, {"Rematch": "", "Quit": "", "backdrop": ""},
                    extra=lambda image: winner_art(image) and statistics(image))
        self.player.click_until(*centre(S.END_OF_GAME["Rematch"]), "session.state", "GAME_STATE_DEPLOYMENT")

    def second_game(self):
        """After the rematch, the same armies once more, up to the battle's first turn; the menu button leads to
        the main menu."""
        self.rest_pointer()
        sides = {name: "" for name in S.CLASS_BUTTONS}
        sides.update({"Deploy": "", "Back": "l", "Player 1": "", "Player 2": ""})
        layout = dict(S.CLASS_BUTTONS)
        layout.update(S.DEPLOYMENT)
        self.screen("rematch-deployment", layout, sides)
        self.deploy_armies(layout, sides, "rematch-")
        since = self.game.mark()
        self.player.click_until(*centre(S.DEPLOYMENT["Deploy"]), "session.state", "GAME_STATE_LOADING")
        self.wait_state("GAME_STATE_BATTLE", since, timeout=self.args.load_timeout)
        self.game.wait_event("session.turn", None, since, self.args.turn_timeout)
        self.player.click_until(*centre(S.HUD_MAIN_MENU), "session.state", "GAME_STATE_MAIN_MENU")
        self.rest_pointer()
        self.screen("main-menu-at-the-end", S.MAIN_MENU, S.SIDES)

    def quit(self, how):
        if how == "menu":
            self.rest_pointer()
            self.player.click(*centre(S.MAIN_MENU["Quit"]), frames=2)
        else:
            # The window is closed the way the desktop closes it.
            self.game.process.terminate()
        status = self.game.wait_exit(self.args.exit_timeout)
        self.expect(status == 0, "the game did not end with status 0 (status %s)" % status)

    def run(self):
        started = time.monotonic()
        try:
            self.title()
            menu = self.main_menu()
            self.help_screen(menu)
            self.options()
            self.deployment()
            loading = self.loading()
            self.battle(loading)
            self.end_of_game()
            self.second_game()
            self.quit("menu")
        except vd.DriverError as error:
            self.note(str(error))
            try:
                self.record(self.camera.shoot("probe"), "failure")
            except Exception as shot_error:  # the display may be gone with the game
                print("  (no picture of the failure: %s)" % shot_error)
        finally:
            self.game.stop()
            self.camera.close()
            self.player.close()
            self.server.stop()
        for report in self.game.sanitizer_reports():
            self.note("sanitizer: " + report)
        for line in self.game.unexpected()[:20]:
            self.note("unexpected on stderr: " + line)
        print("%d screens in %.0f s; frame pace learnt %.3f s" % (self.shots, time.monotonic() - started,
                                                                   self.player.frame))
        print("states: " + " ".join(s.replace("GAME_STATE_", "") for s in self.game.events("session.state")))
        return vd.finish(self.out, self.complaints, "all screens as laid out")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--game", required=True, help="the game binary")
    parser.add_argument("--workdir", required=True, help="the directory holding Data/ (the build directory)")
    parser.add_argument("--out", required=True, help="where the screenshots go")
    parser.add_argument("--seed", type=int, default=20240601)
    parser.add_argument("--frame-time", type=float, default=0.25)
    parser.add_argument("--minimum-frame", type=float, default=0.1,
                        help="the shortest pause between two inputs, in seconds")
    parser.add_argument("--start-timeout", type=float, default=120.0)
    parser.add_argument("--load-timeout", type=float, default=180.0)
    parser.add_argument("--exit-timeout", type=float, default=60.0)
    parser.add_argument("--turn-timeout", type=float, default=120.0, help="how long a turn may take to come")
    parser.add_argument("--max-turns", type=int, default=60)
    parser.add_argument("--verbose", action="store_true", help="tell each command given in the battle")
    parser.add_argument("--screen-timeout", type=float, default=20.0,
                        help="how long a screen may take to show what it should")
    parser.add_argument("--army1", default="Scout", help="the classes player 1 buys")
    parser.add_argument("--army2", default="Scout", help="the classes player 2 buys")
    return Walk(parser.parse_args()).run()


if __name__ == "__main__":
    sys.exit(main())
