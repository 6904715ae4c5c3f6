"""Waiting, with a deadline, for the state a window test checks.

Windows under Wine change when the program gets the processor, and reading
them can come back empty on a busy machine: a test that asserts one snapshot
fails when it looks too early. wait_until looks again until the state is
there or the deadline passes.
"""
import time


def wait_until(predicate, what, timeout, failure, poll=0.2, ended=None):
    """Calls predicate() until it returns a true value, and returns that value.

    A `failure` exception raised by predicate means "not yet"; when the
    deadline passes, the last such message is reported with `what`.
    ended(), when given, is asked after each look: a message from it (the
    program under test has gone, so the state can never come) fails at once.
    """
    end = time.monotonic() + timeout
    last = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except failure as error:
            last = error
        gone = ended() if ended is not None else None
        if gone:
            raise failure("%s before %s" % (gone, what) + ("; last seen: %s" % last if last else ""))
        if time.monotonic() >= end:
            raise failure("timed out waiting for %s" % what + ("; last seen: %s" % last if last else ""))
        time.sleep(poll)
