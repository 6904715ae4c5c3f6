"""One run of a self-extractor in a folder of its own, with the checks every
hostile run shares: no crash, no hang, nothing written beside the
destination, and the recorded command only after a good extraction."""
import os
import shutil
import stat
import subprocess
import zlib

RUN_TIMEOUT = 60
USAGE_FIRST_LINE = "usage: QPK2EXE [options] {QPK file} [EXE file]"


def make_writable(root):
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            p = os.path.join(folder, name)
            if not os.path.islink(p):
                os.chmod(p, os.stat(p).st_mode | stat.S_IWUSR | stat.S_IXUSR * stat.S_ISDIR(os.stat(p).st_mode))


def remove_tree(root):
    if os.path.lexists(root):
        make_writable(root)
        shutil.rmtree(root)



def threads_for(name):
    """Half the cases extract on four threads and half on one, the same half in
    every checkout: a hostile archive must meet the same checks either way."""
    return "4" if zlib.crc32(name.encode()) % 2 else "1"

class Platform:
    """The program under test and how to start it here."""

    def __init__(self, name, program=None, qpk=None, wine_run=None, prefix=None):
        self.name = name
        self.program = program
        self.qpk = qpk
        self.wine_run = wine_run
        self.prefix = prefix

    @property
    def win32(self):
        return self.name == "win32"

    def native_path(self, path):
        return "Z:" + path.replace("/", "\\") if self.win32 else path

    def marker_command(self):
        """Writes the file named by $MARKER and ignores appended words."""
        return "cmd /c echo ran> %MARKER%" if self.win32 else 'touch "$MARKER" #'

    def command(self, exe, words):
        command = [exe] + list(words)
        return [self.wine_run, self.prefix] + command if self.win32 else command


class Run:
    """A folder holding the self-extractor, the destination's parent (box),
    a temporary folder and a key store; the marker lies beside them."""

    def __init__(self, platform, root):
        self.platform = platform
        self.root = root
        remove_tree(root)
        for folder in ("box", "tmp", "state"):
            os.makedirs(os.path.join(root, folder))
        self.exe = os.path.join(root, "sfx.exe")
        self.dest = os.path.join(root, "box", "dest")
        self.marker = os.path.join(root, "marker")
        self.env = dict(os.environ)
        self.env.update(XDG_STATE_HOME=os.path.join(root, "state"), QORLOG32_FILE=root + ".qorlog32.log",
                        MARKER=platform.native_path(self.marker))
        # Under Wine the temporary folder is the prefix's; TMPDIR is Wine's own.
        if not platform.win32:
            self.env["TMPDIR"] = os.path.join(root, "tmp")
        self.env.pop("DISPLAY", None)
        self.env["QPK2EXE_THREADS"] = threads_for(os.path.join(*root.split(os.sep)[-2:]))

    def write_exe(self, data):
        with open(self.exe, "wb") as f:
            f.write(data)
        os.chmod(self.exe, 0o755)

    def snapshot(self, skip=()):
        """Everything in the run folder but the destination and the marker."""
        skipped = {self.dest, self.marker} | set(skip)
        seen = {}
        for folder, dirs, files in os.walk(self.root):
            dirs[:] = [d for d in dirs if os.path.join(folder, d) not in skipped]
            for name in dirs + files:
                p = os.path.join(folder, name)
                if p in skipped:
                    continue
                info = os.lstat(p)
                # A folder's own size and time follow its children, which are
                # compared one by one.
                folder_entry = stat.S_ISDIR(info.st_mode)
                seen[os.path.relpath(p, self.root)] = (stat.S_IFMT(info.st_mode), stat.S_IMODE(info.st_mode),
                                                       None if folder_entry else info.st_size,
                                                       None if folder_entry else info.st_mtime_ns)
        return seen

    def start(self, words, cwd=None, exe=None):
        """Starts the self-extractor without waiting (for runs side by side)."""
        return subprocess.Popen(self.platform.command(exe or self.exe, words), cwd=cwd or self.root, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                start_new_session=True)

    def run(self, words, cwd=None, skip=()):
        """Runs it; (exit status, stderr). A crash, a signal or a hang fails."""
        before = self.snapshot(skip)
        process = self.start(words, cwd)
        try:
            _, err = process.communicate(timeout=RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, 9)
            process.communicate()
            raise AssertionError("the self-extractor must end by itself (no hang), still running after %ds"
                                 % RUN_TIMEOUT)
        err = err.decode(errors="replace")
        status = process.returncode
        assert status in (0, 255), \
            "the exit status must be 0 or -1 (255), got %d (a negative value is a signal): %s" % (status, err[-2000:])
        after = self.snapshot(skip)
        changed = sorted(set(before.items()) ^ set(after.items()))
        assert not changed, "nothing may change outside the destination, changed: %s" % changed[:10]
        return status, err

    def qpk_test(self, path):
        """`qpk test` of a file in the run folder; (exit status, its text)."""
        relative = os.path.relpath(path, self.root)
        done = subprocess.run(self.platform.command(self.platform.qpk, ["test", relative]), cwd=self.root,
                              env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              start_new_session=True, timeout=RUN_TIMEOUT)
        text = (done.stdout + done.stderr).decode(errors="replace")
        assert done.returncode in (0, 1), "qpk test ends with 0 or 1, got %d: %s" % (done.returncode, text[-2000:])
        return done.returncode, text

    def ran_command(self):
        return os.path.exists(self.marker)

    def dest_files(self):
        """{relative path with "/": bytes} of the files in the destination."""
        found = {}
        for folder, _, files in os.walk(self.dest):
            for name in files:
                p = os.path.join(folder, name)
                with open(p, "rb") as f:
                    found[os.path.relpath(p, self.dest).replace(os.sep, "/")] = f.read()
        return found
