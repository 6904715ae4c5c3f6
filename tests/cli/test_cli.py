"""--version of both programs: the version set once in the top CMakeLists.txt,
alone on standard output, and only for the one word."""
import os
import re
import subprocess

import pytest

TOP_CMAKE = os.path.join(os.path.dirname(__file__), "..", "..", "CMakeLists.txt")


def project_version():
    with open(TOP_CMAKE, encoding="utf-8") as top:
        return re.search(r"project\(qpk2exe VERSION (\S+)", top.read()).group(1)


def run(build, folder, program, *words):
    command = [program, *words]
    if build.win32:
        command = [build.wine_run, build.prefix, *command]
    return subprocess.run(command, capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL, cwd=folder)


def program(build, name):
    if build.win32 and name == "qpk2exe":
        pytest.skip("the Windows builder shows its version in a message box, not on standard output")
    return build.program if name == "qpk2exe" else build.qpk


@pytest.mark.parametrize("name", ["qpk2exe", "qpk"])
def test_version_alone_prints_the_project_version(build, tmp_path, name):
    result = run(build, tmp_path, program(build, name), "--version")
    assert (result.returncode, result.stdout.replace("\r\n", "\n")) == (0, f"{name} {project_version()}\n"), result.stderr


@pytest.mark.parametrize("name", ["qpk2exe", "qpk"])
def test_version_among_other_words_is_refused(build, tmp_path, name):
    result = run(build, tmp_path, program(build, name), "--version", "data.qpk")
    assert result.returncode != 0
    assert project_version() not in result.stdout
