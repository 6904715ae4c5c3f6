"""`cpack -G ZIP` in a Windows build tree: one folder holding the programs,
the log library beside them and the README, and nothing else."""
import glob
import os
import zipfile

from shipped import WINDOWS_PROGRAMS, fresh, run


def test_zip_holds_the_programs(build, cpack, version):
    out = fresh(os.path.join(build.work, "package"))
    run([cpack, "-G", "ZIP", "--config", os.path.join(build.build_dir, "CPackConfig.cmake"), "-B", out])
    packages = glob.glob(os.path.join(out, "*.zip"))
    assert len(packages) == 1, packages
    with zipfile.ZipFile(packages[0]) as package:
        files = [info.filename for info in package.infolist() if not info.is_dir()]
        tops = {name.split("/", 1)[0] for name in files}
        assert len(tops) == 1 and tops.pop().startswith(f"qpk2exe-{version}-win"), files
        assert {name.split("/", 1)[1] for name in files} == {*WINDOWS_PROGRAMS, "README.md"}
        for name in files:
            if not name.endswith(".md"):
                assert package.read(name)[:2] == b"MZ", f"{name} is not a Windows program"
