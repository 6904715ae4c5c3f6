"""Self-extractors past their limits: a damaged option block, block fields
without their terminating zero, a command line too long, too many words;
and paths as long as Linux allows, refused with their name past that."""
import os

import pytest

from support.archive_format import BLOCK_COMMAND, BLOCK_NAME, BLOCK_SIZE, COMMAND_SIZE, TITLE_SIZE, archive_offset
from support.session import SAMPLE, read, recorded, recorder


@pytest.mark.platforms("posix")
def test_damaged_option_block(s):
    files = dict(SAMPLE, **{"boom.sh": b"#!/bin/sh\ntouch \"$RECORD\"\n"})
    exe = s.self_extractor(files, ["/q1", "/e", "sh $(Destination)/boom.sh"])
    data = bytearray(read(exe))
    data[archive_offset(data) - BLOCK_SIZE] ^= 0xFF
    with open(exe, "wb") as f:
        f.write(data)
    s.env["RECORD"] = s.path("record.txt")
    status, _, err = s.extract(exe, "dest")
    assert status == 255, "a damaged option block must stop the run with -1, got %d" % status
    assert "Damaged self-extractor" in err, "and say why: %r" % err
    assert not os.path.exists(s.path("dest")), "nothing may be extracted"
    assert recorded(s) is None, "the block's command must not run"


@pytest.mark.platforms("posix")
def test_unterminated_block_fields(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q1", "/e", "x", "/name", "n"])
    data = bytearray(read(exe))
    block = archive_offset(data) - BLOCK_SIZE
    command = b"sh rec.sh".ljust(COMMAND_SIZE, b" ")  # fills the field: no terminating zero
    data[block + BLOCK_COMMAND:block + BLOCK_COMMAND + COMMAND_SIZE] = command
    data[block + BLOCK_NAME:block + BLOCK_NAME + TITLE_SIZE] = b"N" * TITLE_SIZE
    with open(exe, "wb") as f:
        f.write(data)
    s.env["RECORD"] = s.path("record.txt")
    os.makedirs(s.path("dest"))
    status, _, err = s.extract(exe, "dest")
    assert status == 0, "extraction: %d %s" % (status, err)
    lines = recorded(s)
    assert lines is not None and lines[1] == "dest", (
        "the command must end at its field; the next field is not part of it: %r" % lines)


@pytest.mark.platforms("posix")
def test_command_too_long(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q2", "/e", "sh $(Destination)/rec.sh " + "a" * 90])
    s.env["RECORD"] = s.path("record.txt")
    # Windows takes 255 characters; Linux one argument of /bin/sh (128 KiB),
    # which 14 words of quotes pass once each quote is quoted.
    words = ["b" * 80, "c" * 80] if s.win32 else ["'" * 4000] * 14
    status, _, err = s.extract(exe, "dest", *words)
    assert status == 255, "a command line longer than the platform takes is refused with -1, got %d" % status
    assert "Unable to open launch" in err, "the refusal names the launch: %r" % err
    assert recorded(s) is None, "nothing of a cut command may run"
    assert os.path.isfile(s.path("dest", "readme.txt")), "the extracted files stay"


@pytest.mark.platforms("posix")
def test_self_extractor_word_limits(s):
    exe = s.self_extractor(SAMPLE, ["/q1"])
    status, _, err = s.extract(exe, *(["w"] * 16))
    assert status == 255 and "ERROR: Too many words on the command line" in err, (
        "16 words are refused with a message and exit -1: %d %r" % (status, err))
    assert not os.path.exists(s.path("w")), "nothing is extracted after a refused command line"
    status, _, err = s.extract(exe, *(["w"] * 15))
    assert status == 0 and os.path.isfile(s.path("w", "readme.txt")), "15 words are accepted: %r" % err


ACCENTED = "\u00e9" * 60 + ".txt"  # 124 bytes in UTF-8


def long_folder(s, length, name="long"):
    """An absolute folder path below the sandbox at least length bytes long,
    in components a file system takes; not created."""
    path = s.path(name)
    while len(path) < length:
        path = os.path.join(path, "d" * max(1, min(100, length - len(path) - 1)))
    return path


def extracts_into_a_long_destination(s):
    exe = s.self_extractor(SAMPLE, ["/q1"])
    dest = long_folder(s, 300)
    status, _, err = s.extract(exe, dest)
    assert status == 0, "a 300-byte destination word: %d %s" % (status, err)
    assert read(os.path.join(dest, "data", "table.bin")) == SAMPLE["data/table.bin"]


def extracts_an_entry_past_255_bytes(s):
    exe = s.self_extractor({ACCENTED: b"accents\n"}, ["/q1"])
    dest = long_folder(s, 136)
    assert len((dest + "/" + ACCENTED).encode()) > 255
    status, _, err = s.extract(exe, dest)
    assert status == 0, "destination and name over 255 bytes: %d %s" % (status, err)
    assert read(os.path.join(dest, ACCENTED)) == b"accents\n"


def deletes_after_in_a_long_temporary_folder(s):
    """The command lists the clean-up key's values while the run waits for it:
    the long paths are recorded whole, and the clean-up deletes them."""
    s.env["TMPDIR"] = long_folder(s, 300, "tmp-long")
    os.makedirs(s.env["TMPDIR"])
    s.env["RECORD"] = s.path("record.txt")
    lister = b'for v in "$XDG_STATE_HOME"/qpk2exe/Software/QOR/QPK2EXE/*/*; do tr -d "\\000" < "$v"; echo; done > "$RECORD"\n'
    exe = s.self_extractor({ACCENTED: b"x", "list.sh": lister}, ["/q1", "/deleteafter", "/e", "sh $(Destination)/list.sh"])
    status, _, err = s.extract(exe)
    assert status == 0, "a /deleteafter run in a long TMPDIR: %d %s" % (status, err)
    long_paths = [p for p in recorded(s) or [] if p.endswith("/" + ACCENTED) and len(p.encode()) > 255]
    assert long_paths, "the entry's long path should be recorded whole: %r" % recorded(s)
    assert os.listdir(s.env["TMPDIR"]) == [], "the clean-up deletes the long paths and their folder"
    assert s.cleanup_keys() == [], "and its key"


def builds_from_and_to_long_paths(s):
    place = long_folder(s, 300)
    os.makedirs(place)
    archive = os.path.join(place, "data.qpk")
    s.make_archive(archive, s.payload(SAMPLE))
    status, out, err = s.run(s.qpk, ["list", archive])
    assert status == 0 and "table.bin" in out, "qpk list of a long path: %s" % err
    status, _, err = s.builder("/nosplash", "/nostatus", "/q1", archive, os.path.join(place, "setup.exe"))
    assert status == 0, "building from and to paths over 255 bytes: %d %s" % (status, err)
    status, _, err = s.run(s.qpk, ["sfx", "/q1", archive, os.path.join(place, "made.exe")])
    assert status == 0, "qpk sfx to a long output: %d %s" % (status, err)
    for exe in ("setup.exe", "made.exe"):
        status, _, err = s.extract(os.path.join(place, exe), os.path.join(place, exe + "-dest"))
        assert status == 0 and os.path.isfile(os.path.join(place, exe + "-dest", "readme.txt")), err


def refuses_a_destination_past_path_max(s):
    exe = s.self_extractor(SAMPLE)
    dest = long_folder(s, 4200)
    status, _, err = s.extract(exe, dest)
    assert status == 255, "a destination past PATH_MAX fails with -1, got %d" % status
    assert dest + ": the path is too long" in err, "the failure names the path: %r" % err[-300:]


def names_an_entry_target_past_path_max(s):
    exe = s.self_extractor({ACCENTED: b"x"})
    dest = long_folder(s, 4000)
    os.makedirs(dest)
    status, _, err = s.extract(exe, dest)
    assert status == 255, "a target past PATH_MAX fails with -1, got %d" % status
    assert "Unable to extract files" in err and dest + "/" + ACCENTED + ": the path is too long" in err, (
        "the failure names the whole target: %r" % err[-300:])


LONG_PATH_CASES = [extracts_into_a_long_destination, extracts_an_entry_past_255_bytes,
                   deletes_after_in_a_long_temporary_folder, builds_from_and_to_long_paths,
                   refuses_a_destination_past_path_max, names_an_entry_target_past_path_max]


@pytest.mark.platforms("posix")
@pytest.mark.parametrize("case", LONG_PATH_CASES, ids=lambda case: case.__name__)
def test_long_paths(s, case):
    case(s)
