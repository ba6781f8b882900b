"""Configuration mode (/c) of packaged savers: the about box that the package
fills, its layout as the real windows show it, the link opened by a click on
the picture or the copyright line, the ways to close it, and the working
folder gone once it is closed.

The fake browser (tests/ui/fakebrowser.exe) is registered as the default
browser of the prefix while a case runs; it records its command line.
"""

import contextlib
import os
import re
import shutil
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
import player_scenario as ps  # noqa: E402
import harness  # noqa: E402
from harness import check  # noqa: E402

WM_SYSCOMMAND = 0x0112
SC_CLOSE = 0xF060
CLOSE_CAPTION = "閉じる(&C)"
DESIGN_CAPTION = "Zembra ScreenSaver"
GAP = 4  # between the rows and under the button

# The picture: a 4-pixel red frame around a blue field, so that a screenshot
# tells a stretched picture (frame on every side) from a cut one.
RED = (255, 0, 0)
BLUE = (0, 128, 255)

CLIENTS_KEY = r"HKLM\Software\Clients\StartMenuInternet"
BROWSER_CLIENT = "ZembraScenarioBrowser"
URL = "http://example.com/zembra?from=about&v=1"


def bmp(width, height):
    """A 24-bit bottom-up BMP file image of the framed picture."""
    def px(rgb):
        return bytes((rgb[2], rgb[1], rgb[0]))
    pad = b"\0" * ((4 - width * 3 % 4) % 4)
    edge = px(RED) * width + pad
    inner = px(RED) * 4 + px(BLUE) * (width - 8) + px(RED) * 4 + pad
    rows = [edge if y < 4 or y >= height - 4 else inner for y in range(height)]
    data = b"".join(rows)
    return (b"BM" + struct.pack("<IHHI", 54 + len(data), 0, 0, 54) +
            struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0,
                        0) + data)


def pack(s, guid, lines, files=None):
    """Packs a saver whose package holds GUID, a movie and the given manifest
    lines. The manifest is written in the ANSI code page of the Japanese
    system, as the saver reads texts."""
    pkg = s.path("pkg")
    os.makedirs(pkg, exist_ok=True)
    files = dict(files or {})
    files["movie.swf"] = b"#player-standin\n"
    for name, data in files.items():
        with open(os.path.join(pkg, name), "wb") as f:
            f.write(data)
    manifest = ["[package]", "GUID = " + guid, "Movie = movie.swf"] + list(lines)
    ini = os.path.join(pkg, "saver.ini")
    with open(ini, "wb") as f:
        f.write(("\n".join(manifest) + "\n").encode("cp932"))
    out = s.path("Config.scr")
    r = ps.wine(s, s.program(ps.PACKER), "build", "--saver", s.winpath(s.program(ps.SAVER)),
                "--manifest", s.winpath(ini), "--output", s.winpath(out))
    if r.returncode != 0 or not os.path.exists(out):
        raise harness.ScenarioError("packing failed: %s %s" % (r.stdout, r.stderr))
    ps.remove_temp_entry(s, guid)
    ps.register_standin(s)
    return out


@contextlib.contextmanager
def fake_browser(s):
    """Registers the fake browser as the prefix's default browser, under a
    path with blanks and without "-" (the launcher drops tokens holding
    one); yields (log path, environment for the saver). Everything is put
    back afterwards."""
    folder = os.path.join(s.prefix, "drive_c", "Zembra Scenario Browser")
    os.makedirs(folder, exist_ok=True)
    shutil.copy2(s.program("fakebrowser.exe"), os.path.join(folder, "fakebrowser.exe"))
    exe = r"C:\Zembra Scenario Browser\fakebrowser.exe"
    before = s.run_probe("reg", "get", CLIENTS_KEY, "")
    command_key = CLIENTS_KEY + "\\" + BROWSER_CLIENT + r"\shell\open\command"
    try:
        s.probe("reg", "set-sz", CLIENTS_KEY, "", BROWSER_CLIENT)
        s.probe("reg", "set-sz", command_key, "", '"%s" "%%1"' % exe)
        log = s.path("browser.log")
        yield log, {"ZEMBRA_FAKEBROWSER_LOG": s.winpath(log)}, exe
    finally:
        if before.returncode == 0 and before.stdout.startswith("sz="):
            s.run_probe("reg", "set-sz", CLIENTS_KEY, "", before.stdout[3:].rstrip("\r\n"))
        else:
            s.run_probe("reg", "delete", CLIENTS_KEY, "")
        ps.wine(s, "reg", "delete", CLIENTS_KEY + "\\" + BROWSER_CLIENT, "/f", timeout=60)
        shutil.rmtree(folder, ignore_errors=True)


def browser_lines(log):
    if not os.path.exists(log):
        return []
    with open(log, encoding="cp932", errors="replace") as f:
        return [l.rstrip("\r\n") for l in f if l.strip()]


class Box:
    """A window's rectangle in the dialog's client coordinates."""

    def __init__(self, w, origin):
        self.window = w
        self.left = w.rect[0] - origin[0]
        self.top = w.rect[1] - origin[1]
        self.width = w.width
        self.height = w.height
        self.right = self.left + self.width
        self.bottom = self.top + self.height
        self.visible = w.visible

    def centre_on_screen(self):
        r = self.window.rect
        return (r[0] + r[2]) // 2, (r[1] + r[3]) // 2

    def __repr__(self):
        return "Box(%d,%d %dx%d vis=%d)" % (self.left, self.top, self.width, self.height,
                                            self.visible)


class Dialog:
    """The about box of one saver process as winprobe sees it: the top-level
    window that holds the close button, its picture, label and button."""

    def __init__(self, windows):
        tops = [w for w in windows if w.depth == 0 and w.visible and any(
            c.parent == w.hwnd and c.cls.lower() == "button" for c in windows)]
        if len(tops) != 1:
            raise harness.ScenarioError("no single about box: %r" % (windows,))
        self.window = top = tops[0]
        children = [w for w in windows if w.parent == top.hwnd]
        # A fixed dialog frame is as wide on every side, the title bar is on
        # top: that fixes the client area's origin on the screen.
        border = (top.width - top.client[0]) // 2
        self.origin = (top.rect[0] + border, top.rect[3] - border - top.client[1])
        self.client = top.client
        own = [c for c in children if c.cls == "ZembraWindow"]
        buttons = [c for c in children if c.cls.lower() == "button"]
        check(len(own) == 2 and len(buttons) == 1, "picture, label, button: %r" % (children,))
        # Created (and listed) in this order: picture, then label.
        self.picture, self.label = (Box(c, self.origin) for c in own)
        self.button = Box(buttons[0], self.origin)
        self.caption = top.text
        self.label_text = own[1].text
        self.button_text = buttons[0].text

    def layout(self):
        return [self.window.rect, self.client] + [
            (b.window.rect, b.visible) for b in (self.picture, self.label, self.button)]


def start_config(s, scr, guid, env=None):
    """Starts scr /c; returns (process, dialog) once the about box is shown
    and has the focus."""
    p = s.start(scr, "/c", env=env)
    # The file system first: window probes while the saver's Wine session is
    # still coming up can stall.
    s.wait_until(lambda: os.path.isfile(os.path.join(work_folder(s, guid), guid + ".swf")), 30,
                 "the movie file")
    pid = s.wait_until(lambda: [x["pid"] for x in s.own_processes()
                                if x["path"].lower().endswith(".scr")], 30,
                       "the saver process")[0]
    d = s.wait_until(lambda: _dialog_or_none(s, pid), 30, "the about box")
    s.wait_until(lambda: int(s.state()["foreground"], 16) == d.window.hwnd, 10,
                 "the about box to be the foreground window")
    # Two equal readings in a row: one listing is not atomic.
    last = [None]

    def settled():
        now = _dialog_or_none(s, pid)
        same = now is not None and last[0] is not None and now.layout() == last[0].layout()
        last[0] = now
        return now if same else None
    return p, s.wait_until(settled, 10, "the about box to settle", interval=0.5)


def _dialog_or_none(s, pid):
    try:
        return Dialog(s.windows(pid=pid))
    except (harness.ScenarioError, AssertionError):
        return None


def work_folder(s, guid):
    return os.path.join(ps.temp_dir(s), guid)


def check_ends(s, p, guid, how):
    check(s.wait_exit(p, 20) == 0, "configuration did not end with 0 on %s" % how)
    s.wait_no_process()
    check(not os.path.exists(work_folder(s, guid)), "working folder left after %s" % how)


def check_layout(s, d, picture, label, button):
    """picture: expected (w, h) or None to skip the size; label/button:
    whether the row is shown."""
    check(d.label.visible == label, "label shown=%s: %r" % (label, d.label))
    check(d.button.visible == button, "button shown=%s: %r" % (button, d.button))
    if picture:
        check((d.picture.width, d.picture.height) == picture,
              "picture size %r, expected %r" % (d.picture, picture))
    width = d.picture.width
    if label:
        width = max(width, d.label.width + 16)
    if button:
        width = max(width, d.button.width + 16)
    check(d.client[0] == width, "content width %d, expected %d: %r %r %r" %
          (d.client[0], width, d.picture, d.label, d.button))
    y = 0
    for name, box, shown in (("picture", d.picture, True), ("label", d.label, label),
                             ("button", d.button, button)):
        if not shown:
            continue
        check(box.top == y, "%s top %d, expected %d" % (name, box.top, y))
        check(box.left == (width - box.width) // 2, "%s not centred: %r in %d" %
              (name, box, width))
        y = box.bottom + GAP
    bottom = y if button else y - GAP
    check(d.client[1] == bottom, "client height %d, expected %d" % (d.client[1], bottom))
    # Centred on the work area, which on Xvfb without a task bar is the screen.
    vx, vy, vw, vh = (int(v) for v in s.state()["virtual"].split(","))
    r = d.window.rect
    check(r[0] == vx + (vw - d.window.width) // 2 and r[1] == vy + (vh - d.window.height) // 2,
          "dialog not centred on %r: %r" % ((vx, vy, vw, vh), r))


def pixel(png, x, y):
    r = subprocess.run(["convert", png, "-crop", "1x1+%d+%d" % (x, y), "-depth", "8", "txt:-"],
                       capture_output=True, text=True, timeout=30)
    m = re.search(r"\((\d+),(\d+),(\d+)", r.stdout.splitlines()[-1] if r.stdout else "")
    return tuple(int(v) for v in m.groups()) if m else (-1, -1, -1)


def near(c1, c2, tolerance=40):
    return all(abs(a - b) <= tolerance for a, b in zip(c1, c2))


def text_colours(png, box):
    """(blue, black) pixel counts inside a control: the label's text is black
    at rest and blue while the pointer is over a label with a link."""
    l, t, r, b = box.window.rect
    out = subprocess.run(["convert", png, "-crop", "%dx%d+%d+%d" % (r - l, b - t, l, t),
                          "-depth", "8", "txt:-"], capture_output=True, text=True,
                         timeout=30).stdout
    blue = black = 0
    for m in re.finditer(r"\((\d+),(\d+),(\d+)", out):
        red, green, bl = (int(v) for v in m.groups())
        blue += bl > 180 and red < 80 and green < 80
        black += bl < 60 and red < 60 and green < 60
    return blue, black


def hover_colours(s, d, name):
    s.move(*d.label.centre_on_screen())
    time.sleep(0.7)
    return text_colours(s.screenshot(name), d.label)


def check_picture_drawn(s, d, shot):
    """The picture fills its control: red frame at every corner, blue in the
    middle."""
    l, t, r, b = d.picture.window.rect
    corners = [(l + 1, t + 1), (r - 2, t + 1), (l + 1, b - 2), (r - 2, b - 2)]
    for x, y in corners:
        check(near(pixel(shot, x, y), RED), "no red frame at %r: %r" % ((x, y),
                                                                      pixel(shot, x, y)))
    cx, cy = d.picture.centre_on_screen()
    check(near(pixel(shot, cx, cy), BLUE), "picture not drawn: %r" % (pixel(shot, cx, cy),))


def click(s, box):
    x, y = box.centre_on_screen()
    s.move(x, y)
    s.click(1)


def close_box_point(d):
    """The title bar's close box: at the right end of the title bar."""
    r = d.window.rect
    border = (d.window.width - d.client[0]) // 2
    title = d.origin[1] - r[1]
    return r[2] - border - title // 2, r[1] + border + (title - border) // 2


# -- cases ----------------------------------------------------------------------

ALL_GUID = "ZembraConfig-All"
ALL_TEXT = "(C) 2026 ゼンブラ工房 & Friends"
ALL_ITEMS = ["AboutCaption = ゼンブラの設定", "AboutLinkText = " + ALL_TEXT,
             "AboutLinkURL = " + URL, "AboutCloseButton = true", "AboutImage = pic.bmp"]


def case_all_items(s):
    scr = pack(s, ALL_GUID, ALL_ITEMS, {"pic.bmp": bmp(160, 120)})
    with fake_browser(s) as (log, env, exe):
        p, d = start_config(s, scr, ALL_GUID, env)
        check(d.caption == "ゼンブラの設定", "caption %r" % d.caption)
        check(d.label_text == ALL_TEXT, "label text %r" % d.label_text)
        check(d.button_text == CLOSE_CAPTION, "button text %r" % d.button_text)
        check_layout(s, d, (160, 120), label=True, button=True)
        s.move(0, 0)
        time.sleep(0.5)
        shot = s.screenshot("all-items")
        check_picture_drawn(s, d, shot)
        blue, black = text_colours(shot, d.label)
        check(black > 20 and blue == 0, "link at rest not black: %d blue, %d black" %
              (blue, black))
        blue, black = hover_colours(s, d, "all-items-hover")
        check(blue > 20 and black == 0, "link under the pointer not blue: %d blue, %d black" %
              (blue, black))
        # The picture and the copyright line open the same address, passed
        # unquoted after the quoted browser path.
        expected = '"%s" %s' % (exe, URL)
        click(s, d.picture)
        s.wait_until(lambda: len(browser_lines(log)) >= 1, 15, "the browser from the picture")
        click(s, d.label)
        lines = s.wait_until(lambda: browser_lines(log)[1:] and browser_lines(log), 15,
                             "the browser from the label")
        check(lines == [expected, expected], "browser started with %r" % (lines,))
        check(p.poll() is None, "a click closed the dialog")
        s.wait_until(lambda: int(s.state()["foreground"], 16) == d.window.hwnd, 10,
                     "the about box to keep the focus")
        s.key("Return")
        check_ends(s, p, ALL_GUID, "Enter")


def case_close_ways(s):
    scr = pack(s, ALL_GUID, ALL_ITEMS, {"pic.bmp": bmp(160, 120)})
    for how in ("Escape", "c", "alt+c", "close box"):
        p, d = start_config(s, scr, ALL_GUID)
        if how == "close box":
            s.probe("post", str(d.window.hwnd), str(WM_SYSCOMMAND), str(SC_CLOSE), "0")
        else:
            s.key(how)
        check_ends(s, p, ALL_GUID, how)


def case_without_items(s):
    guid = "ZembraConfig-None"
    scr = pack(s, guid, [])
    p, d = start_config(s, scr, guid)
    check(d.caption == DESIGN_CAPTION, "caption %r" % d.caption)
    # No picture: the control keeps its design size and draws nothing.
    check_layout(s, d, (105, 105), label=False, button=True)
    check(d.label_text == "", "label text %r" % d.label_text)
    s.screenshot("without-items")
    s.probe("close", str(d.window.hwnd))
    check_ends(s, p, guid, "WM_CLOSE")


def case_link_without_text(s):
    guid = "ZembraConfig-LinkOnly"
    scr = pack(s, guid, ["AboutLinkURL = " + URL, "AboutImage = pic.bmp"],
               {"pic.bmp": bmp(50, 40)})
    with fake_browser(s) as (log, env, exe):
        p, d = start_config(s, scr, guid, env)
        # A narrow picture: the button's width + 16 sets the content width.
        check_layout(s, d, (50, 40), label=False, button=True)
        check(d.client[0] == 116, "content width %d" % d.client[0])
        s.move(0, 0)
        time.sleep(0.5)
        check_picture_drawn(s, d, s.screenshot("link-without-text"))
        click(s, d.picture)
        lines = s.wait_until(lambda: browser_lines(log), 15, "the browser from the picture")
        check(lines == ['"%s" %s' % (exe, URL)], "browser started with %r" % (lines,))
        s.key("Return")
        check_ends(s, p, guid, "Enter")


def case_text_without_link_and_no_button(s):
    guid = "ZembraConfig-TextOnly"
    text = "Copyright (C) 2026 ゼンブラ工房 - all rights reserved"
    scr = pack(s, guid, ["AboutLinkText = " + text, "AboutCloseButton = false",
                         "AboutImage = pic.bmp"], {"pic.bmp": bmp(60, 60)})
    with fake_browser(s) as (log, env, _exe):
        p, d = start_config(s, scr, guid, env)
        check(d.label_text == text, "label text %r" % d.label_text)
        # A label wider than the picture widens the box; no button row and no
        # margin under the label.
        check_layout(s, d, (60, 60), label=True, button=False)
        check(d.label.width + 16 > 60, "label too narrow to test widening: %r" % d.label)
        s.move(0, 0)
        time.sleep(0.5)
        check_picture_drawn(s, d, s.screenshot("text-without-link"))
        blue, black = hover_colours(s, d, "text-without-link-hover")
        check(black > 20 and blue == 0, "text without link changed colour: %d blue, %d black" %
              (blue, black))
        click(s, d.label)
        click(s, d.picture)
        s.key("Return")
        s.key("Escape")
        s.key("c")
        s.key("alt+c")
        time.sleep(2)
        check(p.poll() is None, "the dialog closed without a close button")
        check(browser_lines(log) == [], "a link without address opened %r" % browser_lines(log))
        # Only the close box ends it: a real click on it.
        x, y = close_box_point(d)
        s.move(x, y)
        s.click(1)
        check_ends(s, p, guid, "a click on the close box")


def case_oversize_picture(s):
    guid = "ZembraConfig-Large"
    scr = pack(s, guid, ["AboutLinkText = Large picture", "AboutImage = pic.bmp"],
               {"pic.bmp": bmp(1400, 1000)})
    p, d = start_config(s, scr, guid)
    check_layout(s, d, None, label=True, button=True)
    vx, vy, vw, vh = (int(v) for v in s.state()["virtual"].split(","))
    frame_w = d.window.width - d.client[0]
    frame_h = d.window.height - d.client[1]
    bound_w = vw - frame_w
    bound_h = vh - frame_h - (d.label.height + GAP) - (d.button.height + 2 * GAP)
    w, h = d.picture.width, d.picture.height
    check(w <= bound_w and h <= bound_h, "picture %dx%d beyond %dx%d" % (w, h, bound_w, bound_h))
    # As large as fits: one side meets its bound; the other keeps the ratio
    # (truncated to whole pixels).
    check(w == bound_w or h == bound_h, "picture %dx%d smaller than needed" % (w, h))
    check(abs(w * 1000 - h * 1400) < 1400, "aspect ratio lost: %dx%d" % (w, h))
    r = d.window.rect
    check(r[0] >= vx and r[1] >= vy and r[2] <= vx + vw and r[3] <= vy + vh,
          "dialog beyond the screen: %r" % (r,))
    s.move(0, 0)
    time.sleep(0.5)
    # Stretched, not cut: the frame shows on every side.
    check_picture_drawn(s, d, s.screenshot("oversize-picture"))
    s.key("Escape")
    check_ends(s, p, guid, "Escape")


CASES = [case_all_items, case_close_ways, case_without_items, case_link_without_text,
         case_text_without_link_and_no_button, case_oversize_picture]
# The dialog's texts and the button's caption render only with the Japanese
# code page.
for _case in CASES:
    _case.japanese = True

if __name__ == "__main__":
    harness.main(CASES)
