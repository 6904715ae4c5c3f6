"""Archives and self-extractors written byte by byte, so that any field can
be wrong: entry headers, the option block and the trailer are packed here
from plain values, never by the program under test."""
import struct
import zlib

from support.archive_format import (ARCHIVE_SIGNATURE, BLOCK_SIZE, COMMAND_SIZE, DESTINATION_SIZE, HEADER_FIELDS,
                                    METHOD_DEFLATED, METHOD_STORED, NAME_SIZE, OPTION_SIGNATURE, SEF_NO_SPLASH,
                                    SEF_SILENT, SEF_USE_PATHS, SIGNATURE_SIZE, TITLE_SIZE)

# 2020-05-17 10:20:30 in the FAT encoding.
DOS_DATE = ((2020 - 1980) << 9) | (5 << 5) | 17
DOS_TIME = (10 << 11) | (20 << 5) | (30 // 2)


def field(text, size, terminate=True):
    """A text field: the bytes, a zero and zero padding; without terminate
    the text fills the field exactly, with no zero at all."""
    raw = text.encode("latin-1") if isinstance(text, str) else bytes(text)
    if not terminate:
        assert len(raw) == size, "an unterminated field is filled exactly"
        return raw
    assert len(raw) < size, "%r does not fit %d bytes" % (raw, size)
    return raw + b"\0" * (size - len(raw))


def deflated(data, block=64000):
    """One zlib stream per block of content, as the reader expects."""
    return b"".join(zlib.compress(data[i:i + block], 9) for i in range(0, len(data), block)) if data else \
        zlib.compress(b"", 9)


class Entry:
    """One entry; sizes and method default to the honest values for data."""

    def __init__(self, name, content=b"", method=METHOD_STORED, data=None, content_size=None, stored_size=None,
                 attributes=0, raw_name=None):
        self.name = name
        self.content = content
        self.method = method
        self.data = data if data is not None else (deflated(content) if method == METHOD_DEFLATED else content)
        self.content_size = len(content) if content_size is None else content_size
        self.stored_size = len(self.data) if stored_size is None else stored_size
        self.attributes = attributes
        self.raw_name = raw_name

    def header(self):
        name = self.raw_name if self.raw_name is not None else field(self.name, NAME_SIZE)
        return name + struct.pack(HEADER_FIELDS, DOS_DATE, DOS_TIME, self.method, self.content_size & 0xFFFFFFFF,
                                  self.stored_size & 0xFFFFFFFF, self.attributes)

    def bytes(self):
        return self.header() + self.data


def archive(entries, tail=b""):
    data = field(ARCHIVE_SIGNATURE, SIGNATURE_SIZE) + b"".join(e.bytes() for e in entries) + tail
    return data


def option_block(flags=SEF_USE_PATHS | SEF_SILENT | SEF_NO_SPLASH, command="", name="", destination="",
                 signature=OPTION_SIGNATURE, raw=None):
    """The option block; raw gives any of the text fields as exact bytes."""
    raw = raw or {}
    block = (raw.get("signature") or field(signature, SIGNATURE_SIZE)) + struct.pack("<I", flags) + \
        (raw.get("command") or field(command, COMMAND_SIZE)) + (raw.get("name") or field(name, TITLE_SIZE)) + \
        (raw.get("destination") or field(destination, DESTINATION_SIZE))
    assert len(block) == BLOCK_SIZE
    return block


def self_extractor(stub, block, archive_bytes, trailer=None):
    """stub + block + archive + trailer; the trailer defaults to the offset of
    the archive, or is the given offset (any 32-bit value) or raw bytes."""
    offset = len(stub) + len(block)
    if trailer is None:
        trailer = struct.pack("<I", offset)
    elif isinstance(trailer, int):
        trailer = struct.pack("<I", trailer & 0xFFFFFFFF)
    return stub + block + archive_bytes + trailer
