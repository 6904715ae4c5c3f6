"""The archives each contender extracts, and the command that extracts one.

Our archive and self-extractors are made afresh on every run (the program may
have changed); the peers' archives depend only on the data and are kept.
"""
import os
import shutil
import subprocess

from measure import run


class Tools:
    """Paths of the programs under test and of the benchmark's own tools."""

    def __init__(self, qpk, builder, raw_inflate, win32_builder=None, wine_env=None, windows_arch="win32",
                 windows_missing=""):
        self.qpk = qpk
        self.builder = builder
        self.raw_inflate = raw_inflate
        self.win32_builder = win32_builder  # the Windows builder, 32- or 64-bit
        self.windows_missing = windows_missing  # why there is none
        self.wine_env = wine_env
        # A 64-bit build stands in for the 32-bit one where the kernel cannot
        # run 32-bit programs; it is named for what it is.
        self.wine = "/usr/lib/wine/wine64" if windows_arch == "win64" else "wine"
        self.windows_name = f"qpk2exe {windows_arch.capitalize()} (Wine)"


def windows_path(path):
    # Wine maps the whole POSIX tree to drive Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def items(root):
    return sorted(os.listdir(root))


def qpk_create_argv(tools, archive, root, jobs=None, store=False):
    argv = [tools.qpk, "create"]
    if jobs is not None:
        argv += ["-j", str(jobs)]
    if store:
        argv.append("--store")
    return argv + [archive] + items(root)


# Self-extractors run silent and without the splash, so only the work shows.
SFX_OPTIONS = ["/q1", "/nosplashonextract", "/nosplash"]


def build_sfx(tools, archive, output):
    if os.path.exists(output):
        os.remove(output)  # an existing output would raise the overwrite question
    run([tools.builder] + SFX_OPTIONS + [archive, output])
    return output


def build_sfx_win32(tools, archive, output):
    if os.path.exists(output):
        os.remove(output)
    run([tools.wine, tools.win32_builder] + SFX_OPTIONS + [windows_path(archive), windows_path(output)],
        env=tools.wine_env)
    return output


SEVEN_ZIP_SFX = "/usr/lib/p7zip/7zCon.sfx"  # p7zip-full's console self-extractor module


def make_7z_sfx(root, output):
    """A 7z archive with 7-Zip's default settings (LZMA2) behind its console module."""
    archive = output + ".7z"
    run(["7z", "a", "-bd", archive] + items(root), cwd=root)
    with open(output, "wb") as out:
        for part in (SEVEN_ZIP_SFX, archive):
            with open(part, "rb") as f:
                shutil.copyfileobj(f, out)
    os.remove(archive)
    os.chmod(output, 0o755)


def single_file(root):
    """The name of root's only entry when that is a file, else None."""
    names = items(root)
    return names[0] if len(names) == 1 and os.path.isfile(os.path.join(root, names[0])) else None


def make_peer_archives(data_set, folder):
    """zip -9, tar + gzip -9, makeself (gzip -9) and a 7z self-extractor of the
    data set's contents, and a .gz (gzip -9) of a data set that is one file;
    each is made once, when it is missing."""
    root = data_set.root
    makers = {
        "zip": ("peer.zip", lambda out: run(["zip", "-9", "-q", "-r", out] + items(root), cwd=root)),
        "tgz": ("peer.tar.gz", lambda out: run(["tar", "-I", "gzip -9", "-cf", out] + items(root), cwd=root)),
        "makeself": ("peer.run", lambda out: run(["makeself", "--gzip", "--complevel", "9", "--nox11",
                                                  "--noprogress", "--quiet", root, out, "bench", "true"])),
        "7z": ("peer-7z.run", lambda out: make_7z_sfx(root, out)),
    }
    if single_file(root):
        makers["gz"] = ("peer.gz", lambda out: run(["sh", "-c", 'gzip -9 -c "$0" > "$1"',
                                                    os.path.join(root, single_file(root)), out]))
    made = {}
    for key, (name, make) in makers.items():
        path = os.path.join(folder, name)
        done = path + ".done"  # a run cut short leaves no .done and the archive is made again
        if not os.path.exists(done):
            clear(path)
            make(path)
            open(done, "w").close()
        made[key] = path
    return made


class Contender:
    """One way of extracting: argv(dest) gives the command; prepare(dest)
    runs untimed before it. A self-timed contender reports its own seconds
    and writes nothing to dest."""

    def __init__(self, name, argv, prepare=None, env=None, self_timed=False, not_measured=None):
        self.name = name
        self.argv = argv
        self.prepare = prepare or (lambda dest: None)
        self.env = env
        self.self_timed = self_timed
        self.not_measured = not_measured  # why it has no figures, when it has none


ONE_THREAD = "qpk2exe, 1 thread"


def windows_contender(tools, argv):
    if not tools.win32_builder:
        return Contender(tools.windows_name, None, not_measured=tools.windows_missing)
    return Contender(tools.windows_name, argv, env=tools.wine_env)


def extraction_contenders(tools, data_set, archive, sfx, sfx_win32, peer):
    c = [Contender("qpk2exe", lambda d: [sfx, d]),
         Contender(ONE_THREAD, lambda d: [sfx, d], env=dict(os.environ, QPK2EXE_THREADS="1")),
         windows_contender(tools, lambda d: [tools.wine, sfx_win32, windows_path(d)])]
    if data_set.deflated:
        c.append(Contender("zlib inflate, in memory", lambda d: [tools.raw_inflate, archive],
                           self_timed=True))
        c.append(Contender("libdeflate inflate, in memory",
                           lambda d: [tools.raw_inflate, "--libdeflate", archive], self_timed=True))
    c += [
        Contender("cp -r", lambda d: ["cp", "-r", data_set.root, d]),
        Contender("unzip -q", lambda d: ["unzip", "-q", peer["zip"], "-d", d]),
        Contender("tar -xzf", lambda d: ["tar", "-xzf", peer["tgz"], "-C", d],
                  prepare=lambda d: os.makedirs(d)),
        Contender("makeself", lambda d: [peer["makeself"], "--quiet", "--noexec", "--target", d]),
        Contender("7z SFX", lambda d: [peer["7z"], "-y", "-o" + d]),
    ]
    if "gz" in peer:
        name = single_file(data_set.root)
        c.append(Contender("pigz -d", lambda d: ["sh", "-c", 'pigz -d -c "$0" > "$1"', peer["gz"],
                                                 os.path.join(d, name)], prepare=lambda d: os.makedirs(d)))
    return c


def clear(path):
    if os.path.isdir(path):
        # Read-only entries come back without write permission; give it back.
        subprocess.run(["chmod", "-R", "u+rwX", path], check=False)
        shutil.rmtree(path)
    elif os.path.exists(path):
        os.remove(path)
