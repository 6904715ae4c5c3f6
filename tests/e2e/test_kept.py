"""What an archive keeps of what it was given: who may read a file, and a
checksum over every entry qpk create writes, found wrong by qpk test and by
the self-extractor."""
import os
import stat

import pytest

from support import craft

ENTRY_ATTR_READONLY, ENTRY_ATTR_ARCHIVE, ENTRY_ATTR_HIDDEN = 0x02, 0x04, 0x08
ENTRY_ATTR_EXECUTE, ENTRY_ATTR_PRIVATE = 0x100, 0x200


def build_and_extract(s, archive, quiet=True):
    """Builds ARCHIVE.exe and extracts it to dest; not quiet, a Linux run
    says on standard error what failed."""
    status, _, err = s.builder("/nosplash", "/nostatus", *(["/q1"] if quiet else []), archive)
    assert status == 0, "building: %s" % err
    return s.extract(s.path(archive.replace(".qpk", ".exe")), "dest")


@pytest.mark.platforms("posix")
def test_permissions_are_never_wider_than_given(s):
    umask = os.umask(0)
    os.umask(umask)
    folder = s.payload({"secret.key": b"k", "shared.txt": b"s", "group.txt": b"g", "run.sh": b"#!/bin/sh\n",
                        "setuid": b"x", "closed/inside.txt": b"i"})
    modes = {"secret.key": 0o600, "shared.txt": 0o644, "group.txt": 0o640, "run.sh": 0o755, "setuid": 0o4755,
             "closed/inside.txt": 0o644, "closed": 0o700}
    for name, mode in modes.items():
        os.chmod(os.path.join(folder, name), mode)
    s.make_archive(s.path("perm.qpk"), folder)
    status, _, err = build_and_extract(s, "perm.qpk")
    assert status == 0, "extraction: %d %s" % (status, err)
    public = 0o666 & ~umask
    runnable = public | 0o100 | (0o011 & ~umask)
    expected = {"secret.key": 0o600, "shared.txt": public, "group.txt": 0o600, "run.sh": runnable,
                "setuid": runnable, "closed/inside.txt": 0o600}
    for name, mode in expected.items():
        got = stat.S_IMODE(os.stat(s.path("dest", name)).st_mode)
        assert got == mode, "%s given %o comes out %o, expected %o" % (name, modes[name], got, mode)


def test_private_bit_changes_nothing_on_windows(s):
    base = ENTRY_ATTR_READONLY | ENTRY_ATTR_ARCHIVE | ENTRY_ATTR_HIDDEN
    entries = [craft.Entry("plain.txt", b"p", attributes=base),
               craft.Entry("private.txt", b"q", attributes=base | ENTRY_ATTR_PRIVATE)]
    with open(s.path("bits.qpk"), "wb") as f:
        f.write(craft.archive(entries))
    status, _, err = build_and_extract(s, "bits.qpk")
    assert status == 0, "extraction: %d %s" % (status, err)
    if s.win32:
        shown = {}
        for name in ("plain.txt", "private.txt"):
            status, out, err = s.run("attrib", [s.native_path(s.path("dest", name))])
            assert status == 0 and name in out, "attrib %s: %s %s" % (name, out, err)
            shown[name] = out.split(s.native_path(s.path("dest")))[0]
        assert "R" in shown["plain.txt"], "attrib should show the read-only bit: %r" % shown
        assert shown["plain.txt"] == shown["private.txt"], "the owner-only bit must not reach Windows: %r" % shown
    else:
        modes = {name: stat.S_IMODE(os.stat(s.path("dest", name)).st_mode) for name in ("plain.txt", "private.txt")}
        assert modes["private.txt"] == modes["plain.txt"] & 0o700, modes


def test_damaged_entries_are_named_when_nothing_compresses(s):
    noise = os.urandom(150000)
    folder = s.payload({"noise.bin": noise, "first.txt": b"tiny"})
    s.make_archive(s.path("noise.qpk"), folder)
    status, out, err = s.run(s.qpk, ["test", "noise.qpk"])
    assert status == 0 and out.strip() == "OK 2 entries", "an archive qpk made has every entry checked: %r %s" % (out, err)
    with open(s.path("noise.qpk"), "rb") as f:
        data = bytearray(f.read())
    at = data.index(noise[100000:100016])
    data[at] ^= 0x01
    with open(s.path("noise.qpk"), "wb") as f:
        f.write(data)
    status, _, err = s.run(s.qpk, ["test", "noise.qpk"])
    assert status == 1 and "noise.bin" in err and "damaged" in err, "qpk test: %d %s" % (status, err)
    status, _, err = build_and_extract(s, "noise.qpk", quiet=s.win32)
    assert status == 255, "a damaged entry fails the extraction, got %d" % status
    assert s.win32 or "noise.bin" in err, "the self-extractor names the damaged file: %s" % err
    assert not os.path.exists(s.path("dest", "noise.bin")), "no damaged file may be left"
