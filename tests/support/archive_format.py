"""The archive and self-extractor layouts as the tests read and write them,
spelled once. A self-extractor is the stub (a builder program), the option
block, the archive and a trailer holding the archive's offset; an archive is
its signature field and entries, each a header and its stored data."""
import struct

ARCHIVE_SIGNATURE = b"QOR ARCHIVE FORMAT 2.0"
OPTION_SIGNATURE = b"QOR SE ARCHIVE FORMAT 2.0"
SIGNATURE_SIZE = 32  # either signature, zero-padded

# An entry header: the name field, then date, time, method, content size,
# stored size and attributes, little-endian.
NAME_SIZE = 128
HEADER_FIELDS = "<HHHIII"
HEADER_SIZE = NAME_SIZE + struct.calcsize(HEADER_FIELDS)
METHOD_DEFLATED, METHOD_STORED = 1, 2

# The option block: signature, flags, then three zero-terminated text fields.
BLOCK_FLAGS = SIGNATURE_SIZE
BLOCK_COMMAND, COMMAND_SIZE = BLOCK_FLAGS + 4, 128
BLOCK_NAME, TITLE_SIZE = BLOCK_COMMAND + COMMAND_SIZE, 32
BLOCK_DESTINATION, DESTINATION_SIZE = BLOCK_NAME + TITLE_SIZE, 128
BLOCK_SIZE = BLOCK_DESTINATION + DESTINATION_SIZE
TRAILER_SIZE = 4

SEF_USE_PATHS, SEF_SILENT, SEF_QUIET, SEF_AUTO_YES, SEF_AUTO_NO = 0x1, 0x2, 0x4, 0x8, 0x10
SEF_DELETE_AFTER, SEF_NO_SPLASH, SEF_NO_STATUS, SEF_FORCE_DELETE_PROMPT = 0x20, 0x40, 0x80, 0x100


def archive_offset(exe_bytes):
    return struct.unpack("<I", exe_bytes[-TRAILER_SIZE:])[0]


def layout(exe):
    """(stub, option block, archive, trailer offset) of a self-extractor file."""
    with open(exe, "rb") as f:
        data = f.read()
    offset = archive_offset(data)
    return data[:offset - BLOCK_SIZE], data[offset - BLOCK_SIZE:offset], data[offset:-TRAILER_SIZE], offset


def block_fields(block):
    text = lambda raw: raw.split(b"\0")[0].decode()
    return {"signature": block[:SIGNATURE_SIZE],
            "flags": struct.unpack_from("<I", block, BLOCK_FLAGS)[0],
            "command": text(block[BLOCK_COMMAND:BLOCK_COMMAND + COMMAND_SIZE]),
            "name": text(block[BLOCK_NAME:BLOCK_NAME + TITLE_SIZE]),
            "destination": text(block[BLOCK_DESTINATION:BLOCK_DESTINATION + DESTINATION_SIZE])}


def entries(archive):
    """(raw name, method, offset of the data in the archive, stored size) of
    each entry of a well-formed archive."""
    found, at = [], SIGNATURE_SIZE
    while at + HEADER_SIZE <= len(archive):
        _, _, method, _, stored, _ = struct.unpack_from(HEADER_FIELDS, archive, at + NAME_SIZE)
        found.append((archive[at:at + NAME_SIZE].split(b"\0")[0], method, at + HEADER_SIZE, stored))
        at += HEADER_SIZE + stored
    return found
