"""A Linux self-extractor's own long options, through the real built
self-extractor: the reports qpk gives too, the destination, what it runs,
what it asks, and the words after "--" that only the command receives."""
import os

import pexpect
import pytest

from support.session import SAMPLE, read
from test_failures import LONG_TEXT, damage_last_entry, write_files

pytestmark = pytest.mark.platforms("posix")

# Writes each argument on a line of its own, and where it ran.
ARGUMENTS = {"args.sh": b'pwd > "$RECORD"\nfor a in "$@"; do echo "[$a]"; done >> "$RECORD"\n'}
RUN_ARGUMENTS = ["/e", "sh $(Destination)/args.sh"]


def built(s, options=(), name="setup"):
    s.env["RECORD"] = s.path("record.txt")
    return s.self_extractor(dict(SAMPLE, **ARGUMENTS), list(options), name=name)


def record(s):
    path = s.path("record.txt")
    return read(path).decode().splitlines() if os.path.exists(path) else None


def work_folder(s):
    os.makedirs(s.path("work"), exist_ok=True)
    return s.path("work")


@pytest.mark.parametrize("option, qpk_command", [("--list", "list"), ("--check", "test"), ("--info", "info")])
def test_reports_are_qpk_s(s, option, qpk_command):
    exe = built(s, ["/q1", "/deleteafter"] + RUN_ARGUMENTS)
    expected = s.run(s.qpk, [qpk_command, exe])
    status, out, _ = s.extract(exe, option, cwd=work_folder(s))
    assert (status, out) == expected[:2], "%s should print what qpk %s does" % (option, qpk_command)
    assert os.listdir(s.path("work")) == [] and record(s) is None, "a report extracts and runs nothing"
    assert s.temporary_dirs() == [] and s.cleanup_keys() == [], "nor makes a folder or a clean-up key"


def test_check_finds_damage_before_writing(s):
    exe = s.self_extractor({"a.txt": b"a\n", "z.txt": LONG_TEXT}, ["/q1", "/deleteafter"], name="damaged")
    damage_last_entry(exe)
    expected_status, _, expected_err = s.run(s.qpk, ["test", exe])
    status, _, err = s.extract(exe, "--check", cwd=work_folder(s))
    assert expected_status == 1 and status == expected_status, "the status of qpk test: %d %r" % (status, err)
    assert expected_err.split(": ", 2)[2] in err, "and its problem: %r %r" % (err, expected_err)
    assert os.listdir(s.path("work")) == [], "nothing is written"
    assert s.temporary_dirs() == [] and s.cleanup_keys() == []


def test_help_and_version(s):
    exe = built(s)
    status, out, err = s.extract(exe, "--help", cwd=work_folder(s))
    assert status == 0 and err == "" and out.startswith("usage: setup.exe "), (status, out, err)
    for option in ("--help", "--version", "--list", "--check", "--info", "--target DIR", "--noexec", "--quiet",
                   "--overwrite", "--keep-existing", "--"):
        assert [line for line in out.splitlines() if line.split("  ")[1:2] == [option]], (
            "the help gives %s a line of its own: %s" % (option, out))
    assert s.extract(exe, "--version") == s.builder("--version"), "the builder's version line"
    assert os.listdir(s.path("work")) == [] and record(s) is None


def test_words_after_the_end_of_options(s):
    """They reach the command one argument each, are no destination and keep
    /deleteafter on."""
    exe = built(s, ["/q1", "/deleteafter"] + RUN_ARGUMENTS)
    status, _, err = s.extract(exe, "--", "--yes", "a b", "/nopath", cwd=work_folder(s))
    assert status == 0, err
    lines = record(s)
    assert lines[1:] == ["[--yes]", "[a b]", "[/nopath]"], "each word one argument: %r" % lines
    assert os.path.dirname(lines[0]) == s.env["TMPDIR"], "extracted into a temporary folder: %r" % lines
    assert os.listdir(s.path("work")) == [] and s.temporary_dirs() == [] and s.cleanup_keys() == [], (
        "and deleted after")


def test_destination_and_launch(s):
    """--target is the destination; --noexec extracts and keeps, running
    nothing, also where /deleteafter was recorded. Words before "--" are
    passed on as before, the long options not."""
    exe = built(s, ["/q1", "/deleteafter"] + RUN_ARGUMENTS)
    status, _, err = s.extract(exe, "--target", "dest", "--quiet", "/nostatus", "--", "last", cwd=work_folder(s))
    assert status == 0 and os.path.isfile(s.path("work", "dest", "readme.txt")), err
    assert record(s) == [s.path("work", "dest"), "[/nostatus]", "[last]"]
    os.remove(s.path("record.txt"))
    for words, folder in ((["--noexec"], "."), (["--noexec", "--target", "kept"], "kept")):
        status, _, err = s.extract(exe, *words, cwd=s.path("work"))
        assert status == 0 and record(s) is None, "%s runs nothing: %r" % (words, err)
        assert read(s.path("work", folder, "docs", "guide.txt")) == SAMPLE["docs/guide.txt"], (
            "%s keeps the files where a destination word would put them" % words)
        assert s.temporary_dirs() == [] and s.cleanup_keys() == []


@pytest.mark.parametrize("option, kept", [(None, True), ("--overwrite", False), ("--keep-existing", True)])
def test_overwrite_answers(s, option, kept):
    exe = built(s, ["/nosplashonextract"])
    write_files(s.path("dest"), {"readme.txt": b"old\n"})
    status, _, err = s.extract(exe, *([option] if option else []), "--target", "dest")
    assert status == 0, err
    assert read(s.path("dest", "readme.txt")) == (b"old\n" if kept else SAMPLE["readme.txt"])
    assert ("no terminal to ask" in err) == (option is None), "only an unanswered question is said: %r" % err


def on_terminal(s, exe, *words, answer=None):
    """What a run shows on a terminal before its question (answered so) and
    after, and its status."""
    child = pexpect.spawn(exe, list(words), cwd=s.root, env=s.env, timeout=20)
    asked = b""
    if answer is not None:
        child.expect(r"Overwrite\? \[[^\]]*\] ")
        asked = child.before
        child.sendline(answer)
    child.expect(pexpect.EOF)
    child.close()
    return asked, child.before, child.exitstatus


def test_quiet_shows_nothing_but_questions_and_errors(s):
    exe = built(s)
    _, loud, status = on_terminal(s, exe, "dest1")
    assert status == 0 and b"extracted to" in loud, loud
    write_files(s.path("dest2"), {"readme.txt": b"old\n"})
    asked, after, status = on_terminal(s, exe, "--quiet", "dest2", answer="n")
    assert status == 0 and asked.strip().endswith(b"readme.txt already exists.") and b"\n" not in asked.strip(), (
        "only the question is shown: %r" % asked)
    assert after.strip() in (b"", b"n"), "and nothing after it: %r" % after
    assert read(s.path("dest2", "readme.txt")) == b"old\n", "the answer counts"
    write_files(s.path("blocked"), {"data": b"a file where a folder must go"})
    status, _, err = s.extract(exe, "--quiet", "blocked/data/x")
    assert status == 255 and "Unable to" in err, "errors still show: %r" % err


REFUSED = [
    (["--bogus"], ['"--bogus"', "--help"]),
    (["-x", "dest"], ['"-x"', "--help"]),
    (["--target"], ["--target", "missing"]),
    (["--target", "a", "--target", "b"], ['"--target"', "already set"]),
    (["--target", "a", "dest"], ["--target", "destination word"]),
    (["--overwrite", "--keep-existing"], ["--overwrite and --keep-existing"]),
    (["--list", "dest"], ['"--list" takes no other words']),
]


@pytest.mark.parametrize("words, said", REFUSED, ids=lambda v: " ".join(v) if isinstance(v[0], str) else None)
def test_refused_command_lines(s, words, said):
    exe = built(s, ["/q1"] + RUN_ARGUMENTS)
    status, out, err = s.extract(exe, *words, cwd=work_folder(s))
    assert status == 255 and out == "", "%s is refused with -1: %d" % (words, status)
    assert err.startswith("ERROR: ") and all(part in err for part in said), "the refusal says why: %r" % err
    assert os.listdir(s.path("work")) == [] and record(s) is None, "nothing is extracted or run"
