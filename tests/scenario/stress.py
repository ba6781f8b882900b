"""Repetition and time: many start/stop cycles of packaged savers, then a
run-mode soak that watches what the saver holds. Started by scripts/stress,
which gives it a folder of its own (programs copied from a build, its own
Wine prefix), so a rebuild or the test suite cannot disturb a long run.

    stress.py --build-dir DIR [--cycles N] [--soak-minutes M] [--seed S]
              [--sample-seconds T] [--warmup-seconds W]

Cycles, in a fixed order, each with a package drawn (with --seed) from a
pool of random packages (layout, flags, quality, colour, extra files and
every name vary):
  /s  ended by a key once the movie plays (through the launcher process)
  /e  ended by the movie's own scripted "quit"
  /p  in a winprobe host window, ended by closing the host
  /c  the about box, ended by Escape
After all of them: no saver process is left, the prefix's temp folder holds
exactly what it held before, the system's running flag is off and the
single-instance name is free.

Soak: one run-mode saver with a looping movie for M minutes; every T
seconds the saver's kernel handles, GDI and USER objects, windows and
private bytes are sampled (Wine counts no GDI or USER objects: 0 there). Start-up noise is the first W seconds; the baseline is the
first sample after it. The soak fails when the smallest of the last three
samples (or fewer, in a short soak) exceeds the baseline by more than the
fixed slack of that figure. Every sample is printed.
"""

import argparse
import os
import random
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "app"))
import player_scenario as ps  # noqa: E402
import harness  # noqa: E402
from saver_common import INSTANCE_NAME  # noqa: E402

MODES = ("/s", "/e", "/p", "/c")
# Growth allowed between the baseline and the end of the soak.
SLACK = {"handles": 16, "gdi": 16, "user": 16, "windows": 4, "private": 4 * 1024 * 1024}
PLAIN_MOVIE = "#player-standin\n"
NAME_CHARS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-"


class CycleFailure(Exception):
    pass


def random_name(rng, lo=3, hi=12):
    return "".join(rng.choice(NAME_CHARS) for _ in range(rng.randint(lo, hi)))


def make_package(s, rng, index, mode):
    """Packs one random package for a mode; returns (path, guid, caption)."""
    guid = "ZembraStress-%s-%d" % (random_name(rng, 4, 10), index)
    caption = "Stress %d %s" % (index, random_name(rng, 2, 6))
    if mode == "/e":
        movie = "#player-standin\nafter %d fscommand quit\n" % rng.randint(600, 2500)
    else:
        movie = PLAIN_MOVIE
    movie_name = random_name(rng) + ".swf"
    files = {movie_name: movie}
    lines = [
        "GUID = " + guid,
        "Movie = " + movie_name,
        "Loop = " + rng.choice(("true", "false")),
        "StretchToFit = " + rng.choice(("true", "false")),
        "Menu = " + rng.choice(("true", "false")),
        "RightClick = " + rng.choice(("true", "false")),
        "Quality = " + rng.choice(("low", "high", "autolow", "autohigh", "medium", "best")),
        "BackgroundColor = #%06X" % rng.randint(0, 0xFFFFFF),
        "Layout = " + rng.choice(("whole-desktop", "first-monitor", "per-monitor")),
        "FlashVars = k%d=%s" % (index, random_name(rng)),
        "ShowCursor = " + rng.choice(("true", "false")),
        # Keys end /s, mouse settings vary; the pointer is never moved
        # during a cycle.
        "ExitOnKeyDown = true",
        "ExitOnMouseMove = " + rng.choice(("true", "false")),
        "AboutCaption = " + caption,
        "AboutCloseButton = true",
    ]
    if rng.random() < 0.5:
        lines.insert(1, "MovieFileName = " + random_name(rng) + ".swf")
    if rng.random() < 0.5:
        lines.append("AboutLinkText = (c) " + random_name(rng))
        lines.append("AboutLinkURL = http://example.com/" + random_name(rng))
    for n in range(rng.randint(0, 3)):
        name = "%s-%d.%s" % (random_name(rng, 1, 16), n, rng.choice(("txt", "xml", "bin")))
        size = rng.choice((0, 1, 100, 5000, 70000))
        files[name] = bytes(rng.getrandbits(8) for _ in range(size))
        lines.append("ExtraFile = " + name)
    # One package folder per package: ps.pack writes into <work>/pkg.
    out = ps.pack(s, "\n".join(lines), files, output="Stress-%02d-%s.scr"
                  % (index, random_name(rng, 1, 8)))
    for name in files:
        os.remove(s.path("pkg", name))
    return out, guid, caption


def wait_movie(s, log, timeout=45):
    s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("put Movie")], timeout,
                 "the movie to reach the player")


def saver_processes(s):
    return [p for p in s.processes() if p["path"].lower().endswith(".scr")]


def run_cycle(s, i, mode, package):
    scr, guid, caption = package
    log, env = ps.log_env(s, "cycle-%03d.log" % i)
    # The saver may pick another working folder than its GUID's (one of
    # that name may exist): what counts is that the temp folder is as it was.
    temp_before = ps.temp_entries(s)
    s.move(0, 0)
    if mode == "/s":
        p = s.start(scr, "/s", env=env)
        wait_movie(s, log)
        time.sleep(0.5)
        s.key("space")
    elif mode == "/e":
        p = s.start(scr, "/e", env=env)
    elif mode == "/p":
        host, hwnd = s.start_host(152, 112, timeout=60)
        p = s.start(scr, "/p", str(hwnd), env=env)
        wait_movie(s, log)
        s.probe("close", str(hwnd))
        try:
            host.wait(timeout=20)
        except Exception:
            raise CycleFailure("the host window did not close")
    else:
        p = s.start(scr, "/c", env=env)
        dlg = s.wait_window(lambda w: w.visible and w.depth == 0 and w.text == caption, 45,
                            "the about box")
        time.sleep(0.3)
        s.run_probe("focus", str(dlg.hwnd))
        s.key("Escape")
    code = s.wait_exit(p, 45)
    if code != 0:
        raise CycleFailure("exit code %d" % code)
    s.wait_until(lambda: not saver_processes(s), 20, "no saver process")
    try:
        s.wait_until(lambda: ps.temp_entries(s) == temp_before, 10, "the working folder to go")
    except harness.ScenarioError:
        left = ps.temp_entries(s) - temp_before
        for name in left:
            ps.remove_temp_entry(s, name)
        raise CycleFailure("left in the temp folder: %r" % sorted(left))


def clean_up_after_failure(s, temp_before):
    pids = [p["pid"] for p in saver_processes(s)]
    if pids:
        s.run_probe("kill", *map(str, pids))
    for name in ps.temp_entries(s) - temp_before:
        ps.remove_temp_entry(s, name)


def run_cycles(s, count, seed):
    rng = random.Random(seed)
    pool_size = min(count, 16)
    print("stress: packing %d random packages (seed %d)" % (pool_size, seed), flush=True)
    pool = {m: [] for m in MODES}
    for k in range(pool_size):
        mode = MODES[k % len(MODES)]
        pool[mode].append(make_package(s, rng, k, mode))
    temp_before = ps.temp_entries(s)
    failures = []
    t0 = time.time()
    for i in range(count):
        mode = MODES[i % len(MODES)]
        package = rng.choice(pool[mode])
        c0 = time.time()
        try:
            run_cycle(s, i, mode, package)
            status = "ok"
        except (harness.ScenarioError, CycleFailure) as e:
            failures.append("cycle %d %s: %s" % (i, mode, e))
            status = "FAILED: %s" % e
            clean_up_after_failure(s, temp_before)
        print("cycle %3d %s %-40s %5.1fs %s" % (i, mode, os.path.basename(package[0]),
                                                 time.time() - c0, status), flush=True)
    print("stress: %d cycles in %.0fs, %d failed" % (count, time.time() - t0, len(failures)),
          flush=True)

    left = saver_processes(s)
    if left:
        failures.append("saver processes left: %r" % left)
    temp_after = ps.temp_entries(s)
    if temp_after != temp_before:
        failures.append("temp folder changed: added %r, removed %r"
                        % (sorted(temp_after - temp_before), sorted(temp_before - temp_after)))
    state = s.state()
    if state.get("screensaverrunning") != "0":
        failures.append("running flag still on: %r" % state)
    if "exists=0" not in s.probe("mutex", INSTANCE_NAME):
        failures.append("single-instance name still held")
    return failures


def resources(s, pid):
    out = s.probe("resources", str(pid)).strip()
    return {k: int(v) for k, v in (x.split("=", 1) for x in out.split())}


def soak(s, minutes, sample_seconds, warmup_seconds, seed):
    rng = random.Random(seed + 1)
    scr, guid, _caption = make_package(s, rng, 999, "/s")
    log, env = ps.log_env(s, "soak.log")
    temp_before = ps.temp_entries(s)
    s.move(0, 0)
    p = s.start(scr, "/e", env=env)
    wait_movie(s, log)
    pid = s.wait_until(lambda: [x["pid"] for x in saver_processes(s)], 20, "the saver")[0]
    print("soak: saver pid %d for %.1f minutes, a sample every %ds, warm-up %ds"
          % (pid, minutes, sample_seconds, warmup_seconds), flush=True)
    print("soak: %7s %8s %6s %6s %8s %12s" % ("t(s)", "handles", "gdi", "user", "windows",
                                             "private"), flush=True)
    samples = []
    t0 = time.time()
    end = t0 + minutes * 60
    failures = []
    while True:
        if p.poll() is not None:
            failures.append("the saver ended during the soak (code %s)" % p.returncode)
            break
        r = resources(s, pid)
        t = time.time() - t0
        samples.append((t, r))
        print("soak: %7.0f %8d %6d %6d %8d %12d" % (t, r["handles"], r["gdi"], r["user"],
                                                    r["windows"], r["private"]), flush=True)
        if time.time() >= end:
            break
        time.sleep(max(0.0, min(sample_seconds, end - time.time())))
    if not failures:
        settled = [r for t, r in samples if t >= warmup_seconds]
        if len(settled) < 2:
            failures.append("too few samples after the warm-up: %d" % len(settled))
        else:
            base = settled[0]
            tail = settled[-3:] if len(settled) > 3 else settled[1:]
            for key, slack in SLACK.items():
                grown = min(r[key] for r in tail) - base[key]
                print("soak: %-8s baseline %d, end %d, growth %+d (slack %d)"
                      % (key, base[key], tail[-1][key], grown, slack), flush=True)
                if grown > slack:
                    failures.append("%s grew by %d (slack %d)" % (key, grown, slack))
        s.key("space")
        try:
            if s.wait_exit(p, 45) != 0:
                failures.append("the soak saver ended with code %s" % p.returncode)
        except harness.ScenarioError as e:
            failures.append("the soak saver did not end on a key: %s" % e)
    if p.poll() is None or saver_processes(s):
        clean_up_after_failure(s, temp_before)
    else:
        s.wait_until(lambda: ps.temp_entries(s) == temp_before, 10, "the soak's files to go")
    return failures


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", required=True)
    ap.add_argument("--cycles", type=int, default=200)
    ap.add_argument("--soak-minutes", type=float, default=30)
    ap.add_argument("--seed", type=int, default=20261209)
    ap.add_argument("--sample-seconds", type=int, default=60)
    ap.add_argument("--warmup-seconds", type=int, default=None,
                    help="start-up noise ignored by the soak (default: one sample interval)")
    a = ap.parse_args()
    warmup = a.sample_seconds if a.warmup_seconds is None else a.warmup_seconds
    failures = []
    with harness.Scenario(a.build_dir, "stress") as s:
        ps.register_standin(s)
        if a.cycles > 0:
            failures += run_cycles(s, a.cycles, a.seed)
        if a.soak_minutes > 0:
            failures += soak(s, a.soak_minutes, a.sample_seconds, warmup, a.seed)
    for f in failures:
        print("FAIL: " + f, flush=True)
    print("stress: %s" % ("FAILED" if failures else "passed"), flush=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
