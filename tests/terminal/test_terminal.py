"""The Linux self-extractor on a terminal, as a person at a terminal meets it:
real archives from qpk, real self-extractors from the builder, run in a
pseudo-terminal (pexpect) or with no terminal at all."""
import os
import re
import shutil
import subprocess

import pexpect
import pytest

FAILED = 255
OVERWRITE = r"already exists\.  Overwrite\? \[Y/n/a/N\] "
CANCEL = r"Are you sure you want to cancel\? \[Y/n\] "
CONTINUE = "press Enter to continue."
# A name of two-byte UTF-8 characters, so that a cut can fall inside one.
WIDE_NAME = "\u00e9" * 60 + ".bin"


class Session:
    """One test's folder, its environment and the programs under test."""

    def __init__(self, build, root):
        self.build = build
        self.root = root
        self.env = dict(os.environ, XDG_STATE_HOME=self.path("state"), TMPDIR=self.path("tmp"),
                        QORLOG32_FILE=self.path("qorlog32.log"))
        for name in ("DISPLAY", "QPK2EXE_DEBUG"):
            self.env.pop(name, None)
        os.makedirs(self.path("tmp"))

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def write(self, name, data):
        os.makedirs(os.path.dirname(name), exist_ok=True)
        with open(name, "wb") as f:
            f.write(data)

    def self_extractor(self, files, *options, name="setup"):
        """A self-extractor of files {relative name: bytes} made with options."""
        payload = self.path("payload-" + name)
        for relative, data in files.items():
            self.write(os.path.join(payload, relative), data)
        archive = self.path(name + ".qpk")
        tops = sorted({relative.split("/")[0] for relative in files})
        subprocess.run([self.build.qpk, "create", archive] + tops, cwd=payload, check=True,
                       stdout=subprocess.DEVNULL)
        built = self.build_with(list(options) + [archive, self.path(name + ".exe")])
        assert built.returncode == 0, built.stderr
        return self.path(name + ".exe")

    def build_with(self, words, terminal=False):
        """The builder with no terminal: no controlling one, nothing a tty."""
        return subprocess.run([self.build.program] + words, cwd=self.root, env=self.env, text=True,
                              stdin=subprocess.DEVNULL, capture_output=True, start_new_session=True)

    def spawn(self, program, *words, columns=80):
        return pexpect.spawn(program, list(words), cwd=self.root, env=self.env, dimensions=(24, columns),
                             timeout=20)

    def temporary_folders(self):
        return os.listdir(self.path("tmp"))


def finish(child):
    """Everything the run still shows (bytes) and its exit status."""
    child.expect(pexpect.EOF)
    child.close()
    return child.before, child.exitstatus


def read(path):
    with open(path, "rb") as f:
        return f.read()


def own_line(before):
    """Whether what was shown before a match ends a line (the match starts one)."""
    return before == b"" or before.endswith(b"\n")


@pytest.fixture
def session(build, request):
    root = os.path.join(build.work, "terminal", re.sub(r"[^\w.-]", "_", request.node.name))
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(root)
    return Session(build, root)


@pytest.fixture
def opener(session):
    """A folder with a stand-in xdg-open that records the file it was given."""
    folder = session.path("bin")
    os.makedirs(folder)
    script = os.path.join(folder, "xdg-open")
    with open(script, "w") as f:
        f.write('#!/bin/sh\nprintf "%%s" "$1" > "%s"\n' % session.path("opened"))
    os.chmod(script, 0o755)
    return folder


@pytest.mark.parametrize("columns", [40, 300])
def test_status_line_counts_and_fits_the_terminal(session, columns):
    files = {"a.txt": b"alpha", "w/" + WIDE_NAME: b"z" * 30000}
    program = session.self_extractor(files)
    destination = session.path("dest")
    shown, status = finish(session.spawn(program, destination, columns=columns))
    assert status == 0, shown
    text = shown.decode("utf-8")  # a cut inside a character would not decode
    drawn = [part.split("\r")[0] for part in text.split("\x1b[K")[1:]]
    assert drawn, text
    too_wide = [line for line in drawn if len(line.encode()) > columns - 1]
    assert not too_wide, "the status line must fit %d columns: %r" % (columns, too_wide)
    assert any(line.startswith("Extracting... 2/2 files 100%") for line in drawn), drawn
    assert "\n2 files extracted to %s\r\n" % destination in text, text
    last = os.path.join(destination, "w", WIDE_NAME)
    if columns < len(last):
        assert any("..." in line and line.endswith("\u00e9.bin") for line in drawn), \
            "a long name keeps its end: %r" % drawn
    else:
        assert any(line.endswith(last) for line in drawn), drawn


@pytest.mark.parametrize("answer, replaced", [("y", True), ("n", False), ("", True), (None, False)],
                         ids=["yes", "no", "enter", "end-of-input"])
def test_overwrite_question(session, answer, replaced):
    program = session.self_extractor({"a.txt": b"new"})
    session.write(session.path("dest", "a.txt"), b"old")
    child = session.spawn(program, session.path("dest"))
    child.expect(OVERWRITE)
    assert child.before.split(b"\n")[-1] == session.path("dest", "a.txt ").encode(), child.before
    if answer is None:
        child.sendeof()
    else:
        child.sendline(answer)
    shown, status = finish(child)
    assert status == 0, shown
    assert read(session.path("dest", "a.txt")) == (b"new" if replaced else b"old")


# Keys at the Continue wait of a /deleteafter run that opened its file:
# Ctrl-C ("^C"), or a line typed and Enter. Everything was done by then, so
# a confirmed cancel only ends the wait: the run succeeds.
@pytest.mark.parametrize("keys, status", [
    (["^C", "y"], 0),
    (["^C", "^C"], 0),
    (["^C", "n", ""], 0),
    ([""], 0),
], ids=["cancel-yes", "ctrl-c-twice", "cancel-no-then-continue", "continue"])
def test_continue_wait_after_start(session, opener, keys, status):
    program = session.self_extractor({"doc.txt": b"read me"}, "/deleteafter", "/e", "start doc.txt")
    session.env["PATH"] = opener + os.pathsep + session.env["PATH"]
    child = session.spawn(program)
    child.expect_exact(CONTINUE)
    opened = read(session.path("opened")).decode()
    assert opened == "doc.txt" and len(session.temporary_folders()) == 1
    asking = False  # the cancel question is up: a second Ctrl-C answers it
    for key in keys:
        if key == "^C":
            child.sendintr()
            if not asking:
                child.expect(CANCEL)
                assert own_line(child.before), "the cancel question starts a line: %r" % child.before
            asking = not asking
        else:
            child.sendline(key)
            asking = False
    shown, exit_status = finish(child)
    assert exit_status == status, shown
    assert session.temporary_folders() == [], "the extracted files are deleted however the wait ends"


# Ctrl-C at the overwrite question asks the cancel question on a line of its
# own; No asks the overwrite question again.
@pytest.mark.parametrize("after_interrupt, status, content", [
    (["n", "y"], 0, b"new"),
    (["y"], FAILED, b"old"),
    (["^C"], FAILED, b"old"),
], ids=["not-cancelled", "cancelled", "ctrl-c-twice"])
def test_ctrl_c_at_the_overwrite_question(session, after_interrupt, status, content):
    program = session.self_extractor({"a.txt": b"new"})
    session.write(session.path("dest", "a.txt"), b"old")
    child = session.spawn(program, session.path("dest"))
    child.expect(OVERWRITE)
    child.sendintr()
    child.expect(CANCEL)
    assert own_line(child.before), child.before
    for key in after_interrupt:
        if key == "^C":
            child.sendintr()
        else:
            child.sendline(key)
        if key == "n":
            child.expect(OVERWRITE)
    shown, exit_status = finish(child)
    assert exit_status == status, shown
    assert read(session.path("dest", "a.txt")) == content
    if status == FAILED:
        assert b"\nCancelled\r\n" in shown and b"Unable to extract files" not in shown, shown


def test_start_without_xdg_open_names_it(session):
    program = session.self_extractor({"doc.txt": b"read me"}, "/deleteafter", "/e", "start doc.txt")
    session.env["PATH"] = session.path("tmp")  # holds no xdg-open
    shown, status = finish(session.spawn(program))
    assert status == FAILED
    assert b"xdg-open: No such file or directory" in shown, shown
    assert session.temporary_folders() == []


def test_command_reads_the_terminal_on_a_line_of_its_own(session):
    command = 'printf "name? "; read line; echo "got $line"'
    program = session.self_extractor({"a.txt": b"alpha"}, "/e", command)
    child = session.spawn(program, session.path("dest"))
    child.expect_exact("name? ")
    assert own_line(child.before), "the command's prompt starts a line: %r" % child.before
    child.sendline("typed words")
    child.expect_exact("got typed words")
    shown, status = finish(child)
    assert status == 0, shown


# With no terminal a question is answered No and said on standard error; the
# builder, whose one job that leaves undone, fails. The self-extractor did what
# it could with nobody to ask: its last line says what it kept and how to
# replace it, and it ends with 0.
@pytest.mark.parametrize("program, status", [("builder", FAILED), ("self-extractor", 0)])
def test_no_terminal_answers_no(session, program, status):
    extractor = session.self_extractor({"a.txt": b"new", "b.txt": b"new"})
    if program == "builder":
        existing = session.path("setup.exe")
        before = read(existing)
        run = session.build_with([session.path("setup.qpk"), existing])
    else:
        existing = session.path("dest", "a.txt")
        before = b"old"
        session.write(existing, before)
        run = subprocess.run([extractor, session.path("dest")], cwd=session.root, env=session.env, text=True,
                             stdin=subprocess.DEVNULL, capture_output=True, start_new_session=True)
    assert run.returncode == status, run.stderr
    assert "%s exists; not overwritten: no terminal to ask" % existing in run.stderr
    assert read(existing) == before
    if program == "self-extractor":
        assert run.stderr.splitlines()[-1] == (
            "1 of 2 files extracted to %s; 1 existing file kept (no terminal to ask); "
            "run again with --overwrite to replace it" % session.path("dest")), run.stderr


# All and None answer the question and every later one; a wrong answer says
# what the answers are and asks again.
@pytest.mark.parametrize("answers, replaced", [
    (["a"], "abc"),
    (["n", "A"], "bc"),
    (["Y", "N"], "a"),
    (["none"], ""),
    (["x", "y", "no", "ALL"], "ac"),
], ids=["all", "no-then-all", "yes-then-none", "none-word", "wrong-then-words"])
def test_overwrite_all_and_none(session, answers, replaced):
    files = {name + ".txt": b"new" for name in "abc"}
    program = session.self_extractor(files)
    for name in files:
        session.write(session.path("dest", name), b"old")
    child = session.spawn(program, session.path("dest"))
    for answer in answers:
        child.expect(OVERWRITE)
        child.sendline(answer)
        if answer == "x":
            child.expect_exact("Answer y (yes), n (no), a (all: yes to this and every later file)")
    shown, status = finish(child)
    assert status == 0, shown
    assert not re.search(OVERWRITE.encode(), shown), "no question after All or None: %r" % shown
    contents = {name[0]: read(session.path("dest", name)) for name in files}
    assert contents == {n: b"new" if n in replaced else b"old" for n in "abc"}


def damage_deflated_data(archive):
    """Overwrites the middle of the archive's first zlib stream."""
    data = bytearray(read(archive))
    start = data.index(b"\x78\xda") + 2
    data[start + 20:start + 60] = b"\xff" * 40
    with open(archive, "wb") as f:
        f.write(data)


# The failure message is followed by the file it concerns and the reason.
def test_failure_names_the_file_and_the_reason(session):
    session.write(session.path("file"), b"a plain file")
    blocked = session.path("file", "sub")
    program = session.self_extractor({"a.txt": b"alpha"})
    cases = [(program, [blocked], "Unable to extract files", blocked + ": Not a directory")]

    payload = {"d/f33": b"compressible " * 4000}
    damaged = session.path("damaged.qpk")
    session.self_extractor(payload, name="damaged")
    damage_deflated_data(damaged)
    damaged_program = session.path("damaged-sfx.exe")
    assert session.build_with([damaged, damaged_program]).returncode == 0
    cases.append((damaged_program, [session.path("dest")], "Unable to extract files",
                  "d/f33: the deflated data is damaged"))
    cases.append((session.build.program, [session.path("setup.qpk"), os.path.join(blocked, "out")],
                  "Error copying self-extractor", os.path.join(blocked, "out") + ": Not a directory"))
    for program, words, message, reason in cases:
        shown, status = finish(session.spawn(program, *words))
        lines = shown.decode().splitlines()
        assert status == FAILED, shown
        assert message in lines and lines[lines.index(message) + 1] == reason, lines
