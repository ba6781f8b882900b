"""Run mode (/e): what input ends the saver and what does not."""

import time

import harness
from harness import check
from saver_common import (INSTANCE_NAME, WS_EX_TOPMOST, borderless, main_window,
                          other_savers_running, saver_pid, start_run, still_running)


def case_run_window_and_key(s):
    proc, pid, w = start_run(s)
    vx, vy, vw, vh = (int(v) for v in s.state()["virtual"].split(","))
    check(w.rect == (vx, vy, vx + vw, vy + vh), "covers the virtual desktop: %r" % (w,))
    check(borderless(w), "borderless: %r" % (w,))
    check(w.exstyle & WS_EX_TOPMOST, "topmost: %r" % (w,))
    check(s.state()["screensaverrunning"] == "1", "the running saver is announced")
    s.screenshot("running")
    # A modifier key alone is enough.
    s.key("shift")
    check(s.wait_exit(proc, 10) == 0, "exit code 0")
    if not other_savers_running(s):
        check(s.state()["screensaverrunning"] == "0", "the announcement is withdrawn")


def case_click_ends_run(s):
    proc, _pid, _w = start_run(s)
    s.click(1)
    rc = s.wait_exit(proc, 10); check(rc == 0, "a click ends the saver: %r" % rc)


def case_mouse_threshold(s):
    proc, _pid, _w = start_run(s)
    # Two position changes are not enough...
    s.move(100, 100)
    s.move(200, 150)
    check(still_running(proc, 1.5), "two moves must not end the saver")
    # ...a third change is counted, and the next move ends it.
    s.move(300, 200)
    check(still_running(proc, 1.0), "the third change only reaches the threshold")
    s.move(310, 210)
    check(s.wait_exit(proc, 10) == 0, "the move after three changes ends the saver")


def case_keys_off(s):
    proc, _pid, _w = start_run(s, program="ZembraSaverTest.scr",
                               env={"ZEMBRA_TEST_SAVER": "keys=0"})
    s.key("a")
    s.key("Escape")
    check(still_running(proc, 2.0), "keys must not end the saver when switched off")
    s.click(1)
    check(s.wait_exit(proc, 10) == 0, "a click still ends it")


def case_mouse_off(s):
    proc, _pid, _w = start_run(s, program="ZembraSaverTest.scr",
                               env={"ZEMBRA_TEST_SAVER": "mouse=0"})
    for x in (50, 120, 200, 260, 330):
        s.move(x, x)
    s.click(1)
    check(still_running(proc, 2.0), "mouse input must not end the saver when switched off")
    s.key("a")
    check(s.wait_exit(proc, 10) == 0, "a key still ends it")


def case_second_run_quits(s):
    proc1, pid1, _w = start_run(s)
    check("exists=1" in s.probe("mutex", INSTANCE_NAME), "the instance name is held")
    scr = s.path("ZembraSaver.scr")
    proc2 = s.start(scr, "/e")
    check(s.wait_exit(proc2, 15) == 0, "the second saver quits with 0")
    check(proc1.poll() is None, "the first saver keeps running")
    check(len(s.own_processes()) == 1, "only the first saver is left")
    s.key("a")
    check(s.wait_exit(proc1, 10) == 0, "the first saver ends on a key")
    if not other_savers_running(s):
        check("exists=0" in s.probe("mutex", INSTANCE_NAME), "the instance name is released")


if __name__ == "__main__":
    harness.main([case_run_window_and_key, case_click_ends_run, case_mouse_threshold,
                  case_keys_off, case_mouse_off, case_second_run_quits])
