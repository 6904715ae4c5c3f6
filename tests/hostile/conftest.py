"""The sandbox of the hostile-input tests: the program under test, its bytes
as the stub of crafted self-extractors, and run folders of their own under
the work folder, kept when a test fails and removed when it passes."""
import os
import re

import pytest

from sandbox import Platform, Run, remove_tree


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when == "call":
        item.passed_call = report.passed


@pytest.fixture(scope="session")
def platform(build):
    return Platform(build.platform, build.program, build.qpk, build.wine_run, build.prefix)


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
    if getattr(request.node, "passed_call", False):
        remove_tree(root)
