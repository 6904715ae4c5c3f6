"""Extraction: each data set extracted by every contender, every round on a
file system of its own (the small files on tmpfs and on journaled ext4, the
large data sets on tmpfs); the system calls per small file; the targets."""
import os

import datasets
import measure
import peers
import syscalls
from report import kib_as_mib, mib, ratio, seconds
from rounds import fresh_output, interleave, log


class Case:
    """One data set extracted on one kind of file system."""

    def __init__(self, data_set, place):
        self.data_set = data_set
        self.place = place
        self.name = f"{data_set.name}@{place.kind}"
        self.title = f"{data_set.title} on {place.label}"


def cases_of(data_sets, places):
    """The small files on every file system; a large data set only on the first (tmpfs)."""
    return [Case(d, p) for d in data_sets for p in (places if d.small_files else places[:1])]


def prepare_archives(args, tools, d):
    """Our archive and self-extractors and the peers' archives of data set d."""
    folder = os.path.join(args.scratch, "art", d.name)
    os.makedirs(folder, exist_ok=True)
    d.archive = os.path.join(folder, "ours.qpk")
    peers.clear(d.archive)
    measure.run(peers.qpk_create_argv(tools, d.archive, d.root, store=not d.deflated), cwd=d.root)
    sfx = peers.build_sfx(tools, d.archive, os.path.join(folder, "ours.exe"))
    sfx_win32 = None
    if tools.win32_builder:
        sfx_win32 = peers.build_sfx_win32(tools, d.archive, os.path.join(folder, "ours-win32.exe"))
    peer = peers.make_peer_archives(d, folder)
    d.contenders = peers.extraction_contenders(tools, d, d.archive, sfx, sfx_win32, peer)
    d.sizes = {"qpk": os.path.getsize(d.archive)}
    d.sizes.update({k: os.path.getsize(v) for k, v in peer.items()})


def measure_case(case, rounds, results):
    log(f"extraction: {case.title}")
    expected = datasets.tree_digest(case.data_set.root)

    def verify(c, dest):
        if not c.self_timed and datasets.tree_digest(dest) != expected:
            raise ValueError("extracted files differ from the source")

    interleave(results, lambda c: (case.name, c.name), case.data_set.contenders, rounds,
               lambda c: fresh_output(case.place), verify)


def case_table(case, tools, results, report):
    """Every contender's time, processor time and peak beside ours."""
    references = ["qpk2exe"] + ([tools.windows_name] if tools.win32_builder else [])
    rows = []
    for c in case.data_set.contenders:
        key = (case.name, c.name)
        peak = None if c.self_timed else results.peak(key)
        row = [c.name, results.shown_time(key), seconds(results.cpu(key)), kib_as_mib(peak)]
        for ours in references:
            row += [ratio(results.time(key), results.time((case.name, ours))),
                    ratio(results.cpu(key), results.cpu((case.name, ours)))]
        rows.append(row)
    header = ["program", "time", "processor time", "peak memory"]
    for ours in references:
        header += [f"time: this / {ours}", f"processor time: this / {ours}"]
    report.heading(f"Extraction: {case.title}")
    report.table(header, rows)


def extraction(args, tools, data_sets, places, rounds, results, report):
    for d in data_sets:
        prepare_archives(args, tools, d)
    cases = cases_of(data_sets, places)
    for case in cases:
        measure_case(case, rounds, results)
    for case in cases:
        case_table(case, tools, results, report)
    report.heading("Archive sizes")
    report.table(["data set", "source", "qpk", "zip -9", "tar.gz -9", "makeself", "7z SFX", "gzip -9"],
                 [[d.title, mib(datasets.total_bytes(d.root))] +
                  [mib(d.sizes.get(k)) for k in ["qpk", "zip", "tgz", "makeself", "7z", "gz"]]
                  for d in data_sets])
    return cases


SYSCALL_PROGRAMS = ["qpk2exe", peers.ONE_THREAD, "tar -xzf", "cp -r"]
TOP_CALLS = 6


def system_calls(args, case, report):
    """strace's count of one extraction of the small files, per file."""
    report.heading(f"System calls per file: {case.title} (one traced extraction each)")
    refused = syscalls.refusal()
    if refused:
        log(f"system calls not counted: {refused}")
        report.text(f"Not measured: strace cannot trace here ({refused}).")
        return
    files = len(datasets.tree_digest(case.data_set.root))
    summary = os.path.join(args.scratch, "strace-summary.txt")
    rows = []
    for c in [c for c in case.data_set.contenders if c.name in SYSCALL_PROGRAMS]:
        log(f"system calls: {c.name}")
        with fresh_output(case.place) as dest:
            c.prepare(dest)
            try:
                counts = syscalls.count(c.argv(dest), c.env, summary)
            except measure.CommandFailed as e:
                rows.append([c.name, f"failed: {e}"[:120], ""])
                continue
        top = sorted(counts.items(), key=lambda item: -item[1])[:TOP_CALLS]
        rows.append([c.name, f"{sum(counts.values()) / files:.2f}",
                     ", ".join(f"{name} {calls / files:.2f}" for name, calls in top)])
    report.table(["program", "calls per file", f"top {TOP_CALLS} calls per file"], rows)
    report.text(f"{files} files; the counts cover every thread and child process, start-up included.")


def targets(cases, results, report):
    def met(ok):
        return "met" if ok else "NOT met"

    rows = []
    for case in cases:
        d = case.data_set
        ours = results.time((case.name, "qpk2exe"))
        if ours is None:
            continue
        if d.deflated:
            raw = results.time((case.name, "zlib inflate, in memory"))
            rows.append([case.title, "extraction >= 0.9x zlib inflate", ratio(raw, ours),
                         met(raw and raw / ours >= 0.9)])
        else:
            cp = results.time((case.name, "cp -r"))
            rows.append([case.title, "extraction >= 0.8x cp -r", ratio(cp, ours), met(cp and cp / ours >= 0.8)])
        for peer in ["unzip -q", "tar -xzf", "makeself", "7z SFX"]:
            t = results.time((case.name, peer))
            rows.append([case.title, f"faster than {peer}", ratio(t, ours), met(t and t > ours)])
        peak = results.peak((case.name, "qpk2exe"))
        rows.append([case.title, "peak memory < 8 MiB", kib_as_mib(peak), met(peak and peak < 8 * 1024)])
        if hasattr(d, "create_speedup") and case.place is cases[0].place:
            rows.append([d.title, "qpk create -j 2 >= 1.8x -j 1, same bytes",
                         f"{d.create_speedup:.2f}x, {'same' if d.create_identical else 'different'}",
                         met(d.create_speedup >= 1.8 and d.create_identical)])
    report.heading("Targets (native)")
    report.table(["data set", "target", "measured", "verdict"], rows)
