"""Manifests written in UTF-8, as editors write them, on a Japanese system
(code page 932): the packer (the Windows build, converting with the
system's code pages) writes the texts in 932, so the about box shows the
caption and the link text and the movie gets its Flash variables as they
were typed; `zembra-pack list` prints them back in UTF-8."""

import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import harness  # noqa: E402
import player_scenario as ps  # noqa: E402
import test_config as config  # noqa: E402
from harness import check  # noqa: E402

GUID = "ZembraCodePage-932"
CAPTION = "ゼンブラの設定"
LINK_TEXT = "(C) 2026 ゼンブラ工房 ～ スクリーンセーバー"
FLASH_VARS = "a=1&b=テスト"


def pack_utf8(s, bom):
    """Packs a saver from a UTF-8 manifest (with or without a byte-order
    mark) holding Japanese texts; returns its path."""
    pkg = s.path("pkg")
    os.makedirs(pkg, exist_ok=True)
    with open(os.path.join(pkg, "movie.swf"), "wb") as f:
        f.write(b"#player-standin\n")
    text = "\n".join(["[package]", "GUID = " + GUID, "Movie = movie.swf",
                      "FlashVars = " + FLASH_VARS, "AboutCaption = " + CAPTION,
                      "AboutLinkText = " + LINK_TEXT, "AboutLinkURL = http://example.com/"])
    ini = os.path.join(pkg, "saver.ini")
    with open(ini, "wb") as f:
        f.write((b"\xEF\xBB\xBF" if bom else b"") + (text + "\n").encode("utf-8"))
    out = s.path("Japanese.scr")
    r = ps.wine(s, s.program(ps.PACKER), "build", "--saver", s.winpath(s.program(ps.SAVER)),
                "--manifest", s.winpath(ini), "--output", s.winpath(out))
    check(r.returncode == 0, "packing failed (%d): %s %s" % (r.returncode, r.stdout, r.stderr))
    ps.remove_temp_entry(s, GUID)
    ps.register_standin(s)
    return out


def case_about_box_shows_the_texts(s):
    scr = pack_utf8(s, bom=True)
    r = ps.wine(s, s.program(ps.PACKER), "list", s.winpath(scr))
    check(r.returncode == 0, "list failed: %s" % r.stderr)
    for text in (CAPTION, FLASH_VARS):
        check('"%s"' % text in r.stdout, "%r not listed in UTF-8:\n%s" % (text, r.stdout))
    p, d = config.start_config(s, scr, GUID)
    s.screenshot("about-box")
    check(d.caption == CAPTION, "caption %r" % d.caption)
    check(d.label_text == LINK_TEXT, "link text %r" % d.label_text)
    s.key("Escape")
    config.check_ends(s, p, GUID, "Escape")


def case_movie_gets_the_flash_variables(s):
    scr = pack_utf8(s, bom=False)
    log, env = ps.log_env(s)
    s.move(0, 0)
    p = s.start(scr, "/s", env=env)
    lines = s.wait_until(lambda: [l for l in ps.read_log(log) if l.startswith("put Movie")] and
                         ps.read_log(log), 40, "the movie to reach the player")
    expected = "put FlashVars %s&zembramode=normal" % FLASH_VARS
    check(expected in lines, "%r not in %r" % (expected, [l for l in lines if "FlashVars" in l]))
    time.sleep(1)
    s.key("space")
    check(s.wait_exit(p, 30) == 0, "saver did not end with 0")
    s.wait_no_process()


CASES = [case_about_box_shows_the_texts, case_movie_gets_the_flash_variables]
for _case in CASES:
    _case.japanese = True

if __name__ == "__main__":
    harness.main(CASES)
