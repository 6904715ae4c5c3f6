"""Names that travel between systems: UTF-8 names (archives made on Linux)
and Windows-1252 names (archives made on Windows), extracted on either."""
import os

import pytest

from support import craft
from support.archive_format import NAME_SIZE, entries as archive_entries

# What each entry name becomes on the Linux side of the destination (Wine
# maps Windows names to UTF-8 Unix names).
UTF8_NAMES = {
    "dossier\\résumé.txt".encode(): "dossier/résumé.txt",
    "日本語\\日本語.txt".encode(): "日本語/日本語.txt",
    b"readme.txt": "readme.txt",
}
CP1252_NAMES = {
    b"caf\xe9\\r\xe9sum\xe9.txt": "café/résumé.txt",
    b"\x80\x81\x8d\x8f\x90\x9d.txt": "€\u0081\u008d\u008f\u0090\u009d.txt",
}


def build(s, names, *options):
    """A self-extractor of the given raw names, each holding its own name."""
    entries = [craft.Entry(None, raw, raw_name=craft.field(raw, NAME_SIZE)) for raw in names]
    with open(s.path("names.qpk"), "wb") as f:
        f.write(craft.archive(entries))
    status, _, err = s.builder("/nosplash", "/nostatus", "/q1", *options, "names.qpk")
    assert status == 0, "building: %s" % err
    return s.path("names.exe")


def tree(root):
    return sorted(os.path.relpath(os.path.join(folder, name), root)
                  for folder, _, files in os.walk(root) for name in files)


@pytest.mark.platforms("posix", "win32")
@pytest.mark.parametrize("names", [UTF8_NAMES, CP1252_NAMES], ids=["utf-8", "windows-1252"])
def test_names_keep_their_characters(s, names):
    exe = build(s, names)
    status, _, err = s.extract(exe, "dest")
    assert status == 0, "extraction: %d %s" % (status, err)
    assert tree(s.path("dest")) == sorted(names.values()), "every name must come out in its own characters"
    for raw, shown in names.items():
        with open(s.path("dest", shown), "rb") as f:
            assert f.read() == raw, "%s should hold its data" % shown


@pytest.mark.platforms("posix", "win32")
def test_delete_after_removes_utf8_names(s):
    exe = build(s, UTF8_NAMES, "/deleteafter")
    status, _, err = s.extract(exe)
    assert status == 0, "extraction: %d %s" % (status, err)
    assert s.temporary_dirs() == [], "every UTF-8 name must be deleted again: %s" % s.temporary_dirs()
    assert s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys()


@pytest.mark.platforms("posix")
def test_list_shows_windows_1252_names_as_utf8(s):
    build(s, CP1252_NAMES)
    status, out, err = s.run(s.qpk, ["list", "names.qpk"])
    assert status == 0, "list: %s" % err
    for shown in CP1252_NAMES.values():
        assert shown in out, "qpk list should show %r with Linux separators: %s" % (shown, out)


def stored_names(archive):
    with open(archive, "rb") as f:
        return [name for name, _, _, _ in archive_entries(f.read())]


@pytest.mark.platforms("win32")
def test_create_on_windows_keeps_names_the_code_page_cannot_hold(s):
    folder = s.payload({"日本語/日本語.txt": b"ja", "readme.txt": b"en"})
    s.make_archive(s.path("made.qpk"), folder)
    assert sorted(stored_names(s.path("made.qpk"))) == sorted([b"readme.txt", "日本語\\日本語.txt".encode()]), (
        "a name the ANSI code page cannot hold is stored in UTF-8, not as '?'")
