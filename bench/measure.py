"""Runs one command and measures it: wall time and peak resident memory.

The child is reaped with wait4 so that its resource usage (and that of the
children it waited for, such as tar's gzip) comes back with its exit status.
"""
import os
import statistics
import subprocess
import tempfile
import time


class CommandFailed(Exception):
    pass


class Sample:
    def __init__(self, seconds, peak_kib, stdout):
        self.seconds = seconds
        self.peak_kib = peak_kib
        self.stdout = stdout


def run(argv, cwd=None, env=None):
    """Runs argv to completion; raises CommandFailed on a non-zero exit."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        start = time.perf_counter()
        child = subprocess.Popen(argv, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                                 stdout=out, stderr=err)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        stdout = out.read().decode(errors="replace")
        if child.returncode != 0:
            message = err.read().decode(errors="replace").strip()[-2000:]
            raise CommandFailed(f"{' '.join(map(str, argv))}: exit {child.returncode}: {message}")
        # ru_maxrss is in KiB on Linux.
        return Sample(seconds, usage.ru_maxrss, stdout)


def median(values):
    return statistics.median(values) if values else None
