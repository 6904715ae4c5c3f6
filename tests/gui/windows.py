"""The Windows build's windows under Wine and Xvfb, as the window flows read
and work them.

window_text.exe lists the captions, items and texts of the program's
windows; boxes and the status window are answered with xdotool clicks and
keys. Every check of a window waits, with a deadline, for the state it checks
(Display.wait_until): the program moves on when it gets the processor, not
when the test looks. A failed look is an AssertionError, which a wait takes
as "not yet". Screenshots go to the shots folder.
"""
import os
import re
import shutil
import subprocess
import tempfile
import time

import resource_ids
import waiting
from support.session import Session, read

TITLE = "QORARC Self-Extractor"
WAIT = 30.0  # bound for a window to appear, change or go, and for a run to end
POLL = 0.3
MESSAGE_BOX_CLASS = "#32770"
IDS = resource_ids.load()
STATUS_CLASS = IDS.STATUS_WINDOW_CLASS
ITEM_STATUS_LINE, ITEM_OUTPUT = IDS.ITEM_STATUS_LINE, IDS.ITEM_OUTPUT
ITEM_CONTINUE, ITEM_CONTINUE_HINT = IDS.ITEM_CONTINUE, IDS.ITEM_CONTINUE_HINT
CONTINUE_HINT = 'When you are finished, please close the application and select the "&Continue" button.'
CANCEL_QUESTION = "Are you sure you want to cancel?"


def unescape(text):
    table = {"\\": "\\", "r": "\r", "n": "\n", "t": "\t"}
    return re.sub(r"\\(.)", lambda m: table.get(m.group(1), m.group(0)), text)


class Item:
    def __init__(self, words, text):
        self.id, self.cls, self.visible = int(words[0]), words[1], words[2] == "1"
        self.rect = tuple(int(v) for v in words[3:7])
        self.text = unescape(text)

    def centre(self):
        x, y, width, height = self.rect
        return x + width // 2, y + height // 2


class Window:
    """A top-level window of the program as window_text.exe reports it."""

    def __init__(self, words):
        self.handle, self.cls = words[0], words[1]
        self.rect = tuple(int(v) for v in words[2:6])
        self.items = []
        self.unread = []  # ids of items whose text did not come in time

    def text(self, ident):
        """An item's text; a missing or unread item fails, so that a wait
        looks again."""
        found = self.item(ident)
        assert found is not None and ident not in self.unread, (
            "the %s window's item %d %s" % (self.cls, ident, "unread" if found else "missing"))
        return found.text

    def shown(self, ident):
        """Whether an item is visible; a missing item fails, as in text()."""
        found = self.item(ident)
        assert found is not None, "the %s window's item %d missing" % (self.cls, ident)
        return found.visible

    def item(self, ident):
        found = [i for i in self.items if i.id == ident]
        return found[0] if found else None

    def box_text(self):
        """A message box's text: its longest static item (the other one is
        the icon). Only complete when the box was read whole (not unread)."""
        statics = [i.text for i in self.items if i.cls.lower() == "static"]
        return max(statics, key=len) if statics else ""

    def button(self, label):
        for item in self.items:
            if item.cls.lower() == "button" and item.text.replace("&", "") == label:
                return item
        raise AssertionError("the box %r has no button %s" % (self.box_text(), label))


def xdotool(*words):
    done = subprocess.run(["xdotool", *words], capture_output=True, text=True, timeout=30)
    return done.stdout.strip()


class Display:
    """Reads and works the program's windows."""

    def __init__(self, session, reader, shots):
        self.session, self.reader, self.shots = session, reader, shots
        self.shot_count = 0
        self.listing = ""  # the last one read, for failure messages

    def windows(self, cls=None):
        # Output through a file, not a pipe: Wine's own long-lived processes
        # may inherit a pipe and keep it open.
        with tempfile.TemporaryFile() as out:
            subprocess.run([self.session.wine_run, self.session.prefix, self.reader, TITLE], stdout=out,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL, env=self.session.env, timeout=60)
            out.seek(0)
            listing = out.read().decode(errors="replace")
        self.listing = listing
        windows = []
        for line in listing.splitlines():
            words = line.rstrip("\r").split(" ")
            if words[0] == "window" and len(words) >= 7:
                windows.append(Window(words[1:7]))
            elif words[0] == "item" and len(words) >= 8 and windows:
                windows[-1].items.append(Item(words[1:8], " ".join(words[8:])))
            elif words[0] == "unread" and len(words) >= 2 and windows:
                windows[-1].unread.append(int(words[1]))
        return [w for w in windows if cls is None or w.cls == cls]

    def boxes(self):
        return self.windows(MESSAGE_BOX_CLASS)

    def wait_until(self, predicate, what, process=None):
        """Looks again until predicate() gives a true value, which it returns;
        an AssertionError from predicate means "not yet". At most WAIT
        seconds, and fails at once when the program ends first. A timeout
        names the windows last seen."""
        def ended():
            if process is not None and process.poll() is not None:
                return "the program ended (status %d)" % process.returncode
            return None

        try:
            return waiting.wait_until(predicate, what, WAIT, AssertionError, POLL, ended)
        except AssertionError as failure:
            raise AssertionError("%s\nwindows last seen:\n%s" % (failure, self.listing.rstrip() or "(none)")) from None

    def status_window(self, what, process=None, accept=lambda window: True):
        """The first status window for which accept(window) holds, waited for."""
        return self.wait_until(lambda: [w for w in self.windows(STATUS_CLASS) if accept(w)], what, process)[0]

    def wait_box(self, process, what, text=None):
        """The first message box read whole, or the first one saying text.
        Line ends after the text are not compared: an error box's text ends
        with one."""
        def box():
            whole = [found for found in self.boxes() if not found.unread]
            for found in whole:
                if text is None or found.box_text().rstrip() == text.rstrip():
                    return found
            assert not whole, "boxes saying %s" % [found.box_text() for found in whole]
            return None

        return self.wait_until(box, what, process)

    def click(self, item):
        x, y = item.centre()
        xdotool("mousemove", "--sync", str(x), str(y))
        xdotool("click", "1")

    def x_window(self, window):
        """The X window that Wine made for a top-level window: the one of the
        program's name whose client area lies inside the window's frame."""
        left, top, width, height = window.rect
        for x_id in xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(TITLE)).split():
            geometry = xdotool("getwindowgeometry", x_id)
            position = re.search(r"Position: (-?\d+),(-?\d+)", geometry)
            size = re.search(r"Geometry: (\d+)x(\d+)", geometry)
            if not position or not size:
                continue
            x, y, w, h = (int(v) for v in position.groups() + size.groups())
            if left <= x and top <= y and x + w <= left + width and y + h <= top + height:
                return x_id
        raise AssertionError("no X window for the %s window at %s" % (window.cls, window.rect))

    def key(self, window, key):
        x_id = self.wait_until(lambda: self.x_window(window), "the X window of the %s window" % window.cls)
        xdotool("windowfocus", "--sync", x_id)
        xdotool("key", "--window", x_id, key)

    def screenshot(self, name):
        os.makedirs(self.shots, exist_ok=True)
        time.sleep(0.5)  # lets a window that just appeared paint itself
        self.shot_count += 1
        target = os.path.join(self.shots, "%s-%02d-%s.png" % (self.session.case, self.shot_count, name))
        xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, timeout=30)
        if xwd.returncode == 0:
            subprocess.run(["convert", "xwd:-", target], input=xwd.stdout, capture_output=True, timeout=60)


class WinePrefix:
    """The build tree's Wine prefix, which every Windows run shares."""

    def __init__(self, build):
        self.path = build.prefix

    def server(self, word):
        """Runs the prefix's wineserver with word (-w waits for it to end,
        -k ends it and everything it runs)."""
        arch_file = self.path + ".arch"
        arch = read(arch_file).decode().strip() if os.path.exists(arch_file) else "win32"
        server = "/usr/lib/wine/wineserver64" if arch == "win64" else "wineserver"
        try:
            subprocess.run([server, word], env=dict(os.environ, WINEPREFIX=self.path), capture_output=True,
                           timeout=120)
        except subprocess.TimeoutExpired:
            pass


class WindowSession(Session):
    """A sandbox whose Windows programs run on the display. run() reads
    every message box into the error text (as a terminal would show it) and
    answers it: OK, or No to a question."""

    def __init__(self, build, prefix, name):
        super().__init__(build, name)
        self.case = name
        self.started = []
        self.wine_prefix = prefix
        self.env["DISPLAY"] = os.environ["DISPLAY"]
        self.display = Display(self, build.window_text, build.shots)
        # Wine's desktop belongs to the prefix's running server and takes the
        # display of the program that started it: a server left by a program
        # run without a display (the baseline above, a test before) would
        # give every window of this case no display at all.
        prefix.server("-w")

    def start(self, program, words, cwd=None):
        out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
        process = subprocess.Popen([self.wine_run, self.prefix, program] + list(words), cwd=cwd or self.root,
                                   env=self.env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                   start_new_session=True)
        process.output_files = (out, err)
        self.started.append(process)
        return process

    @staticmethod
    def output(process):
        """What the ended process wrote to standard output and error."""
        texts = []
        for f in process.output_files:
            f.seek(0)
            texts.append(f.read().decode(errors="replace"))
            f.close()
        return texts

    def run(self, program, words, cwd=None, env=None):
        if program == "reg":
            return super().run(program, words, cwd, env)
        process = self.start(program, words, cwd)
        texts = []
        end = time.monotonic() + 120
        while process.poll() is None:
            assert time.monotonic() < end, "%s %s did not end" % (os.path.basename(program), list(words)[:3])
            try:
                process.wait(timeout=0.5)
                break
            except subprocess.TimeoutExpired:
                pass
            for box in self.display.boxes():
                if box.unread:
                    continue  # read whole on a later round
                texts.append(box.box_text())
                self.display.screenshot("box")
                labels = [i.text.replace("&", "") for i in box.items if i.cls.lower() == "button"]
                self.display.click(box.button("No" if "No" in labels else "OK"))
                self.display.wait_until(lambda: box.handle not in [b.handle for b in self.display.boxes()],
                                        "the box %r to close" % box.box_text()[:40])
        out, err = self.output(process)
        shown = "".join(text.replace("\r\n", "\n") for text in texts)
        return process.returncode, out, err + shown

    def finish(self, process):
        """The program's exit status, waited for with a bound."""
        try:
            return process.wait(timeout=WAIT)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end")

    def stop_wine(self):
        """Ends what is left of this case's programs; when any was still
        running, also whatever they started in the prefix, so that a failed
        case cannot leave a window up for the next."""
        left = [p for p in self.started if p.poll() is None]
        for process in left:
            process.kill()
            process.wait()
        if left:
            self.wine_prefix.server("-k")

    def forget_leftovers(self):
        for folder in self.temporary_dirs():
            shutil.rmtree(folder, ignore_errors=True)
        for key in self.cleanup_keys():
            super().run("reg", ["delete", key.strip(), "/f"])


def many_files(count):
    return {"f%03d.txt" % i: ("file %d\n" % i).encode() for i in range(count)}
