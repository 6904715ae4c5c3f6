"""Whole-process test of `qpk cleanup`: a self-extractor built with
/deleteafter is killed while its command runs, which leaves its clean-up key
and its extracted files; `qpk cleanup` lists them, `qpk cleanup --apply`
deletes them, and a running process's key is left alone."""
import os
import signal
import subprocess
import time

import pytest

from support.session import SAMPLE

# Generous: the extraction of three small files takes well under a second.
RECORDING_DEADLINE = 60


def key_folder(s, process):
    return s.path("state", "qpk2exe", "Software", "QOR", "QPK2EXE", "%8x" % process)


def recorded_paths(folder):
    values = {}
    for name in os.listdir(folder) if os.path.isdir(folder) else []:
        # A value is written under a temporary name and renamed into place.
        if not name.isdigit():
            continue
        with open(os.path.join(folder, name), "rb") as f:
            values[int(name)] = f.read().split(b"\0")[0].decode()
    return [values[index] for index in sorted(values)]


def write_key(folder, paths):
    os.makedirs(folder)
    for index, path in enumerate(paths):
        with open(os.path.join(folder, str(index)), "wb") as f:
            f.write(path.encode().ljust(255, b"\0"))


def killed_extraction(s):
    """Starts the self-extractor, waits until its command runs (every path is
    recorded before the launch), and kills it: its key and files stay."""
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/e", "sleep 120"])
    process = subprocess.Popen([exe], cwd=s.root, env=s.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
    folder = key_folder(s, process.pid)
    deadline = time.monotonic() + RECORDING_DEADLINE
    # Three files in two folders make five values.
    while len(recorded_paths(folder)) < 5 and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.1)
    assert process.poll() is None, "the self-extractor should still be waiting for its command"
    os.killpg(process.pid, signal.SIGKILL)
    process.wait()
    return process.pid, recorded_paths(folder)


@pytest.mark.platforms("posix")
def test_cleanup_after_kill(s):
    pid, paths = killed_extraction(s)
    assert len(paths) == 5, "the killed run should have recorded five paths, got %s" % paths
    assert all(os.path.exists(p) for p in paths), "the killed run's files should still be there: %s" % paths
    extraction_dir = os.path.dirname(paths[0])
    assert os.path.basename(extraction_dir).startswith("QOR"), "it extracted into a QOR folder: %s" % paths[0]

    # A key of a running process (this test's own) with a path it still uses.
    live_dir = s.path("tmp", "QORlive")
    os.makedirs(live_dir)
    live_file = os.path.join(live_dir, "busy.txt")
    with open(live_file, "w") as f:
        f.write("in use")
    write_key(key_folder(s, os.getpid()), [live_file])

    status, out, err = s.run(s.qpk, ["cleanup"])
    assert status == 0, "qpk cleanup should list and exit 0, got %d: %s" % (status, err)
    assert "%8x" % pid in out and all(p in out for p in paths), (
        "the listing should name the killed run's key and paths:\n%s" % out)
    assert "%8x" % os.getpid() not in out, "a running process's key is not listed:\n%s" % out
    assert all(os.path.exists(p) for p in paths), "listing must delete nothing"

    status, out, err = s.run(s.qpk, ["cleanup", "--apply"])
    assert status == 0, "qpk cleanup --apply should exit 0, got %d: %s%s" % (status, out, err)
    assert not any(os.path.exists(p) for p in paths), "every recorded path should be gone: %s" % paths
    assert not os.path.exists(extraction_dir), "the emptied extraction folder should be gone"
    assert not os.path.exists(key_folder(s, pid)), "the killed run's key should be gone"
    assert os.path.exists(live_file) and recorded_paths(key_folder(s, os.getpid())) == [live_file], (
        "a running process's key and paths must be untouched")
