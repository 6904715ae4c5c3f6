"""The sandbox `s` of the window flows: its programs run on the display and
afterwards whatever they left running ends, with what they left in the
prefix that every Windows run shares."""
import os
import shutil

import pytest

from support.reports import failed, passed
from support.sandbox import remove_tree
from support.session import case_name
from windows import WindowSession, WinePrefix


@pytest.fixture(scope="session")
def wine_prefix(build):
    if not build.win32:
        pytest.skip("Windows builds only")
    return WinePrefix(build)


@pytest.fixture
def s(build, request):
    """A fresh window session for the case; kept for a look, with a
    screenshot, when the case fails."""
    if not os.environ.get("DISPLAY") or shutil.which("xdotool") is None:
        pytest.skip("no display or no xdotool")
    session = WindowSession(build, request.getfixturevalue("wine_prefix"), case_name(request.node))
    try:
        yield session
        if failed(request.node):
            session.display.screenshot("failed")
    finally:
        session.stop_wine()
        session.forget_leftovers()
    if passed(request.node):
        remove_tree(session.root)
