"""One verdict per archive: over the crafted corpus, the program extracts
everything and runs its command exactly when `qpk test` passes the archive,
both alone (ending at the file's end) and inside the self-extractor (ending
at its trailer)."""
import os

import crafted
from faults import SILENT

# Left out of the table, and why:
LEFT_OUT = {
    # 4 GiB of content: the program fails the space check or the length check
    # by the size of the disk it runs on.
    "content_size_near_4g",
    # A sound archive with no entries: qpk test passes it, while a run that
    # finds nothing to extract fails by design.
    "zero_entries",
    # A sound archive whose second file cannot be created where the first
    # one lies: the file system refuses it, not the archive's reader.
    "file_where_directory_goes",
}

# Under Wine each start costs seconds and a case takes three (the program
# and two qpk tests), so there the table runs one or two cases of each kind:
# good archives, the archive's end, a size that wraps, names, methods and
# damaged data. The overrun family runs whole as
# crafted cases. Natively the table runs every case.
WINE_CASES = [
    "name_127_characters", "same_name_twice", "short_tail_after_entries", "overrun_stored_1",
    "stored_size_wraps_to_own_header", "control_character_name", "method_3", "deflate_corrupt",
]


def case_names(platform):
    names = [case[0] for case in crafted.archive_cases(platform, "/x") if case[0] not in LEFT_OUT]
    if platform.win32:
        assert set(WINE_CASES) <= set(names), \
            "the Wine subset names cases of the corpus: %s" % sorted(set(WINE_CASES) - set(names))
        names = WINE_CASES
    return names


def test_verdicts(platform, stub, new_run):
    disagreements, verdicts = [], {"ok": 0, "fail": 0}
    for name in case_names(platform):
        run = new_run(name)
        exe, _, _, words = crafted.build(platform, stub, name, run.root, SILENT)
        run.write_exe(exe)
        status, err = run.extract(words)
        program_ok = status == 0 and run.ran_command()
        body = os.path.join(run.root, "archive.qpk")
        with open(body, "wb") as f:
            f.write(crafted.archive_body(stub, exe))
        plain, plain_text = run.qpk_test(body)
        inside, inside_text = run.qpk_test(run.exe)
        verdicts["ok" if program_ok else "fail"] += 1
        if not program_ok == (plain == 0) == (inside == 0):
            disagreements.append("%s: the program %s; qpk test of the archive ends with %d (%s), of the "
                                 "self-extractor with %d (%s)"
                                 % (name, "extracted it and ran its command" if program_ok else "failed", plain,
                                    plain_text.strip(), inside, inside_text.strip()))
    print("verdicts: %s" % verdicts)
    assert not disagreements, \
        "the program and qpk test must judge each archive alike:\n  " + "\n  ".join(disagreements)
    assert verdicts["ok"] > 0 and verdicts["fail"] > 0, "the table must hold both verdicts: %s" % verdicts
