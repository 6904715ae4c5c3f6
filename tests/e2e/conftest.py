"""Fixtures of the whole-process tests: the sandbox `s` every case works in,
and the Wine prefix that Windows runs share."""
import os
import shutil

import pytest

from session import Session, make_writable
from windows import WindowSession, WinePrefix


def pytest_configure(config):
    config.addinivalue_line("markers", "platforms(*names): the builds (posix, win32) a case runs on")
    config.addinivalue_line("markers", "window_flow: the case's programs run on the display, their boxes "
                                       "read and answered")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """Keeps each phase's report on the test, so that a fixture's teardown
    knows whether the case passed."""
    result = yield
    report = result.get_result()
    setattr(item, "report_" + report.when, report)


def case_name(node):
    """The case's name without "test_", with its parameter: the sandbox folder
    and the screenshots are named after it."""
    name = node.originalname[len("test_"):]
    callspec = getattr(node, "callspec", None)
    return name + "_" + callspec.id if callspec else name


def outcome(node, name):
    report = getattr(node, "report_call", None)
    return report is not None and getattr(report, name)


@pytest.fixture
def s(build, request):
    """A fresh sandbox for the case, skipped on a build its platforms marker
    leaves out; kept for a look when the case fails. A window flow's sandbox
    runs its programs on the display and afterwards ends whatever they left
    running, with what they left in the prefix."""
    node = request.node
    flow = node.get_closest_marker("window_flow") is not None
    if flow:
        if not os.environ.get("DISPLAY") or shutil.which("xdotool") is None:
            pytest.skip("no display or no xdotool")
        session = WindowSession(build, request.getfixturevalue("wine_prefix"), case_name(node))
    else:
        marker = node.get_closest_marker("platforms")
        if marker is not None and build.platform not in marker.args:
            pytest.skip("a case of the %s build only" % " and ".join(marker.args))
        session = Session(build, case_name(node))
    try:
        yield session
        if flow and outcome(node, "failed"):
            session.display.screenshot("failed")
    finally:
        if flow:
            session.stop_wine()
            session.forget_leftovers()
    if outcome(node, "passed"):
        make_writable(session.root)
        shutil.rmtree(session.root, ignore_errors=True)


@pytest.fixture(scope="session")
def wine_prefix(build):
    if not build.win32:
        pytest.skip("Windows builds only")
    return WinePrefix(build)
