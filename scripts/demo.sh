#!/bin/bash
# The main job: builds the programs, packs sample/payload into an archive with
# qpk, turns it into a self-extractor with the builder, runs that silently
# into a folder and shows what it extracted and what its setup script said.
# Safe to run again: everything it makes lives in build/demo and is remade.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc)

# The programs only: nothing that just the tests use is installed or built
# (scripts/test.sh configures the same trees with the tests again).
scripts/install-deps.sh

echo "=== building (native) ==="
cmake --preset native -DBUILD_TESTING=OFF >/dev/null
cmake --build --preset native -j"$jobs" --target qpk2exe qpk >/dev/null
native="$root/build/native/bin"

have_win32=no
if command -v i686-w64-mingw32-g++-posix >/dev/null 2>&1; then
  echo "=== building (win32) ==="
  cmake --preset win32 -DBUILD_TESTING=OFF >/dev/null
  cmake --build --preset win32 -j"$jobs" --target qpk2exe qpk >/dev/null
  have_win32=yes
fi

demo="$root/build/demo"
rm -rf "$demo"
mkdir -p "$demo"

echo "=== the archive ==="
(cd sample/payload && "$native/qpk" create "$demo/sample.qpk" .)
"$native/qpk" list "$demo/sample.qpk"

echo "=== the self-extractor (Linux) ==="
# Silent (/q1), and after extracting it runs the setup script in the
# destination folder, which is its current directory.
cd "$demo"
"$native/qpk2exe" /nosplash /q1 /e "sh setup.sh" sample.qpk sample.exe
"$native/qpk" info sample.exe

echo "=== running it into $demo/extracted (the setup script's report) ==="
# The self-extractor waits for its command, so the script's report comes
# before the listing.
./sample.exe extracted | cat
echo "=== what it extracted ==="
(cd extracted && find . | sort)

if [ "$have_win32" = yes ]; then
  echo "=== the self-extractor (Windows) ==="
  prefix="$root/build/win32/wineprefix"
  if ! command -v wine >/dev/null 2>&1; then
    echo "note: Wine is not installed (scripts/install-deps.sh --tests); the Windows build is made but not run."
  elif "$root/cmake/wine-run.sh" "$prefix" cmd /c exit 0 >/dev/null 2>&1; then
    "$root/cmake/wine-run.sh" "$prefix" "$root/build/win32/bin/QPK2EXE.exe" \
      /nosplash /nostatus /q1 /e "cmd /c setup.cmd" sample.qpk sample-win
    "$native/qpk" info sample-win.exe
    "$root/cmake/wine-run.sh" "$prefix" ./sample-win.exe extracted-win
    (cd extracted-win && find . | sort)
  else
    echo "note: Wine cannot run 32-bit programs here; the Windows build is made but not run."
  fi
fi
