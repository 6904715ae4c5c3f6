"""qpk sfx as a build server uses it: the Linux qpk makes the Windows
self-extractor, byte for byte the one the Windows builder makes of the same
archive and options, and it extracts under Wine; --windows finds the Windows
program in the install layout beside qpk's bin/ folder."""
import os
import shutil
import subprocess

import pytest

OPTIONS = ["/q1", "/nosplashonextract", "/nostatus", "/name", "Demo Setup", "/e", "cmd /c exit 0"]
FILES = {"readme.txt": b"read me\r\n" * 200, "bin/tool.dat": bytes(range(256)) * 300}


@pytest.fixture
def work(build, request):
    folder = os.path.join(build.work, request.node.name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    return folder


@pytest.fixture
def linux_qpk(build):
    """The Linux qpk: this build's own, or the native build's beside a Windows build."""
    qpk = build.native_qpk if build.win32 else build.qpk
    if not qpk or not os.path.isfile(qpk):
        pytest.skip("no Linux qpk at %s: build the native preset first" % qpk)
    return qpk


def run(command, cwd, env=None):
    done = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=180)
    return done.returncode, done.stdout.decode(errors="replace") + done.stderr.decode(errors="replace")


def payload(work):
    folder = os.path.join(work, "payload")
    for name, data in FILES.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return folder


def read(path):
    with open(path, "rb") as f:
        return f.read()


def test_linux_qpk_writes_the_windows_builders_bytes_and_they_extract_under_wine(build, work, linux_qpk):
    if not build.win32:
        pytest.skip("the Windows builder runs in a Windows build tree (under Wine)")
    status, out = run([linux_qpk, "create", "data.qpk", payload(work) + "/."], work)
    assert status == 0, out
    wine = [build.wine_run, build.prefix]
    status, out = run(wine + [build.program, "/nosplash"] + OPTIONS + ["data.qpk", "built"], work)
    assert status == 0, "the Windows builder should build: " + out
    status, out = run([linux_qpk, "sfx", "--stub", build.program] + OPTIONS + ["data.qpk", "made.exe"], work)
    assert status == 0, out
    assert read(os.path.join(work, "made.exe")) == read(os.path.join(work, "built.exe")), \
        "qpk sfx on Linux must write the Windows builder's bytes"

    destination = os.path.join(work, "out")
    status, out = run(wine + [os.path.join(work, "made.exe"), "Z:" + destination.replace("/", "\\")], work)
    assert status == 0, "the self-extractor should extract and run its command: " + out
    for name, data in FILES.items():
        assert read(os.path.join(destination, name)) == data, name


def test_windows_takes_the_program_of_the_install_layout(build, work, linux_qpk):
    root = os.path.join(work, "install")
    os.makedirs(os.path.join(root, "bin"))
    qpk = shutil.copy2(linux_qpk, os.path.join(root, "bin", "qpk"))
    windows = os.path.join(root, "share", "qpk2exe", "windows")
    words = [qpk, "sfx", "--windows", "/q2", "/name", "Demo", payload(work), "setup.exe"]

    status, out = run(words, work)
    assert status == 1 and "share/qpk2exe/windows/QPK2EXE.exe: no builder program here" in out, out
    assert not os.path.exists(os.path.join(work, "setup.exe"))

    os.makedirs(windows)
    program = shutil.copy2(build.program, os.path.join(windows, "QPK2EXE.exe"))
    status, out = run(words, work)
    assert status == 0, out
    made = read(os.path.join(work, "setup.exe"))
    assert made.startswith(read(program)), "the self-extractor must begin with the Windows program"
    status, out = run([qpk, "info", "setup.exe"], work)
    assert status == 0, out
    assert "Flags:          0x005 quiet use-paths" in out and 'Name:           "Demo"' in out, out
    assert sorted(os.listdir(work)) == ["install", "payload", "setup.exe"], "no temporary file may be left"
