"""Fixtures of the shipping tests: the build tree's CMake cache and the
version its packages carry."""
import os
import re

import pytest


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
