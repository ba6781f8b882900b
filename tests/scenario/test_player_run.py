"""Run mode with a packaged movie and the player stand-in: the movie plays
with the package's settings, ends on its own "quit" or on a key, and the
files it was extracted to are gone afterwards."""

import os
import struct
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import player_scenario as ps  # noqa: E402
import harness  # noqa: E402
from harness import check  # noqa: E402

GUID = "ZembraRun-3F1A"


def manifest(extra=""):
    return """
GUID = %s
FlashVars = a=1&b=2
Movie = movie.swf
ExtraFile = notes.txt
StretchToFit = true
Loop = true
Menu = false
Quality = 2
BackgroundColor = #102030
%s
""" % (GUID, extra)


def script(*lines):
    return "#player-standin\n" + "".join(l + "\n" for l in lines)


def start_packed(s, movie, extra="", fail=None, raw=None):
    ps.remove_temp_entry(s, GUID)  # left over by an earlier failed run
    ps.register_standin(s)
    if raw is not None:
        scr = ps.pack_raw(s, raw)
    else:
        scr = ps.pack(s, manifest(extra), {"movie.swf": movie, "notes.txt": "n"})
    start_packed.runs += 1
    log, env = ps.log_env(s, "standin-%d.log" % start_packed.runs)
    if fail:
        env["PLAYER_STANDIN_FAIL"] = fail
    s.move(0, 0)
    p = s.start(scr, "/s", env=env)
    return p, log


start_packed.runs = 0


def folder(s):
    return os.path.join(ps.temp_dir(s), GUID)


def wait_movie(s, log):
    return s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("put Movie")], 30,
                        "the movie to reach the player")


def case_run_plays_and_quit_ends_it(s):
    p, log = start_packed(s, script("after 5000 fscommand quit"))
    wait_movie(s, log)
    check(os.path.isfile(os.path.join(folder(s), GUID + ".swf")), "movie file not written")
    check(os.path.isfile(os.path.join(folder(s), "notes.txt")), "extra file not written")
    lines = ps.read_log(log)
    puts = [l for l in lines if l.startswith("put ")]
    names = [l.split(" ")[1] for l in puts]
    check(lines[0] == "create", "first log line %r" % lines[:1])
    check(names == ["Loop", "Menu", "Quality", "FlashVars", "BackgroundColor", "Movie",
                    "Scale"], "property order %r" % names)
    check("put Loop -1" in puts and "put Menu 0" in puts and "put Quality 2" in puts, puts)
    check("put FlashVars a=1&b=2&zembramode=normal" in puts, puts)
    check("put BackgroundColor %d" % 0x302010 in puts, puts)
    check("put Scale exactfit" in puts, puts)
    movie = [l for l in puts if l.startswith("put Movie ")][0][len("put Movie "):]
    check(movie.lower().endswith(("\\temp\\%s\\%s.swf" % (GUID, GUID)).lower()), movie)
    check("call DisableLocalSecurity" in lines, "DisableLocalSecurity not called")
    time.sleep(1.5)
    shot = s.screenshot("run-playing")
    print("screenshot:", shot)
    check(s.wait_exit(p, 30) == 0, "saver did not end with code 0")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")
    lines = ps.read_log(log)
    check("fscommand quit " in lines or "fscommand quit" in lines, "no quit in log")
    check(lines[-1] == "destroy", "player not destroyed: %r" % lines[-3:])


def case_quit_in_capitals(s):
    p, log = start_packed(s, script("after 1500 fscommand QUIT"))
    check(s.wait_exit(p, 40) == 0, "saver did not end")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")


def case_key_ends_it_and_removes_files(s):
    p, log = start_packed(s, script())
    wait_movie(s, log)
    time.sleep(1)
    check(os.path.isdir(folder(s)), "working folder missing while running")
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "saver did not end on the key")
    s.wait_no_process()
    lines = ps.read_log(log)
    for call in ("call Stop", "call StopPlay", "destroy"):
        check(call in lines, "%s missing: %r" % (call, lines[-6:]))
    check(not os.path.exists(folder(s)), "working folder left behind")


def case_key_forwarded_when_keys_do_not_end_it(s):
    p, log = start_packed(s, script(), "ExitOnKeyDown = false")
    wait_movie(s, log)
    time.sleep(1)
    s.key("a")
    s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("input 0x100 ")], 10, "the key to reach the player")
    time.sleep(1.5)
    check(p.poll() is None, "saver ended although keys do not end it")
    check(os.path.isdir(folder(s)), "working folder gone while running")
    # A click still ends it (the mouse setting was left on).
    s.click(1)
    check(s.wait_exit(p, 30) == 0, "saver did not end on the click")
    s.wait_no_process()
    check(not os.path.exists(folder(s)), "working folder left behind")


def case_failing_player_steps_are_skipped(s):
    # A refused property does not keep the others from being set; a refused
    # Stop does not keep the player from being released and the files from
    # going.
    p, log = start_packed(s, script(), fail="Loop,Stop")
    wait_movie(s, log)
    names = [l.split(" ")[1] for l in ps.read_log(log) if l.startswith("put ")]
    check(names == ["Menu", "Quality", "FlashVars", "BackgroundColor", "Movie", "Scale"],
          "puts after a refused Loop: %r" % names)
    time.sleep(1)
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "saver did not end on the key")
    s.wait_no_process()
    lines = ps.read_log(log)
    check("call StopPlay" in lines and lines[-1] == "destroy", "not released: %r" % lines[-4:])
    check(not os.path.exists(folder(s)), "working folder left behind")


def case_newer_player_required_or_no_layout(s):
    # A player older than the package asks for never gets the movie; an
    # unknown layout (which the packer refuses, so the package is made by
    # hand) gets no player at all. Both still end on a key.
    raw_layout = [("GUID", GUID.encode()), ("Movie", script().encode()),
                  ("Layout", struct.pack("<i", 3))]
    # Player = system: with the default (auto) a too old player gives way to
    # the built-in one (test_player_builtin).
    for extra, raw, players in (("RequiredVersion = 99.0\nPlayer = system", None, 1),
                                (None, raw_layout, 0)):
        p, log = start_packed(s, script(), extra, raw=raw)
        s.wait_until(lambda: os.path.isdir(folder(s)), 30, "the working folder")
        time.sleep(3)
        lines = ps.read_log(log)
        check(not [l for l in lines if l.startswith("put Movie")], "movie assigned: %r" % lines)
        check(len([l for l in lines if l.startswith("put FlashVars")]) == players,
              "players for %r: %r" % (extra, lines))
        s.key("space")
        check(s.wait_exit(p, 30) == 0, "saver did not end on the key")
        s.wait_no_process()
        check(not os.path.exists(folder(s)), "working folder left behind")


if __name__ == "__main__":
    harness.main([case_run_plays_and_quit_ends_it, case_quit_in_capitals,
                  case_key_ends_it_and_removes_files, case_key_forwarded_when_keys_do_not_end_it,
                  case_failing_player_steps_are_skipped, case_newer_player_required_or_no_layout])
