"""One run of a self-extractor in a sandbox of its own, with the checks every
hostile run shares: no crash, no hang, nothing written beside the
destination, and the recorded command only after a good extraction."""
import os
import stat
import subprocess

from support.sandbox import Sandbox

RUN_TIMEOUT = 60


class Run(Sandbox):
    """A folder holding the self-extractor, the destination's parent (box),
    a temporary folder and a key store; the marker lies beside them."""

    def __init__(self, platform, root):
        super().__init__(platform, root, os.path.join(*root.split(os.sep)[-2:]))
        for folder in ("box", "state"):
            os.makedirs(self.path(folder))
        self.exe = self.path("sfx.exe")
        self.dest = self.path("box", "dest")
        self.marker = self.path("marker")
        self.env["MARKER"] = platform.native_path(self.marker)

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

    def extract(self, words, cwd=None, skip=()):
        """Runs the self-extractor; (exit status, stderr). A crash, a signal
        or a hang fails."""
        before = self.snapshot(skip)
        process = self.start(self.exe, words, cwd)
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
        status, out, err = self.run(self.platform.qpk, ["test", os.path.relpath(path, self.root)],
                                    timeout=RUN_TIMEOUT)
        text = out + err
        assert status in (0, 1), "qpk test ends with 0 or 1, got %d: %s" % (status, text[-2000:])
        return status, text

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
