"""The seeded mutation sweep: every mutant of a good self-extractor runs
silently, and what it must do follows from sweep.classify's own reading."""
import random

from support import craft
from support.archive_format import SEF_NO_SPLASH, SEF_SILENT, SEF_USE_PATHS
from sweep import SEED, base_entries, classify, mutate

# Each start under Wine costs seconds.
NATIVE_SWEEP, WINE_SWEEP = 300, 40


def test_sweep(platform, stub, new_run):
    count = WINE_SWEEP if platform.win32 else NATIVE_SWEEP
    rng = random.Random(SEED)
    body = craft.archive(base_entries())
    block = craft.option_block(SEF_USE_PATHS | SEF_SILENT | SEF_NO_SPLASH,
                               command=platform.marker_command())
    offset = len(stub) + len(block)
    decided = {"good": 0, "bad": 0, "unknown": 0}
    for i in range(count):
        kind, at, mutant = mutate(rng, body)
        exe = craft.self_extractor(stub, block, mutant, trailer=offset)
        verdict, files = classify(exe, offset, platform.win32)
        decided[verdict] += 1
        run = new_run("sweep")
        run.write_exe(exe)
        where = "mutant %d (%s at archive byte %d, %s)" % (i, kind, at, verdict)
        try:
            status, err = run.extract(["box/dest"])
            assert status in (0, 255), "an extraction ends with 0 or -1 whatever the archive holds, got %d" % status
            if verdict == "good":
                assert run.dest_files() == files, "every entry must be extracted exactly: %s" % \
                    sorted(set(run.dest_files().items()) ^ set(files.items()))[:3]
                assert run.ran_command() and status == 0, "the command runs after a good extraction, exit 0"
            elif verdict == "bad":
                assert not run.ran_command() and status == 255, "a failed extraction runs no command, exit -1"
        except Exception as failure:
            raise type(failure)("%s: %s" % (where, failure))
    print("sweep of %d mutants: %s" % (count, decided))
    assert decided["good"] > 0 and decided["bad"] > count // 4, "the sweep should decide many mutants: %s" % decided
