"""The shipped builder is small and, on Linux, needs nothing but the C
library: its self-extractors run in a root that holds only the loader, libc
and /bin/sh."""
import os
import re
import shutil
import subprocess

import pytest

# The oldest glibc the Linux program runs on, as the README states it.
GLIBC_FLOOR = (2, 35)


def test_program_within_budget(build, ship):
    size = os.path.getsize(build.program)
    assert size <= ship("--budget"), "%s is %d bytes, over its budget of %d" % (
        os.path.basename(build.program), size, ship("--budget"))


def needed(path, run):
    return re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", run(["readelf", "-d", str(path)]).stdout)


def glibc_versions(path, run):
    symbols = run(["readelf", "--dyn-syms", "--wide", str(path)]).stdout
    return {tuple(int(n) for n in v.split(".")) for v in re.findall(r"@GLIBC_([0-9.]+)", symbols)}


def test_only_libc_is_shared(build, run, self_extractor):
    for path in (build.program, self_extractor("needs", "true")):
        libraries = needed(path, run)
        assert "libc.so.6" in libraries, path
        others = [name for name in libraries if name != "libc.so.6" and not name.startswith("ld-linux")]
        assert others == [], "%s needs %s besides the C library" % (path, others)
        assert max(glibc_versions(path, run)) <= GLIBC_FLOOR, "%s needs a glibc newer than %s" % (
            path, GLIBC_FLOOR)


def copy_into(root, path):
    target = root / path.lstrip("/")
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(path, target)


def test_runs_in_a_bare_root(build, run, folder, self_extractor):
    """Extracts and runs its command where nothing but the loader, libc and
    /bin/sh exist (and /proc, which the program reads itself through)."""
    if os.geteuid() != 0 or not shutil.which("unshare") or not shutil.which("chroot"):
        pytest.skip("a chroot with its own /proc needs root, unshare and chroot")
    exe = self_extractor("bare", "echo made > made.txt; echo command ran")
    root = folder / "root"
    for path in ["/bin/sh"] + re.findall(r"(/\S+) \(0x", run(["ldd", "/bin/sh"]).stdout):
        copy_into(root, path)
    (root / "proc").mkdir()
    shutil.copy(exe, root / "setup.exe")
    done = subprocess.run(["unshare", "--mount", "--pid", "--fork", "--mount-proc=%s" % (root / "proc"),
                           "chroot", str(root), "/setup.exe", "out"], capture_output=True, text=True)
    if done.returncode != 0 and "Operation not permitted" in done.stderr:
        pytest.skip("this machine refuses a new mount namespace or chroot: " + done.stderr.strip())
    assert done.returncode == 0, done.stdout + done.stderr
    assert "command ran" in done.stdout
    out = root / "out"
    assert (out / "readme.txt").read_text() == "hello from the archive\n"
    assert (out / "docs" / "notes.txt").read_text() == "x" * 5000
    assert (out / "made.txt").read_text() == "made\n"
