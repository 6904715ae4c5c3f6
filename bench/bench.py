"""Benchmarks qpk2exe and qpk against the tools users would pick instead and
prints Markdown tables of time ratios (bench/run.sh builds and calls this).

Every timed command runs several times, interleaved with its peers after one
warm-up round, and the median counts. The warm-up round also checks that each
contender's output holds exactly the source's files."""
import argparse
import os
import signal
import sys

import datasets
import filesystems
import measure
import peers
from creation import creation
from extraction import extraction, system_calls, targets
from report import Report, kib_as_mib, mib, ratio
from rounds import Results, cleared, interleave, log


def parse_arguments():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--quick", action="store_true", help="32 MiB and 2,000 files, 3 runs")
    p.add_argument("--scratch", default=os.environ.get("BENCH_DIR", "/tmp/qpk-bench"))
    p.add_argument("--native", required=True, help="folder with qpk2exe and qpk")
    p.add_argument("--tools", required=True, help="folder with datagen and raw_inflate")
    p.add_argument("--win32", help="the Windows builder (run under Wine)")
    p.add_argument("--windows-arch", choices=["win32", "win64"], default="win32",
                   help="what the Windows builder was built for")
    p.add_argument("--wineprefix", help="the Wine prefix to run it in")
    p.add_argument("--win32-note", default="", help="why the Windows build is not measured, or a remark on it")
    p.add_argument("--out", required=True, help="where the Markdown goes too")
    return p.parse_args()


def building(args, tools, data_sets, rounds, results, report):
    rows = []
    for d in data_sets:
        log(f"building: {d.title}")
        folder = os.path.join(args.scratch, "build", d.name)
        os.makedirs(folder, exist_ok=True)
        out = os.path.join(folder, "sfx.exe")
        contenders = [
            peers.Contender("qpk2exe", lambda dest: [tools.builder] + peers.SFX_OPTIONS + [d.archive, dest]),
            peers.Contender("cat", lambda dest: ["sh", "-c", 'cat "$0" "$1" > "$2"', tools.builder,
                                                  d.archive, dest]),
            peers.windows_contender(tools, lambda dest: [tools.wine, tools.win32_builder] + peers.SFX_OPTIONS +
                                    [peers.windows_path(d.archive), peers.windows_path(dest)]),
        ]
        interleave(results, lambda c: (d.name, "build " + c.name), contenders, rounds, lambda c: cleared(out))
        ours = results.time((d.name, "build qpk2exe"))
        for c in contenders[1:]:
            key = (d.name, "build " + c.name)
            rows.append([d.title, mib(os.path.getsize(d.archive)), results.shown_time((d.name, "build qpk2exe")),
                         c.name, results.shown_time(key), ratio(results.time(key), ours)])
    report.heading("Building a self-extractor (native builder) against cat of the same bytes")
    report.table(["archive of", "archive size", "qpk2exe", "other", "other time", "other / ours"], rows)


def start_up(args, tools, quick, results, report):
    log("start-up")
    # One one-byte file: an archive without entries is a failed extraction.
    root = os.path.join(args.scratch, "src", "tiny")
    folder = os.path.join(args.scratch, "art", "tiny")
    os.makedirs(root, exist_ok=True)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(root, "one"), "wb") as f:
        f.write(b"1")
    archive = os.path.join(folder, "tiny.qpk")
    peers.clear(archive)
    measure.run([tools.qpk, "create", archive, "one"], cwd=root)
    sfx = peers.build_sfx(tools, archive, os.path.join(folder, "tiny.exe"))
    run_file = os.path.join(folder, "tiny.run")
    peers.clear(run_file)
    measure.run(["makeself", "--gzip", "--nox11", "--noprogress", "--quiet", root, run_file, "bench", "true"])
    seven = os.path.join(folder, "tiny-7z.run")
    peers.clear(seven)
    peers.make_7z_sfx(root, seven)
    contenders = [peers.Contender("qpk2exe", lambda d: [sfx, d]),
                  peers.Contender("/bin/true", lambda d: ["/bin/true"]),
                  peers.Contender("makeself", lambda d: [run_file, "--quiet", "--noexec", "--target", d]),
                  peers.Contender("7z SFX", lambda d: [seven, "-y", "-o" + d])]
    sfx_win32 = None
    if tools.win32_builder:
        sfx_win32 = peers.build_sfx_win32(tools, archive, os.path.join(folder, "tiny-win32.exe"))
    contenders.append(peers.windows_contender(tools, lambda d: [tools.wine, sfx_win32, peers.windows_path(d)]))
    rounds = 10 if quick else 30
    out = os.path.join(args.scratch, "out")
    interleave(results, lambda c: ("tiny", c.name), contenders, rounds,
               lambda c: cleared(os.path.join(out, f"tiny-{c.name.split()[0].strip('/')}")))
    report.heading(f"Start-up with a one-byte file (median of {rounds})")
    report.table(["program", "time", "peak memory"],
                 [[c.name, results.shown_time(("tiny", c.name)), kib_as_mib(results.peak(("tiny", c.name)))]
                  for c in contenders])


def windows_tools(args):
    """The Windows builder's settings, or why there is none."""
    if not args.win32:
        return dict(windows_missing=args.win32_note or "not asked for")
    wine_env = dict(os.environ, WINEPREFIX=args.wineprefix, WINEARCH=args.windows_arch, WINEDEBUG="-all")
    if args.windows_arch == "win64":
        wine_env["WINELOADER"] = "/usr/lib/wine/wine64"
    return dict(win32_builder=args.win32, wine_env=wine_env, windows_arch=args.windows_arch)


def file_system_notes(places, report):
    report.text(f"Extraction writes on {' and on '.join(p.label for p in places)}: the small files on each, "
                "the large data sets on the first. On a mount, every round writes into a file system made for "
                "it alone, so that no round pays for another's deletions.")
    for p in places:
        if p.kind == "folder":
            report.text(f"**Could not mount** ({p.reason}): the rows on {p.label} ran in a new folder per round "
                        "on the scratch directory's own file system, right after the previous round's files "
                        "were deleted there, and may measure those deletions.")


def measure_all(args, tools, places, report):
    log("making the data sets")
    data_sets = datasets.make_all(os.path.join(args.tools, "datagen"), args.scratch, args.quick)
    rounds = 3 if args.quick else 5
    results = Results()
    report.text(f"# qpk2exe benchmark ({'quick' if args.quick else 'full'}: median of {rounds} "
                "interleaved runs after one warm-up; ratio = peer time / our time, above 1 means we are faster)")
    if not args.win32:
        report.text(f"The Windows build under Wine is not measured: {tools.windows_missing}.")
    elif args.win32_note:
        report.text(args.win32_note)
    file_system_notes(places, report)
    cases = extraction(args, tools, data_sets, places, rounds, results, report)
    system_calls(args, next(c for c in cases if c.data_set.small_files), report)
    creation(args, tools, data_sets, 3, results, report)
    building(args, tools, data_sets, rounds, results, report)
    start_up(args, tools, args.quick, results, report)
    targets(cases, results, report)


def main():
    args = parse_arguments()
    # The commands run in other folders: every path must hold from anywhere.
    for name in ["scratch", "native", "tools", "out"]:
        setattr(args, name, os.path.abspath(getattr(args, name)))
    tools = peers.Tools(qpk=os.path.join(args.native, "qpk"), builder=os.path.join(args.native, "qpk2exe"),
                        raw_inflate=os.path.join(args.tools, "raw_inflate"), **windows_tools(args))
    os.makedirs(args.scratch, exist_ok=True)
    # A polite kill unwinds like Ctrl-C, so that the mounts come down either way.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda number, frame: sys.exit(128 + number))
    mounts = filesystems.Mounts(args.scratch)
    try:
        report = Report()
        measure_all(args, tools, filesystems.places(mounts, args.scratch, log), report)
    finally:
        mounts.close()
    text = report.markdown()
    print(text)
    with open(args.out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
