"""The mutations of a seeded sweep over the archive part of a good
self-extractor, and an independent reading of each mutant that says whether
the extraction must succeed (then every file and the command are checked),
must fail (then the command must not have run), or is one this reading does
not decide (then only the shared checks apply)."""
import random
import re
import struct
import zlib

from support.archive_format import (HEADER_FIELDS, HEADER_SIZE, METHOD_DEFLATED, METHOD_STORED, NAME_SIZE,
                                    SIGNATURE_SIZE, TRAILER_SIZE)
from support.craft import Entry

SEED = 20261208
INT32_MAX = (1 << 31) - 1
SAFE_COMPONENT = re.compile(r"^[A-Za-z0-9_\-][A-Za-z0-9_.\-]*$")


def base_entries():
    rng = random.Random(SEED)
    table = bytes(rng.randrange(256) for _ in range(3000))
    guide = b"".join(b"line %d of the guide\n" % i for i in range(4000))  # over 64000: two streams
    return [Entry("readme.txt", b"read me\n"), Entry("docs\\guide.txt", guide, METHOD_DEFLATED),
            Entry("data\\table.bin", table), Entry("data\\small.txt", b"small", METHOD_DEFLATED)]


def inflate_streams(data):
    """The content of one or more zlib streams laid end to end, or None when
    they are damaged, cut short or followed by anything else; "big" when a
    stream gives more than the reader's 64000-byte buffer."""
    out = b""
    rest = data
    while rest:
        d = zlib.decompressobj()
        try:
            piece = d.decompress(rest)
        except zlib.error:
            return None
        if not d.eof:
            return None
        if len(piece) > 64000:
            return "big"
        out += piece
        rest = d.unused_data
    return out


def name_verdict(name):
    """"good", "bad" (refused by the reader on every platform) or "unknown"
    (the file system may refuse it)."""
    if not name or name[0] == "\\" or any(c in "/:" or ord(c) < 0x20 or ord(c) == 0x7F for c in name):
        return "bad"
    if any(part.strip(". ") == "" for part in name.split("\\")):
        return "bad"
    return "good" if all(SAFE_COMPONENT.match(p) and not p.endswith(".") for p in name.split("\\")) else "unknown"


def classify(file_bytes, offset, win32):
    """("good", files) / ("bad", None) / ("unknown", None) for the archive
    that starts at offset and ends at the self-extractor's trailer."""
    data = file_bytes[offset:-TRAILER_SIZE]
    position, files, verdict = SIGNATURE_SIZE, {}, "good"
    folders = set()
    while position < len(data):
        if position + HEADER_SIZE > len(data):
            return "bad", None  # too few bytes for another header
        raw_name = data[position:position + NAME_SIZE]
        date, time, method, content_size, stored_size, _ = struct.unpack_from(HEADER_FIELDS, data,
                                                                              position + NAME_SIZE)
        start = position + HEADER_SIZE
        end = start + stored_size
        if b"\0" not in raw_name or offset + end > INT32_MAX:
            return "bad", None
        name = raw_name.split(b"\0")[0].decode("latin-1")
        name_state = name_verdict(name)
        if name_state == "bad" or method not in (METHOD_DEFLATED, METHOD_STORED) or end > len(data):
            return "bad", None
        if method == METHOD_STORED:
            if stored_size != content_size:
                return "bad", None
            content = data[start:end]
        else:
            content = inflate_streams(data[start:end])
            if content is None or (content != "big" and len(content) != content_size):
                return "bad", None
            if content == "big" or stored_size == 0:
                verdict = "unknown"
        key = name.lower() if win32 else name
        parts = key.split("\\")
        # A repeated name raises the overwrite question (answered No); a file
        # where a directory goes fails the open: left undecided here.
        if key in files or key in folders or any("\\".join(parts[:i]) in files for i in range(1, len(parts))):
            verdict = "unknown"
        folders.update("\\".join(parts[:i]) for i in range(1, len(parts)))
        if name_state != "good":
            verdict = "unknown"
        files[key] = content
        position = end
    if not files:
        return "bad", None
    if verdict != "good":
        return "unknown", None
    return "good", {name.replace("\\", "/"): content for name, content in files.items()}


def mutate(rng, archive_bytes):
    """One flip, set, insert or cut after the archive's signature field."""
    data = bytearray(archive_bytes)
    at = rng.randrange(SIGNATURE_SIZE, len(data))
    kind = rng.choice(["flip", "zero", "ones", "insert", "cut", "flip-header"])
    if kind == "flip-header":
        # Headers are few among the data bytes: aim at one of them now and then.
        at = SIGNATURE_SIZE + rng.choice([0, 128, 132, 134, 138, 142]) + rng.randrange(4)
        data[at] ^= 1 << rng.randrange(8)
    elif kind == "flip":
        data[at] ^= 1 << rng.randrange(8)
    elif kind == "zero":
        data[at] = 0
    elif kind == "ones":
        data[at] = 0xFF
    elif kind == "insert":
        data[at:at] = bytes(rng.randrange(256) for _ in range(rng.choice([1, 1, 2, HEADER_SIZE])))
    else:
        del data[at:at + rng.choice([1, 2, 100, 5000])]
    return kind, at, bytes(data)
