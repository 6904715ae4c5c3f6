"""The sandbox of a whole-process case: the builder, qpk and the
self-extractors they make run in it, and what a run leaves behind (clean-up
keys, temporary folders); with the payload the cases share."""
import calendar
import glob
import os
import subprocess

from support.sandbox import Platform, Sandbox

USAGE_FIRST_LINE = "usage: QPK2EXE [options] {QPK file} [EXE file]"
# A fixed, even-second UTC time for payload files: the archive keeps times in
# 2-second steps and the extractor sets them without a time-zone step.
PAYLOAD_TIME = calendar.timegm((2020, 5, 17, 10, 20, 30))
SAMPLE = {"readme.txt": b"read me\n", "docs/guide.txt": b"a guide\n", "data/table.bin": bytes(range(256)) * 3}


def case_name(node):
    """The case's name without "test_", with its parameter: the sandbox folder
    and the screenshots are named after it."""
    name = node.originalname[len("test_"):]
    callspec = getattr(node, "callspec", None)
    return name + "_" + callspec.id if callspec else name


class Session(Sandbox):
    """One case's sandbox in <work>/<name> and the programs under test."""

    def __init__(self, build, name):
        super().__init__(Platform.of(build), os.path.join(build.work, name), name)
        self.program = build.program
        self.qpk = build.qpk
        self.wine_run = build.wine_run
        self.prefix = build.prefix
        # Under Wine the temporary folder and the registry are the prefix's,
        # shared by every test: only what appears during this test counts.
        self.baseline_dirs, self.baseline_keys = set(), set()
        self.baseline_dirs, self.baseline_keys = set(self.temporary_dirs()), set(self.cleanup_keys())

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


def read(path):
    with open(path, "rb") as f:
        return f.read()


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
