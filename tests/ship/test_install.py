"""`cmake --install --strip` into a prefix: the layout, the manual pages, and
the installed tools at work."""
import os
import re
import shutil
import subprocess

import pytest

from shipped import check_layout, check_tools, fresh, run


@pytest.fixture(scope="module")
def prefix(build, cache):
    path = fresh(os.path.join(build.work, "prefix"))
    run([cache["CMAKE_COMMAND"], "--install", build.build_dir, "--prefix", path, "--strip"])
    return path


def test_layout(prefix, cache):
    check_layout(prefix, cache["QPK_WINDOWS_PROGRAMS"])


def test_installed_tools_work(prefix, build):
    check_tools(prefix, fresh(os.path.join(build.work, "run")))


def qpk2exe_words(prefix):
    usage = run([os.path.join(prefix, "bin/qpk2exe"), "--help"]).stdout.decode()
    return re.findall(r"^(/\w+)", usage, re.M)


def qpk_words(prefix):
    usage = run([os.path.join(prefix, "bin/qpk"), "--help"]).stdout.decode()
    return re.findall(r"^  (-?-?\w+)", usage, re.M)


@pytest.mark.skipif(shutil.which("groff") is None, reason="groff is not installed (groff-base)")
@pytest.mark.parametrize("page, usage_words", [("qpk2exe.1", qpk2exe_words), ("qpk.1", qpk_words)])
def test_manual_page(prefix, version, page, usage_words):
    """The page formats without a warning, carries the version and names every
    option and command the program's own usage text names."""
    shown = subprocess.run(["groff", "-man", "-Tascii", "-ww", "-rHY=0", "-P-cbou",
                            os.path.join(prefix, "share/man/man1", page)], capture_output=True, text=True)
    assert shown.returncode == 0 and shown.stderr == "", shown.stderr
    assert f"qpk2exe {version}" in shown.stdout
    words = usage_words(prefix)
    assert len(words) >= 5, "the usage text was not read"
    missing = [word for word in words if not re.search(rf"(?<![\w/-]){re.escape(word)}(?!\w)", shown.stdout)]
    assert not missing, f"{page} does not describe {missing}"
