"""Small file systems for the cases that run a program out of space or
against a read-only disk."""
import contextlib
import os
import subprocess

import pytest


@contextlib.contextmanager
def small_disk(folder, size="256k", read_only=False):
    """A tmpfs of the given size mounted on folder; skips the test when
    none can be mounted."""
    if os.geteuid() != 0:
        pytest.skip("mounting a small file system needs root")
    options = "size=%s,mode=0755%s" % (size, ",ro" if read_only else "")
    done = subprocess.run(["mount", "-t", "tmpfs", "-o", options, "tmpfs", folder], stderr=subprocess.PIPE)
    if done.returncode != 0:
        pytest.skip("cannot mount a tmpfs: %s" % done.stderr.decode(errors="replace").strip())
    try:
        yield
    finally:
        subprocess.run(["umount", "-l", folder])
