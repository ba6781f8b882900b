"""Password change (/a) and the password check that ends the run mode."""

import os
import time

import harness
from harness import check
from saver_common import WM_COMMAND, main_window, saver_pid, start_run, still_running

DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
FAILED_TEXT = "パスワードの変更に失敗しました"


def case_change_password_fails(s):
    scr = s.install("ZembraSaver.scr", extra=("MPR.DLL",))
    log = s.path("mpr.log")
    proc = s.start(scr, "/a", env={"FAKE_MPR_LOG": s.winpath(log)}, dll_overrides="mpr=n")
    pid = saver_pid(s)
    text = s.wait_window(lambda w: w.pid == pid and w.text == FAILED_TEXT, 20,
                         "the failure message")
    box = s.wait_window(lambda w: w.pid == pid and w.visible and w.text == "エラー", 5,
                        "the error box")
    s.screenshot("password-change-failed")
    check(not [w for w in s.windows(pid=pid) if w.visible and w.hwnd != box.hwnd
               and w.parent != box.hwnd],
          "nothing but the error box is visible")
    with open(log) as f:
        calls = [l.strip() for l in f]
    check(len(calls) == 1 and calls[0].startswith("PwdChangePasswordA SCRSAVE ")
          and calls[0].endswith(" 0 0"), "change function called once: %r" % calls)
    s.probe("post", str(box.hwnd), str(WM_COMMAND), "1")
    check(s.wait_exit(proc, 10) == 0, "ends with 0 after the message")
    del text


case_change_password_fails.japanese = True


def case_verify_password(s):
    answer = s.path("answer.txt")
    log = s.path("verify.log")
    with open(answer, "w") as f:
        f.write("0")
    s.probe("reg", "set-sz", DESKTOP_KEY, "ScreenSaveUsePassword", "1")
    try:
        s.install("Password.CPL")
        env = {"FAKE_PASSWORD_ANSWER": s.winpath(answer), "FAKE_PASSWORD_LOG": s.winpath(log)}
        proc, _pid, _w = start_run(s, env=env)

        def calls():
            if not os.path.exists(log):
                return []
            with open(log) as f:
                return [l.strip() for l in f if l.strip()]

        # Three position changes and one more move: checked, wrong, still running.
        for x, y in ((100, 100), (200, 150), (300, 200), (310, 210)):
            s.move(x, y)
        s.wait_until(lambda: len(calls()) == 1, 10, "first password check")
        check("answer=0" in calls()[0], "wrong answer given: %r" % calls())
        check(still_running(proc, 1.0), "a wrong password keeps the saver running")
        # The move count starts again from 0: two new changes are not enough
        # (the window also gets moves at the same position now and then, which
        # do not count as changes).
        for x, y in ((400, 300), (500, 350)):
            s.move(x, y)
        check(still_running(proc, 1.5) and len(calls()) == 1,
              "no check after two new changes: %r" % calls())
        with open(answer, "w") as f:
            f.write("1")
        s.move(600, 400)
        s.move(610, 410)
        check(s.wait_exit(proc, 10) == 0, "the right password ends the saver")
        check(len(calls()) == 2 and "answer=1" in calls()[1], "second check: %r" % calls())
    finally:
        s.run_probe("reg", "delete", DESKTOP_KEY, "ScreenSaveUsePassword")


def case_wrong_password_then_key(s):
    answer = s.path("answer.txt")
    log = s.path("verify.log")
    with open(answer, "w") as f:
        f.write("0")
    s.probe("reg", "set-sz", DESKTOP_KEY, "ScreenSaveUsePassword", "1")
    try:
        s.install("Password.CPL")
        env = {"FAKE_PASSWORD_ANSWER": s.winpath(answer), "FAKE_PASSWORD_LOG": s.winpath(log)}
        proc, _pid, _w = start_run(s, env=env)
        s.key("a")
        s.wait_until(lambda: os.path.exists(log), 10, "first password check")
        check(still_running(proc, 1.0), "a wrong password keeps the saver running")
        with open(answer, "w") as f:
            f.write("1")
        s.key("a")
        check(s.wait_exit(proc, 10) == 0, "one key is enough after a failed check")
    finally:
        s.run_probe("reg", "delete", DESKTOP_KEY, "ScreenSaveUsePassword")


def case_password_setting_text_zero_means_none(s):
    # The setting is usually a text: "0" asks for no password, so a move
    # ends the saver without any check.
    log = s.path("verify.log")
    s.probe("reg", "set-sz", DESKTOP_KEY, "ScreenSaveUsePassword", "0")
    try:
        s.install("Password.CPL")
        env = {"FAKE_PASSWORD_ANSWER": s.winpath(s.path("none.txt")),
               "FAKE_PASSWORD_LOG": s.winpath(log)}
        proc, _pid, _w = start_run(s, env=env)
        s.key("a")
        check(s.wait_exit(proc, 10) == 0, "a key ends the saver at once")
        check(not os.path.exists(log), "no password check with the setting \"0\"")
    finally:
        s.run_probe("reg", "delete", DESKTOP_KEY, "ScreenSaveUsePassword")


if __name__ == "__main__":
    harness.main([case_change_password_fails, case_verify_password,
                  case_wrong_password_then_key, case_password_setting_text_zero_means_none])
