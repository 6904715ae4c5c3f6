"""The shipped builder is small and, on Linux, a static program: its
self-extractors run in a root that holds nothing but a static /bin/sh, with
no C library and no /proc."""
import os
import re
import shutil
import subprocess

import pytest


def test_program_within_budget(build, ship):
    size = os.path.getsize(build.program)
    assert size <= ship("--budget"), "%s is %d bytes, over its budget of %d" % (
        os.path.basename(build.program), size, ship("--budget"))


def test_needs_no_shared_library(build, run, self_extractor):
    for path in (build.program, self_extractor("needs", "true")):
        headers = run(["readelf", "--program-headers", "--wide", str(path)]).stdout
        assert "INTERP" not in headers, "%s asks for a program loader" % path
        needed = re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", run(["readelf", "-d", str(path)]).stdout)
        assert needed == [], "%s needs %s" % (path, needed)


@pytest.mark.parametrize("start", ["cd / && /app/setup.exe out", "cd /app && ./setup.exe ../out"],
                         ids=["absolute", "relative"])
def test_runs_in_a_bare_root(build, folder, self_extractor, start):
    """Extracts and runs its script in a root holding only a static busybox as
    /bin/sh: no loader, no C library and no /proc, so the program finds its
    own file by the name it was started by, absolute or relative."""
    busybox = shutil.which("busybox")
    if os.geteuid() != 0 or not shutil.which("chroot"):
        pytest.skip("a chroot needs root and chroot")
    assert busybox and "statically linked" in subprocess.run(["file", "-L", busybox], capture_output=True,
                                                             text=True).stdout, "install busybox-static"
    exe = self_extractor("bare", "sh $(Destination)/setup.sh")
    root = folder / "root"
    (root / "bin").mkdir(parents=True)
    (root / "app").mkdir()
    shutil.copy(busybox, root / "bin" / "busybox")
    (root / "bin" / "sh").symlink_to("busybox")
    shutil.copy(exe, root / "app" / "setup.exe")
    done = subprocess.run(["chroot", str(root), "/bin/sh", "-c", start], capture_output=True, text=True)
    assert not (root / "proc").exists()
    assert done.returncode == 0, done.stdout + done.stderr
    assert "script ran" in done.stdout
    out = root / "out"
    assert (out / "readme.txt").read_text() == "hello from the archive\n"
    assert (out / "docs" / "notes.txt").read_text() == "x" * 5000
    assert (out / "made.txt").read_text() == "made\n"
