"""Counts the system calls of one run with strace's summary (-c), over every
thread and child (-f), so that a cost per extracted file can be read off."""
import subprocess

from measure import run

STRACE = "/usr/bin/strace"


def refusal():
    """Why strace cannot trace here (ptrace refused, strace missing), or None."""
    try:
        done = subprocess.run([STRACE, "-f", "-c", "-o", "/dev/null", "true"], capture_output=True, text=True)
    except OSError as e:
        return f"{STRACE}: {e.strerror}"
    return None if done.returncode == 0 else f"{STRACE}: {done.stderr.strip() or f'exit {done.returncode}'}"


def summary_counts(text):
    """{system call: calls} from strace -c's table; the total row is left out.
    A row reads: % time, seconds, usecs/call, calls, [errors,] name."""
    counts = {}
    for line in text.splitlines():
        words = line.split()
        if len(words) < 5 or not words[3].isdigit() or words[-1] == "total":
            continue
        counts[words[-1]] = counts.get(words[-1], 0) + int(words[3])
    return counts


def count(argv, env, summary_file):
    run([STRACE, "-f", "-c", "-o", summary_file] + list(argv), env=env)
    with open(summary_file) as f:
        return summary_counts(f.read())
