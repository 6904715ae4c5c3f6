#!/usr/bin/env python3
"""Whole-program window flows of the Windows build under Wine and Xvfb.

The real QPK2EXE.exe and self-extractors it builds are run as a user runs
them; their message boxes and status window are found on the display, read
(window_text.exe lists the captions, items and texts of the program's
windows) and answered with xdotool clicks and keys. Every check of a window
waits, with a deadline, for the state it checks (Display.wait_until): the
program moves on when it gets the processor, not when the test looks. Each
case keeps screenshots in the shots folder. The message-box cases of e2e.py run here
too, with every box read into their error text and answered as a user
without a terminal would (OK, and No to questions).

Usage: gui_flows.py --list
       gui_flows.py --case NAME --program P --qpk Q --work DIR --wine-run SCRIPT
                    --prefix PREFIX --window-text EXE --shots DIR
Exit status 0 passed, 1 failed, 77 skipped (no display or no xdotool).
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.join(HERE, os.pardir, "gui")]
import e2e  # noqa: E402
import resource_ids  # noqa: E402
import waiting  # noqa: E402
from e2e import Failure, check, read, layout  # noqa: E402

TITLE = "QORARC Self-Extractor"
SKIP = 77
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
        check(found is not None and ident not in self.unread,
              "the %s window's item %d %s" % (self.cls, ident, "unread" if found else "missing"))
        return found.text

    def shown(self, ident):
        """Whether an item is visible; a missing item fails, as in text()."""
        found = self.item(ident)
        check(found is not None, "the %s window's item %d missing" % (self.cls, ident))
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
        raise Failure("the box %r has no button %s" % (self.box_text(), label))


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
        a Failure from predicate means "not yet". At most WAIT seconds, and
        fails at once when the program ends first. A timeout names the
        windows last seen."""
        def ended():
            if process is not None and process.poll() is not None:
                return "the program ended (status %d)" % process.returncode
            return None

        try:
            return waiting.wait_until(predicate, what, WAIT, Failure, POLL, ended)
        except Failure as failure:
            raise Failure("%s\nwindows last seen:\n%s" % (failure, self.listing.rstrip() or "(none)")) from None

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
            check(not whole, "boxes saying %s" % [found.box_text() for found in whole])
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
        raise Failure("no X window for the %s window at %s" % (window.cls, window.rect))

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


class WindowSession(e2e.Session):
    """An e2e session whose Windows programs run on the display. run() reads
    every message box into the error text (as a terminal would show it) and
    answers it: OK, or No to a question."""

    def __init__(self, args, name):
        super().__init__(args, name)
        self.case = name
        self.started = []
        self.env["DISPLAY"] = os.environ["DISPLAY"]
        self.display = Display(self, os.path.abspath(args.window_text), args.shots)
        # Wine's desktop belongs to the prefix's running server and takes the
        # display of the program that started it: a server left by a program
        # run without a display (the baseline above, a test before) would
        # give every window of this case no display at all.
        self.wineserver("-w")

    def wineserver(self, word):
        arch = read(self.prefix + ".arch").decode().strip() if os.path.exists(self.prefix + ".arch") else "win32"
        server = "/usr/lib/wine/wineserver64" if arch == "win64" else "wineserver"
        try:
            subprocess.run([server, word], env=dict(self.env, WINEPREFIX=self.prefix), capture_output=True,
                           timeout=120)
        except subprocess.TimeoutExpired:
            pass

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
            check(time.monotonic() < end, "%s %s did not end" % (os.path.basename(program), list(words)[:3]))
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
            raise Failure("the program did not end")

    def stop_wine(self):
        """Ends what is left of this case's programs; when any was still
        running, also whatever they started in the prefix, so that a failed
        case cannot leave a window up for the next."""
        left = [p for p in self.started if p.poll() is None]
        for process in left:
            process.kill()
            process.wait()
        if left:
            self.wineserver("-k")

    def forget_leftovers(self):
        for folder in self.temporary_dirs():
            shutil.rmtree(folder, ignore_errors=True)
        for key in self.cleanup_keys():
            super().run("reg", ["delete", key.strip(), "/f"])


def many_files(count):
    return {"f%03d.txt" % i: ("file %d\n" % i).encode() for i in range(count)}


CASES = {}


def flow(function):
    CASES[function.__name__] = function
    return function


# The e2e cases whose programs show message boxes on Windows.
for _name in ("usage_text", "option_errors", "missing_archive", "overwrite_refused", "damaged_option_block",
              "command_too_long", "self_extractor_word_limits", "unusable_archive", "cut_short"):
    CASES["box_" + _name] = e2e.CASES[_name][0]


@flow
def builder_overwrite(s):
    folder = s.payload(e2e.SAMPLE)
    s.make_archive(s.path("data.qpk"), folder)
    for answer in ("No", "Yes"):
        with open(s.path("data.exe"), "wb") as f:
            f.write(b"precious")
        process = s.start(s.program, ["/nosplash", "data.qpk"])
        box = s.display.wait_box(process, "the builder's overwrite question about its output",
                                 "data.exe already exists.  Overwrite?")
        output = s.native_path(s.path("data.exe"))
        s.display.status_window("the status window to show the output's full path", process,
                                lambda w: w.text(ITEM_OUTPUT) == output)
        s.display.screenshot("overwrite-question")
        s.display.click(box.button(answer))
        expected = 0 if answer == "Yes" else 255
        check(s.finish(process) == expected, "the builder ends with %d after %s" % (expected, answer))
        # The program has ended: its windows can only be on their way out.
        s.display.wait_until(lambda: s.display.boxes() == [], "no message to follow the answer %s" % answer)
        data = read(s.path("data.exe"))
        if answer == "No":
            check(data == b"precious", "No must leave the existing output untouched")
        else:
            stub, block, archive, _ = layout(s.path("data.exe"))
            check(stub == read(s.program) and archive == read(s.path("data.qpk")),
                  "Yes must replace the output with a whole self-extractor")


@flow
def extraction_overwrite(s):
    files = {"a.txt": b"new a\n", "b.txt": b"new b\n"}
    exe = s.self_extractor(files, ["/nosplashonextract"])
    os.makedirs(s.path("dest"))
    for answer, expected in (("No", b"old a\n"), ("Yes", b"new a\n")):
        with open(s.path("dest", "a.txt"), "wb") as f:
            f.write(b"old a\n")
        if os.path.exists(s.path("dest", "b.txt")):
            os.remove(s.path("dest", "b.txt"))
        process = s.start(exe, ["dest"])
        want = s.native_path(s.path("dest", "a.txt")) + " already exists.  Overwrite?"
        box = s.display.wait_box(process, "the extraction's overwrite question naming the file", want)
        s.display.screenshot("overwrite-" + answer)
        s.display.click(box.button(answer))
        check(s.finish(process) == 0, "the extraction ends with 0 after %s" % answer)
        check(read(s.path("dest", "a.txt")) == expected, "%s: a.txt should hold %r" % (answer, expected))
        check(read(s.path("dest", "b.txt")) == b"new b\n", "%s: the other file is extracted all the same" % answer)


@flow
def cancel_extraction(s):
    # Normal mode pauses 100 ms per file: 400 files leave ample time to cancel.
    files = many_files(400)
    exe = s.self_extractor(files, ["/nosplashonextract"])
    process = s.start(exe, ["dest"])
    status = s.display.status_window("the status window to show the extraction", process,
                                     lambda w: w.text(ITEM_STATUS_LINE) == "Extracting...")
    destination = s.native_path(s.path("dest"))
    s.display.status_window("the status window to name the destination", process,
                            lambda w: w.text(ITEM_OUTPUT) == destination)
    s.display.screenshot("extracting")
    s.display.key(status, "Escape")
    box = s.display.wait_box(process, "Escape to ask the cancel question", CANCEL_QUESTION)
    s.display.screenshot("cancel-question")
    s.display.click(box.button("Yes"))
    box = s.display.wait_box(process, "the cancel to be reported", "Unable to extract files")
    s.display.screenshot("unable-to-extract")
    s.display.click(box.button("OK"))
    check(s.finish(process) == 255, "a cancelled extraction ends with -1")
    written = sorted(os.listdir(s.path("dest")))
    check(0 < len(written) < len(files), "some files but not all should be written, got %d" % len(written))
    check(written == sorted(files)[:len(written)], "the files written are the first ones, in order")
    for name in written:
        check(read(s.path("dest", name)) == files[name], "%s was written before the cancel: it must be whole" % name)


@flow
def force_delete_prompt(s):
    exe = s.self_extractor(e2e.SAMPLE, ["/nosplashonextract", "/deleteafter", "/forcedeleteprompt",
                                        "/e", "cmd /c exit 0"])
    process = s.start(exe, [])
    status = s.display.status_window("the Continue button", process,
                                     lambda w: w.shown(ITEM_CONTINUE))
    s.display.status_window("the hint to show beside Continue", process,
                            lambda w: w.shown(ITEM_CONTINUE_HINT) and w.text(ITEM_CONTINUE_HINT) == CONTINUE_HINT)
    s.display.status_window("the status line to say the command ran", process,
                            lambda w: w.text(ITEM_STATUS_LINE) == "Executing...")
    s.display.screenshot("continue")
    left = s.temporary_dirs()
    check(len(left) == 1 and os.path.isfile(os.path.join(left[0], "readme.txt")),
          "while it waits the extracted files are there, got %s" % left)
    check(len(s.cleanup_keys()) == 1, "and the clean-up key")
    check(process.poll() is None, "the run waits for Continue although the command has ended")
    s.display.click(status.item(ITEM_CONTINUE))
    check(s.finish(process) == 0, "the run ends with 0 after Continue")
    check(s.temporary_dirs() == [], "Continue deletes everything extracted: %s" % s.temporary_dirs())
    check(s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys())


@flow
def failed_launch_box(s):
    exe = s.self_extractor(e2e.SAMPLE, ["/nosplashonextract", "/e", "no-such-program.exe /s"])
    process = s.start(exe, ["dest"])
    want = 'Error (-8002): Unable to open launch "no-such-program.exe /s dest".\r\n'
    box = s.display.wait_box(process, "the error box", want)
    s.display.screenshot("launch-error")
    s.display.click(box.button("OK"))
    status = s.finish(process)
    check(status in (255, -1), "a failed launch ends with -1, got %d" % status)
    check(read(s.path("dest", "readme.txt")) == e2e.SAMPLE["readme.txt"], "the extracted files stay")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--case")
    parser.add_argument("--program")
    parser.add_argument("--qpk")
    parser.add_argument("--work")
    parser.add_argument("--wine-run")
    parser.add_argument("--prefix")
    parser.add_argument("--window-text")
    parser.add_argument("--shots")
    args = parser.parse_args()
    if args.list:
        print(";".join(CASES))
        return 0
    if not os.environ.get("DISPLAY") or shutil.which("xdotool") is None:
        print("skipped: no display or no xdotool")
        return SKIP
    args.platform = "win32"
    session = WindowSession(args, args.case)
    try:
        CASES[args.case](session)
    except Failure as failure:
        session.display.screenshot("failed")
        print("FAILED %s: %s" % (args.case, failure))
        return 1
    finally:
        session.stop_wine()
        session.forget_leftovers()
    print("passed %s" % args.case)
    e2e.make_writable(session.root)
    shutil.rmtree(session.root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
