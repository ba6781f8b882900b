"""The built-in player in the packaged saver: without any installed player
(a prefix of its own) it plays the generated demo movie, which ends the
saver with its "quit"; a damaged movie shows the background colour and the
saver still ends on a key; the preview hosts its window. With the stand-in
registered, Player = builtin bypasses it, and auto takes it unless the
package asks for a newer one."""

import argparse
import os
import subprocess
import sys
import time
import traceback

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import player_scenario as ps  # noqa: E402
import harness  # noqa: E402
from harness import check  # noqa: E402

GUID = "ZembraBuiltin-5E21"
PLAYER_CLASS = "ZembraMoviePlayer"
# The demo movie's colours (tools/swfgen/uDemoMovie.h).
SKY = (0x10, 0x20, 0x40)
STAR = (0xD0, 0x40, 0xA0)


class BarePrefixScenario(harness.Scenario):
    def __init__(self, build_dir, name):
        super().__init__(build_dir, name)
        self.prefix = os.path.join(self.build_dir, "wineprefix-noplayer")


def generate_movie(s, frames):
    out = s.path("movie.swf")
    r = ps.wine(s, s.program("zembra-swfgen.exe"), s.winpath(out), "--frames", str(frames))
    if r.returncode != 0 or not os.path.isfile(out):
        raise harness.ScenarioError("zembra-swfgen failed: %s %s" % (r.stdout, r.stderr))
    with open(out, "rb") as f:
        return f.read()


def pixels(png):
    """Every 7th pixel of a screenshot as (r, g, b) tuples."""
    raw = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], capture_output=True,
                         timeout=60).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 21)]


def near(p, c, tol):
    return all(abs(a - b) <= tol for a, b in zip(p, c))


def movie_shares(png):
    px = pixels(png)
    n = float(len(px) or 1)
    return {
        "sky": sum(near(p, SKY, 6) for p in px) / n,
        "star": sum(near(p, STAR, 12) for p in px) / n,
        "sun": sum(p[0] > 200 and p[2] < 90 for p in px) / n,
        "hills": sum(p[1] > 80 and p[0] < 70 and p[1] > p[0] + 30 for p in px) / n,
    }


def check_movie_on_screen(s, name):
    shot = s.screenshot(name)
    shares = movie_shares(shot)
    check(shares["sky"] > 0.2 and shares["hills"] > 0.1 and shares["sun"] > 0.002
          and shares["star"] > 0.0005, "the movie is not on the screen: %r" % shares)
    return shot


def player_windows(s, parent):
    return [w for w in s.windows(parent=parent) if w.cls == PLAYER_CLASS]


def manifest(extra=""):
    return "GUID = %s\nMovie = movie.swf\nQuality = high\nBackgroundColor = #102040\n%s" % (
        GUID, extra)


def folder(s):
    return os.path.join(ps.temp_dir(s), GUID)


# -- without any installed player ------------------------------------------------

def case_plays_generated_movie_and_quits(s):
    ps.remove_temp_entry(s, GUID)
    scr = ps.pack(s, manifest(), {"movie.swf": generate_movie(s, 120)})
    before = ps.temp_entries(s)
    s.move(0, 0)
    p = s.start(scr, "/s")
    time.sleep(3)
    main = ps.main_window(s)
    check(player_windows(s, main.hwnd), "no built-in player window in the main window")
    check(os.path.isdir(folder(s)), "working folder missing while playing")
    check_movie_on_screen(s, "builtin-playing")
    # 120 frames at 30 a second, however slowly they are drawn here.
    check(s.wait_exit(p, 120) == 0, "the movie's quit did not end the saver")
    s.wait_no_process()
    check(ps.temp_entries(s) == before, "files left: %r" % (ps.temp_entries(s) - before))


def case_damaged_movie_shows_background_and_ends_on_key(s):
    ps.remove_temp_entry(s, GUID)
    damaged = b"FWS\x06\xff\xff\xff\x7f" + b"\x00" * 5
    scr = ps.pack(s, "GUID = %s\nMovie = movie.swf\nBackgroundColor = #C03020\n" % GUID,
                  {"movie.swf": damaged})
    s.move(0, 0)
    p = s.start(scr, "/s")
    time.sleep(3)
    main = ps.main_window(s)
    check(player_windows(s, main.hwnd), "no built-in player window")
    time.sleep(1)
    px = pixels(s.screenshot("builtin-damaged"))
    share = sum(near(q, (0xC0, 0x30, 0x20), 4) for q in px) / float(len(px) or 1)
    check(share > 0.95, "background colour covers only %.3f of the screen" % share)
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "saver did not end on the key")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")


def case_preview_hosts_the_builtin_window(s):
    ps.remove_temp_entry(s, GUID)
    scr = ps.pack(s, manifest(), {"movie.swf": generate_movie(s, 60)})
    host, hwnd = s.start_host(152, 112)
    p = s.start(scr, "/p", str(hwnd))
    saver = s.wait_window(lambda w: w.parent == hwnd, 30, "saver window", parent=hwnd)
    players = s.wait_until(lambda: player_windows(s, saver.hwnd), 20, "the player window")
    check(players[0].width == 152 and players[0].height == 112,
          "player window %dx%d" % (players[0].width, players[0].height))
    # The movie's quit is ignored in a preview: 60 frames are over by now.
    time.sleep(4)
    check(p.poll() is None, "preview ended on the movie's quit")
    s.probe("close", str(saver.hwnd))
    check(s.wait_exit(p, 30) == 0, "preview did not end on the close request")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")


# -- with the stand-in registered ------------------------------------------------

def case_builtin_item_bypasses_the_installed_player(s):
    ps.remove_temp_entry(s, GUID)
    ps.register_standin(s)
    scr = ps.pack(s, manifest("Player = builtin\n"), {"movie.swf": generate_movie(s, 600)})
    log, env = ps.log_env(s)
    s.move(0, 0)
    p = s.start(scr, "/s", env=env)
    time.sleep(3)
    main = ps.main_window(s)
    check(player_windows(s, main.hwnd), "no built-in player window")
    check_movie_on_screen(s, "builtin-over-standin")
    check(not [l for l in ps.read_log(log) if l == "create"],
          "the installed player was created: %r" % ps.read_log(log))
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "saver did not end on the key")
    s.wait_no_process()


def case_auto_takes_the_installed_player_unless_too_old(s):
    ps.register_standin(s)
    for extra, installed in (("Player = auto\n", True),
                             ("Player = auto\nRequiredVersion = 99.0\n", False)):
        ps.remove_temp_entry(s, GUID)
        scr = ps.pack(s, manifest(extra), {"movie.swf": generate_movie(s, 600)})
        log, env = ps.log_env(s, "standin-%d.log" % installed)
        s.move(0, 0)
        p = s.start(scr, "/s", env=env)
        time.sleep(3)
        main = ps.main_window(s)
        time.sleep(1)
        puts = [l for l in ps.read_log(log) if l.startswith("put ")]
        if installed:
            check([l for l in puts if l.startswith("put Movie")], "stand-in got no movie: %r" % puts)
            check(not player_windows(s, main.hwnd), "built-in window beside the stand-in")
        else:
            check(not puts, "a too old installed player was used: %r" % puts)
            check(player_windows(s, main.hwnd), "no built-in player window")
        s.key("space")
        check(s.wait_exit(p, 30) == 0, "saver did not end on the key")
        s.wait_no_process()


CASES = [
    (BarePrefixScenario, case_plays_generated_movie_and_quits),
    (BarePrefixScenario, case_damaged_movie_shows_background_and_ends_on_key),
    (BarePrefixScenario, case_preview_hosts_the_builtin_window),
    (harness.Scenario, case_builtin_item_bypasses_the_installed_player),
    (harness.Scenario, case_auto_takes_the_installed_player_unless_too_old),
]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", required=True)
    ap.add_argument("--case", default="")
    a = ap.parse_args()
    failed = 0
    for cls, case in CASES:
        name = case.__name__[len("case_"):]
        if a.case and a.case != name:
            continue
        try:
            with cls(a.build_dir, "test_player_builtin-" + name) as s:
                case(s)
            print("PASS", case.__name__, flush=True)
        except Exception:
            failed += 1
            print("FAIL", case.__name__, flush=True)
            traceback.print_exc()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
