"""Crafted self-extractors: each case is a damaged or borderline archive,
option block or trailer, with the outcome a user must see."""
import struct

from support import craft
from support.archive_format import (ARCHIVE_SIGNATURE, BLOCK_SIZE, COMMAND_SIZE, HEADER_SIZE, METHOD_DEFLATED,
                                    METHOD_STORED, NAME_SIZE, SIGNATURE_SIZE, TITLE_SIZE, TRAILER_SIZE)
from support.craft import Entry

TEXT = b"hostile input is still only data\n" * 40
GOOD = Entry("good.txt", b"complete before the damage\n")

# Outcomes: "fail" - "Unable to extract files", exit -1, command not run;
# "refused" - as "fail", and the damage lies in the archive's structure, so
# it is found before any file is written and `qpk test` calls it damaged;
# "too big" - as "fail", or the space check refuses; "ok" - every listed file
# extracted, command run; "damaged" - the option
# block, or a file that carries bytes past its program's image but no
# archive (its trailer damaged), is refused with -1 before anything happens.


def cut(entry, keep):
    entry.data = entry.data[:keep]
    return entry


def corrupt(entry):
    data = bytearray(entry.data)
    for i in range(8, len(data) - 8, 7):
        data[i] ^= 0x5A
    entry.data = bytes(data)
    return entry


def wrapping(name):
    """stored_size that takes the next header position (data position plus
    stored_size) round 32 bits back onto this entry's own header."""
    return Entry(name, b"x", method=METHOD_DEFLATED, stored_size=(1 << 32) - HEADER_SIZE)


def overrun(method, past_end):
    """A last entry, honest but for stored_size, whose data runs past_end
    bytes beyond the archive's end: into the 4-byte trailer of a
    self-extractor (1 to 4) or past the end of the file (5)."""
    entry = Entry("last.txt", TEXT, method)
    entry.stored_size += past_end
    if method == METHOD_STORED:
        entry.content_size = entry.stored_size
    return entry


def escape_names(platform, run_root):
    names = ["..\\esc-box.txt", "..\\..\\esc-run.txt", "a\\..\\..\\..\\esc-deep.txt", "\\esc-root.txt",
             "/esc-slash.txt", "C:\\esc-drive.txt", "C:esc-drive-relative.txt", "a/../../esc-mixed.txt"]
    absolute = platform.native_path(run_root + "/esc-absolute.txt").replace("/", "\\")
    return names + [absolute]


def archive_cases(platform, run_root):
    """(name, entries, tail, outcome, expected files)"""
    name127 = ("n" * 60 + "\\") + "m" * 62 + ".txt"
    assert len(name127) == 127
    cases = [
        ("stored_truncated", [GOOD, cut(Entry("cut.txt", TEXT), 500)], b"", "fail", None),
        ("deflated_truncated", [GOOD, cut(Entry("cut.txt", TEXT, METHOD_DEFLATED), 20)], b"", "fail", None),
        ("deflate_corrupt", [corrupt(Entry("bad.txt", TEXT, METHOD_DEFLATED)), GOOD], b"", "fail", None),
        ("deflate_content_size_lies", [Entry("big.txt", TEXT, METHOD_DEFLATED, content_size=len(TEXT) + 1)], b"",
         "fail", None),
        ("deflate_trailing_garbage", [Entry("extra.txt", TEXT, METHOD_DEFLATED,
                                            data=craft.deflated(TEXT) + b"\x01garbage")], b"", "fail", None),
        ("stored_sizes_differ", [Entry("s.txt", TEXT, content_size=len(TEXT) + 10)], b"", "fail", None),
        ("stored_size_past_end", [GOOD, Entry("far.txt", TEXT[:10], METHOD_DEFLATED, stored_size=1 << 20)], b"",
         "fail", None),
        ("stored_size_near_4g", [Entry("huge.txt", TEXT[:10], METHOD_DEFLATED, stored_size=0xFFFFFFF0), GOOD], b"",
         "fail", None),
        ("stored_size_wraps_to_own_header", [wrapping("loop.txt")], b"", "fail", None),
        ("content_size_near_4g", [Entry("c.txt", TEXT[:10], METHOD_DEFLATED, content_size=0xFFFFFFFF)], b"",
         "too big", None),
        ("zero_entries", [], b"", "fail", None),
        ("empty_name", [GOOD, Entry("", b"nameless")], b"", "fail", None),
        ("unterminated_name", [Entry("", b"x", raw_name=b"u" * NAME_SIZE)], b"", "fail", None),
        ("control_character_name", [GOOD, Entry("ctl\x18.txt", b"control")], b"", "fail", None),
        ("name_127_characters", [Entry(name127, b"long name\n")], b"", "ok",
         {name127.replace("\\", "/"): b"long name\n"}),
        # 141 bytes before the trailer: too few for another header, so not
        # padding to skip but damage.
        ("short_tail_after_entries", [GOOD], b"\x00" * 141, "fail", None),
        ("every_attribute_bit", [Entry("attr.txt", b"a", attributes=0xFFFFFFFF & ~0x02)], b"", "ok",
         {"attr.txt": b"a"}),
        ("impossible_date", [Entry("date.txt", b"d")], b"", "ok", {"date.txt": b"d"}),
        ("same_name_twice", [Entry("twice.txt", b"first"), Entry("twice.txt", b"second")], b"", "ok",
         {"twice.txt": b"first"}),
        ("file_where_directory_goes", [Entry("a", b"file"), Entry("a\\b.txt", b"inside")], b"", "fail", None),
    ]
    for method in (0, 3, 0xFFFF):
        cases.append(("method_%d" % method, [Entry("m.txt", b"abc", method=method, data=b"abc")], b"", "fail", None))
    for method, method_name in ((METHOD_STORED, "stored"), (METHOD_DEFLATED, "deflated")):
        for past_end in range(1, 6):
            cases.append(("overrun_%s_%d" % (method_name, past_end), [GOOD, overrun(method, past_end)], b"",
                          "refused", {"last.txt": TEXT}))
    for i, name in enumerate(escape_names(platform, run_root)):
        cases.append(("escaping_name_%d" % i, [GOOD, Entry(name, b"escaped")], b"", "fail", None))
    return cases


def archive_body(stub, exe):
    """The archive of a self-extractor that build() made."""
    return exe[len(stub) + BLOCK_SIZE:-TRAILER_SIZE]


def patch_date(archive_bytes):
    """Month 13 in the first entry's date."""
    data = bytearray(archive_bytes)
    struct.pack_into("<H", data, SIGNATURE_SIZE + NAME_SIZE, (40 << 9) | (13 << 5) | 1)
    return bytes(data)


def build(platform, stub, case_name, run_root, flags):
    """(exe bytes, outcome, expected files, words) of one case."""
    command = platform.marker_command()
    for name, entries, tail, outcome, files in archive_cases(platform, run_root):
        if name == case_name:
            body = craft.archive(entries, tail)
            if name == "impossible_date":
                body = patch_date(body)
            block = craft.option_block(flags, command=command)
            return craft.self_extractor(stub, block, body), outcome, files, ["box/dest"]
    body = craft.archive([GOOD])
    good_block = craft.option_block(flags, command=command)
    exe = craft.self_extractor(stub, good_block, body)
    if case_name == "block_bad_signature":
        return craft.self_extractor(stub, craft.option_block(flags, command=command, signature=b"QOR SE ARCHIVE "
                                                             b"FORMAT 2.1"), body), "damaged", None, ["box/dest"]
    if case_name == "block_signature_case":
        return craft.self_extractor(stub, craft.option_block(flags, command=command, signature=b"qor se archive "
                                                             b"format 2.0"), body), "damaged", None, ["box/dest"]
    if case_name == "block_fields_unterminated":
        raw = {"command": command.encode().ljust(COMMAND_SIZE, b" "), "name": b"N" * TITLE_SIZE,
               "destination": (b"./" * 62) + b"dest"}
        block = craft.option_block(flags, raw=raw)
        return craft.self_extractor(stub, block, body), "ok", {"good.txt": GOOD.content}, ["ignored"]
    if case_name == "trailer_outside_file":
        return craft.self_extractor(stub, good_block, body, trailer=len(exe) + 1000), "damaged", None, []
    if case_name == "trailer_all_ones":
        return craft.self_extractor(stub, good_block, body, trailer=0xFFFFFFFF), "damaged", None, []
    if case_name == "trailer_into_stub":
        return craft.self_extractor(stub, good_block, body, trailer=64), "damaged", None, []
    if case_name == "trailer_at_signature_text_in_stub":
        at = stub.find(ARCHIVE_SIGNATURE + b"\0")
        assert at >= 0, "the program holds the archive signature text"
        # The stub's own bytes are read as the archive, and the block's length
        # before the text is no option block.
        return craft.self_extractor(stub, good_block, body, trailer=at), "damaged", None, ["box/dest"]
    raise KeyError(case_name)


OTHER_CASES = ["block_bad_signature", "block_signature_case", "block_fields_unterminated", "trailer_outside_file",
               "trailer_all_ones", "trailer_into_stub", "trailer_at_signature_text_in_stub"]


def names(platform):
    return [c[0] for c in archive_cases(platform, "/x")] + OTHER_CASES


def verify(run, mode, outcome, files, status, err, win32):
    """The outcome the user must see, in silent or normal mode."""
    normal = mode == "normal"
    if outcome == "ok":
        assert status == 0, "a good extraction ends with 0, got %d: %s" % (status, err)
        got = run.dest_files()
        for name, data in files.items():
            assert got.get(name) == data, "%s must be extracted whole, destination holds %s" % (name, sorted(got))
        assert run.ran_command(), "the command runs after a good extraction"
    elif outcome in ("fail", "too big", "refused"):
        if outcome == "refused":
            got = run.dest_files()
            for name, data in files.items():
                held = got.get(name, b"")
                assert len(held) <= len(data) and data.startswith(held), \
                    "%s holds %d bytes beyond its content: bytes from past the archive's end reached a file" \
                    % (name, len(held) - len(data))
        assert status == 255, "an extraction failure ends with -1, got %d: %s" % (status, err)
        assert not run.ran_command(), "the command must not run after a failed extraction"
        if outcome == "refused":
            assert got == {}, "damage in the archive's structure is found before any file is written, " \
                "the destination holds %s" % sorted(got)
        # A content size of 4 GiB fails the space check on a smaller disk and
        # the length check on a larger one.
        messages = ["Unable to extract files"] + \
            (["Insufficient space to extract files"] if outcome == "too big" else [])
        if normal and not win32:
            assert any(m in err for m in messages), "the user must read one of %r: %r" % (messages, err)
    elif outcome == "damaged":
        assert status == 255, "a damaged self-extractor ends with -1, got %d" % status
        assert not run.ran_command(), "nothing of a damaged block may run"
        assert run.dest_files() == {}, "nothing may be extracted from a damaged self-extractor"
        # The block's silent bit cannot be trusted either: the refusal shows in
        # every mode.
        if not win32:
            assert "Error (-8001): Damaged self-extractor" in err, "the refusal must say why: %r" % err
    if mode == "silent" and not win32 and outcome != "damaged":
        assert err.strip() == "", "a silent self-extractor writes nothing to the terminal: %r" % err
