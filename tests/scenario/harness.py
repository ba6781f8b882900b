"""Scenario harness: drives Windows programs under Wine inside a private Xvfb.

A scenario file (tests/scenario/test_*.py) defines functions that take a
Scenario and ends with ``harness.main(...)``; CTest runs it as
``python3 tests/scenario/test_xxx.py --build-dir <win32 or win64 build folder>``.
Each case gets its own Xvfb display (started with -displayfd and -noreset),
its own fresh work folder under <build>/scenario-runs/<file>-<case>/, and a
cleanup that kills every process it started (never ``wineserver -k``: tests
share the prefix <build>/wineprefix).

    import harness

    def case_run_ends_on_key(s):
        scr = s.install("ZembraSaver.scr")          # copy into the work folder
        p = s.start(scr, "/e")                      # wine ZembraSaver.scr /e
        w = s.wait_window(lambda w: w.pid_of(s) and w.visible and w.cls == "TfrmMain")
        s.key("a")                                  # xdotool with our DISPLAY
        assert s.wait_exit(p, 10) == 0
        s.screenshot("after-key")                   # <work>/after-key.png

    if __name__ == "__main__":
        harness.main([case_run_ends_on_key])

Scenarios that start the saver in run mode must not overlap (they share the
prefix's single-instance name and the system-wide running flag): give their
CTest tests RESOURCE_LOCK zembra_wine_saver.

Main entry points (all with timeouts; a timeout raises ScenarioError):
  s.program(name)          path of a built program (searched in the build dir)
  s.install(prog, folder=None, extra=())  copy a program (and extra files)
                           into the work folder (or a sub-folder); returns path
  s.start(path, *args, env=None, dll_overrides=None)  start under Wine
  s.wait_exit(proc, t)     exit code, or ScenarioError after t seconds
  s.windows(pid=, cls=, parent=)  list of Window (see below)
  s.wait_window(pred, t)   first window for which pred(window) holds
  s.wait_until(fn, t, what)  polls fn until it returns a true value
  s.processes()            Windows processes: dicts pid, parent, path
  s.own_processes()        those whose image lies under the work folder
  s.key(*names), s.move(x, y), s.click(button=1)   xdotool input
  s.screenshot(name)       PNG of the whole screen in the work folder
  s.probe(*args)           run winprobe.exe, return its stdout
  s.winpath(path)          Z:\\... form of a Unix path
  s.start_host(w, h)       winprobe host window; returns (proc, hwnd)

winprobe.exe (tests/tools) commands, each printing text lines:
  list [--pid N] [--class NAME] [--parent HWND]
        one "window hwnd=0x.. pid= tid= parent=0x.. owner=0x.. depth= class=
        rect=l,t,r,b client=WxH style=0x.. exstyle=0x.. visible= enabled=
        text=..." line per top-level window and each of its child windows
        (text in UTF-8, last on the line); --parent lists one window's tree
  host [W H [X Y]]   visible borderless W x H host window; prints
        "hwnd=<decimal>", then "child-created/child-destroyed 0x.." lines,
        and "host-closed" when it is closed; runs until closed or killed
  close HWND | post HWND MSG [W L] | send HWND MSG [W L]  (send prints result=)
  reg get|set-dword|set-sz|delete HKCU\\Key Value [Data]   (get prints
        dword=N or sz=TEXT; exit 1 when missing)
  procs                "proc pid= parent= path=" per process
  kill PID...          TerminateProcess and wait
  cmdline PID          "cmdline=..." of another process
  mutex NAME           "exists=0|1"
  state                "screensaverrunning= cursorshowing= cursor=x,y
                        foreground=0x.. virtual=x,y,w,h"
  focus HWND           SetForegroundWindow
  resources PID        "handles= gdi= user= windows= private=" of a process
                       (kernel handles, GDI and USER objects, its windows,
                       private bytes; Wine reports no GDI or USER counts)
"""

import argparse
import os
import select
import shutil
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
SCRIPTS = os.path.join(SOURCE_DIR, "scripts")


class ScenarioError(Exception):
    pass


class Window:
    """One line of ``winprobe list``."""

    def __init__(self, line):
        head, _, text = line.partition(" text=")
        self.text = text
        fields = {}
        for part in head.split()[1:]:
            k, _, v = part.partition("=")
            fields[k] = v
        self.hwnd = int(fields["hwnd"], 16)
        self.pid = int(fields["pid"])
        self.tid = int(fields["tid"])
        self.parent = int(fields["parent"], 16)
        self.owner = int(fields["owner"], 16)
        self.depth = int(fields["depth"])
        self.cls = fields["class"]
        self.rect = tuple(int(x) for x in fields["rect"].split(","))
        self.client = tuple(int(x) for x in fields["client"].split("x"))
        self.style = int(fields["style"], 16)
        self.exstyle = int(fields["exstyle"], 16)
        self.visible = fields["visible"] == "1"
        self.enabled = fields["enabled"] == "1"

    @property
    def width(self):
        return self.rect[2] - self.rect[0]

    @property
    def height(self):
        return self.rect[3] - self.rect[1]

    def __repr__(self):
        return ("Window(0x%X pid=%d class=%s rect=%s style=0x%08X ex=0x%08X vis=%d en=%d "
                "text=%r)" % (self.hwnd, self.pid, self.cls, self.rect, self.style,
                              self.exstyle, self.visible, self.enabled, self.text))


class Scenario:
    def __init__(self, build_dir, name, screen="1024x768x24", japanese=False):
        self.build_dir = os.path.abspath(build_dir)
        self.name = name
        self.screen = screen
        self.japanese = japanese
        self.prefix = os.path.join(self.build_dir, "wineprefix")
        self.root = os.path.join(self.build_dir, "scenario-runs", name)
        self.display = None
        self._xvfb = None
        self._procs = []
        self.env = None

    # -- life cycle -------------------------------------------------------
    def __enter__(self):
        shutil.rmtree(self.root, ignore_errors=True)
        os.makedirs(self.root)
        self.env = self._wine_env()
        r = subprocess.run([os.path.join(SCRIPTS, "wine-prefix"), self.prefix], env=self.env,
                           timeout=180)
        if r.returncode != 0:
            raise ScenarioError("wine prefix could not be created")
        self._start_xvfb()
        self.env["DISPLAY"] = self.display
        self._warm_up()
        return self

    def _warm_up(self):
        # A wineserver left by the previous case may still be shutting down
        # (its desktop process lost its display); the first client can then
        # hang. Retry until a trivial probe answers.
        for _ in range(4):
            try:
                if self.run_probe("state", timeout=20).returncode == 0:
                    return
            except subprocess.TimeoutExpired:
                pass
            time.sleep(1)
        raise ScenarioError("Wine does not answer in prefix %s" % self.prefix)

    def __exit__(self, *exc):
        self.cleanup()
        return False

    def _wine_env(self):
        # scripts/wine-env decides which Wine runs this build (its folder's
        # wine-arch file); ZEMBRA_WINE and ZEMBRA_WINESERVER name it.
        env = dict(os.environ)
        env.pop("WINEDLLOVERRIDES", None)
        r = subprocess.run(["bash", os.path.join(SCRIPTS, "wine-env"), "--print", self.prefix],
                           env=env, capture_output=True, text=True, timeout=20)
        if r.returncode != 0:
            raise ScenarioError("wine-env: " + r.stderr.strip())
        for line in r.stdout.splitlines():
            key, _, value = line.partition("=")
            env[key] = value
        if self.japanese:
            env["LANG"] = "ja_JP.UTF-8"
            env["LC_ALL"] = "ja_JP.UTF-8"
        return env

    def _start_xvfb(self):
        rfd, wfd = os.pipe()
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(wfd), "-screen", "0", self.screen, "-noreset",
                 "-nolisten", "tcp"],
                pass_fds=(wfd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.close(wfd)
            wfd = -1
            deadline = time.time() + 20
            data = b""
            while not data.endswith(b"\n"):
                if time.time() > deadline:
                    raise ScenarioError("Xvfb did not report a display")
                ready, _, _ = select.select([rfd], [], [], 0.5)
                if ready:
                    chunk = os.read(rfd, 64)
                    if not chunk:
                        break
                    data += chunk
            if not data.strip():
                raise ScenarioError("Xvfb did not start")
            self.display = ":" + data.decode().strip()
        finally:
            if wfd >= 0:
                os.close(wfd)
            os.close(rfd)

    def cleanup(self):
        """Kills every process this scenario started, then its Xvfb."""
        try:
            pids = [p["pid"] for p in self.own_processes()]
            if pids:
                self.run_probe("kill", *map(str, pids), timeout=20)
        except Exception:
            pass
        for p in self._procs:
            if p.poll() is None:
                try:
                    p.kill()
                except OSError:
                    pass
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        self._procs = []
        # Let the prefix's wineserver and desktop process wind down while
        # their display still exists; a desktop process that loses its
        # display half-way makes the next case's first Wine calls hang. With
        # other users of the prefix still running this just times out.
        try:
            subprocess.run([self.env["ZEMBRA_WINESERVER"], "-w"], env=self.env, timeout=6,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        except (subprocess.TimeoutExpired, OSError):
            pass
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait(timeout=10)
            self._xvfb = None

    @property
    def wine(self):
        """The Wine loader for this build's architecture."""
        return self.env["ZEMBRA_WINE"]

    # -- files --------------------------------------------------------------
    def program(self, name):
        for base, _dirs, files in os.walk(self.build_dir):
            if "scenario-runs" in base or "wineprefix" in base:
                continue
            if name in files:
                return os.path.join(base, name)
        raise ScenarioError("program %s not found in %s" % (name, self.build_dir))

    def install(self, prog, folder=None, extra=(), rename=None):
        dest = os.path.join(self.root, folder) if folder else self.root
        os.makedirs(dest, exist_ok=True)
        src = prog if os.path.isabs(prog) else self.program(prog)
        target = os.path.join(dest, rename or os.path.basename(src))
        shutil.copy2(src, target)
        for e in extra:
            es = e if os.path.isabs(e) else self.program(e)
            shutil.copy2(es, os.path.join(dest, os.path.basename(es)))
        return target

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    @staticmethod
    def winpath(path):
        return "Z:" + os.path.abspath(path).replace("/", "\\")

    # -- processes ------------------------------------------------------------
    def start(self, path, *args, env=None, dll_overrides=None, cwd=None):
        e = dict(self.env)
        if env:
            e.update(env)
        if dll_overrides:
            e["WINEDLLOVERRIDES"] = self.env["WINEDLLOVERRIDES"] + ";" + dll_overrides
        p = subprocess.Popen([self.wine, path] + list(args), env=e, cwd=cwd or self.root,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True, encoding="utf-8",
                             errors="replace")
        self._procs.append(p)
        return p

    def wait_exit(self, proc, timeout):
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise ScenarioError("process did not end within %ss" % timeout)

    def run_probe(self, *args, timeout=20):
        cmd = [self.wine, self.program("winprobe.exe")] + list(args)
        for attempt in range(2):
            try:
                return subprocess.run(cmd, env=self.env, stdin=subprocess.DEVNULL,
                                      capture_output=True, text=True, encoding="utf-8",
                                      errors="replace", timeout=timeout)
            except subprocess.TimeoutExpired:
                # Once more: a wineserver that was shutting down has gone now.
                if attempt == 1:
                    raise

    def probe(self, *args, timeout=20):
        r = self.run_probe(*args, timeout=timeout)
        if r.returncode != 0:
            raise ScenarioError("winprobe %s failed (%d): %s" % (" ".join(args), r.returncode,
                                                                  r.stderr.strip()))
        return r.stdout

    def windows(self, pid=None, cls=None, parent=None):
        args = ["list"]
        if pid is not None:
            args += ["--pid", str(pid)]
        if cls is not None:
            args += ["--class", cls]
        if parent is not None:
            args += ["--parent", str(parent)]
        r = self.run_probe(*args)
        return [Window(l) for l in r.stdout.splitlines() if l.startswith("window ")]

    def processes(self):
        out = []
        for line in self.probe("procs").splitlines():
            if not line.startswith("proc "):
                continue
            head, _, path = line.partition(" path=")
            f = dict(x.split("=", 1) for x in head.split()[1:])
            out.append({"pid": int(f["pid"]), "parent": int(f["parent"]), "path": path})
        return out

    def own_processes(self):
        root = self.winpath(self.root).lower() + "\\"
        return [p for p in self.processes() if p["path"].lower().startswith(root)]

    def command_line(self, pid):
        out = self.probe("cmdline", str(pid))
        return out.partition("cmdline=")[2].rstrip("\r\n")

    def state(self):
        out = self.probe("state").strip()
        return dict(x.split("=", 1) for x in out.split())

    def start_host(self, width=152, height=112, x=40, y=40, timeout=20):
        p = subprocess.Popen([self.wine, self.program("winprobe.exe"), "host", str(width),
                              str(height), str(x), str(y)], env=self.env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                             stderr=subprocess.DEVNULL, text=True)
        self._procs.append(p)
        line = self._read_line(p, timeout)
        if not line.startswith("hwnd="):
            raise ScenarioError("host window did not start: %r" % line)
        return p, int(line.strip().partition("=")[2])

    @staticmethod
    def _read_line(proc, timeout):
        deadline = time.time() + timeout
        buf = ""
        fd = proc.stdout
        while time.time() < deadline:
            ready, _, _ = select.select([fd], [], [], 0.2)
            if ready:
                line = fd.readline()
                if line:
                    return line
                break
        return buf

    # -- waiting ----------------------------------------------------------------
    def wait_until(self, fn, timeout, what="condition", interval=0.2):
        deadline = time.time() + timeout
        last = None
        while True:
            last = fn()
            if last:
                return last
            if time.time() > deadline:
                raise ScenarioError("timed out after %ss waiting for %s" % (timeout, what))
            time.sleep(interval)

    def wait_window(self, pred, timeout=20, what="window", **filters):
        def find():
            for w in self.windows(**filters):
                if pred(w):
                    return w
            return None
        return self.wait_until(find, timeout, what)

    def wait_no_process(self, timeout=15):
        return self.wait_until(lambda: not self.own_processes(), timeout,
                               "the scenario's processes to end")

    # -- input and screen ------------------------------------------------------
    def xdotool(self, *args):
        r = subprocess.run(["xdotool"] + list(args), env=self.env, capture_output=True,
                           text=True, timeout=20)
        if r.returncode != 0:
            raise ScenarioError("xdotool %s failed: %s" % (" ".join(args), r.stderr))
        return r.stdout

    def key(self, *names):
        self.xdotool("key", *names)

    def move(self, x, y):
        self.xdotool("mousemove", str(x), str(y))

    def click(self, button=1):
        self.xdotool("click", str(button))

    def screenshot(self, name):
        path = os.path.join(self.root, name + ".png")
        subprocess.run(["import", "-display", self.display, "-window", "root", path],
                       env=self.env, capture_output=True, timeout=30)
        return path


def check(cond, message):
    if not cond:
        raise AssertionError(message)


def main(cases, screen="1024x768x24"):
    """Runs the given case functions, each in its own Scenario."""
    ap = argparse.ArgumentParser()
    ap.add_argument("--build-dir", required=True)
    ap.add_argument("-k", dest="only", default=None, help="run only cases containing this text")
    a = ap.parse_args()
    file_tag = os.path.splitext(os.path.basename(sys.argv[0]))[0]
    failed = 0
    for case in cases:
        if a.only and a.only not in case.__name__:
            continue
        name = "%s-%s" % (file_tag, case.__name__)
        t0 = time.time()
        try:
            japanese = getattr(case, "japanese", False)
            with Scenario(a.build_dir, name, screen=screen, japanese=japanese) as s:
                case(s)
            print("PASS %s (%.1fs)" % (case.__name__, time.time() - t0), flush=True)
        except Exception:
            failed += 1
            print("FAIL %s (%.1fs)" % (case.__name__, time.time() - t0), flush=True)
            traceback.print_exc()
            sys.stdout.flush()
    sys.exit(1 if failed else 0)
