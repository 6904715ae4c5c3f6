"""The sandbox of a whole-process test: a scratch folder, the programs under
test run in it natively or under Wine, and what a run leaves behind (clean-up
keys, temporary folders); with the self-extractor's layout and the payload
the cases share."""
import calendar
import glob
import os
import shutil
import stat
import struct
import subprocess
import zlib

OPTION_SIGNATURE = b"QOR SE ARCHIVE FORMAT 2.0"
ARCHIVE_SIGNATURE = b"QOR ARCHIVE FORMAT 2.0"
BLOCK_SIZE = 324
SEF_USE_PATHS, SEF_SILENT, SEF_QUIET, SEF_AUTO_YES, SEF_AUTO_NO = 0x1, 0x2, 0x4, 0x8, 0x10
SEF_DELETE_AFTER, SEF_NO_SPLASH, SEF_NO_STATUS, SEF_FORCE_DELETE_PROMPT = 0x20, 0x40, 0x80, 0x100
USAGE_FIRST_LINE = "usage: QPK2EXE [options] {QPK file} [EXE file]"
# A fixed, even-second UTC time for payload files: the archive keeps times in
# 2-second steps and the extractor sets them without a time-zone step.
PAYLOAD_TIME = calendar.timegm((2020, 5, 17, 10, 20, 30))


class Session:
    """One test's scratch folder and the programs under test."""

    def __init__(self, build, name):
        self.platform = build.platform
        self.program = build.program
        self.qpk = build.qpk
        self.wine_run = build.wine_run
        self.prefix = build.prefix
        self.root = os.path.join(build.work, name)
        if os.path.exists(self.root):
            make_writable(self.root)
            shutil.rmtree(self.root)
        os.makedirs(self.root)
        self.env = dict(os.environ)
        self.env["XDG_STATE_HOME"] = self.path("state")
        self.env["TMPDIR"] = self.path("tmp")
        os.makedirs(self.path("tmp"))
        # The optional log library, built beside the program, would otherwise
        # write into the folders the tests watch.
        self.env["QORLOG32_FILE"] = self.root + ".qorlog32.log"
        # Half the sessions extract on four threads and half on one (Windows
        # keeps one whatever is asked), the same half in every checkout.
        self.env["QPK2EXE_THREADS"] = "4" if zlib.crc32(name.encode()) % 2 else "1"
        # Natively no display means no terminal questions either. Wine keeps
        # the display its server started with, so a Windows run keeps it.
        if self.platform != "win32":
            self.env.pop("DISPLAY", None)
        # Under Wine the temporary folder and the registry are the prefix's,
        # shared by every test: only what appears during this test counts.
        self.baseline_dirs, self.baseline_keys = set(), set()
        self.baseline_dirs, self.baseline_keys = set(self.temporary_dirs()), set(self.cleanup_keys())

    @property
    def win32(self):
        return self.platform == "win32"

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def run(self, program, words, cwd=None, env=None):
        command = [program] + list(words)
        if self.win32:
            command = [self.wine_run, self.prefix] + command
        # A new session has no controlling terminal: questions are answered No.
        done = subprocess.run(command, cwd=cwd or self.root, env=env or self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, start_new_session=True,
                              timeout=120)
        return done.returncode, done.stdout.decode(errors="replace"), done.stderr.decode(errors="replace")

    def native_path(self, path):
        """A path as the program under test writes it."""
        return "Z:" + path.replace("/", "\\") if self.win32 else path

    def builder(self, *words, cwd=None):
        return self.run(self.program, words, cwd)

    def make_archive(self, archive, folder, store=False):
        words = ["create"] + (["--store"] if store else []) + [os.path.abspath(archive) if not self.win32
                                                               else os.path.relpath(archive, folder), "."]
        status, out, err = self.run(self.qpk, words, cwd=folder)
        assert status == 0, "qpk create should succeed: %s%s" % (out, err)

    def payload(self, files, name="payload"):
        """Writes {relative name: bytes} below a folder, with the fixed time."""
        folder = self.path(name)
        for relative, data in files.items():
            target = os.path.join(folder, *relative.split("/"))
            os.makedirs(os.path.dirname(target), exist_ok=True)
            with open(target, "wb") as f:
                f.write(data)
            os.utime(target, (PAYLOAD_TIME, PAYLOAD_TIME))
        return folder

    def self_extractor(self, files, options=(), name="setup"):
        """Archive of files, then a self-extractor built from it; its path."""
        folder = self.payload(files, name + "-payload")
        self.make_archive(self.path(name + ".qpk"), folder)
        status, out, err = self.builder("/nosplash", "/nostatus", *options, name + ".qpk")
        assert status == 0, "building %s should end with 0, got %d: %s" % (name, status, err)
        exe = self.path(name + ".exe")
        assert os.path.isfile(exe), "the builder should have written %s.exe: %s" % (name, err)
        return exe

    def extract(self, exe, *words, cwd=None):
        return self.run(exe, words, cwd)

    # The clean-up keys left in the key store (registry or state folder).
    def cleanup_keys(self):
        return [key for key in self.all_cleanup_keys() if key not in self.baseline_keys]

    def all_cleanup_keys(self):
        if self.win32:
            done = subprocess.run([self.wine_run, self.prefix, "reg", "query", "HKLM\\Software\\QOR\\QPK2EXE"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=self.env)
            keys = [line for line in done.stdout.decode(errors="replace").splitlines() if "QPK2EXE\\" in line]
            done = subprocess.run([self.wine_run, self.prefix, "reg", "query", "HKCU\\Software\\QOR\\QPK2EXE"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=self.env)
            return keys + [line for line in done.stdout.decode(errors="replace").splitlines()
                           if "QPK2EXE\\" in line]
        folder = self.path("state", "qpk2exe", "Software", "QOR", "QPK2EXE")
        return os.listdir(folder) if os.path.isdir(folder) else []

    # Fresh temporary directories ("QOR" names) left by self-extractors.
    def temporary_dirs(self):
        return [p for p in self.all_temporary_dirs() if p not in self.baseline_dirs]

    def all_temporary_dirs(self):
        if self.win32:
            pattern = os.path.join(self.prefix, "drive_c", "users", "*", "**", "Temp", "QOR*")
            return [p for p in glob.glob(pattern, recursive=True) if os.path.isdir(p)]
        return [p for p in glob.glob(self.path("tmp", "QOR*"))]


def make_writable(root):
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            p = os.path.join(folder, name)
            if not os.path.islink(p):
                os.chmod(p, os.stat(p).st_mode | stat.S_IWUSR)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def layout(exe):
    """(stub, option block, archive, trailer offset) of a self-extractor."""
    data = read(exe)
    offset = struct.unpack("<I", data[-4:])[0]
    return data[:offset - BLOCK_SIZE], data[offset - BLOCK_SIZE:offset], data[offset:-4], offset


def block_fields(block):
    text = lambda raw: raw.split(b"\0")[0].decode()
    return {"signature": block[:32], "flags": struct.unpack("<I", block[32:36])[0], "command": text(block[36:164]),
            "name": text(block[164:196]), "destination": text(block[196:324])}


SAMPLE = {"readme.txt": b"read me\n", "docs/guide.txt": b"a guide\n", "data/table.bin": bytes(range(256)) * 3}


def recorder(s):
    """A script that writes its working directory and arguments to a file
    outside the destination."""
    if s.win32:
        return {"rec.cmd": b"@echo off\r\ncd > %RECORD%\r\necho %*>> %RECORD%\r\n"}
    return {"rec.sh": b'#!/bin/sh\npwd > "$RECORD"\necho "$*" >> "$RECORD"\nls >> "$RECORD"\n'}


def recorded(s):
    path = s.path("record.txt")
    if not os.path.exists(path):
        return None
    return read(path).decode(errors="replace").replace("\r", "").splitlines()


def recorder_command(s):
    return "cmd /c $(Destination)\\rec.cmd" if s.win32 else "sh $(Destination)/rec.sh"
