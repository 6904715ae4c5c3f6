"""User-visible limits, at the limit and one past: path lengths of the
destination and of what is written below it, and the option values the
builder records. Nothing may be cut where a cut changes the meaning."""
import os

from faults import sfx, SILENT, NORMAL
from support import craft
from support.archive_format import (BLOCK_COMMAND, BLOCK_DESTINATION, BLOCK_NAME, COMMAND_SIZE, DESTINATION_SIZE,
                                    TITLE_SIZE, layout)
from support.craft import Entry


def deep_destination(run, length):
    """A destination below box/deep whose full path, as the program writes
    it, has exactly length characters."""
    top = os.path.join(run.root, "box", "deep")
    path = top
    while len(run.platform.native_path(path)) + 52 < length:
        path = os.path.join(path, "d" * 50)
    missing = length - len(run.platform.native_path(path)) - 1
    return os.path.join(path, "e" * missing), top


def test_destination_lengths(platform, stub, new_run):
    """A path holds 255 characters on Windows, 4095 bytes (PATH_MAX) on Linux.
    With the entry n.txt, a destination 6 shorter gives a target of the
    limit (extracted); one more refuses it (nothing made). A destination of
    the limit leaves no room for its separator; a word past it is refused
    before anything happens."""
    limit = 255 if platform.win32 else 4095
    table = [(limit - 6, "extracted"), (limit - 5, "refused"), (limit, "refused"), (limit + 1, "word too long")]
    for length, outcome in table:
        run = new_run("destination-%d" % length)
        destination, top = deep_destination(run, length)
        run.dest = top
        flags = SILENT if platform.win32 else NORMAL
        # No command: the destination word is appended to it and would not fit.
        run.write_exe(sfx(platform, stub, [Entry("n.txt", b"n")], flags, command=""))
        word = platform.native_path(destination)
        assert len(word) == length, "the destination word has %d characters" % length
        status, err = run.extract([word])
        where = "destination of %d characters: " % length
        expected = 0 if outcome == "extracted" else 255
        assert status == expected, where + "exit %d, got %d %r" % (expected, status, err)
        target = os.path.join(destination, "n.txt")
        if outcome == "extracted":
            assert os.path.isfile(target), where + "the file is extracted"
            continue
        assert not os.path.exists(top), where + "nothing may be created for a destination that cannot hold the file"
        if not platform.win32:
            message = "ERROR: Word too long" if outcome == "word too long" else "Unable to extract files"
            assert message in err, where + "the user must read %r: %r" % (message, err)


def test_recorded_option_lengths(platform, stub, new_run):
    """The builder records values that fit their fields whole and refuses one
    character more with a message, writing nothing."""
    command = platform.marker_command()
    fill = lambda text, n: text + " " + "x" * (n - len(text) - 1)
    table = [("e", fill(command, 127), BLOCK_COMMAND, COMMAND_SIZE, True),
             ("e", fill(command, 128), BLOCK_COMMAND, COMMAND_SIZE, False),
             ("name", "N" * 31, BLOCK_NAME, TITLE_SIZE, True), ("name", "N" * 32, BLOCK_NAME, TITLE_SIZE, False),
             ("destinationdirectory", "./" * 61 + "dest/", BLOCK_DESTINATION, DESTINATION_SIZE, True),
             ("destinationdirectory", "./" * 61 + "dest//", BLOCK_DESTINATION, DESTINATION_SIZE, False)]
    for option, value, at, size, fits in table:
        run = new_run("option-%s-%d" % (option, len(value)))
        with open(os.path.join(run.root, "a.qpk"), "wb") as f:
            f.write(craft.archive([Entry("a.txt", b"a")]))
        where = "/%s of %d characters: " % (option, len(value))
        status, _, err = run.run(platform.program, ["/nosplash", "/nostatus", "/q1", "/" + option, value, "a.qpk"])
        assert status == (0 if fits else 255), where + "the builder ends with %d, got %d" % (0 if fits else 255, status)
        exe = os.path.join(run.root, "a.exe")
        if not fits:
            assert not os.path.exists(exe), where + "a value that does not fit its field is refused, nothing written"
            if not platform.win32:
                assert "ERROR: Option too long" in err, where + "and the user is told: %r" % err
            continue
        assert os.path.isfile(exe), where + "the self-extractor is built: %r" % err
        field = layout(exe)[1][at:at + size]
        assert field == value.encode() + b"\0" * (size - len(value)), where + "recorded whole and zero-terminated"
        if option != "name":
            status, _, _ = run.run(exe, ["box/dest"], cwd=run.path("box") if option == "destinationdirectory"
                                   else run.root)
            assert status == 0, where + "the self-extractor runs, got %d" % status
            if option == "e":
                assert run.ran_command(), where + "the whole command runs"
            else:
                assert os.path.isfile(os.path.join(run.root, "box", "dest", "a.txt")), \
                    where + "the files go to the recorded destination"
