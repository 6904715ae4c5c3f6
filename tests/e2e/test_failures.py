"""Whole-process cases of failing runs: what a failure leaves behind (nothing
half-written, no temporary folder, no clean-up key), the exit status it ends
with, a self-extractor cut short, links below the destination, signals while
a run waits, and where the log library is loaded from."""
import os
import random
import shutil
import signal
import subprocess
import time

import pytest

from support.archive_format import ARCHIVE_SIGNATURE, METHOD_DEFLATED, SIGNATURE_SIZE, entries, layout
from support.disks import small_disk
from support.session import SAMPLE, read

# A bound that only a hang reaches: the commands below sleep far longer.
HANG_BOUND = 60


def damage_last_entry(exe):
    """Spoils 32 bytes near the end of the last entry's deflated data, so its
    first blocks inflate and the last does not."""
    _, _, archive, offset = layout(exe)
    name, method, start, stored = entries(archive)[-1]
    assert method == METHOD_DEFLATED and stored > 200, "%s must be stored deflated to be damaged so" % name
    data = bytearray(read(exe))
    for at in range(offset + start + stored - 40, offset + start + stored - 8):
        data[at] ^= 0x5A
    with open(exe, "wb") as f:
        f.write(data)


def tree(folder):
    """{relative path: bytes} of every file below folder."""
    found = {}
    for parent, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(parent, name)
            found[os.path.relpath(path, folder).replace(os.sep, "/")] = read(path)
    return found


def write_files(folder, files):
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


def folder_state(folder):
    """Names in folder with the contents of its small files, the sizes of
    large ones (a sparse archive of 2 GiB is not read)."""
    state = {}
    for name in os.listdir(folder):
        path = os.path.join(folder, name)
        if os.path.isfile(path):
            state[name] = read(path) if os.path.getsize(path) < (1 << 20) else os.path.getsize(path)
        else:
            state[name] = "folder"
    return state


# A last entry of several 64000-byte blocks, deflated.
LONG_TEXT = b"".join(b"%06d: a line of the last file\n" % i for i in range(8000))


# ---------------------------------------------------------------- builder

@pytest.mark.platforms("posix")
def test_unusable_archive(s):
    """Anything but a plain archive is refused before a byte is written, with
    a message naming it: the folder stays as it was, an existing output
    included, and no temporary file is left (a missing archive: see
    missing_archive)."""
    s.self_extractor(SAMPLE, name="setup")
    with open(s.path("notes.txt"), "wb") as f:
        f.write(b"just some text, no archive\n")
    # A signed archive of nearly 2 GiB: with the program in front and the
    # block, the trailer's offset would pass 2^31-1.
    with open(s.path("huge.qpk"), "wb") as f:
        f.write(ARCHIVE_SIGNATURE.ljust(SIGNATURE_SIZE, b"\0"))
        f.truncate((1 << 31) - 4096)
    with open(s.path("kept.exe"), "wb") as f:
        f.write(b"precious")
    for word in ("notes.txt", "setup.exe", "huge.qpk"):
        before = folder_state(s.root)
        status, _, err = s.builder("/nosplash", word, "kept.exe")
        assert status == 255, "building from %s should end with -1, got %d" % (word, status)
        assert word in err, "the refusal should name %s: %r" % (word, err)
        after = folder_state(s.root)
        assert after == before, "refusing %s must leave the folder as it was: %s became %s" % (
            word, sorted(before), sorted(after))


@pytest.mark.platforms("posix")
def test_failed_build_keeps_output(s):
    """A Yes to the overwrite question, then a disk too small for the
    self-extractor: the existing output stays byte for byte and the
    temporary file goes."""
    import pexpect
    s.make_archive(s.path("data.qpk"), s.payload(SAMPLE))
    out = s.path("out")
    os.makedirs(out)
    # A disk of half the program's size holds the old output, never the new one.
    disk_kib = os.path.getsize(s.program) // 2048
    with small_disk(out, size="%dk" % disk_kib):
        with open(os.path.join(out, "data.exe"), "wb") as f:
            f.write(b"precious")
        child = pexpect.spawn(s.program, ["/nosplash", "data.qpk", os.path.join(out, "data.exe")], cwd=s.root,
                              env=s.env, timeout=HANG_BOUND)
        child.expect("Overwrite\\?")
        child.sendline("")  # Enter: Yes
        child.expect(pexpect.EOF)
        child.close()
        assert child.exitstatus == 255, "a build that runs out of space ends with -1, got %s" % child.exitstatus
        assert os.listdir(out) == ["data.exe"], "only the old output may be left: %s" % os.listdir(out)
        assert read(os.path.join(out, "data.exe")) == b"precious", "the old output must stay as it was"


# ------------------------------------------------------------- extraction

@pytest.mark.platforms("posix")
def test_cut_short(s):
    """A self-extractor that lost its last bytes carries bytes past its
    program image but no archive: damaged, whatever it holds. Cut back to the
    program image alone it is the builder again."""
    payload = dict(SAMPLE, **{"noise.bin": random.Random(7).randbytes(16384)})
    exe = s.self_extractor(payload, ["/q1", "/e", marker_command(s)])
    s.env["MARKER"] = s.native_path(s.path("marker"))
    whole = read(exe)
    stub = layout(exe)[0]
    for cut in (3, 4096):
        name = "cut%d.exe" % cut
        with open(s.path(name), "wb") as f:
            f.write(whole[:-cut])
        os.chmod(s.path(name), 0o755)
        status, _, err = s.extract(s.path(name), "dest")
        assert status == 255, "a self-extractor short of %d bytes should end with -1, got %d" % (cut, status)
        assert "Error (-8001): Damaged self-extractor" in err, "and say why: %r" % err
        assert not os.path.exists(s.path("dest")) and not os.path.exists(s.path("marker")), (
            "nothing may be extracted or run")
    with open(s.path("builder.exe"), "wb") as f:
        f.write(stub)
    os.chmod(s.path("builder.exe"), 0o755)
    status, out, err = s.extract(s.path("builder.exe"))
    shown = err if s.win32 else out  # the window flows read the Windows box as standard error
    assert status == 0 and "usage: QPK2EXE" in shown, "the program image alone is the builder: %d %r" % (status, err)


def marker_command(s):
    return "cmd /c echo ran> %MARKER%" if s.win32 else 'touch "$MARKER" #'


@pytest.mark.platforms("posix", "win32")
def test_damaged_last_entry(s):
    """The last entry's data fails while it is written: a new file is removed,
    an existing one keeps its old contents, a whole one before it is
    replaced, and a /deleteafter run leaves no folder and no key."""
    files = {"a.txt": b"new a\n", "z.txt": LONG_TEXT}
    table = [("fresh", ["/q1"], {}),
             ("existing", ["/q1", "/y"], {"a.txt": b"old a\n", "z.txt": b"old z\n"}),
             ("deleted", ["/q1", "/deleteafter"], None)]
    for name, options, existing in table:
        exe = s.self_extractor(files, options + ["/e", marker_command(s)], name=name)
        damage_last_entry(exe)
        s.env["MARKER"] = s.native_path(s.path(name + ".ran"))
        words = []
        if existing is not None:
            write_files(s.path(name + "-dest"), existing)
            words = [name + "-dest"]
        status, _, err = s.extract(exe, *words)
        assert status == 255, "%s: a failed extraction ends with -1, got %d: %s" % (name, status, err)
        assert not os.path.exists(s.path(name + ".ran")), "%s: the command must not run" % name
        if existing is None:
            assert s.temporary_dirs() == [], "%s: no temporary folder may be left: %s" % (name, s.temporary_dirs())
            assert s.cleanup_keys() == [], "%s: no clean-up key may be left: %s" % (name, s.cleanup_keys())
        else:
            expected = {"a.txt": files["a.txt"]}
            expected.update({n: d for n, d in existing.items() if n == "z.txt"})
            got = tree(s.path(name + "-dest"))
            assert got == expected, "%s: the destination should hold %s, holds %s" % (
                name, {n: d[:10] for n, d in expected.items()}, {n: d[:10] for n, d in got.items()})


@pytest.mark.platforms("posix", "win32")
def test_command_status(s):
    """A run that waits for its command (/deleteafter) ends with the
    command's own status, and still cleans up."""
    for code in (1, 7):
        command = ("cmd /c exit %d" if s.win32 else "sh -c 'exit %d'") % code
        exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/e", command], name="exit%d" % code)
        status, _, err = s.extract(exe)
        assert status == code, "the command's status %d should be the run's, got %d: %s" % (code, status, err)
        assert s.temporary_dirs() == [] and s.cleanup_keys() == [], "the run still cleans up: %s %s" % (
            s.temporary_dirs(), s.cleanup_keys())


def wine_reports_links(s, folder):
    """Whether Windows programs under this Wine see the links to folders in
    folder as links rather than as the folders they point to: qpk reads the
    attributes as the program does and says when it skips a link."""
    archive = os.path.relpath(s.path("probe.qpk"), folder)
    _, _, err = s.run(s.qpk, ["create", archive, "."], cwd=folder)
    return "a link to a folder is not followed" in err


@pytest.mark.platforms("posix", "win32")
def test_never_through_a_link(s):
    """Below the destination nothing is written through a link: a linked
    folder fails the entry."""
    outside = s.path("outside")
    write_files(outside, {"keep.txt": b"outside\n"})
    quiet = ["/q1"] if s.win32 else []  # a message box would wait for a click
    exe = s.self_extractor({"sub/x.txt": b"entry\n"}, quiet, name="folder")
    os.makedirs(s.path("dest1"))
    os.symlink(outside, s.path("dest1", "sub"))
    if s.win32 and not wine_reports_links(s, s.path("dest1")):
        pytest.skip("this Wine shows a link to a folder as the folder itself")
    status, _, err = s.extract(exe, "dest1")
    assert status == 255, "extracting through a linked folder should fail with -1, got %d" % status
    assert s.win32 or "Unable to extract files" in err, "the user should read why: %r" % err
    assert tree(outside) == {"keep.txt": b"outside\n"}, "nothing may be written outside: %s" % tree(outside)


@pytest.mark.platforms("posix", "win32")
def test_never_through_a_linked_target(s):
    """A link at an entry's target is replaced itself, or refused, and never
    written through."""
    outside = s.path("outside")
    write_files(outside, {"keep.txt": b"outside\n"})
    exe = s.self_extractor({"x.txt": b"entry\n"}, ["/q1", "/y"], name="file")
    os.makedirs(s.path("dest2"))
    os.symlink(os.path.join(outside, "keep.txt"), s.path("dest2", "x.txt"))
    status, _, err = s.extract(exe, "dest2")
    assert status == 0, "replacing a linked target should succeed, got %d: %s" % (status, err)
    target = s.path("dest2", "x.txt")
    assert not os.path.islink(target) and read(target) == b"entry\n", "the link itself becomes the entry's file"
    assert tree(outside) == {"keep.txt": b"outside\n"}, "the file behind the link stays as it was"

    # A link planted where no file is yet, leading to a file to be made: the
    # new file is never created through it.
    os.makedirs(s.path("dest3"))
    os.symlink(os.path.join(outside, "planted.txt"), s.path("dest3", "x.txt"))
    status, _, err = s.extract(exe, "dest3")
    assert tree(outside) == {"keep.txt": b"outside\n"}, "nothing may be created through a planted link"
    target = s.path("dest3", "x.txt")
    assert status == 255 or (not os.path.islink(target) and read(target) == b"entry\n"), \
        "the run either refuses the link or replaces the link itself, got %d: %s" % (status, err)


@pytest.mark.platforms("posix")
def test_signals_end_the_wait(s):
    """SIGTERM, SIGHUP, and SIGINT with nobody to ask, while a /deleteafter
    run waits for its command: the run ends with -1 and cleans up."""
    s.env["MARKER"] = s.path("started")
    exe = s.self_extractor(SAMPLE, ["/q1", "/deleteafter", "/e", 'touch "$MARKER"; exec sleep 300'])
    for sent in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
        if os.path.exists(s.path("started")):
            os.remove(s.path("started"))
        # A session of its own: no terminal, and its command can be ended.
        process = subprocess.Popen([exe], cwd=s.root, env=s.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            deadline = time.monotonic() + HANG_BOUND
            while not os.path.exists(s.path("started")) and process.poll() is None and time.monotonic() < deadline:
                time.sleep(0.05)
            assert process.poll() is None and os.path.exists(s.path("started")), (
                "the run should be waiting for its command")
            process.send_signal(sent)
            try:
                status = process.wait(timeout=HANG_BOUND)
            except subprocess.TimeoutExpired:
                pytest.fail("%s did not end the run" % sent.name)
        finally:
            try:
                os.killpg(process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            process.wait()
        assert status == 255, "%s should end the run with -1, got %d" % (sent.name, status)
        assert s.temporary_dirs() == [], "%s: no temporary folder may be left: %s" % (sent.name, s.temporary_dirs())
        assert s.cleanup_keys() == [], "%s: no clean-up key may be left: %s" % (sent.name, s.cleanup_keys())


@pytest.mark.platforms("posix")
def test_own_file_not_found_says_why(s):
    """Without /proc, and started by a relative name whose folder is gone, the
    program cannot tell its own file: it says so and why, not that its path
    is too long."""
    if os.geteuid() != 0 or not shutil.which("unshare"):
        pytest.skip("hiding /proc needs root and unshare")
    exe = s.self_extractor(SAMPLE, ["/q1"])
    gone = s.path("gone")
    os.makedirs(gone)
    script = 'mount -t tmpfs none /proc && cd "$1" && rmdir "$1" && exec ../"$2" /q1 out'
    done = subprocess.run(["unshare", "--mount", "sh", "-c", script, "sh", gone, os.path.basename(exe)],
                          capture_output=True, text=True, env=s.env)
    said = done.stdout + done.stderr
    # A sanitizer build reads its options from /proc too: without it its leak
    # check fails at exit whatever they say, and that sets the exit status.
    sanitized = b"__asan_init" in read(s.program)
    assert done.returncode == 255 or (sanitized and "LeakSanitizer has encountered a fatal error" in said), said
    assert "Error (-8010): Cannot find the program's own file" in said and "No such file or directory" in said, said
    assert "too long" not in said, said


@pytest.mark.platforms("posix")
def test_log_written_by_the_program(s):
    """On Linux the program writes its log lines itself, to the file
    QORLOG32_FILE names, with no log library anywhere; without the variable it
    writes none (not even to the temporary folder)."""
    log = s.path("log.txt")
    s.env.pop("LD_LIBRARY_PATH", None)
    for named in (True, False):
        env = dict(s.env, TMPDIR=s.path())
        env.pop("QORLOG32_FILE", None)
        if named:
            env["QORLOG32_FILE"] = log
        status, _, err = s.run(s.program, ["--version"], env=env)
        assert status == 0, "the version run ends with 0, got %d: %s" % (status, err)
        if named:
            with open(log, encoding="utf-8") as lines:
                words = [line.split(" ", 1)[1] for line in lines.read().splitlines()]
            assert words == ["INFO QPK2EXE Starting...", "INFO QPK2EXE Exiting..."], words
            os.remove(log)
        else:
            assert not os.path.exists(log)
            assert not os.path.exists(s.path("QORLOG32.LOG")), "no log without QORLOG32_FILE"


@pytest.mark.platforms("win32")
def test_log_library_folder_on_windows(s):
    """A self-extractor loads the log library only from the folder QORLOG32_DIR
    names: one dropped beside it or in the current folder is never loaded. The
    builder also loads it from its own folder, never from the current one."""
    library = os.path.join(os.path.dirname(s.program), "QORLOG32.DLL")
    if not os.path.isfile(library):
        pytest.skip("the log library is not built")
    s.self_extractor(SAMPLE, ["/q1"])
    here, named, app = s.path("here"), s.path("named"), s.path("app")
    for folder in (here, named, app):
        os.makedirs(folder)
    for folder in (s.root, here, named):
        shutil.copy(library, folder)
    shutil.copy(s.program, app)
    builder = os.path.join(app, os.path.basename(s.program))
    log = s.path("log.txt")

    def logged(program, words, named_folder=None):
        if os.path.exists(log):
            os.remove(log)
        env = dict(s.env, QORLOG32_FILE=s.native_path(log))
        env.pop("QORLOG32_DIR", None)
        if named_folder:
            env["QORLOG32_DIR"] = s.native_path(named_folder)
        status, _, err = s.run(program, words, cwd=here, env=env)
        assert status == 0, "%s should end with 0, got %d: %s" % (os.path.basename(program), status, err)
        return os.path.exists(log) and os.path.getsize(log) > 0

    setup = s.path("setup.exe")
    assert not logged(setup, [s.native_path(s.path("out1"))]), \
        "a library beside the self-extractor or in the current folder must never be loaded"
    assert logged(setup, [s.native_path(s.path("out2"))], named), "the library in QORLOG32_DIR should be loaded"
    def build(output):
        return ["/nosplash", "/nostatus", s.native_path(s.path("setup.qpk")), s.native_path(s.path(output))]

    assert not logged(builder, build("again1")), "the builder must not load the library in the current folder"
    shutil.copy(library, app)
    assert logged(builder, build("again2")), "the builder should load the library beside itself"
