"""Self-extractors past their limits: a damaged option block, block fields
without their terminating zero, a command line too long, too many words."""
import os
import struct

import pytest

from session import BLOCK_SIZE, SAMPLE, read, recorded, recorder


@pytest.mark.platforms("posix")
def test_damaged_option_block(s):
    files = dict(SAMPLE, **{"boom.sh": b"#!/bin/sh\ntouch \"$RECORD\"\n"})
    exe = s.self_extractor(files, ["/q1", "/e", "sh $(Destination)/boom.sh"])
    data = bytearray(read(exe))
    offset = struct.unpack("<I", data[-4:])[0]
    data[offset - BLOCK_SIZE] ^= 0xFF
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
    offset = struct.unpack("<I", data[-4:])[0]
    block = offset - BLOCK_SIZE
    command = b"sh rec.sh".ljust(128, b" ")  # fills the field: no terminating zero
    data[block + 36:block + 164] = command
    data[block + 164:block + 196] = b"N" * 32
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
    status, _, err = s.extract(exe, "dest", "b" * 80, "c" * 80)
    assert status == 255, "a command line over 255 characters is refused with -1, got %d" % status
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
