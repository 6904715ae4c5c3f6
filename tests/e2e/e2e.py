#!/usr/bin/env python3
"""Whole-process tests: real archives made by qpk, real self-extractors made
by the builder, run as a user would run them, on Linux or under Wine.

Usage: e2e.py --list PLATFORM
       e2e.py --case NAME --program P --qpk Q --work DIR --platform posix|win32
              [--wine-run SCRIPT --prefix PREFIX]
"""
import argparse
import calendar
import glob
import os
import shutil
import stat
import struct
import subprocess
import sys

OPTION_SIGNATURE = b"QOR SE ARCHIVE FORMAT 2.0"
ARCHIVE_SIGNATURE = b"QOR ARCHIVE FORMAT 2.0"
BLOCK_SIZE = 324
SEF_USE_PATHS, SEF_SILENT, SEF_QUIET, SEF_AUTO_YES, SEF_AUTO_NO = 0x1, 0x2, 0x4, 0x8, 0x10
SEF_DELETE_AFTER, SEF_NO_SPLASH, SEF_NO_STATUS, SEF_FORCE_DELETE_PROMPT = 0x20, 0x40, 0x80, 0x100
USAGE_FIRST_LINE = "usage: QPK2EXE [options] {QPK file} [EXE file]"
# A fixed, even-second UTC time for payload files: the archive keeps times in
# 2-second steps and the extractor sets them without a time-zone step.
PAYLOAD_TIME = calendar.timegm((2020, 5, 17, 10, 20, 30))


class Failure(Exception):
    pass


class Skip(Exception):
    """The case cannot run here; the reason says why."""


def check(condition, message):
    if not condition:
        raise Failure(message)


class Session:
    """One test's scratch folder and the programs under test."""

    def __init__(self, args, name):
        self.platform = args.platform
        self.program = os.path.abspath(args.program)
        self.qpk = os.path.abspath(args.qpk)
        self.wine_run = args.wine_run
        self.prefix = args.prefix
        self.root = os.path.join(os.path.abspath(args.work), name)
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
        check(status == 0, "qpk create should succeed: %s%s" % (out, err))

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
        check(status == 0, "building %s should end with 0, got %d: %s" % (name, status, err))
        exe = self.path(name + ".exe")
        check(os.path.isfile(exe), "the builder should have written %s.exe: %s" % (name, err))
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

CASES = {}


def case(*platforms):
    def register(function):
        CASES[function.__name__] = (function, platforms)
        return function
    return register


# ---------------------------------------------------------------- builder

@case("posix")
def usage_text(s):
    """The usage text is the builder's answer to no words or three words, and
    the builder is never silent: /q1 only goes into an option block. Asked
    for (no file named, or a help word) it ends with 0; after three words
    with -1."""
    for words, expected in (([], 0), (["/q1"], 0), (["--help"], 0), (["-h"], 0), (["-?"], 0), (["/?"], 0),
                            (["a.qpk", "b.exe", "c"], 255)):
        status, _, err = s.builder("/nosplash", *words)
        check(status == expected, "usage %s should exit %d, got %d" % (words, expected, status))
        check(USAGE_FIRST_LINE in err, "usage %s should go to standard error, got %r" % (words, err))
        check("/destinationdirectory {path}\tForces extraction to the specified directory" in err,
              "the usage text should be whole: %r" % err)
    check(sorted(os.listdir(s.root)) == ["tmp"], "usage must not write any file: %s" % os.listdir(s.root))


@case("posix")
def option_errors(s):
    long_word = "x" * 300
    table = [(["/nopath", "/nopath", "a"], "ERROR: Option already set"),
             (["/y", "-y", "a"], "ERROR: Option already set"),
             (["-NOPATH", "a"], "ERROR: Invalid option"),
             (["a", "/e"], "ERROR: Option missing parameter"),
             (["/name", "/nostatus", "a"], "ERROR: Option missing parameter"),
             (["w"] * 16, "ERROR: Too many words on the command line"),
             ([long_word], "ERROR: Word too long"),
             (["/e", long_word, "a"], "ERROR: Word too long")]
    for words, message in table:
        status, _, err = s.builder("/nosplash", *words)
        check(status == 255, "option error %s should exit -1, got %d" % (words[:3], status))
        check(message in err, "%s should report %r, got %r" % (words[:3], message, err))
    check(sorted(os.listdir(s.root)) == ["tmp"], "an option error must not write any file")
    status, _, err = s.builder("/nosplash", *(["w"] * 14))
    check("Too many words" not in err and USAGE_FIRST_LINE in err,
          "15 words fit the argument vector (then too many positional words: usage), got %r" % err)


@case("posix", "win32")
def output_naming(s):
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.QPK"), folder)
    if not os.path.exists(s.path("data.qpk")):
        shutil.copy(s.path("data.QPK"), s.path("data.qpk"))
    os.makedirs(s.path("out"))
    table = [(["data"], "data.exe"), (["data.qpk", os.path.join("out", "setup")], os.path.join("out", "setup.exe")),
             (["data.qpk", "setup.bin"], "setup.exe")]
    for words, expected in table:
        status, _, err = s.builder("/nosplash", "/nostatus", *words)
        check(status == 0, "%s should build with exit 0: %s" % (words, err))
        check(os.path.isfile(s.path(expected)), "%s should give %s, got %s" % (words, expected, os.listdir(s.root)))
        stub, block, archive, offset = layout(s.path(expected))
        check(stub == read(s.program), "the stub must be the builder byte for byte")
        check(offset == len(stub) + BLOCK_SIZE, "the trailer must hold the stub's length plus 324")
        check(archive == read(s.path("data.qpk")), "the archive must be appended byte for byte")
        check(block_fields(block)["flags"] == SEF_USE_PATHS | SEF_NO_STATUS,
              "only /nostatus was given: flags 0x081, got 0x%x" % block_fields(block)["flags"])
    if not s.win32:
        check(os.access(s.path("data.exe"), os.X_OK), "a self-extractor built on POSIX must stay executable")


@case("posix", "win32")
def option_block(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/y", "/nopath", "/deleteafter", "/forcedeleteprompt",
                                    "/nosplashonextract", "/e", "$(Destination)\\setup.exe /s", "/name", "Demo",
                                    "/destinationdirectory", "target dir"])
    fields = block_fields(layout(exe)[1])
    check(fields["signature"] == OPTION_SIGNATURE + b"\0" * 7, "the block must be signed and zero-padded")
    expected = SEF_SILENT | SEF_AUTO_YES | SEF_DELETE_AFTER | SEF_FORCE_DELETE_PROMPT | SEF_NO_SPLASH | SEF_NO_STATUS
    check(fields["flags"] == expected, "flags should be 0x%x, got 0x%x" % (expected, fields["flags"]))
    check((fields["command"], fields["name"], fields["destination"]) ==
          ("$(Destination)\\setup.exe /s", "Demo", "target dir"), "the block's texts: %s" % fields)


@case("posix")
def missing_archive(s):
    status, _, err = s.builder("/nosplash", "absent.qpk")
    check(status == 255, "a missing archive is a build error with exit -1, got %d" % status)
    check("absent.qpk" in err, "the build should name the file it cannot open: %r" % err)
    check(sorted(os.listdir(s.root)) == ["tmp"], "nothing may be written: %s" % os.listdir(s.root))


@case("posix")
def overwrite_refused(s):
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.qpk"), folder)
    with open(s.path("data.exe"), "wb") as f:
        f.write(b"precious")
    status, _, err = s.builder("/nosplash", "/y", "data.qpk")
    check(status == 255, "a refused overwrite ends with -1, got %d" % status)
    check(read(s.path("data.exe")) == b"precious", "without a Yes the existing output must stay untouched")
    if s.win32:  # a window flow: the question is a box, answered No
        check("data.exe already exists.  Overwrite?" in err, "the builder asks before it replaces: %r" % err)
    else:
        check("data.exe exists; not overwritten: no terminal to ask" in err,
              "with no terminal to ask, the builder says why it left the output: %r" % err)


# ------------------------------------------------------------- extraction

@case("posix", "win32")
def silent_extraction(s):
    files = dict(SAMPLE)
    files["locked.txt"] = b"read only\n"
    folder = s.payload(files)
    os.chmod(os.path.join(folder, "locked.txt"), 0o444)
    s.make_archive(s.path("setup.qpk"), folder)
    status, _, err = s.builder("/nosplash", "/nostatus", "/q1", "setup.qpk")
    check(status == 0, "build: %s" % err)
    status, _, err = s.extract(s.path("setup.exe"), "dest")
    check(status == 0, "a silent extraction should end with 0, got %d: %s" % (status, err))
    for name, data in files.items():
        target = s.path("dest", *name.split("/"))
        check(os.path.isfile(target) and read(target) == data, "%s should be extracted whole" % name)
        check(int(os.stat(target).st_mtime) == PAYLOAD_TIME, "%s should keep its time (UTC)" % name)
    check(not os.stat(s.path("dest", "locked.txt")).st_mode & 0o222, "a read-only entry stays read-only")
    check(os.stat(s.path("dest", "readme.txt")).st_mode & stat.S_IWUSR, "other entries stay writable")
    check(err.strip() == "", "a silent self-extractor writes nothing: %r" % err)


@case("posix", "win32")
def stored_destination_wins(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/destinationdirectory", "stored"])
    status, _, err = s.extract(exe, "positional")
    check(status == 0, "extraction: %d %s" % (status, err))
    check(os.path.isfile(s.path("stored", "readme.txt")), "the stored destination must win")
    check(not os.path.exists(s.path("positional")), "the positional word must not be used")
    check(os.path.isfile(s.path("stored", "data", "table.bin")), "a stored destination turns deleting off")
    check(s.cleanup_keys() == [], "no clean-up key without deleting: %s" % s.cleanup_keys())


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


@case("posix", "win32")
def destination_expansion(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q1", "/e", recorder_command(s)])
    s.env["RECORD"] = s.native_path(s.path("record.txt"))
    os.makedirs(s.path("dest"))
    status, _, err = s.extract(exe, "dest", "/q1", "abc")
    check(status == 0, "extraction with a command: %d %s" % (status, err))
    lines = recorded(s)
    check(lines is not None, "the command should have run")
    check(lines[0].rstrip("\\").endswith("dest"), "the command runs in the destination, got %r" % lines[0])
    check(lines[1].split() == ["dest", "/q1", "abc"], "every word is appended, got %r" % lines[1])
    check(os.path.isfile(s.path("dest", "readme.txt")), "a positional destination keeps the files")


@case("posix")
def start_opens_one_file(s):
    bin_dir = s.path("bin")
    os.makedirs(bin_dir)
    with open(os.path.join(bin_dir, "xdg-open"), "w") as f:
        f.write('#!/bin/sh\nprintf "%s\\n" "$@" > "$RECORD"\n')
    os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)
    s.env["PATH"] = bin_dir + os.pathsep + s.env["PATH"]
    s.env["RECORD"] = s.path("record.txt")
    exe = s.self_extractor(SAMPLE, ["/q1", "/e", "StArT $(Destination)/readme.txt dropped words"])
    status, _, err = s.extract(exe, "dest", "more")
    check(status == 0, "start should open the file: %d %s" % (status, err))
    check(recorded(s) == [s.path("dest", "readme.txt")],
          "only the word after start is opened, got %r" % recorded(s))


@case("posix", "win32")
def failed_launch(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/e", "start"])
    status, _, err = s.extract(exe)
    check(status == 255, "a failed launch ends with -1, got %d" % status)
    check(s.temporary_dirs() == [], "a failed launch still deletes what was extracted: %s" % s.temporary_dirs())
    check(s.cleanup_keys() == [], "and its clean-up key: %s" % s.cleanup_keys())


@case("posix", "win32")
def delete_after_without_command(s):
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter"])
    status, _, err = s.extract(exe)
    check(status == 0, "extraction: %d %s" % (status, err))
    check(s.temporary_dirs() == [], "everything extracted must be gone: %s" % s.temporary_dirs())
    check(s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys())


@case("posix", "win32")
def delete_after_command(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q1", "/deleteafter", "/e", recorder_command(s)])
    s.env["RECORD"] = s.native_path(s.path("record.txt"))
    status, _, err = s.extract(exe)
    check(status == 0, "extraction: %d %s" % (status, err))
    lines = recorded(s)
    check(lines is not None, "the command should have run before the clean-up")
    check(s.temporary_dirs() == [], "after the command ended everything must be gone: %s" % s.temporary_dirs())
    check(s.cleanup_keys() == [], "no clean-up key may be left: %s" % s.cleanup_keys())


@case("posix")
def unrecorded_file_keeps_folder(s):
    files = dict(SAMPLE, **{"make.sh": b"#!/bin/sh\necho mine > extra.txt\n"})
    exe = s.self_extractor(files, ["/q1", "/deleteafter", "/e", "sh $(Destination)/make.sh"])
    status, _, err = s.extract(exe)
    check(status == 0, "extraction: %d %s" % (status, err))
    left = s.temporary_dirs()
    check(len(left) == 1, "the folder holding an unrecorded file stays: %s" % left)
    check(sorted(os.listdir(left[0])) == ["extra.txt"], "only the launched program's file stays: %s"
          % os.listdir(left[0]))
    check(s.cleanup_keys() == [], "the key goes all the same")


# ---------------------------------------------------------- mended faults

@case("posix")
def damaged_option_block(s):
    files = dict(SAMPLE, **{"boom.sh": b"#!/bin/sh\ntouch \"$RECORD\"\n"})
    exe = s.self_extractor(files, ["/q1", "/e", "sh $(Destination)/boom.sh"])
    data = bytearray(read(exe))
    offset = struct.unpack("<I", data[-4:])[0]
    data[offset - BLOCK_SIZE] ^= 0xFF
    with open(exe, "wb") as f:
        f.write(data)
    s.env["RECORD"] = s.path("record.txt")
    status, _, err = s.extract(exe, "dest")
    check(status == 255, "a damaged option block must stop the run with -1, got %d" % status)
    check("Damaged self-extractor" in err, "and say why: %r" % err)
    check(not os.path.exists(s.path("dest")), "nothing may be extracted")
    check(recorded(s) is None, "the block's command must not run")


@case("posix")
def unterminated_block_fields(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q1", "/e", "x", "/name", "n"])
    data = bytearray(read(exe))
    offset = struct.unpack("<I", data[-4:])[0]
    block = offset - BLOCK_SIZE
    command = b"sh rec.sh".ljust(128, b" ")  # fills the field: no terminating zero
    data[block + 36:block + 164] = command
    data[block + 164:block + 196] = b"N" * 32
    with open(exe, "wb") as f:
        f.write(data)
    s.env["RECORD"] = s.path("record.txt")
    os.makedirs(s.path("dest"))
    status, _, err = s.extract(exe, "dest")
    check(status == 0, "extraction: %d %s" % (status, err))
    lines = recorded(s)
    check(lines is not None and lines[1] == "dest",
          "the command must end at its field; the next field is not part of it: %r" % lines)


@case("posix")
def command_too_long(s):
    files = dict(SAMPLE, **recorder(s))
    exe = s.self_extractor(files, ["/q2", "/e", "sh $(Destination)/rec.sh " + "a" * 90])
    s.env["RECORD"] = s.path("record.txt")
    status, _, err = s.extract(exe, "dest", "b" * 80, "c" * 80)
    check(status == 255, "a command line over 255 characters is refused with -1, got %d" % status)
    check("Unable to open launch" in err, "the refusal names the launch: %r" % err)
    check(recorded(s) is None, "nothing of a cut command may run")
    check(os.path.isfile(s.path("dest", "readme.txt")), "the extracted files stay")


@case("posix")
def self_extractor_word_limits(s):
    exe = s.self_extractor(SAMPLE, ["/q1"])
    status, _, err = s.extract(exe, *(["w"] * 16))
    check(status == 255 and "ERROR: Too many words on the command line" in err,
          "16 words are refused with a message and exit -1: %d %r" % (status, err))
    check(not os.path.exists(s.path("w")), "nothing is extracted after a refused command line")
    status, _, err = s.extract(exe, *(["w"] * 15))
    check(status == 0 and os.path.isfile(s.path("w", "readme.txt")), "15 words are accepted: %r" % err)


@case("posix")
def recorded_key_values(s):
    """While extracting, one value per created directory and file, named by
    the count at the time; the launched command sees them."""
    files = {"a/x.txt": b"x", "a/y.txt": b"y",
             "show.sh": b'#!/bin/sh\nfor v in "$STATE"/*/*; do echo "$(basename "$v")=$(tr -d \'\\000\' < "$v")"; '
                        b'done > "$RECORD"\n'}
    exe = s.self_extractor(files, ["/q1", "/deleteafter", "/e", "sh $(Destination)/show.sh"])
    s.env["RECORD"] = s.path("record.txt")
    s.env["STATE"] = s.path("state", "qpk2exe", "Software", "QOR", "QPK2EXE")
    status, _, err = s.extract(exe)
    check(status == 0, "extraction: %d %s" % (status, err))
    values = dict(line.split("=", 1) for line in recorded(s))
    folder = os.path.dirname(values["0"])
    check(os.path.basename(values["0"]) == "a", "value 0 is the directory a: %s" % values)
    check(values.get("1") == os.path.join(folder, "a", "x.txt") and values.get("2") == os.path.join(folder, "a", "y.txt"),
          "values 1 and 2 are the files in order: %s" % values)
    check(s.temporary_dirs() == [] and s.cleanup_keys() == [], "all deleted afterwards")


@case("posix")
def linux_words(s):
    """A "/" word that only looks like an option is refused, not written to
    the root folder; "data" finds data.qpk; the debug prints go to standard
    error only when QPK2EXE_DEBUG asks for them."""
    for words in (["/NOPATH", "x"], ["//nopath", "x"], ["/nopath:", "x"], ["/"], ["/no-such-option"]):
        status, _, err = s.builder("/nosplash", *words)
        check(status == 255 and "ERROR: Invalid option" in err, "%s is an invalid option: %d %r" % (words, status, err))
    folder = s.payload(SAMPLE)
    s.make_archive(s.path("data.qpk"), folder)
    status, _, err = s.builder("/nosplash", "/q1", "/deleteafter", "data")
    check(status == 0 and os.path.isfile(s.path("data.exe")), "data finds data.qpk: %d %r" % (status, err))
    status, _, err = s.extract(s.path("data.exe"))
    check(status == 0 and "Delete:" not in err, "no debug prints unless asked for: %r" % err)
    s.env["QPK2EXE_DEBUG"] = "1"
    status, _, err = s.extract(s.path("data.exe"))
    check(status == 0 and "Delete: [" in err, "QPK2EXE_DEBUG sends the debug prints to standard error: %r" % err)


# The failing runs live in a module of their own; it registers its cases in
# this table (run as a script, this file is the e2e module it imports).
sys.modules.setdefault("e2e", sys.modules[__name__])
import failures  # noqa: E402,F401


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--list")
    parser.add_argument("--case")
    parser.add_argument("--program")
    parser.add_argument("--qpk")
    parser.add_argument("--work")
    parser.add_argument("--platform", default="posix")
    parser.add_argument("--wine-run")
    parser.add_argument("--prefix")
    args = parser.parse_args()
    if args.list:
        print(";".join(name for name, (_, platforms) in CASES.items() if args.list in platforms))
        return 0
    function, _ = CASES[args.case]
    session = Session(args, args.case)
    try:
        function(session)
    except Failure as failure:
        print("FAILED %s: %s" % (args.case, failure))
        return 1
    except Skip as reason:
        print("skipped %s: %s" % (args.case, reason))
        return 77
    print("passed %s" % args.case)
    make_writable(session.root)
    shutil.rmtree(session.root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
