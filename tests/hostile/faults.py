"""What the fault and limit tests share: self-extractors of plain entries
with the usual flags, small file systems and a look into the key store."""
import contextlib
import os
import subprocess

import pytest

import craft
from craft import Entry

SILENT = craft.SEF_USE_PATHS | craft.SEF_SILENT | craft.SEF_NO_SPLASH
NORMAL = craft.SEF_USE_PATHS | craft.SEF_NO_SPLASH
SEF_AUTO_YES, SEF_DELETE_AFTER = 0x8, craft.SEF_DELETE_AFTER


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


def sfx(platform, stub, entries, flags=SILENT, command=None):
    command = platform.marker_command() if command is None else command
    return craft.self_extractor(stub, craft.option_block(flags, command=command), craft.archive(entries))


def key_values(run):
    """{key name: {value name: recorded path}} of the run's key store."""
    folder = os.path.join(run.root, "state", "qpk2exe", "Software", "QOR", "QPK2EXE")
    found = {}
    for key in sorted(os.listdir(folder)) if os.path.isdir(folder) else []:
        values = {}
        for value in os.listdir(os.path.join(folder, key)):
            with open(os.path.join(folder, key, value), "rb") as f:
                values[value] = f.read().rstrip(b"\0").decode()
        found[key] = values
    return found


def filler(count, size):
    return [Entry("f%02d.bin" % i, bytes([i]) * size) for i in range(count)]
