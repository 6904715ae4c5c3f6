"""Whole-program window flows of the Windows build under Wine and Xvfb.

The real QPK2EXE.exe and self-extractors it builds are run as a user runs
them; their message boxes and status window are found on the display, read
and answered (windows.py). Each case keeps screenshots in the shots folder.
The message-box cases of the whole-process tests run here too, with every box
read into their error text and answered as a user without a terminal would
(OK, and No to questions).
"""
import os

import pytest

from e2e import test_build, test_failures, test_limits
from support.archive_format import layout
from support.session import SAMPLE, read
from windows import (CANCEL_QUESTION, CONTINUE_HINT, ITEM_CONTINUE, ITEM_CONTINUE_HINT, ITEM_OUTPUT,
                     ITEM_STATUS_LINE, many_files)

# The cases whose programs show message boxes on Windows.
BOX_CASES = [test_build.test_usage_text, test_build.test_option_errors, test_build.test_missing_archive,
             test_build.test_overwrite_refused, test_limits.test_damaged_option_block,
             test_limits.test_command_too_long, test_limits.test_self_extractor_word_limits,
             test_failures.test_unusable_archive, test_failures.test_cut_short]


@pytest.mark.parametrize("case", BOX_CASES, ids=lambda case: case.__name__[len("test_"):])
def test_box(s, case):
    case(s)


def test_builder_overwrite(s):
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.qpk"), folder)
    for answer in ("No", "Yes"):
        with open(s.path("data.exe"), "wb") as f:
            f.write(b"precious")
        process = s.start(s.program, ["/nosplash", "data.qpk"])
        box = s.display.wait_box(process, "the builder's overwrite question about its output",
                                 "data.exe already exists.  Overwrite?")
        output = s.native_path(s.path("data.exe"))
        s.display.status_window("the status window to show the output's full path", process,
                                lambda w: w.text(ITEM_OUTPUT) == output)
        s.display.screenshot("overwrite-question")
        s.display.click(box.button(answer))
        expected = 0 if answer == "Yes" else 255
        assert s.finish(process) == expected, "the builder ends with %d after %s" % (expected, answer)
        # The program has ended: its windows can only be on their way out.
        s.display.wait_until(lambda: s.display.boxes() == [], "no message to follow the answer %s" % answer)
        data = read(s.path("data.exe"))
        if answer == "No":
            assert data == b"precious", "No must leave the existing output untouched"
        else:
            stub, block, archive, _ = layout(s.path("data.exe"))
            assert stub == read(s.program) and archive == read(s.path("data.qpk")), (
                "Yes must replace the output with a whole self-extractor")


def test_extraction_overwrite(s):
    files = {"a.txt": b"new a\n", "b.txt": b"new b\n"}
    exe = s.self_extractor(files, ["/nosplashonextract"])
    os.makedirs(s.path("dest"))
    for answer, expected in (("No", b"old a\n"), ("Yes", b"new a\n")):
        with open(s.path("dest", "a.txt"), "wb") as f:
            f.write(b"old a\n")
        if os.path.exists(s.path("dest", "b.txt")):
            os.remove(s.path("dest", "b.txt"))
        process = s.start(exe, ["dest"])
        want = s.native_path(s.path("dest", "a.txt")) + " already exists.  Overwrite?"
        box = s.display.wait_box(process, "the extraction's overwrite question naming the file", want)
        s.display.screenshot("overwrite-" + answer)
        s.display.click(box.button(answer))
        assert s.finish(process) == 0, "the extraction ends with 0 after %s" % answer
        assert read(s.path("dest", "a.txt")) == expected, "%s: a.txt should hold %r" % (answer, expected)
        assert read(s.path("dest", "b.txt")) == b"new b\n", "%s: the other file is extracted all the same" % answer


def test_cancel_extraction(s):
    # Normal mode pauses 100 ms per file: 400 files leave ample time to cancel.
    files = many_files(400)
    exe = s.self_extractor(files, ["/nosplashonextract"])
    process = s.start(exe, ["dest"])
    status = s.display.status_window("the status window to show the extraction", process,
                                     lambda w: w.text(ITEM_STATUS_LINE) == "Extracting...")
    destination = s.native_path(s.path("dest"))
    s.display.status_window("the status window to name the destination", process,
                            lambda w: w.text(ITEM_OUTPUT) == destination)
    s.display.screenshot("extracting")
    s.display.key(status, "Escape")
    box = s.display.wait_box(process, "Escape to ask the cancel question", CANCEL_QUESTION)
    s.display.screenshot("cancel-question")
    s.display.click(box.button("Yes"))
    box = s.display.wait_box(process, "the cancel to be reported", "Unable to extract files")
    s.display.screenshot("unable-to-extract")
    s.display.click(box.button("OK"))
    assert s.finish(process) == 255, "a cancelled extraction ends with -1"
    written = sorted(os.listdir(s.path("dest")))
    assert 0 < len(written) < len(files), "some files but not all should be written, got %d" % len(written)
    assert written == sorted(files)[:len(written)], "the files written are the first ones, in order"
    for name in written:
        assert read(s.path("dest", name)) == files[name], "%s was written before the cancel: it must be whole" % name


def test_force_delete_prompt(s):
    exe = s.self_extractor(SAMPLE, ["/nosplashonextract", "/deleteafter", "/forcedeleteprompt",
                                        "/e", "cmd /c exit 0"])
    process = s.start(exe, [])
    status = s.display.status_window("the Continue button", process,
                                     lambda w: w.shown(ITEM_CONTINUE))
    s.display.status_window("the hint to show beside Continue", process,
                            lambda w: w.shown(ITEM_CONTINUE_HINT) and w.text(ITEM_CONTINUE_HINT) == CONTINUE_HINT)
    s.display.status_window("the status line to say the command ran", process,
                            lambda w: w.text(ITEM_STATUS_LINE) == "Executing...")
    s.display.screenshot("continue")
    left = s.temporary_dirs()
    assert len(left) == 1 and os.path.isfile(os.path.join(left[0], "readme.txt")), (
        "while it waits the extracted files are there, got %s" % left)
    assert len(s.cleanup_keys()) == 1, "and the clean-up key"
    assert process.poll() is None, "the run waits for Continue although the command has ended"
    s.display.click(status.item(ITEM_CONTINUE))
    assert s.finish(process) == 0, "the run ends with 0 after Continue"
    assert s.temporary_dirs() == [], "Continue deletes everything extracted: %s" % s.temporary_dirs()
    assert s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys()


def test_failed_launch_box(s):
    exe = s.self_extractor(SAMPLE, ["/nosplashonextract", "/e", "no-such-program.exe /s"])
    process = s.start(exe, ["dest"])
    want = 'Error (-8002): Unable to open launch "no-such-program.exe /s dest".\r\n'
    box = s.display.wait_box(process, "the error box", want)
    s.display.screenshot("launch-error")
    s.display.click(box.button("OK"))
    status = s.finish(process)
    assert status in (255, -1), "a failed launch ends with -1, got %d" % status
    assert read(s.path("dest", "readme.txt")) == SAMPLE["readme.txt"], "the extracted files stay"
