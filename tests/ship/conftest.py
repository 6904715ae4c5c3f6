"""Options and fixtures of the shipped-program suite: the size budget of the
program under test, how to configure a second tree of the same sources,
self-extractors made from a small archive, and the build tree's CMake cache
and the version its packages carry."""
import os
import pathlib
import re
import shutil
import subprocess

import pytest


def pytest_addoption(parser):
    group = parser.getgroup("ship")
    group.addoption("--budget", type=int, help="most bytes the program may have")
    group.addoption("--source", help="the source tree the program was built from")
    group.addoption("--cmake-arg", action="append", default=[], help="configure argument of the build")


def run(words, cwd=None):
    """Runs words and returns the finished process; a failure shows its output."""
    done = subprocess.run(words, cwd=cwd, capture_output=True, text=True)
    assert done.returncode == 0, "%s failed (%d):\n%s%s" % (words, done.returncode, done.stdout, done.stderr)
    return done


@pytest.fixture
def ship(request):
    """The suite's options: ship("--budget")."""
    return request.config.getoption


@pytest.fixture(name="run")
def run_fixture():
    return run


@pytest.fixture
def folder(build, request):
    """An empty folder of the test's own under the work folder."""
    path = pathlib.Path(build.work) / request.node.name.replace("[", "-").replace("]", "")
    shutil.rmtree(path, ignore_errors=True)
    path.mkdir(parents=True)
    return path


@pytest.fixture
def self_extractor(build, folder):
    """make(name, command) builds name.exe, a silent self-extractor of a small
    archive that runs command after extracting, and returns its path."""
    if build.win32:
        pytest.skip("making a Windows self-extractor needs Wine")
    payload = folder / "payload"
    (payload / "docs").mkdir(parents=True)
    (payload / "readme.txt").write_text("hello from the archive\n")
    (payload / "docs" / "notes.txt").write_text("x" * 5000)
    (payload / "setup.sh").write_text("echo made > made.txt; echo script ran\n")
    archive = folder / "payload.qpk"
    run([build.qpk, "create", str(archive), "."], cwd=payload)

    def make(name, command):
        run([build.program, "/nosplash", "/q1", "/e", command, str(archive), name + ".exe"], cwd=folder)
        return folder / (name + ".exe")
    return make


@pytest.fixture(scope="session")
def cache(build):
    """The build tree's cache, name -> value."""
    values = {}
    with open(os.path.join(build.build_dir, "CMakeCache.txt"), encoding="utf-8") as lines:
        for line in lines:
            entry = re.match(r"(\w+):\w+=(.*)$", line.rstrip("\n"))
            if entry:
                values[entry.group(1)] = entry.group(2)
    return values


@pytest.fixture(scope="session")
def version(build):
    """The version cmake gave the packages."""
    with open(os.path.join(build.build_dir, "CPackConfig.cmake"), encoding="utf-8") as config:
        found = re.search(r'set\(CPACK_PACKAGE_VERSION "([^"]+)"\)', config.read())
    assert found, "CPackConfig.cmake names no package version"
    return found.group(1)


@pytest.fixture(scope="session")
def cpack(cache):
    return os.path.join(os.path.dirname(cache["CMAKE_COMMAND"]), "cpack")
