"""Without a player control registered (a prefix of its own), a package that
asks for the installed player only (Player = system) gets a black window:
nothing of the package is applied, and the saver still ends on a key."""

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

GUID = "ZembraNoPlayer-0C4D"


class BarePrefixScenario(harness.Scenario):
    def __init__(self, build_dir, name):
        super().__init__(build_dir, name)
        self.prefix = os.path.join(self.build_dir, "wineprefix-noplayer")


def mean_brightness(png):
    r = subprocess.run(["convert", png, "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"],
                       capture_output=True, text=True, timeout=30)
    return float(r.stdout.strip() or "1")


def case_black_without_player(s):
    ps.remove_temp_entry(s, GUID)
    scr = ps.pack(s, "GUID = %s\nPlayer = system\nMovie = movie.swf\n" % GUID, {"movie.swf": "#player-standin\n"})
    log, env = ps.log_env(s)
    before = ps.temp_entries(s)
    s.move(0, 0)
    p = s.start(scr, "/s", env=env)
    # No player log to wait on: give the Wine session time to come up before
    # the first window probe.
    time.sleep(3)
    ps.main_window(s)
    time.sleep(1)
    shot = s.screenshot("no-player")
    check(mean_brightness(shot) < 0.02, "screen is not black")
    check(ps.temp_entries(s) == before, "package was read: %r" % (ps.temp_entries(s) - before))
    check("exists=0" in s.probe("mutex", GUID), "instance guard of the package exists")
    check(not os.path.exists(log), "a player was created")
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "saver did not end on the key")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", required=True)
    a = ap.parse_args()
    try:
        with BarePrefixScenario(a.build_dir, "test_player_nostandin-black") as s:
            case_black_without_player(s)
        print("PASS case_black_without_player", flush=True)
        return 0
    except Exception:
        print("FAIL case_black_without_player", flush=True)
        traceback.print_exc()
        return 1


if __name__ == "__main__":
    sys.exit(main())
