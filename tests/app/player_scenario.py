"""Helpers for the saver's playing scenarios (tests/scenario/test_player_*.py)
and the demo: packing a manifest onto the built saver with zembra-pack,
registering the player stand-in, reading its log, and looking into the
prefix's temporary directory.
"""

import getpass
import os
import shutil
import struct
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "scenario"))

import harness  # noqa: E402

SAVER = "ZembraSaver.scr"
PACKER = "zembra-pack.exe"
STANDIN = "player_standin.dll"


def wine(s, *args, timeout=120, env=None):
    e = dict(s.env)
    if env:
        e.update(env)
    return subprocess.run([s.wine] + list(args), env=e, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, encoding="utf-8", errors="replace",
                          timeout=timeout)


def register_standin(s):
    """Registers the stand-in in the scenario's prefix (idempotent)."""
    for attempt in range(2):
        r = wine(s, "regsvr32", "/s", s.program(STANDIN))
        if r.returncode == 0:
            return
        # Once more: seen failing silently while the previous test's
        # wineserver was still shutting down.
        time.sleep(2)
    raise harness.ScenarioError("regsvr32 of the stand-in failed (%d): %s %s"
                                % (r.returncode, r.stdout, r.stderr))


def pack(s, manifest, files=None, output="Packed.scr", saver=None):
    """Writes manifest (text of the [package] section's lines) and files
    (name -> bytes or str) into <work>/pkg, packs them onto the saver and
    returns the Unix path of the packed saver in the work folder."""
    pkg = s.path("pkg")
    os.makedirs(pkg, exist_ok=True)
    for name, data in (files or {}).items():
        mode = "wb" if isinstance(data, bytes) else "w"
        with open(os.path.join(pkg, name), mode) as f:
            f.write(data)
    ini = os.path.join(pkg, "saver.ini")
    with open(ini, "w") as f:
        f.write("[package]\n" + manifest.strip() + "\n")
    out = s.path(output)
    args = [s.program(PACKER), "build", "--saver", s.winpath(saver or s.program(SAVER)),
            "--manifest", s.winpath(ini), "--output", s.winpath(out)]
    r = wine(s, *args)
    if r.returncode != 0 and not r.stdout and not r.stderr:
        # The packer always says why it fails; a silent failure is Wine's,
        # seen while the previous test's wineserver was still shutting down.
        time.sleep(2)
        r = wine(s, *args)
    if r.returncode != 0 or not os.path.exists(out):
        raise harness.ScenarioError("packing failed (%d): %s %s" % (r.returncode, r.stdout,
                                                                    r.stderr))
    return out


def pack_raw(s, items, output="Raw.scr", key=0x5A):
    """Appends a package holding items ((name, bytes) pairs, stored as they
    are) to a copy of the saver: for packages the packer refuses to make."""
    body = bytearray(struct.pack("<Ii", key, len(items)))
    for name, data in items:
        raw = name.encode("latin-1")
        body += struct.pack("<I", len(raw)) + bytes(b ^ key for b in raw)
        body += struct.pack("<Bi", 0, len(data)) + data
    out = s.path(output)
    shutil.copy(s.program(SAVER), out)
    with open(out, "ab") as f:
        f.write(body + struct.pack("<q", len(body)) + b"PLWS")
    return out


def temp_dir(s):
    """Unix path of the Windows user's temporary directory in the prefix."""
    user = os.environ.get("USER") or getpass.getuser()
    return os.path.join(s.prefix, "drive_c", "users", user, "Temp")


def temp_entries(s):
    d = temp_dir(s)
    return set(os.listdir(d)) if os.path.isdir(d) else set()


def remove_temp_entry(s, name):
    path = os.path.join(temp_dir(s), name)
    if os.path.isdir(path):
        shutil.rmtree(path, ignore_errors=True)
    elif os.path.exists(path):
        os.remove(path)


def log_env(s, name="standin.log"):
    path = s.path(name)
    return path, {"PLAYER_STANDIN_LOG": s.winpath(path)}


def read_log(path):
    """The stand-in's log lines without CR and the leading process id."""
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as f:
        return [l.rstrip("\r\n").partition(" ")[2] for l in f if l.strip()]


def main_window(s, pid=None):
    """The visible top-level main window of a saver process started by s."""
    def pred(w):
        return w.depth == 0 and w.visible and w.text == "Zembra ScreenSaver" and (
            pid is None or w.pid == pid)
    return s.wait_window(pred, 30, "the saver's main window")
