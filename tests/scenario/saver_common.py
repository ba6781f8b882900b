"""Helpers shared by the screen-saver scenarios."""

import time

import harness

WS_CHILD = 0x40000000
WS_VISIBLE = 0x10000000
WS_DISABLED = 0x08000000
WS_CAPTION = 0x00C00000
WS_THICKFRAME = 0x00040000
WS_EX_TOPMOST = 0x00000008
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
MAIN_CLASS = "ZembraWindow"
MAIN_CAPTION = "Zembra ScreenSaver"
INSTANCE_NAME = "9EA00A9F-18F3-4842-82F5-6677E57A79FA"


def main_window(s, pid, timeout=20, visible=True):
    """The saver's main window in process pid, once it is (in)visible."""
    return s.wait_window(
        lambda w: w.pid == pid and w.text == MAIN_CAPTION and w.visible == visible,
        timeout, "main window of process %d" % pid)


def saver_pid(s, timeout=20, exclude=()):
    """Windows pid of the (single) saver process of this scenario."""
    procs = s.wait_until(lambda: [p for p in s.own_processes()
                                  if p["pid"] not in exclude], timeout, "saver process")
    return procs[0]["pid"]


def start_run(s, program="ZembraSaver.scr", env=None, args=("/e",)):
    """Starts a run-mode saver with the pointer parked at (0, 0) so that the
    move the window gets right after showing does not count as a change."""
    s.move(0, 0)
    scr = s.install(program)
    proc = s.start(scr, *args, env=env)
    pid = saver_pid(s)
    window = main_window(s, pid)
    # Let the first move after showing and the focus change settle.
    time.sleep(1.0)
    return proc, pid, window


def still_running(proc, seconds):
    """True when proc is still alive after waiting `seconds`."""
    time.sleep(seconds)
    return proc.poll() is None


def borderless(w):
    return not (w.style & WS_CAPTION) and not (w.style & WS_THICKFRAME)


def other_savers_running(s):
    """True when savers of other (parallel) scenarios run in the shared
    prefix; system-wide state such as the running-saver flag is then theirs
    too."""
    own = {p["pid"] for p in s.own_processes()}
    return any(p["path"].lower().endswith(".scr") and p["pid"] not in own
               for p in s.processes())
