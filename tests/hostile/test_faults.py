"""Faults around a sound self-extractor: a full or read-only disk, a
missing or unusable destination, a launch that cannot start, two runs side
by side, and a clean-up whose folders were swapped for links."""
import os
import re

import pytest

from faults import NORMAL, SILENT, filler, key_values, sfx
from support.archive_format import METHOD_DEFLATED, SEF_AUTO_YES, SEF_DELETE_AFTER, SEF_USE_PATHS
from support.craft import Entry
from support.disks import small_disk

posix_only = pytest.mark.skipif("config.getoption('--platform') != 'posix'",
                                reason="file systems, the opener and links of the Linux build")
wine_only = pytest.mark.skipif("config.getoption('--platform') != 'win32'", reason="a launch through Windows")


@posix_only
def test_disk_full_while_writing(platform, stub, new_run):
    """The space check sums content sizes, but a file system gives space in
    pages: 50 files of 3000 bytes take 50 pages. Their sizes and the last
    file's fit 256 KiB on paper; on the disk the last file runs out."""
    run = new_run("disk-full")
    entries = filler(50, 3000) + [Entry("last.bin", b"L" * 100000)]
    assert sum(len(e.content) for e in entries) <= 256 * 1024, "the sizes must pass the space check"
    run.write_exe(sfx(platform, stub, entries, NORMAL | SEF_DELETE_AFTER))
    with small_disk(os.path.join(run.root, "tmp")):
        status, err = run.extract([], skip=[os.path.join(run.root, "tmp"), os.path.join(run.root, "state")])
        assert status == 255, "a full disk is an extraction failure with exit -1, got %d: %s" % (status, err)
        assert "Unable to extract files" in err, "the user must read \"Unable to extract files\": %r" % err
        assert not run.ran_command(), "the command must not run after a failed extraction"
        left = os.listdir(os.path.join(run.root, "tmp"))
        assert left in ([], ["lost+found"]), "a failed run deletes what it made and its folder: %s" % left
        assert key_values(run) == {}, "and its clean-up key: %s" % key_values(run)


@posix_only
def test_space_check_refuses(platform, stub, new_run):
    run = new_run("no-space")
    os.makedirs(run.dest)
    run.write_exe(sfx(platform, stub, [Entry("big.bin", b"B" * 300000, METHOD_DEFLATED)], NORMAL))
    with small_disk(run.dest):
        status, err = run.extract(["box/dest"])
        assert status == 255, "too little space ends with -1, got %d" % status
        assert "Insufficient space to extract files" in err, "the user must read why: %r" % err
        lines = err.splitlines()
        reason = lines[lines.index("Insufficient space to extract files") + 1]
        sizes = re.fullmatch(re.escape(run.dest) + r": needs ([\d.]+) KiB, ([\d.]+) KiB free", reason)
        assert sizes, "the next line names the destination, what it needs and what is free: %r" % reason
        disk = os.statvfs(run.dest)
        assert abs(float(sizes.group(1)) - 300000 / 1024) < 0.06, "needed: the entry's size, %r" % reason
        assert abs(float(sizes.group(2)) - disk.f_bavail * disk.f_frsize / 1024) < 0.06, "free: %r" % reason
        assert os.listdir(run.dest) == [], "nothing may be written when the space check refuses"
        assert not run.ran_command(), "the command must not run"


@posix_only
def test_read_only_destination(platform, stub, new_run):
    run = new_run("read-only")
    os.makedirs(run.dest)
    run.write_exe(sfx(platform, stub, [Entry("a.txt", b"a")], NORMAL))
    with small_disk(run.dest, read_only=True):
        status, err = run.extract(["box/dest"])
        assert status == 255 and "Unable to extract files" in err, \
            "a read-only destination is an extraction failure with exit -1: %d %r" % (status, err)
        assert not run.ran_command(), "the command must not run"


def test_missing_destination_without_paths(platform, stub, new_run):
    run = new_run("missing")
    run.write_exe(sfx(platform, stub, [Entry("a.txt", b"a")], SILENT & ~SEF_USE_PATHS))
    status, _ = run.extract(["box/dest"])
    assert status == 255, "a missing destination without paths fails the extraction with -1, got %d" % status
    assert not os.path.exists(run.dest), "without paths the destination is not created"
    assert not run.ran_command(), "the command must not run"


def test_unwritable_existing_target(platform, stub, new_run):
    """A directory where the file goes cannot be overwritten, even after Yes."""
    run = new_run("unwritable")
    os.makedirs(os.path.join(run.dest, "a.txt"))
    run.write_exe(sfx(platform, stub, [Entry("a.txt", b"a")], SILENT | SEF_AUTO_YES))
    status, _ = run.extract(["box/dest"])
    assert status == 255, "an unwritable target fails the extraction with -1, got %d" % status
    assert os.path.isdir(os.path.join(run.dest, "a.txt")), "the directory stays"
    assert not run.ran_command(), "the command must not run"


@wine_only
def test_launch_of_missing_program(platform, stub, new_run):
    run = new_run("missing-program")
    run.write_exe(sfx(platform, stub, [Entry("a.txt", b"a")], SILENT, command="Z:\\no\\such\\setup.exe /s"))
    status, _ = run.extract(["box/dest"])
    assert status == 255, "a launch that cannot start ends with -1, got %d" % status
    assert os.path.isfile(os.path.join(run.dest, "a.txt")), "the extracted files stay"


@posix_only
def test_launch_of_missing_opener(platform, stub, new_run):
    """"start" opens its word with the desktop's opener; with none on the
    path the launch fails: reported, exit -1."""
    run = new_run("missing-opener")
    run.env["PATH"] = os.path.join(run.root, "empty-path")
    run.write_exe(sfx(platform, stub, [Entry("a.txt", b"a")], NORMAL, command="start a.txt"))
    status, err = run.extract(["box/dest"])
    assert status == 255, "a launch that cannot start ends with -1, got %d" % status
    assert "Error (-8002): Unable to open launch \"start a.txt box/dest\"." in err, "the report names it: %r" % err


# Bounded: a run whose partner never comes gives up after 20 s and the
# check of what it saw fails.
WAIT_FOR_OTHER = (b'touch "$MARKER"; i=0; while [ ! -e "$OTHER" ] && [ $i -lt 400 ]; do sleep 0.05; '
                  b'i=$((i+1)); done; { pwd; ls; ls "$KEYS"; } > "$MARKER.seen"\n')


@posix_only
def test_two_runs_side_by_side(platform, stub, new_run):
    """Each command waits until the other has extracted too, so the two runs
    overlap; each sees only its own files, both keys, and both clean up."""
    first, second = new_run("first"), new_run("second")
    shared = {"TMPDIR": first.env["TMPDIR"], "XDG_STATE_HOME": first.env["XDG_STATE_HOME"],
              "KEYS": os.path.join(first.root, "state", "qpk2exe", "Software", "QOR", "QPK2EXE")}
    for run, other, name in ((first, second, "one.txt"), (second, first, "two.txt")):
        run.env.update(shared, OTHER=other.marker)
        entries = [Entry(name, name.encode()), Entry("wait.sh", WAIT_FOR_OTHER)]
        run.write_exe(sfx(platform, stub, entries, SILENT | SEF_DELETE_AFTER, "sh wait.sh"))
    processes = [first.start(first.exe, []), second.start(second.exe, [])]
    for process in processes:
        process.communicate(timeout=120)
        assert process.returncode == 0, "both runs end with 0, got %d" % process.returncode
    seen = []
    for run, name in ((first, "one.txt"), (second, "two.txt")):
        with open(run.marker + ".seen") as f:
            lines = f.read().split()
        seen.append(lines[0])
        assert lines[1:3] == [name, "wait.sh"], "a run sees only its own files in its folder: %s" % lines
        assert len(lines) == 5, "while both commands run there are two keys: %s" % lines
    assert seen[0] != seen[1], "the two runs extract into different folders: %s" % seen
    assert os.listdir(first.env["TMPDIR"]) == [], "both clean up their folders: %s" % os.listdir(first.env["TMPDIR"])
    assert os.listdir(shared["KEYS"]) == [], "both delete their keys"


@posix_only
def test_cleanup_never_follows_links(platform, stub, new_run):
    """The launched command swaps a recorded directory for a link to a folder
    outside; the clean-up removes the link and touches nothing behind it."""
    run = new_run("links")
    elsewhere = os.path.join(run.root, "elsewhere")
    os.makedirs(os.path.join(elsewhere, "deep"))
    precious = {"file.txt": b"precious", "deep/inner.txt": b"inner"}
    for name, data in precious.items():
        with open(os.path.join(elsewhere, name), "wb") as f:
            f.write(data)
    run.env["ELSEWHERE"] = elsewhere
    swap = 'rm -rf sub top && ln -s "$ELSEWHERE" sub && ln -s "$ELSEWHERE/file.txt" top && touch "$MARKER" #'
    entries = [Entry("sub\\file.txt", b"mine"), Entry("sub\\deep\\inner.txt", b"mine too"), Entry("top", b"t")]
    run.write_exe(sfx(platform, stub, entries, SILENT | SEF_DELETE_AFTER, swap))
    status, _ = run.extract([], skip=[os.path.join(run.root, "tmp"), os.path.join(run.root, "state")])
    assert status == 0 and run.ran_command(), "the run and its command succeed, got %d" % status
    for name, data in precious.items():
        path = os.path.join(elsewhere, name)
        assert os.path.isfile(path) and open(path, "rb").read() == data, \
            "the clean-up must not delete %s through a link" % name
    left = os.listdir(os.path.join(run.root, "tmp"))
    assert left == [], "the links are removed as links, then the folder: %s" % left


@posix_only
def test_private_folders(platform, stub, new_run):
    """The temporary directory and the key store hold paths of this user's
    files: nobody else may look in or write there."""
    run = new_run("private")
    show = 'stat -c %a "$PWD" "$KEYS" "$KEYS/.." > "$MARKER" #'
    run.env["KEYS"] = os.path.join(run.root, "state", "qpk2exe", "Software", "QOR", "QPK2EXE")
    run.write_exe(sfx(platform, stub, [Entry("a.txt", b"a")], SILENT | SEF_DELETE_AFTER, show))
    old = os.umask(0o022)
    try:
        status, _ = run.extract([], skip=[os.path.join(run.root, "tmp"), os.path.join(run.root, "state")])
    finally:
        os.umask(old)
    assert status == 0, "the run succeeds, got %d" % status
    with open(run.marker) as f:
        modes = f.read().split()
    assert modes == ["700", "700", "700"], "temporary directory, key folder and store must be 0700: %s" % modes
