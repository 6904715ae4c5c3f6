"""Interleaved rounds of timed commands and the samples they leave: every
contender runs once per round, round 0 warms up (and verifies), and the
median of the others counts."""
import contextlib
import os
import sys

import measure
import peers
from report import seconds


def log(text):
    print(text, file=sys.stderr, flush=True)


class Results:
    """Samples per (case, contender); a contender that failed keeps its error,
    one that was not run the reason."""

    def __init__(self):
        self.samples = {}
        self.errors = {}
        self.not_measured = {}

    def add(self, key, sample):
        self.samples.setdefault(key, []).append(sample)

    def time(self, key):
        return measure.median([s.seconds for s in self.samples.get(key, [])])

    def cpu(self, key):
        return measure.median([s.cpu_seconds for s in self.samples.get(key, [])])

    def peak(self, key):
        return measure.median([s.peak_kib for s in self.samples.get(key, [])])

    def shown_time(self, key):
        if key in self.not_measured:
            return f"not measured ({self.not_measured[key]})"
        return f"failed: {self.errors[key]}"[:120] if key in self.errors else seconds(self.time(key))


@contextlib.contextmanager
def cleared(path):
    """path, removed before the run and after it."""
    peers.clear(path)
    try:
        yield path
    finally:
        peers.clear(path)


@contextlib.contextmanager
def fresh_output(place):
    """A folder to be made on a file system that no other run has used."""
    point = place.make()
    try:
        yield os.path.join(point, "out")
    finally:
        place.release(point)


def timed(contender, dest):
    sample = measure.run(contender.argv(dest), env=contender.env)
    if contender.self_timed:
        fields = dict(word.split("=", 1) for word in sample.stdout.split())
        sample.seconds = float(fields["seconds"])
        sample.cpu_seconds = float(fields["cpu_seconds"])
    return sample


def interleave(results, key_of, contenders, rounds, output, verify=None):
    """Runs each contender once per round into output(contender) (a context
    giving the destination); round 0 warms up (and verifies), the others are recorded."""
    for c in contenders:
        if c.not_measured:
            results.not_measured[key_of(c)] = c.not_measured
    for round_number in range(rounds + 1):
        for c in contenders:
            key = key_of(c)
            if key in results.errors or key in results.not_measured:
                continue
            with output(c) as dest:
                c.prepare(dest)
                os.sync()  # pending write-back of the previous run must not land on this one
                try:
                    sample = timed(c, dest)
                    if round_number == 0 and verify:
                        verify(c, dest)
                    else:
                        results.add(key, sample)
                except (measure.CommandFailed, ValueError, KeyError) as e:
                    results.errors[key] = str(e)
                    log(f"  {key}: {e}")
        log(f"  round {round_number} of {rounds} done")
