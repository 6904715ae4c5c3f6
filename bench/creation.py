"""Archive creation: qpk create at one, two and all cores against gzip, pigz
and zip, and whether every job count gives the same bytes."""
import filecmp
import os

import measure
import peers
from report import mib, ratio, seconds
from rounds import log

JOB_COUNTS = [("j1", "qpk create -j 1", 1), ("j2", "qpk create -j 2", 2),
              ("jdefault", "qpk create (all cores)", None)]
REFERENCE = "qpk create -j 2"


def creation_contenders(tools, d, out):
    single = peers.single_file(d.root)

    def gzip_like(program):
        if single:
            return lambda: ["sh", "-c", f'{program} -9 -c "$0" > "$1"', os.path.join(d.root, single), out[program]]
        return lambda: ["tar", "-I", f"{program} -9", "-cf", out[program]] + peers.items(d.root)

    def qpk(key, jobs):
        return lambda: peers.qpk_create_argv(tools, out[key], d.root, jobs=jobs)

    return [(name, qpk(key, jobs), out[key]) for key, name, jobs in JOB_COUNTS] + [
        ("gzip -9" if single else "tar + gzip -9", gzip_like("gzip"), out["gzip"]),
        ("pigz -9" if single else "tar + pigz -9", gzip_like("pigz"), out["pigz"]),
        ("zip -9", lambda: ["zip", "-9", "-q", "-r", out["zip"]] + peers.items(d.root), out["zip"]),
    ]


def run_rounds(d, contenders, rounds, results):
    # The data is already cached by the extraction section: no warm-up round.
    for round_number in range(1, rounds + 1):
        for name, argv, output in contenders:
            key = (d.name, name)
            if key in results.errors:
                continue
            peers.clear(output)
            os.sync()
            try:
                results.add(key, measure.run(argv(), cwd=d.root))
            except measure.CommandFailed as e:
                results.errors[key] = str(e)
                log(f"  {key}: {e}")
        log(f"  round {round_number} of {rounds} done")


def same_bytes(paths):
    return all(os.path.exists(p) for p in paths) and all(filecmp.cmp(paths[0], p, shallow=False)
                                                          for p in paths[1:])


def creation(args, tools, data_sets, rounds, results, report):
    rows = []
    notes = []
    for d in [d for d in data_sets if d.deflated]:
        log(f"creation: {d.title}")
        folder = os.path.join(args.scratch, "create", d.name)
        os.makedirs(folder, exist_ok=True)
        out = {k: os.path.join(folder, f"{k}.out") for k in [j[0] for j in JOB_COUNTS] + ["gzip", "pigz", "zip"]}
        contenders = creation_contenders(tools, d, out)
        run_rounds(d, contenders, rounds, results)
        d.create_identical = same_bytes([out[key] for key, _, _ in JOB_COUNTS])
        d.create_speedup = (results.time((d.name, "qpk create -j 1")) or 0) / (
            results.time((d.name, REFERENCE)) or float("inf"))
        notes.append(f"- {d.title}: -j 2 is {d.create_speedup:.2f}x -j 1; outputs of -j 1, -j 2 and all "
                     f"cores {'identical' if d.create_identical else 'DIFFER'}")
        ours = results.time((d.name, REFERENCE))
        for name, _, output in contenders:
            key = (d.name, name)
            size = os.path.getsize(output) if os.path.exists(output) else None
            rows.append([d.title, name, results.shown_time(key), seconds(results.cpu(key)), mib(size),
                         ratio(results.time(key), ours)])
    report.heading(f"Archive creation (ratio: tool time / {REFERENCE} time; all cores = {os.cpu_count()})")
    report.table(["data set", "tool", "time", "processor time", "size", "tool / ours"], rows)
    report.text("\n".join(notes))
