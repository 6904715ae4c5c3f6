#!/usr/bin/env python3
"""Hostile input and faults, whole-process: crafted self-extractors, a
seeded mutation sweep, faults of the file system and the launch, and the
user-visible limits, all through the real program.

Usage: hostile.py --list PLATFORM
       hostile.py --case NAME --program P --qpk Q --work DIR --platform posix|win32
                  [--wine-run SCRIPT --prefix PREFIX]
"""
import argparse
import os
import sys

import crafted
import faults
import limits
import sweep
import verdicts
from sandbox import Failure, Platform, Run, remove_tree

NATIVE_SWEEP, WINE_SWEEP = 300, 40
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for this folder


def cases(platform):
    """{name: function(platform, stub, run_factory)} for this platform."""
    # Natively the runner answers as a user without a terminal would, so
    # normal mode is tested too; under Wine normal mode needs a display and a
    # hand on the keyboard, so Win32 runs the silent mode only.
    modes = ["silent"] if platform.win32 else ["silent", "normal"]
    table = {}
    for name in crafted.names(platform):
        table["crafted." + name] = (lambda n: lambda p, s, f: crafted.run_case(p, s, f, n, modes))(name)
    table["verdicts"] = verdicts.run_verdicts
    count = WINE_SWEEP if platform.win32 else NATIVE_SWEEP
    table["sweep"] = lambda p, s, f: sweep.run_sweep(p, s, f, count)
    for name, function in faults.CASES.items():
        if platform.name in function.platforms:
            table["fault." + name] = function
    for name, function in limits.CASES.items():
        if platform.name in function.platforms:
            table["limit." + name] = function
    return table


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list")
    parser.add_argument("--case")
    parser.add_argument("--program")
    parser.add_argument("--qpk")
    parser.add_argument("--work")
    parser.add_argument("--platform", default="posix")
    parser.add_argument("--wine-run")
    parser.add_argument("--prefix")
    args = parser.parse_args()
    if args.list:
        fake = argparse.Namespace(platform=args.list, program="", qpk=None, wine_run=None, prefix=None)
        print(";".join(cases(Platform(fake))))
        return 0
    platform = Platform(args)
    with open(platform.program, "rb") as f:
        stub = f.read()
    root = os.path.join(os.path.abspath(args.work), args.case)
    remove_tree(root)
    function = cases(platform)[args.case]
    try:
        function(platform, stub, lambda sub: Run(platform, os.path.join(root, sub)))
    except faults.Skip as skip:
        print("SKIPPED %s: %s" % (args.case, skip))
        return SKIPPED
    except Failure as failure:
        print("FAILED %s: %s" % (args.case, failure))
        return 1
    print("passed %s" % args.case)
    remove_tree(root)
    return 0


if __name__ == "__main__":
    sys.exit(main())
