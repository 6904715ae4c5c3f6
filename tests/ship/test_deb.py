"""`cpack -G DEB`: the package's control fields, its files, and its tools at
work after `dpkg-deb -x`."""
import glob
import os
import subprocess

import pytest

from shipped import check_layout, check_tools, fresh, run


@pytest.fixture(scope="module")
def deb(build, cpack):
    out = fresh(os.path.join(build.work, "package"))
    run([cpack, "-G", "DEB", "--config", os.path.join(build.build_dir, "CPackConfig.cmake"), "-B", out])
    packages = glob.glob(os.path.join(out, "*.deb"))
    assert len(packages) == 1, packages
    return packages[0]


@pytest.fixture(scope="module")
def unpacked(deb, build):
    root = fresh(os.path.join(build.work, "root"))
    run(["dpkg-deb", "-x", deb, root])
    return os.path.join(root, "usr")


def test_control(deb, version):
    fields = dict(line.strip().split(": ", 1) for line in run(["dpkg-deb", "-I", deb]).stdout.decode().splitlines()
                  if ": " in line and not line.startswith("  "))
    architecture = subprocess.run(["dpkg", "--print-architecture"], capture_output=True, text=True).stdout.strip()
    assert (fields.get("Package"), fields.get("Version"), fields.get("Architecture")) == ("qpk2exe", version, architecture)
    assert "libc6" in fields.get("Depends", ""), fields
    assert fields.get("Maintainer"), fields


def test_files(unpacked, cache):
    check_layout(unpacked, cache["QPK_WINDOWS_PROGRAMS"])


def test_unpacked_tools_work(unpacked, build):
    check_tools(unpacked, fresh(os.path.join(build.work, "run")))
