#!/usr/bin/env python3
"""GUI tests of the Win32 user interface under Wine and Xvfb.

Each test starts ui_probe (which drives the dispatcher and prints what it was
answered), finds its windows with xdotool, works them with keys and clicks,
checks what happened and saves a screenshot of each window it meets. Every
check of a window waits, with a deadline, for the state it checks.
Without a window manager windows are found by name and focused with
`windowfocus`; `windowactivate` cannot work.
"""
import os
import queue
import re
import shutil
import subprocess
import threading
import time

import pytest

import resource_ids
import waiting

IDS = resource_ids.load()
TITLE = "QPK2EXE GUI Probe"
WAIT = 60.0  # generous bound for a window to appear, change or go under Wine
SPLASH_SECONDS = 3.0  # the splash closes itself this long after it is shown


def xdotool(*args):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True, timeout=30)
    return result.stdout.strip()


def find_windows(name):
    out = xdotool("search", "--onlyvisible", "--name", name)
    return [w for w in out.split() if w]


def wait_until(predicate, what, timeout=WAIT):
    # An assertion in predicate means "not yet".
    return waiting.wait_until(predicate, what, timeout, AssertionError)


def geometry(window):
    out = xdotool("getwindowgeometry", window)
    position = re.search(r"Position: (-?\d+),(-?\d+)", out)
    size = re.search(r"Geometry: (\d+)x(\d+)", out)
    assert position and size, "no geometry for window %s: %r" % (window, out)
    return (int(position.group(1)), int(position.group(2)), int(size.group(1)), int(size.group(2)))


def screen_size():
    width, height = xdotool("getdisplaygeometry").split()
    return int(width), int(height)


def centred(window, what):
    """The window's geometry, checked against the centring rule: half the
    difference of the work area's size and the window's. Under Xvfb without a
    task bar the work area is the screen."""
    x, y, width, height = geometry(window)
    screen_w, screen_h = screen_size()
    want = ((screen_w - width) // 2, (screen_h - height) // 2)
    # X reports the client area; the frame Wine draws itself may shift it by
    # its own width, so allow the border and caption.
    assert abs(x - want[0]) <= 8 and abs(y - want[1]) <= 30, \
        "%s at %d,%d (%dx%d) should be centred near %d,%d" % (what, x, y, width, height, want[0], want[1])
    return x, y, width, height


def expect_centred(window, what):
    return wait_until(lambda: centred(window, what), what + " centred")


class Probe:
    """The probe program under Wine, with its output lines in a queue."""

    def __init__(self, build, mode):
        self.started = time.monotonic()
        self.process = subprocess.Popen([build.wine_run, build.prefix, build.probe, mode],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        self.lines = queue.Queue()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.put(line.strip())

    def expect_line(self, pattern, timeout=WAIT):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            try:
                line = self.lines.get(timeout=0.2)
            except queue.Empty:
                continue
            match = re.fullmatch(pattern, line)
            if match:
                return match
        raise AssertionError("the probe never printed a line like %r" % pattern)

    def no_line(self):
        try:
            return self.lines.get_nowait()
        except queue.Empty:
            return None

    def wait_exit(self, timeout=WAIT):
        return self.process.wait(timeout=timeout)

    def last_lines(self):
        """Every line not yet taken, once the ended probe's output has been
        read to its end (bounded: a process it started might hold the pipe)."""
        self.reader.join(timeout=10)
        lines = []
        while not self.lines.empty():
            lines.append(self.lines.get_nowait())
        return lines

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def screenshot(build, name):
    os.makedirs(build.shots, exist_ok=True)
    xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, timeout=30)
    if xwd.returncode == 0:
        subprocess.run(["convert", "xwd:-", os.path.join(build.shots, name + ".png")], input=xwd.stdout, timeout=60)


def press(window, key):
    xdotool("windowfocus", "--sync", window)
    xdotool("key", "--window", window, key)


def other_window(known, name=TITLE):
    new = [w for w in find_windows(name) if w not in known]
    return new[0] if new else None


@pytest.fixture
def start_probe(build):
    """start_probe(case) runs the probe on one case; every probe started is
    stopped when the test ends, whatever its outcome."""
    started = []

    def start(case):
        started.append(Probe(build, case))
        return started[-1]
    yield start
    for probe in started:
        probe.stop()


@pytest.fixture(autouse=True)
def idle_display(build):
    """A display and xdotool, and the prefix's server gone. Wine's desktop
    takes the display of the program that started the prefix's server; a
    server left running by a test without a display would give the probe's
    windows none. Wait (bounded) until it has gone."""
    if not os.environ.get("DISPLAY") or shutil.which("xdotool") is None:
        pytest.skip("no display or no xdotool")
    arch_file = build.prefix + ".arch"
    arch = open(arch_file).read().strip() if os.path.exists(arch_file) else "win32"
    server = "/usr/lib/wine/wineserver64" if arch == "win64" else "wineserver"
    try:
        subprocess.run([server, "-w"], env=dict(os.environ, WINEPREFIX=build.prefix), capture_output=True,
                       timeout=120)
    except subprocess.TimeoutExpired:
        pass


def test_status_cancel(build, start_probe):
    probe = start_probe("status")
    probe.expect_line("ready")
    status = wait_until(lambda: find_windows(TITLE), "the status window")[0]
    expect_centred(status, "the status window")
    screenshot(build, "status_window")

    press(status, "Escape")
    question = wait_until(lambda: other_window([status]), "the cancel question")
    screenshot(build, "cancel_question")
    press(question, "n")
    wait_until(lambda: question not in find_windows(TITLE), "the question to close after No")
    wait_until(lambda: status in find_windows(TITLE), "the status window to stay open after No")
    line = probe.no_line()
    assert line is None, "No must let the run go on, but the probe said %r" % line

    press(status, "Escape")
    question = wait_until(lambda: other_window([status]), "the cancel question again")
    press(question, "Return")  # Yes is the default button
    probe.expect_line("result -308")
    assert probe.wait_exit() == 0, "the probe should end normally"


def test_continue(build, start_probe):
    probe = start_probe("continue")
    item = probe.expect_line(r"item %d (-?\d+) (-?\d+) (\d+) (\d+)" % IDS.ITEM_CONTINUE)
    probe.expect_line("ready")
    wait_until(lambda: find_windows(TITLE), "the status window")
    screenshot(build, "continue_shown")
    x, y, width, height = (int(v) for v in item.groups())
    xdotool("mousemove", "--sync", str(x + width // 2), str(y + height // 2))
    xdotool("click", "1")
    probe.expect_line("continued")
    probe.expect_line("next 0")  # Continue is not a cancel
    assert probe.wait_exit() == 0, "the probe should end normally"


def test_about(build, start_probe):
    probe = start_probe("about")
    probe.expect_line("ready")
    status = wait_until(lambda: find_windows(TITLE), "the status window")[0]
    about = wait_until(lambda: find_windows("^About$"), "the About box")[0]
    expect_centred(about, "the About box")
    screenshot(build, "about_box")
    press(about, "Return")
    wait_until(lambda: not find_windows("^About$"), "the About box to close on OK")
    wait_until(lambda: status in find_windows(TITLE), "the status window to carry on after About")
    line = probe.no_line()
    assert line is None, "closing About is no cancel, but the probe said %r" % line


def splash_window():
    return find_windows("^%s$" % re.escape(IDS.SPLASH_WINDOW_CLASS))


def wait_splash(probe):
    """The splash window, and a time at which it was not shown yet: the start
    of the last search that missed it, else the probe's start. Its timer starts
    once it is shown, so before that time plus SPLASH_SECONDS only something
    else can have closed it."""
    not_shown = probe.started

    def find():
        nonlocal not_shown
        searched = time.monotonic()
        found = splash_window()
        if not found:
            not_shown = searched
        return found

    return wait_until(find, "the splash window")[0], not_shown


def test_splash_click(build, start_probe):
    probe = start_probe("splash")
    splash, not_shown = wait_splash(probe)

    def placed():
        x, y, width, height = centred(splash, "the splash")
        assert abs(width - 400) <= 2 and abs(height - 300) <= 2, \
            "the splash should be the bitmap's 400x300 (less its border), not %dx%d" % (width, height)
        return x, y, width, height

    x, y, width, height = wait_until(placed, "the splash centred at its bitmap's size")
    screenshot(build, "splash")
    press(splash, "space")
    time.sleep(0.3)  # lets the key arrive
    kept = splash in splash_window()
    # Gone before its timer could have ended it: the key closed it. Later
    # the look proves nothing either way.
    assert kept or time.monotonic() >= not_shown + SPLASH_SECONDS, "a key must not close the splash"
    xdotool("mousemove", "--sync", str(x + width // 2), str(y + height // 2))
    xdotool("click", "1")
    probe.expect_line("splash gone")
    assert probe.wait_exit() == 0, "the probe should end normally"


def test_splash_timer(start_probe):
    probe = start_probe("splash")
    wait_until(splash_window, "the splash window")
    # It closes itself after about 3 s; the bound only guards a hang.
    probe.expect_line("splash gone", timeout=30)
    wait_until(lambda: not splash_window(), "the splash window to be gone")


def test_error(build, start_probe):
    probe = start_probe("error")
    probe.expect_line("ready")
    box = wait_until(lambda: find_windows(TITLE), "the error box")[0]
    screenshot(build, "error_box")
    press(box, "Return")
    status = probe.wait_exit()
    assert status in (255, -1), "a fatal error must end with exit status -1, not %d" % status
    assert "error returned" not in probe.last_lines(), "ui_report_error must not return"


def test_bitmap(start_probe):
    probe = start_probe("bitmap")
    probe.expect_line("bitmap 0 1040 400 300 250")
