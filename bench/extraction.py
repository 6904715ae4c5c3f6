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


# Small files: how many times tar -xzf's time extraction must be, per file system.
SMALL_FILES_OVER_TAR = {"tmpfs": 2.5, "ext4": 1.5}
PEAK_LIMIT_KIB = 32 * 1024


def case_targets(case, results):
    """The goals of one data set on one file system, as (target, measured, met) rows."""
    def time(name):
        return results.time((case.name, name))

    ours = time("qpk2exe")
    d = case.data_set
    rows = []
    if d.small_files:
        goal = SMALL_FILES_OVER_TAR.get(case.place.kind)
        tar = time("tar -xzf")
        if goal:
            rows.append((f"extraction >= {goal}x tar -xzf", ratio(tar, ours), tar and tar / ours >= goal))
    elif d.deflated:
        raw, pigz = time("zlib inflate, in memory"), time("pigz -d")
        rows.append(("extraction >= 4.5x zlib inflate in memory", ratio(raw, ours), raw and raw / ours >= 4.5))
        rows.append(("faster than pigz -d", ratio(pigz, ours), pigz and pigz > ours))
    else:
        cp = time("cp -r")
        rows.append(("extraction >= 1.1x cp -r", ratio(cp, ours), cp and cp / ours >= 1.1))
    for peer in ["unzip -q", "tar -xzf", "makeself", "7z SFX"]:
        rows.append((f"faster than {peer}", ratio(time(peer), ours), time(peer) and time(peer) > ours))
    peak = results.peak((case.name, "qpk2exe"))
    rows.append(("peak memory <= 32 MiB", kib_as_mib(peak), peak and peak <= PEAK_LIMIT_KIB))
    return rows


def creation_target(d, results):
    """qpk create on all cores at least as fast as pigz -9, the same bytes for every job count."""
    ours, pigz = results.time((d.name, "qpk create (all cores)")), results.time((d.name, "pigz -9"))
    return ("qpk create (all cores) at least as fast as pigz -9, same bytes for every job count",
            f"{ratio(pigz, ours)}, {'same' if d.create_identical else 'different'}",
            pigz and ours and pigz >= ours and d.create_identical)


def targets(cases, results, report):
    rows = []
    for case in cases:
        if results.time((case.name, "qpk2exe")) is None:
            continue
        rows += [[case.title, target, measured, "met" if ok else "NOT met"]
                 for target, measured, ok in case_targets(case, results)]
        d = case.data_set
        if hasattr(d, "create_identical") and not d.small_files and case.place is cases[0].place:
            target, measured, ok = creation_target(d, results)
            rows.append([d.title, target, measured, "met" if ok else "NOT met"])
    report.heading("Targets (native)")
    report.table(["data set", "target", "measured", "verdict"], rows)
