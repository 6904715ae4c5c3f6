"""Self-extractors run as a user runs them: the files they extract, where
they go, the command they launch and what a /deleteafter run leaves."""
import os
import stat

import pytest

from support.session import PAYLOAD_TIME, SAMPLE, read, recorded, recorder, recorder_command


@pytest.mark.platforms("posix", "win32")
def test_silent_extraction(s):
    files = dict(SAMPLE)
    files["locked.txt"] = b"read only\n"
    folder = s.payload(files)
    os.chmod(os.path.join(folder, "locked.txt"), 0o444)
    s.make_archive(s.path("setup.qpk"), folder)
    status, _, err = s.builder("/nosplash", "/nostatus", "/q1", "setup.qpk")
    assert status == 0, "build: %s" % err
    status, _, err = s.extract(s.path("setup.exe"), "dest")
    assert status == 0, "a silent extraction should end with 0, got %d: %s" % (status, err)
    for name, data in files.items():
        target = s.path("dest", *name.split("/"))
        assert os.path.isfile(target) and read(target) == data, "%s should be extracted whole" % name
        assert int(os.stat(target).st_mtime) == PAYLOAD_TIME, "%s should keep its time (UTC)" % name
    assert not os.stat(s.path("dest", "locked.txt")).st_mode & 0o222, "a read-only entry stays read-only"
    assert os.stat(s.path("dest", "readme.txt")).st_mode & stat.S_IWUSR, "other entries stay writable"
    assert err.strip() == "", "a silent self-extractor writes nothing: %r" % err


@pytest.mark.platforms("posix", "win32")
def test_stored_destination_wins(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/destinationdirectory", "stored"])
    status, _, err = s.extract(exe, "positional")
    assert status == 0, "extraction: %d %s" % (status, err)
    assert os.path.isfile(s.path("stored", "readme.txt")), "the stored destination must win"
    assert not os.path.exists(s.path("positional")), "the positional word must not be used"
    assert os.path.isfile(s.path("stored", "data", "table.bin")), "a stored destination turns deleting off"
    assert s.cleanup_keys() == [], "no clean-up key without deleting: %s" % s.cleanup_keys()


@pytest.mark.platforms("posix", "win32")
def test_destination_expansion(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q1", "/e", recorder_command(s)])
    s.env["RECORD"] = s.native_path(s.path("record.txt"))
    os.makedirs(s.path("dest"))
    status, _, err = s.extract(exe, "dest", "/q1", "abc")
    assert status == 0, "extraction with a command: %d %s" % (status, err)
    lines = recorded(s)
    assert lines is not None, "the command should have run"
    assert lines[0].rstrip("\\").endswith("dest"), "the command runs in the destination, got %r" % lines[0]
    assert lines[1].split() == ["dest", "/q1", "abc"], "every word is appended, got %r" % lines[1]
    assert os.path.isfile(s.path("dest", "readme.txt")), "a positional destination keeps the files"


@pytest.mark.platforms("posix")
def test_start_opens_one_file(s):
    bin_dir = s.path("bin")
    os.makedirs(bin_dir)
    with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\nprintf "%s\\n" "$@" > "$RECORD"\n')
    os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
    s.env["PATH"] = bin_dir + os.pathsep + s.env["PATH"]
    s.env["RECORD"] = s.path("record.txt")
    exe = s.self_extractor(SAMPLE, ["/q1", "/e", "StArT $(Destination)/readme.txt dropped words"])
    status, _, err = s.extract(exe, "dest", "more")
    assert status == 0, "start should open the file: %d %s" % (status, err)
    assert recorded(s) == [s.path("dest", "readme.txt")], (
        "only the word after start is opened, got %r" % recorded(s))


@pytest.mark.platforms("posix", "win32")
def test_failed_launch(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/e", "start"])
    status, _, err = s.extract(exe)
    assert status == 255, "a failed launch ends with -1, got %d" % status
    assert s.temporary_dirs() == [], "a failed launch still deletes what was extracted: %s" % s.temporary_dirs()
    assert s.cleanup_keys() == [], "and its clean-up key: %s" % s.cleanup_keys()


@pytest.mark.platforms("posix", "win32")
def test_delete_after_without_command(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter"])
    status, _, err = s.extract(exe)
    assert status == 0, "extraction: %d %s" % (status, err)
    assert s.temporary_dirs() == [], "everything extracted must be gone: %s" % s.temporary_dirs()
    assert s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys()


@pytest.mark.platforms("posix", "win32")
def test_delete_after_command(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q1", "/deleteafter", "/e", recorder_command(s)])
    s.env["RECORD"] = s.native_path(s.path("record.txt"))
    status, _, err = s.extract(exe)
    assert status == 0, "extraction: %d %s" % (status, err)
    lines = recorded(s)
    assert lines is not None, "the command should have run before the clean-up"
    assert s.temporary_dirs() == [], "after the command ended everything must be gone: %s" % s.temporary_dirs()
    assert s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys()


@pytest.mark.platforms("posix")
def test_unrecorded_file_keeps_folder(s):
    files = dict(SAMPLE, **{"make.sh": b"#!/bin/sh\necho mine > extra.txt\n"})
    exe = s.self_extractor(files, ["/q1", "/deleteafter", "/e", "sh $(Destination)/make.sh"])
    status, _, err = s.extract(exe)
    assert status == 0, "extraction: %d %s" % (status, err)
    left = s.temporary_dirs()
    assert len(left) == 1, "the folder holding an unrecorded file stays: %s" % left
    assert sorted(os.listdir(left[0])) == ["extra.txt"], (
        "only the launched program's file stays: %s" % os.listdir(left[0]))
    assert s.cleanup_keys() == [], "the key goes all the same"


@pytest.mark.platforms("posix")
def test_recorded_key_values(s):
    """While extracting, one value per created directory and file, named by
    the count at the time; the launched command sees them."""
    files = {"a/x.txt": b"x", "a/y.txt": b"y",
             "show.sh": b'#!/bin/sh\nfor v in "$STATE"/*/*; do echo "$(basename "$v")=$(tr -d \'\\000\' < "$v")"; '
                        b'done > "$RECORD"\n'}
    exe = s.self_extractor(files, ["/q1", "/deleteafter", "/e", "sh $(Destination)/show.sh"])
    s.env["RECORD"] = s.path("record.txt")
    s.env["STATE"] = s.path("state", "qpk2exe", "Software", "QOR", "QPK2EXE")
    status, _, err = s.extract(exe)
    assert status == 0, "extraction: %d %s" % (status, err)
    values = dict(line.split("=", 1) for line in recorded(s))
    folder = os.path.dirname(values["0"])
    assert os.path.basename(values["0"]) == "a", "value 0 is the directory a: %s" % values
    assert (values.get("1") == os.path.join(folder, "a", "x.txt")
            and values.get("2") == os.path.join(folder, "a", "y.txt")), (
        "values 1 and 2 are the files in order: %s" % values)
    assert s.temporary_dirs() == [] and s.cleanup_keys() == [], "all deleted afterwards"
