"""The resources the user interface loads, read from the executables with
wrestool (no Wine): the probe, built with the interface, and the program
itself must both carry them."""
import re
import shutil
import subprocess

import pytest

WANTED = [
    (r"--type=5 --name='QPK2EXE'", "the status dialog QPK2EXE"),
    (r"--type=5 --name='ABOUT'", "the About box"),
    (r"--type=14 --name='DEMO'", "the icon group DEMO"),
    (r"--type=2 --name='MYBITMAP' .*size=121042", "the bitmap MYBITMAP of 121042 bytes"),
]


@pytest.mark.skipif(shutil.which("wrestool") is None, reason="wrestool (icoutils) is not installed")
@pytest.mark.parametrize("executable", ["probe", "program"])
def test_resources(build, executable):
    path = getattr(build, executable)
    assert path, "give --%s" % executable
    listing = subprocess.run(["wrestool", "-l", path], capture_output=True, text=True, timeout=60).stdout
    for pattern, what in WANTED:
        assert re.search(pattern, listing), "the executable should hold %s:\n%s" % (what, listing)
