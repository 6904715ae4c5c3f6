"""The sandbox `s` every whole-process case works in."""
import pytest

from support.reports import passed
from support.sandbox import remove_tree
from support.session import Session, case_name


@pytest.fixture
def s(build, request):
    """A fresh sandbox for the case, skipped on a build its platforms marker
    leaves out; kept for a look when the case fails."""
    marker = request.node.get_closest_marker("platforms")
    if marker is not None and build.platform not in marker.args:
        pytest.skip("a case of the %s build only" % " and ".join(marker.args))
    session = Session(build, case_name(request.node))
    yield session
    if passed(request.node):
        remove_tree(session.root)
