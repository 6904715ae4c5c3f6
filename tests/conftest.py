"""What every Python suite is given by ctest: the programs under test, the
platform they were built for, a work folder and, for Windows builds, how to
run them under Wine (cmake/pytest.cmake passes these options). A run that
passes removes its work folder; a failed one keeps it for a look."""
import os
import types

import pytest

from support.sandbox import remove_tree

pytest_plugins = ("support.reports",)


def pytest_addoption(parser):
    group = parser.getgroup("qpk2exe")
    group.addoption("--program", required=True, help="the self-extractor builder")
    group.addoption("--qpk", required=True, help="the archive tool")
    group.addoption("--platform", choices=("posix", "win32"), required=True)
    group.addoption("--work", required=True, help="scratch folder of this run")
    group.addoption("--wine-run", help="Wine wrapper script (Windows builds)")
    group.addoption("--prefix", help="Wine prefix (Windows builds)")
    group.addoption("--window-text", help="reader of other programs' window texts")
    group.addoption("--probe", help="program that shows the user interface's pieces")
    group.addoption("--shots", help="folder for screenshots")
    group.addoption("--build-dir", help="the CMake build tree under test")
    group.addoption("--native-qpk", help="the Linux qpk (for tests of a Windows build)")


@pytest.fixture(scope="session")
def build(request):
    """The run's options, paths made absolute."""
    option = request.config.getoption
    def path(name):
        value = option(name)
        return os.path.abspath(value) if value else None
    return types.SimpleNamespace(
        program=path("--program"), qpk=path("--qpk"), platform=option("--platform"),
        work=path("--work"), wine_run=path("--wine-run"), prefix=path("--prefix"),
        window_text=path("--window-text"), probe=path("--probe"), shots=path("--shots"),
        build_dir=path("--build-dir"),
        native_qpk=path("--native-qpk"),
        win32=option("--platform") == "win32")


def pytest_sessionfinish(session, exitstatus):
    if exitstatus == pytest.ExitCode.OK:
        remove_tree(session.config.getoption("--work"))

