"""Benchmarks qpk2exe and qpk against the tools users would pick instead and
prints Markdown tables of time ratios (bench/run.sh builds and calls this).

Every timed command runs several times, interleaved with its peers after one
warm-up round, and the median counts. The warm-up round also checks that each
contender's output holds exactly the source's files."""
import argparse
import filecmp
import os
import sys

import datasets
import measure
import peers
from report import Report, kib_as_mib, mib, ratio, seconds


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
    p.add_argument("--win32-note", default="", help="why the Win32 build is not measured")
    p.add_argument("--out", required=True, help="where the Markdown goes too")
    return p.parse_args()


def log(text):
    print(text, file=sys.stderr, flush=True)


class Results:
    """Samples per (data set, contender); a contender that failed keeps its error."""

    def __init__(self):
        self.samples = {}
        self.errors = {}

    def add(self, key, sample):
        self.samples.setdefault(key, []).append(sample)

    def time(self, key):
        return measure.median([s.seconds for s in self.samples.get(key, [])])

    def cpu(self, key):
        return measure.median([s.cpu_seconds for s in self.samples.get(key, [])])

    def peak(self, key):
        return measure.median([s.peak_kib for s in self.samples.get(key, [])])

    def shown_time(self, key):
        return f"failed: {self.errors[key]}"[:120] if key in self.errors else seconds(self.time(key))


def timed(contender, dest):
    sample = measure.run(contender.argv(dest), env=contender.env)
    if contender.self_timed:
        fields = dict(word.split("=", 1) for word in sample.stdout.split())
        sample.seconds = float(fields["seconds"])
        sample.cpu_seconds = float(fields["cpu_seconds"])
    return sample


def interleave(results, key_of, contenders, rounds, dest_of, verify=None):
    """Round 0 warms up (and verifies); the others are recorded."""
    for round_number in range(rounds + 1):
        for c in contenders:
            key = key_of(c)
            if key in results.errors:
                continue
            dest = dest_of(c, round_number)
            peers.clear(dest)
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
            peers.clear(dest)
        log(f"  round {round_number} of {rounds} done")


def extraction(args, tools, data_sets, rounds, results, report):
    art = os.path.join(args.scratch, "art")
    for d in data_sets:
        log(f"extraction: {d.title}")
        folder = os.path.join(art, d.name)
        os.makedirs(folder, exist_ok=True)
        archive = os.path.join(folder, "ours.qpk")
        peers.clear(archive)
        measure.run(peers.qpk_create_argv(tools, archive, d.root, store=not d.deflated), cwd=d.root)
        sfx = peers.build_sfx(tools, archive, os.path.join(folder, "ours.exe"))
        sfx_win32 = None
        if tools.win32_builder:
            sfx_win32 = peers.build_sfx_win32(tools, archive, os.path.join(folder, "ours-win32.exe"))
        d.archive = archive
        peer = peers.make_peer_archives(d, folder)
        expected = datasets.tree_digest(d.root)

        def verify(c, dest):
            if not c.self_timed and datasets.tree_digest(dest) != expected:
                raise ValueError("extracted files differ from the source")

        contenders = peers.extraction_contenders(tools, d, archive, sfx, sfx_win32, peer)
        out = os.path.join(args.scratch, "out")
        interleave(results, lambda c: (d.name, c.name), contenders, rounds,
                   lambda c, n: os.path.join(out, f"{d.name}-{c.name.split()[0]}-{n}"), verify)
        d.contenders = contenders
        d.sizes = {"qpk": os.path.getsize(archive)}
        d.sizes.update({k: os.path.getsize(v) for k, v in peer.items()})

    for ours in ["qpk2exe", tools.windows_name]:
        if ours != "qpk2exe" and not tools.win32_builder:
            continue
        report.heading(f"Extraction: {ours} against its peers")
        rows = []
        for d in data_sets:
            mine = results.time((d.name, ours))
            for c in d.contenders:
                if c.ours:
                    continue
                key = (d.name, c.name)
                rows.append([d.title, results.shown_time((d.name, ours)), c.name,
                             results.shown_time(key), ratio(results.time(key), mine),
                             ratio(results.cpu(key), results.cpu((d.name, ours)))])
        report.table(["data set", "ours", "peer", "peer time", "peer / ours", "processor time: peer / ours"],
                     rows)

    report.heading("Archive sizes")
    report.table(["data set", "source", "qpk", "zip -9", "tar.gz -9", "makeself", "7z SFX"],
                 [[d.title, mib(datasets.total_bytes(d.root)), mib(d.sizes["qpk"]), mib(d.sizes["zip"]),
                   mib(d.sizes["tgz"]), mib(d.sizes["makeself"]), mib(d.sizes["7z"])] for d in data_sets])

    report.heading("Peak resident memory during extraction (median)")
    names = [c.name for c in data_sets[0].contenders if not c.self_timed]
    report.table(["data set"] + names,
                 [[d.title] + [kib_as_mib(results.peak((d.name, n))) for n in names] for d in data_sets])


def creation_contenders(tools, d, out):
    single = [os.path.join(d.root, i) for i in peers.items(d.root)]
    one_file = len(single) == 1 and os.path.isfile(single[0])

    def gzip_like(program):
        if one_file:
            return lambda: ["sh", "-c", f'{program} -9 -c "$0" > "$1"', single[0], out[program]]
        return lambda: ["tar", "-I", f"{program} -9", "-cf", out[program]] + peers.items(d.root)

    return [
        ("qpk create -j 1", lambda: peers.qpk_create_argv(tools, out["j1"], d.root, jobs=1), out["j1"]),
        ("qpk create -j 2", lambda: peers.qpk_create_argv(tools, out["j2"], d.root, jobs=2), out["j2"]),
        ("gzip -9" if one_file else "tar + gzip -9", gzip_like("gzip"), out["gzip"]),
        ("pigz -9" if one_file else "tar + pigz -9", gzip_like("pigz"), out["pigz"]),
        ("zip -9", lambda: ["zip", "-9", "-q", "-r", out["zip"]] + peers.items(d.root), out["zip"]),
    ]


def creation(args, tools, data_sets, rounds, results, report):
    rows = []
    notes = []
    for d in [d for d in data_sets if d.deflated]:
        log(f"creation: {d.title}")
        folder = os.path.join(args.scratch, "create", d.name)
        os.makedirs(folder, exist_ok=True)
        out = {k: os.path.join(folder, f"{k}.out") for k in ["j1", "j2", "gzip", "pigz", "zip"]}
        contenders = creation_contenders(tools, d, out)
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
        identical = os.path.exists(out["j1"]) and filecmp.cmp(out["j1"], out["j2"], shallow=False)
        d.create_identical = identical
        d.create_speedup = (results.time((d.name, "qpk create -j 1")) or 0) / (
            results.time((d.name, "qpk create -j 2")) or float("inf"))
        notes.append(f"- {d.title}: -j 2 is {d.create_speedup:.2f}x -j 1; "
                     f"outputs {'identical' if identical else 'DIFFER'}")
        ours = results.time((d.name, "qpk create -j 2"))
        for name, _, output in contenders:
            key = (d.name, name)
            size = os.path.getsize(output) if os.path.exists(output) else None
            rows.append([d.title, name, results.shown_time(key), seconds(results.cpu(key)), mib(size),
                         ratio(results.time(key), ours)])
    report.heading("Archive creation (ratio: tool time / qpk create -j 2 time)")
    report.table(["data set", "tool", "time", "processor time", "size", "tool / ours"], rows)
    report.text("\n".join(notes))


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
        ]
        if tools.win32_builder:
            contenders.append(peers.Contender(
                tools.windows_name,
                lambda dest: [tools.wine, tools.win32_builder] + peers.SFX_OPTIONS +
                             [peers.windows_path(d.archive), peers.windows_path(dest)],
                env=tools.wine_env))
        interleave(results, lambda c: (d.name, "build " + c.name), contenders, rounds, lambda c, n: out)
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
    if tools.win32_builder:
        sfx_win32 = peers.build_sfx_win32(tools, archive, os.path.join(folder, "tiny-win32.exe"))
        contenders.append(peers.Contender(tools.windows_name,
                                          lambda d: [tools.wine, sfx_win32, peers.windows_path(d)],
                                          env=tools.wine_env))
    rounds = 10 if quick else 30
    out = os.path.join(args.scratch, "out")
    interleave(results, lambda c: ("tiny", c.name), contenders, rounds,
               lambda c, n: os.path.join(out, f"tiny-{c.name.split()[0].strip('/')}"))
    report.heading(f"Start-up with a one-byte file (median of {rounds})")
    report.table(["program", "time", "peak memory"],
                 [[c.name, results.shown_time(("tiny", c.name)), kib_as_mib(results.peak(("tiny", c.name)))]
                  for c in contenders])


def targets(data_sets, results, report):
    def met(ok):
        return "met" if ok else "NOT met"

    rows = []
    for d in data_sets:
        ours = results.time((d.name, "qpk2exe"))
        if ours is None:
            continue
        if d.deflated:
            raw = results.time((d.name, "zlib inflate, in memory"))
            rows.append([d.title, "extraction >= 0.9x zlib inflate", ratio(raw, ours), met(raw and raw / ours >= 0.9)])
        else:
            cp = results.time((d.name, "cp -r"))
            rows.append([d.title, "extraction >= 0.8x cp -r", ratio(cp, ours), met(cp and cp / ours >= 0.8)])
        for peer in ["unzip -q", "tar -xzf", "makeself", "7z SFX"]:
            t = results.time((d.name, peer))
            rows.append([d.title, f"faster than {peer}", ratio(t, ours), met(t and t > ours)])
        peak = results.peak((d.name, "qpk2exe"))
        rows.append([d.title, "peak memory < 8 MiB", kib_as_mib(peak), met(peak and peak < 8 * 1024)])
        if hasattr(d, "create_speedup"):
            rows.append([d.title, "qpk create -j 2 >= 1.8x -j 1, same bytes",
                         f"{d.create_speedup:.2f}x, {'same' if d.create_identical else 'different'}",
                         met(d.create_speedup >= 1.8 and d.create_identical)])
    report.heading("Targets (native)")
    report.table(["data set", "target", "measured", "verdict"], rows)


def main():
    args = parse_arguments()
    # The commands run in other folders: every path must hold from anywhere.
    for name in ["scratch", "native", "tools", "out"]:
        setattr(args, name, os.path.abspath(getattr(args, name)))
    wine_env = None
    if args.win32:
        wine_env = dict(os.environ, WINEPREFIX=args.wineprefix, WINEARCH=args.windows_arch, WINEDEBUG="-all")
        if args.windows_arch == "win64":
            wine_env["WINELOADER"] = "/usr/lib/wine/wine64"
    tools = peers.Tools(qpk=os.path.join(args.native, "qpk"), builder=os.path.join(args.native, "qpk2exe"),
                        raw_inflate=os.path.join(args.tools, "raw_inflate"),
                        win32_builder=args.win32, wine_env=wine_env, windows_arch=args.windows_arch)
    os.makedirs(args.scratch, exist_ok=True)
    log("making the data sets")
    data_sets = datasets.make_all(os.path.join(args.tools, "datagen"), args.scratch, args.quick)
    rounds = 3 if args.quick else 5
    results = Results()
    report = Report()
    report.text(f"# qpk2exe benchmark ({'quick' if args.quick else 'full'}: median of {rounds} "
                "interleaved runs after one warm-up; ratio = peer time / our time, above 1 means we are faster)")
    if not args.win32:
        report.text(f"The Windows build under Wine is not measured: {args.win32_note or 'not asked for'}.")
    elif args.win32_note:
        report.text(args.win32_note)
    extraction(args, tools, data_sets, rounds, results, report)
    creation(args, tools, data_sets, 3, results, report)
    building(args, tools, data_sets, rounds, results, report)
    start_up(args, tools, args.quick, results, report)
    targets(data_sets, results, report)
    text = report.markdown()
    print(text)
    with open(args.out, "w") as f:
        f.write(text)


if __name__ == "__main__":
    main()
