"""The sandbox of the hostile-input tests: the program under test, its bytes
as the stub of crafted self-extractors, and run folders of their own under
the work folder, kept when a test fails and removed when it passes."""
import os
import re

import pytest

from checked_run import Run
from support.reports import passed
from support.sandbox import Platform, remove_tree


@pytest.fixture(scope="session")
def platform(build):
    return Platform.of(build)


@pytest.fixture(scope="session")
def stub(build):
    with open(build.program, "rb") as f:
        return f.read()


@pytest.fixture
def new_run(request, build, platform):
    """new_run(sub) gives a fresh Run in <work>/<test>/<sub>."""
    root = os.path.join(build.work, re.sub(r"[^\w.-]", "_", request.node.name))
    remove_tree(root)
    yield lambda sub: Run(platform, os.path.join(root, sub))
    if passed(request.node):
        remove_tree(root)
