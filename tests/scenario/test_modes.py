"""Configuration (/c, no argument) without a player, unknown letter (/x) and
preview (/p)."""

import os
import time

import harness
from harness import check
from saver_common import (WM_CLOSE, WS_CHILD, WS_DISABLED, WS_EX_TOPMOST, borderless,
                          main_window, other_savers_running, saver_pid, still_running)

PLAYER_SERVER = r"HKCR\CLSID\{D27CDB6E-AE6D-11CF-96B8-444553540000}\InprocServer32"


class Scenario(harness.Scenario):
    """The configuration case runs in the prefix in which no player control
    was ever registered: only with a player is the about box made, and then
    configuration mode waits for it to be closed."""

    def __init__(self, build_dir, name, **kw):
        super().__init__(build_dir, name, **kw)
        if name.endswith(case_config_without_player_ends.__name__):
            self.prefix = os.path.join(self.build_dir, "wineprefix-noplayer")


def case_config_without_player_ends(s):
    check(s.run_probe("reg", "get", PLAYER_SERVER, "").returncode == 1,
          "a player control is registered in %s" % s.prefix)
    scr = s.install("ZembraSaver.scr")
    for args in (("/c",), (), ("/",), ("/c:1234",)):
        proc = s.start(scr, *args)
        check(s.wait_exit(proc, 15) == 0, "configuration %r ends at once with 0" % (args,))


def case_unknown_letter(s):
    s.move(0, 0)
    scr = s.install("ZembraSaver.scr")
    proc = s.start(scr, "/x")
    pid = saver_pid(s)
    w = main_window(s, pid)
    check(borderless(w), "borderless: %r" % (w,))
    check(w.exstyle & WS_EX_TOPMOST, "topmost: %r" % (w,))
    check(w.width == 180 and w.height == 180, "designed size: %r" % (w,))
    time.sleep(1)
    s.key("a")
    s.click(1)
    for x in (50, 120, 200, 260, 330):
        s.move(x, x)
    check(still_running(proc, 2.0), "input does not end mode /x")
    s.probe("post", str(w.hwnd), str(WM_CLOSE))
    check(s.wait_exit(proc, 10) == 0, "a close request ends it with 0")


def case_preview(s):
    host_proc, host = s.start_host(152, 112, 40, 40)
    scr = s.install("ZembraSaver.scr")
    proc = s.start(scr, "/p", str(host))
    pid = saver_pid(s)
    w = s.wait_window(lambda w: w.pid == pid and w.parent == host and w.visible, 20,
                      "preview window inside the host")
    check(w.style & WS_CHILD and w.style & WS_DISABLED, "disabled child: %r" % (w,))
    check(w.rect == (40, 40, 192, 152), "fills the host: %r" % (w,))
    check(w.client == (152, 112), "host size: %r" % (w,))
    if not other_savers_running(s):
        check(s.state()["screensaverrunning"] == "0", "a preview announces no running saver")
    # Close request from a third process: detach, then end.
    s.probe("close", str(w.hwnd))
    check(s.wait_exit(proc, 10) == 0, "the preview ends with 0 on WM_CLOSE")
    check(host_proc.poll() is None, "the host window lives on")
    check(not [c for c in s.windows(parent=host) if c.pid == pid],
          "nothing of the saver is left in the host")


def case_preview_ends_with_its_host(s):
    # The display settings may simply close their window: the preview inside
    # goes with it, and so must the program.
    host_proc, host = s.start_host(152, 112, 40, 40)
    scr = s.install("ZembraSaver.scr")
    proc = s.start(scr, "/p", str(host))
    pid = saver_pid(s)
    s.wait_window(lambda w: w.pid == pid and w.parent == host and w.visible, 20,
                  "preview window inside the host")
    s.probe("close", str(host))
    check(host_proc.wait(timeout=20) == 0, "the host did not close")
    check(s.wait_exit(proc, 20) == 0, "the preview did not end with its host")


def case_preview_without_handle(s):
    scr = s.install("ZembraSaver.scr")
    proc = s.start(scr, "/p:1234")
    pid = saver_pid(s)
    w = s.wait_window(lambda w: w.pid == pid and w.text == "Zembra ScreenSaver", 20,
                      "preview window")
    check(w.width == 0 and w.height == 0, "no host: sized to nothing: %r" % (w,))
    s.probe("close", str(w.hwnd))
    check(s.wait_exit(proc, 10) == 0, "ends with 0 on WM_CLOSE")


if __name__ == "__main__":
    harness.Scenario = Scenario
    harness.main([case_config_without_player_ends, case_unknown_letter, case_preview,
                  case_preview_ends_with_its_host, case_preview_without_handle])
