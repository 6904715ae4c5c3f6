"""Building twice from the same sources with the same toolchain gives the same
bytes, and so does making a self-extractor twice from the same archive."""
import filecmp
import os
import time


def test_second_tree_builds_the_same_program(build, ship, run, folder):
    twin = folder / "twin"
    run(["cmake", "-S", ship("--source"), "-B", str(twin)] + ship("--cmake-arg"))
    run(["cmake", "--build", str(twin), "--target", "qpk2exe", "-j2"])
    other = twin / "bin" / os.path.basename(build.program)
    assert filecmp.cmp(build.program, other, shallow=False), "%s and %s differ" % (build.program, other)


def test_self_extractor_made_twice_is_the_same(self_extractor):
    first = self_extractor("first", "true")
    # A second later, so that a time stamp would show.
    time.sleep(1.1)
    second = self_extractor("second", "true")
    assert filecmp.cmp(first, second, shallow=False), "two self-extractors of one archive differ"
