"""The sessions the README and the manual page show, run through bash exactly
as written: a quoting slip there reaches every user who pastes them."""
import os
import subprocess

import pytest

from support.session import read

SOURCE = os.path.join(os.path.dirname(__file__), "..", "..")
# Each marker stands just before the block of command lines it names.
MARKED_BLOCKS = [("README.md", "<!-- doc-test: linux-session -->"),
                 (os.path.join("docs", "man", "qpk2exe.1.in"), '.\\" doc-test: examples')]
SETUP_SCRIPT = b'echo "setup ran in $(pwd)" > "$MARK"\n'


def marked_lines(name, marker):
    """The lines of the block after the marker: a ```sh fence in Markdown,
    .nf to .fi in roff (whose escapes the reader's page shows undone)."""
    with open(os.path.join(SOURCE, name), encoding="utf-8") as f:
        text = f.read()
    assert text.count(marker) == 1, "%s should hold the marker %r once" % (name, marker)
    lines = text[text.index(marker):].split("\n")[1:]
    start, end = ("```sh", "```") if name.endswith(".md") else (".nf", ".fi")
    assert lines[0] == start, "%s: the marker should stand just before %r, not %r" % (name, start, lines[0])
    return [line.replace("\\&", "").replace("\\-", "-") for line in lines[1:lines.index(end)]]


@pytest.mark.platforms("posix")
@pytest.mark.parametrize("name, marker", MARKED_BLOCKS, ids=["readme", "manual"])
def test_documented_session_runs_as_written(s, name, marker):
    lines = marked_lines(name, marker)
    s.payload({"setup.sh": SETUP_SCRIPT, "app.txt": b"app\n"}, "dist")
    env = dict(s.env, PATH=os.path.dirname(s.program) + os.pathsep + s.env["PATH"], MARK=s.path("mark"))
    for line in lines:
        done = subprocess.run(["bash", "-c", line], cwd=s.root, env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=120)
        assert done.returncode == 0, "%s: %r should succeed: %s" % (name, line, done.stderr)
    status, out, err = s.run(s.qpk, ["info", "setup"])
    assert status == 0 and 'Command:        "sh $(Destination)/setup.sh"' in out, (
        "the recorded command keeps $(Destination) for the self-extractor: %r %r" % (out, err))
    assert read(s.path("mark")) == ("setup ran in %s\n" % s.path("target")).encode(), "the setup script ran"
    assert read(s.path("target", "app.txt")) == b"app\n"
