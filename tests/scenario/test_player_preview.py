"""Preview and configuration mode with a packaged movie: the preview plays
with "zembramode=preview", swallows every input and ignores "quit"; the
configuration mode writes the package's files and removes them when its
about box closes."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import player_scenario as ps  # noqa: E402
import harness  # noqa: E402
from harness import check  # noqa: E402

GUID = "ZembraPreview-77B2"
MANIFEST = """
GUID = %s
Movie = movie.swf
StretchToFit = true
AboutCaption = Preview Test
""" % GUID


def folder(s):
    return os.path.join(ps.temp_dir(s), GUID)


def packed(s, movie):
    ps.remove_temp_entry(s, GUID)
    ps.register_standin(s)
    return ps.pack(s, MANIFEST, {"movie.swf": movie})


def case_preview_plays_without_input(s):
    scr = packed(s, "#player-standin\nafter 1000 fscommand quit\n")
    log, env = ps.log_env(s)
    host, hwnd = s.start_host(152, 112)
    p = s.start(scr, "/p", str(hwnd), env=env)
    s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("put Movie")], 30,
                 "the movie to reach the preview player")
    puts = [l for l in ps.read_log(log) if l.startswith("put ")]
    check("put FlashVars zembramode=preview" in puts, puts)
    check(not [l for l in puts if l.startswith("put Scale")], "Scale set in preview: %r" % puts)
    saver = s.wait_window(lambda w: w.pid == p.pid or w.parent == hwnd, 20, "saver window",
                          parent=hwnd)
    players = [w for w in s.windows(parent=saver.hwnd) if w.hwnd != saver.hwnd]
    check(players, "no player window under the preview window")
    # Input sent to the player or to the main window (which passes it on)
    # never reaches the player.
    s.probe("post", str(players[0].hwnd), str(0x100), str(0x41), "0")
    s.probe("post", str(players[0].hwnd), str(0x201), "1", "0")
    s.probe("post", str(saver.hwnd), str(0x100), str(0x41), "0")
    time.sleep(2.5)  # the scripted quit has fired by now
    check(not [l for l in ps.read_log(log) if l.startswith("input ")],
          "input reached the preview player")
    check("fscommand quit " in ps.read_log(log) or "fscommand quit" in ps.read_log(log),
          "quit not fired")
    check(p.poll() is None, "preview ended on quit")
    check(os.path.isdir(folder(s)), "working folder missing during the preview")
    # The display settings close the preview with a close request.
    s.probe("close", str(saver.hwnd))
    check(s.wait_exit(p, 30) == 0, "preview did not end on the close request")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")


def case_config_writes_then_removes(s):
    scr = packed(s, "#player-standin\n")
    log, env = ps.log_env(s)
    p = s.start(scr, "/c", env=env)
    # The file system first: window probes during the saver's start-up can
    # meet a Wine session that is still coming up.
    s.wait_until(lambda: os.path.isfile(os.path.join(folder(s), GUID + ".swf")), 30,
                 "the movie file")
    dlg = s.wait_window(lambda w: w.visible and w.depth == 0 and w.text == "Preview Test", 30,
                        "the about box")
    check(os.path.isfile(os.path.join(folder(s), GUID + ".swf")), "movie not written")
    check(not [l for l in ps.read_log(log) if l.startswith("put ")], "a player got properties")
    s.screenshot("config-about")
    s.probe("close", str(dlg.hwnd))
    check(s.wait_exit(p, 30) == 0, "configuration did not end")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")


if __name__ == "__main__":
    harness.main([case_preview_plays_without_input, case_config_writes_then_removes])
