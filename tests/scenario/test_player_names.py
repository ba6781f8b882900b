"""Hostile names in a package never make the saver write outside a folder it
created itself, and a folder that already carries the GUID's name is left
untouched."""

import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import player_scenario as ps  # noqa: E402
import harness  # noqa: E402
from harness import check  # noqa: E402

QUIT = "#player-standin\nafter 1500 fscommand quit\n"


def run_to_quit(s, manifest=None, items=None):
    ps.register_standin(s)
    if items is not None:
        scr = ps.pack_raw(s, items)
    else:
        scr = ps.pack(s, manifest, {"movie.swf": QUIT, "x.txt": "x"})
    run_to_quit.runs += 1
    log, env = ps.log_env(s, "standin-%d.log" % run_to_quit.runs)
    before = ps.temp_entries(s)
    s.move(0, 0)
    p = s.start(scr, "/s", env=env)
    movie = s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("put Movie ")],
                         30, "the movie")[0][len("put Movie "):]
    created = ps.temp_entries(s) - before
    check(s.wait_exit(p, 40) == 0, "saver did not end")
    s.wait_no_process()
    return movie, created, ps.temp_entries(s) - before


run_to_quit.runs = 0


def snapshot(root):
    out = set()
    for base, dirs, files in os.walk(root):
        if "Temp" in base.split(os.sep):
            continue
        for f in files:
            out.add(os.path.join(base, f))
    return out


def case_hostile_guid_and_movie_names(s):
    drive_c = os.path.join(s.prefix, "drive_c")
    for guid, name in (("..\\..\\x", "C:\\Windows"), ("C:\\Windows", "..\\..\\x"),
                       ("CON", "CON"), ("a/b", "..\\y.swf")):
        files_before = snapshot(drive_c)
        # The packer refuses such names; the package is made by hand.
        movie, created, left = run_to_quit(s, items=[
            ("GUID", guid.encode()), ("MovieFileName", name.encode()),
            ("Movie", QUIT.encode()), ("ExtraFileCount", struct.pack("<i", 1)),
            ("ExtraFileName0", b"..\\..\\extra.txt"), ("ExtraFileData0", b"x")])
        # The movie sits directly in a folder this run created under Temp.
        m = re.match(r"(?i)^c:\\users\\[^\\]+\\temp\\(ZembraSaver-\d+-\d+)\\([^\\]+)$", movie)
        check(m is not None, "movie path %r for GUID %r name %r" % (movie, guid, name))
        check(created == {m.group(1)}, "created under Temp: %r" % created)
        check(not left, "left under Temp: %r" % left)
        check(snapshot(drive_c) == files_before, "files changed outside Temp for %r" % guid)


def case_existing_guid_folder_left_alone(s):
    guid = "ZembraExisting-51C0"
    ps.remove_temp_entry(s, guid)
    mine = os.path.join(ps.temp_dir(s), guid)
    os.makedirs(mine)
    with open(os.path.join(mine, "keep.txt"), "w") as f:
        f.write("user data")
    try:
        movie, created, left = run_to_quit(s, "GUID = %s\nMovie = movie.swf\n" % guid)
        check("\\%s\\" % guid.lower() not in movie.lower(), "movie written into %r" % movie)
        check(not left, "left under Temp: %r" % left)
        check(not os.path.exists(mine + ".swf"), "movie written beside the folder")
        with open(os.path.join(mine, "keep.txt")) as f:
            check(f.read() == "user data", "existing file changed")
        check(sorted(os.listdir(mine)) == ["keep.txt"], "existing folder changed")
    finally:
        ps.remove_temp_entry(s, guid)


if __name__ == "__main__":
    harness.main([case_hostile_guid_and_movie_names, case_existing_guid_folder_left_alone])
