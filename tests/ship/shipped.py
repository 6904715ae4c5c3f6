"""Checks shared by the shipping tests: what an installed tree holds, and the
shipped tools at work (an archive from their qpk, a self-extractor from their
qpk2exe, run silently, logging to the file QORLOG32_FILE names)."""
import os
import shutil
import subprocess

LINUX_FILES = {"bin/qpk2exe", "bin/qpk", "share/man/man1/qpk2exe.1",
               "share/man/man1/qpk.1", "share/doc/qpk2exe/README.md"}
WINDOWS_PROGRAMS = ("QPK2EXE.exe", "qpk.exe", "QORLOG32.DLL")
PAYLOAD = {"readme.txt": b"read me\n", "docs/guide.txt": b"a guide, " * 20000, "tools/run.sh": b"#!/bin/sh\necho ok\n"}


def run(words, **options):
    result = subprocess.run(words, capture_output=True, timeout=600, **options)
    assert result.returncode == 0, f"{words} ended with {result.returncode}:\n{result.stderr.decode(errors='replace')}"
    return result


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def files_under(root):
    return {os.path.relpath(os.path.join(folder, name), root)
            for folder, _, names in os.walk(root) for name in names}


def check_layout(root, windows_source):
    """root holds the Linux files, the Windows programs exactly when they were
    built, nothing else; the programs are executable and stripped."""
    expected = set(LINUX_FILES)
    expected |= {"share/qpk2exe/windows/" + name for name in WINDOWS_PROGRAMS
                 if os.path.isfile(os.path.join(windows_source, name))}
    assert files_under(root) == expected
    for program in (name for name in expected if name.startswith(("bin/", "lib/", "share/qpk2exe/windows/"))):
        symbols = run(["objdump", "-t", os.path.join(root, program)]).stdout.decode()
        assert "no symbols" in symbols, f"{program} is not stripped"
    for program in ("bin/qpk2exe", "bin/qpk"):
        assert os.access(os.path.join(root, program), os.X_OK), f"{program} is not executable"


def check_tools(root, work):
    """The tools under root build and run a self-extractor and log the runs to
    the file QORLOG32_FILE names, with no log library anywhere."""
    source = fresh(os.path.join(work, "source"))
    for name, data in PAYLOAD.items():
        os.makedirs(os.path.dirname(os.path.join(source, name)), exist_ok=True)
        with open(os.path.join(source, name), "wb") as file:
            file.write(data)
    log = os.path.join(work, "qorlog32.log")
    env = dict(os.environ, QORLOG32_FILE=log)
    env.pop("LD_LIBRARY_PATH", None)
    bin_dir = os.path.join(root, "bin")
    run([os.path.join(bin_dir, "qpk"), "create", os.path.join(work, "data.qpk"), "."], cwd=source, env=env)
    run([os.path.join(bin_dir, "qpk2exe"), "/nosplash", "/q1", "data.qpk", "setup.exe"], cwd=work, env=env)
    assert b"OK 3 entries" in run([os.path.join(bin_dir, "qpk"), "test", "setup.exe"], cwd=work).stdout
    run([os.path.join(work, "setup.exe"), "out"], cwd=work, env=env)
    out = os.path.join(work, "out")
    assert files_under(out) == set(PAYLOAD)
    for name, data in PAYLOAD.items():
        with open(os.path.join(out, name), "rb") as file:
            assert file.read() == data, name
    assert os.path.isfile(log), "no log written to QORLOG32_FILE"
    with open(log, encoding="utf-8") as lines:
        assert "INFO QPK2EXE Starting..." in lines.read()
