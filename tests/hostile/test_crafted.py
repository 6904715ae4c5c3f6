"""Each crafted self-extractor, run in the modes this platform can drive,
must show the user the outcome crafted.build names for it."""
import os

from crafted import archive_body, build, names, verify
from support.archive_format import SEF_NO_SPLASH, SEF_SILENT, SEF_USE_PATHS
from support.sandbox import Platform


def pytest_generate_tests(metafunc):
    platform = Platform(metafunc.config.getoption("--platform"))
    metafunc.parametrize("case_name", names(platform))


def modes(platform):
    # Natively the runner answers as a user without a terminal would, so
    # normal mode is tested too; under Wine normal mode needs a display and a
    # hand on the keyboard, so Win32 runs the silent mode only.
    return ["silent"] if platform.win32 else ["silent", "normal"]


def test_crafted(platform, stub, new_run, case_name):
    for mode in modes(platform):
        run = new_run(mode)
        flags = SEF_USE_PATHS | SEF_NO_SPLASH | (SEF_SILENT if mode == "silent" else 0)
        exe, outcome, files, words = build(platform, stub, case_name, run.root, flags)
        run.write_exe(exe)
        status, err = run.extract(words, cwd=run.root if case_name != "block_fields_unterminated" else
                              run.root + "/box")
        try:
            verify(run, mode, outcome, files, status, err, platform.win32)
        except AssertionError as failure:
            raise AssertionError("[%s mode] %s" % (mode, failure)) from None
    if outcome == "refused":
        # The same archive alone, where it ends at the file's end, and inside
        # the self-extractor, where it ends at the trailer.
        body = run.root + "/archive.qpk"
        with open(body, "wb") as f:
            f.write(archive_body(stub, exe))
        for path in (body, run.exe):
            status, text = run.qpk_test(path)
            assert status == 1 and "damaged" in text, "qpk test of %s must call it damaged and end with 1, " \
                "got %d: %r" % (os.path.basename(path), status, text)
