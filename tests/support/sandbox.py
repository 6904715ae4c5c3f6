"""Where a whole-process test runs the programs under test: a folder of its
own with a temporary folder and a key store, started natively or under
Wine, and removed however its cases left it."""
import os
import shutil
import stat
import subprocess
import zlib


def remove_tree(root):
    """Removes root, whose cases may have left folders that cannot be listed
    or written and files that cannot be written."""
    if not os.path.isdir(root):
        return
    os.chmod(root, stat.S_IRWXU)
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            if not os.path.islink(path):
                os.chmod(path, stat.S_IMODE(os.stat(path).st_mode) | stat.S_IWUSR |
                         (stat.S_IRWXU if name in dirs else 0))
    shutil.rmtree(root)


def threads_for(name):
    """Half the cases extract on four threads and half on one (Windows keeps
    one whatever is asked), the same half in every checkout."""
    return "4" if zlib.crc32(name.encode()) % 2 else "1"


class Platform:
    """The programs under test and how to start them here."""

    def __init__(self, name, program=None, qpk=None, wine_run=None, prefix=None):
        self.name = name
        self.program = program
        self.qpk = qpk
        self.wine_run = wine_run
        self.prefix = prefix

    @classmethod
    def of(cls, build):
        return cls(build.platform, build.program, build.qpk, build.wine_run, build.prefix)

    @property
    def win32(self):
        return self.name == "win32"

    def native_path(self, path):
        """A path as the program under test writes it."""
        return "Z:" + path.replace("/", "\\") if self.win32 else path

    def marker_command(self):
        """Writes the file named by $MARKER and ignores appended words."""
        return "cmd /c echo ran> %MARKER%" if self.win32 else 'touch "$MARKER" #'

    def command(self, program, words):
        command = [program] + list(words)
        return [self.wine_run, self.prefix] + command if self.win32 else command


class Sandbox:
    """A fresh folder, root, holding tmp/ and, once a run records a key, the
    key store in state/; the log file lies beside it. env is what the programs
    run with; name picks their extraction threads."""

    def __init__(self, platform, root, name):
        self.platform = platform
        self.root = root
        remove_tree(root)
        os.makedirs(self.path("tmp"))
        self.env = dict(os.environ)
        # The optional log library, built beside the program, would otherwise
        # write into the folders the tests watch.
        self.env.update(XDG_STATE_HOME=self.path("state"), QORLOG32_FILE=root + ".qorlog32.log",
                        QPK2EXE_THREADS=threads_for(name))
        # Under Wine the temporary folder is the prefix's; TMPDIR is Wine's own.
        if not platform.win32:
            self.env["TMPDIR"] = self.path("tmp")
        # Natively no display means no terminal questions either.
        self.env.pop("DISPLAY", None)

    @property
    def win32(self):
        return self.platform.win32

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def native_path(self, path):
        return self.platform.native_path(path)

    def start(self, program, words, cwd=None, env=None):
        """Starts program without waiting. A new session has no controlling
        terminal: questions are answered No."""
        return subprocess.Popen(self.platform.command(program, words), cwd=cwd or self.root, env=env or self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                start_new_session=True)

    def run(self, program, words, cwd=None, env=None, timeout=120):
        """(exit status, standard output, standard error) of program."""
        done = subprocess.run(self.platform.command(program, words), cwd=cwd or self.root, env=env or self.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              start_new_session=True, timeout=timeout)
        return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")
