"""The builder as a user runs it: its usage text and option errors, the
self-extractor it writes (name, layout, option block) and what it refuses."""
import os
import shutil
import subprocess

import pytest

from support.archive_format import (BLOCK_SIZE, OPTION_SIGNATURE, SEF_AUTO_YES, SEF_DELETE_AFTER,
                                    SEF_FORCE_DELETE_PROMPT, SEF_NO_SPLASH, SEF_NO_STATUS, SEF_SILENT, SEF_USE_PATHS,
                                    block_fields, layout)
from support.session import SAMPLE, USAGE_FIRST_LINE, read


@pytest.mark.platforms("posix")
def test_usage_text(s):
    """The usage text is the builder's answer to no words or three words, and
    the builder is never silent: /q1 only goes into an option block. Asked
    for (an empty command line, or a help word) it ends with 0 and goes to
    standard output, where a script reads it; after options without a file,
    or three words, it ends with -1 and goes to standard error."""
    for words, expected in (([], 0), (["/nosplash"], 255), (["/nosplash", "/q1"], 255), (["--help"], 0),
                            (["-h"], 0), (["-?"], 0), (["/?"], 0), (["/nosplash", "a.qpk", "b.exe", "c"], 255)):
        status, out, err = s.builder(*words)
        assert status == expected, "usage %s should exit %d, got %d" % (words, expected, status)
        # On Windows every usage is a message box, which the window flows read
        # as standard error.
        shown, other = (out, err) if expected == 0 and not s.win32 else (err, out)
        stream = "output" if shown is out else "error"
        assert USAGE_FIRST_LINE in shown and USAGE_FIRST_LINE not in other, (
            "usage %s should go to standard %s only: %r %r" % (words, stream, out, err))
        assert "/destinationdirectory {path}\tForces extraction to the specified directory\n" in shown, (
            "the usage text should be whole: %r" % shown)
    assert sorted(os.listdir(s.root)) == ["tmp"], "usage must not write any file: %s" % os.listdir(s.root)


@pytest.mark.platforms("posix")
def test_option_errors(s):
    long_word = "x" * 300
    long_path = "x" * (300 if s.win32 else 5000)  # a positional word is a path
    table = [(["/nopath", "/nopath", "a"], "ERROR: Option already set"),
             (["/y", "-y", "a"], "ERROR: Option already set"),
             (["-NOPATH", "a"], "ERROR: Invalid option"),
             (["a", "/e"], "ERROR: Option missing parameter"),
             (["/name", "/nostatus", "a"], "ERROR: Option missing parameter"),
             (["w"] * 16, "ERROR: Too many words on the command line"),
             ([long_path], "ERROR: Word too long"),
             (["/e", long_word, "a"], "ERROR: Word too long")]
    for words, message in table:
        status, _, err = s.builder("/nosplash", *words)
        assert status == 255, "option error %s should exit -1, got %d" % (words[:3], status)
        assert message in err, "%s should report %r, got %r" % (words[:3], message, err)
        if words == [long_path]:
            assert long_path + ": the path is too long" in err, "the message names the path: %r" % err[-80:]
    assert sorted(os.listdir(s.root)) == ["tmp"], "an option error must not write any file"
    status, _, err = s.builder("/nosplash", *(["w"] * 14))
    assert "Too many words" not in err and USAGE_FIRST_LINE in err, (
        "15 words fit the argument vector (then too many positional words: usage), got %r" % err)


@pytest.mark.platforms("posix", "win32")
def test_output_naming(s):
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.QPK"), folder)
    if not os.path.exists(s.path("data.qpk")):
        shutil.copy(s.path("data.QPK"), s.path("data.qpk"))
    os.makedirs(s.path("out"))
    # Windows gives every output ".exe"; Linux keeps the name given.
    named = (lambda name, exe: exe) if s.win32 else (lambda name, exe: name)
    table = [(["data"], "data.exe"),
             (["data.qpk", os.path.join("out", "setup")], os.path.join("out", named("setup", "setup.exe"))),
             (["data.qpk", "setup.bin"], named("setup.bin", "setup.exe")),
             (["data.qpk", "installer.run"], named("installer.run", "installer.exe"))]
    for words, expected in table:
        status, _, err = s.builder("/nosplash", "/nostatus", *words)
        assert status == 0, "%s should build with exit 0: %s" % (words, err)
        assert os.path.isfile(s.path(expected)), "%s should give %s, got %s" % (words, expected, os.listdir(s.root))
        stub, block, archive, offset = layout(s.path(expected))
        assert stub == read(s.program), "the stub must be the builder byte for byte"
        assert offset == len(stub) + BLOCK_SIZE, "the trailer must hold the stub's length plus 324"
        assert archive == read(s.path("data.qpk")), "the archive must be appended byte for byte"
        assert block_fields(block)["flags"] == SEF_USE_PATHS | SEF_NO_STATUS, (
            "only /nostatus was given: flags 0x081, got 0x%x" % block_fields(block)["flags"])
    if not s.win32:
        assert os.access(s.path("data.exe"), os.X_OK), "a self-extractor built on POSIX must stay executable"


@pytest.mark.platforms("posix", "win32")
def test_option_block(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/y", "/nopath", "/deleteafter", "/forcedeleteprompt",
                                    "/nosplashonextract", "/e", "$(Destination)\\setup.exe /s", "/name", "Demo",
                                    "/destinationdirectory", "target dir"])
    fields = block_fields(layout(exe)[1])
    assert fields["signature"] == OPTION_SIGNATURE + b"\0" * 7, "the block must be signed and zero-padded"
    expected = SEF_SILENT | SEF_AUTO_YES | SEF_DELETE_AFTER | SEF_FORCE_DELETE_PROMPT | SEF_NO_SPLASH | SEF_NO_STATUS
    assert fields["flags"] == expected, "flags should be 0x%x, got 0x%x" % (expected, fields["flags"])
    assert ((fields["command"], fields["name"], fields["destination"]) ==
            ("$(Destination)\\setup.exe /s", "Demo", "target dir")), "the block's texts: %s" % fields


@pytest.mark.platforms("posix")
def test_missing_archive(s):
    status, _, err = s.builder("/nosplash", "absent.qpk")
    assert status == 255, "a missing archive is a build error with exit -1, got %d" % status
    assert "absent.qpk" in err, "the build should name the file it cannot open: %r" % err
    assert sorted(os.listdir(s.root)) == ["tmp"], "nothing may be written: %s" % os.listdir(s.root)


@pytest.mark.platforms("posix")
def test_overwrite_refused(s):
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.qpk"), folder)
    with open(s.path("data.exe"), "wb") as f:
        f.write(b"precious")
    status, _, err = s.builder("/nosplash", "/y", "data.qpk")
    assert status == 255, "a refused overwrite ends with -1, got %d" % status
    assert read(s.path("data.exe")) == b"precious", "without a Yes the existing output must stay untouched"
    if s.win32:  # a window flow: the question is a box, answered No
        assert "data.exe already exists.  Overwrite?" in err, "the builder asks before it replaces: %r" % err
    else:
        assert "data.exe exists; not overwritten: no terminal to ask" in err, (
            "with no terminal to ask, the builder says why it left the output: %r" % err)


@pytest.mark.platforms("posix")
def test_linux_words(s):
    """A "/" word that only looks like an option is refused, not written to
    the root folder; "data" finds data.qpk; the debug prints go to standard
    error only when QPK2EXE_DEBUG asks for them."""
    for words in (["/NOPATH", "x"], ["//nopath", "x"], ["/nopath:", "x"], ["/"], ["/no-such-option"]):
        status, _, err = s.builder("/nosplash", *words)
        assert status == 255 and "ERROR: Invalid option" in err, "%s is an invalid option: %d %r" % (words, status, err)
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.qpk"), folder)
    status, _, err = s.builder("/nosplash", "/q1", "/deleteafter", "data")
    assert status == 0 and os.path.isfile(s.path("data.exe")), "data finds data.qpk: %d %r" % (status, err)
    status, _, err = s.extract(s.path("data.exe"))
    assert status == 0 and "Delete:" not in err, "no debug prints unless asked for: %r" % err
    s.env["QPK2EXE_DEBUG"] = "1"
    status, _, err = s.extract(s.path("data.exe"))
    assert status == 0 and "Delete: [" in err, "QPK2EXE_DEBUG sends the debug prints to standard error: %r" % err


@pytest.mark.platforms("posix")
def test_folders_given_as_archive_or_output(s):
    """A folder where the archive belongs is named as one, with the qpk line
    that packs it, which works as shown; a folder named as the output is
    refused."""
    s.payload(SAMPLE, "my app")
    for words, output in ((["my app"], "OUTPUT"), (["my app", "setup.run"], "'setup.run'")):
        status, _, err = s.builder("/nosplash", *words)
        assert status == 255, "a folder is no archive: %d %r" % (status, err)
        lines = err.splitlines()
        assert lines[-2:] == ['ERROR: "my app" is a folder, not a QPK archive',
                              "qpk sfx 'my app' %s packs a folder into a self-extractor" % output], lines
    assert sorted(os.listdir(s.root)) == ["my app", "tmp"], "nothing may be written"
    s.make_archive(s.path("data.qpk"), s.payload(SAMPLE))
    status, _, err = s.builder("/nosplash", "data.qpk", "my app")
    assert status == 255 and err.splitlines()[-1] == 'ERROR: "my app" is a folder, not a file to write', (
        "a folder named as the output is refused before any question: %d %r" % (status, err))
    shown = lines[-1].split(" packs ")[0]
    env = dict(s.env, PATH=os.path.dirname(s.qpk) + os.pathsep + s.env["PATH"])
    done = subprocess.run(["bash", "-c", shown], cwd=s.root, env=env, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    status, _, err = s.extract(s.path("setup.run"), "dest")
    assert status == 0 and read(s.path("dest", "my app", "readme.txt")) == SAMPLE["readme.txt"], err
