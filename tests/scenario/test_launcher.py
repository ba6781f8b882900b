"""Start letter /s: the launcher starts the saver as a second process."""

import os

import harness
from harness import check
from saver_common import WS_EX_TOPMOST, borderless, main_window, saver_pid


def run_launcher(s, scr):
    s.move(0, 0)
    launcher = s.start(scr, "/s")
    launcher_pid = saver_pid(s)
    child_pid = saver_pid(s, exclude=(launcher_pid,))
    window = main_window(s, child_pid)
    return launcher, launcher_pid, child_pid, window


def case_start_letter(s):
    scr = s.install("ZembraSaver.scr")
    launcher, launcher_pid, child_pid, w = run_launcher(s, scr)
    check(s.command_line(child_pid) == '"%s" /E' % s.winpath(scr),
          "child command line: %r" % s.command_line(child_pid))
    vx, vy, vw, vh = (int(v) for v in s.state()["virtual"].split(","))
    # The window may be listed a moment before the saver has placed it (seen
    # on a loaded machine): wait for the placement rather than race it.
    try:
        w = s.wait_window(lambda x: x.hwnd == w.hwnd and x.rect == (vx, vy, vx + vw, vy + vh), 10,
                          "child window covering the virtual desktop", pid=child_pid)
    except harness.ScenarioError:
        check(False, "child covers the virtual desktop: %r" % (w,))
    check(borderless(w) and w.exstyle & WS_EX_TOPMOST, "borderless and topmost: %r" % (w,))
    check(not [x for x in s.windows(pid=launcher_pid) if x.visible],
          "the launcher shows no window")
    check(launcher.poll() is None, "the launcher waits for the child")
    s.key("space")
    check(s.wait_exit(launcher, 15) == 0, "the launcher exits with 0 after the child")
    s.wait_no_process()


def case_folder_with_blank(s):
    # Unquoted, "<root>\zembra dir\ZembraSaver.scr /E" would start <root>\zembra.exe.
    scr = s.install("ZembraSaver.scr", folder="zembra dir")
    decoy = s.install("decoy.exe", rename="zembra.exe")
    launcher, _lpid, child_pid, _w = run_launcher(s, scr)
    check(s.command_line(child_pid) == '"%s" /E' % s.winpath(scr),
          "child command line: %r" % s.command_line(child_pid))
    s.key("space")
    check(s.wait_exit(launcher, 15) == 0, "the launcher exits with 0")
    check(not os.path.exists(decoy + ".ran"), "the decoy at the truncated path must not run")


if __name__ == "__main__":
    harness.main([case_start_letter, case_folder_with_blank])
