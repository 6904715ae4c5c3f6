"""Runs one command and measures it: wall time, processor time (user and
system, a steadier measure on a busy machine) and peak resident memory.

The child is reaped with wait4 so that its processor time (and that of the
children it waited for, such as tar's gzip) comes back with its exit status.
The peak memory comes from GNU time in between: a child forked straight from
Python would carry Python's own peak into its figure.
"""
import os
import statistics
import subprocess
import tempfile
import time


GNU_TIME = "/usr/bin/time"  # reports the peak in KiB with -f %M


class CommandFailed(Exception):
    pass


class Sample:
    def __init__(self, seconds, cpu_seconds, peak_kib, stdout):
        self.seconds = seconds
        self.cpu_seconds = cpu_seconds
        self.peak_kib = peak_kib
        self.stdout = stdout


def run(argv, cwd=None, env=None):
    """Runs argv to completion; raises CommandFailed on a non-zero exit."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err, \
            tempfile.NamedTemporaryFile("r") as peak:
        start = time.perf_counter()
        child = subprocess.Popen([GNU_TIME, "-f", "%M", "-o", peak.name] + list(argv), cwd=cwd, env=env,
                                 stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        _, status, usage = os.wait4(child.pid, 0)
        seconds = time.perf_counter() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        out.seek(0)
        err.seek(0)
        stdout = out.read().decode(errors="replace")
        if child.returncode != 0:
            message = err.read().decode(errors="replace").strip()[-2000:]
            raise CommandFailed(f"{' '.join(map(str, argv))}: exit {child.returncode}: {message}")
        return Sample(seconds, usage.ru_utime + usage.ru_stime, int(peak.read().split()[-1]), stdout)


def median(values):
    return statistics.median(values) if values else None
