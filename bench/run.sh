#!/bin/bash
# Benchmarks qpk2exe and qpk against the tools users would pick instead:
# installs the missing peers, builds the native program (and the Windows one when
# the cross compiler and Wine are there), makes seeded data sets under
# ${BENCH_DIR:-/tmp/qpk-bench} and prints Markdown tables of time ratios, also
# saved to build/bench-results.md. Extraction rounds mount file systems of their
# own (tmpfs, a journaled ext4 image), which needs root.
# Usage: bench/run.sh [--quick] [--no-windows]
set -euo pipefail
cd "$(dirname "$0")/.."
quick=()
windows=yes
for word in "$@"; do
  case $word in
    --quick) quick=(--quick) ;;
    --no-windows) windows=no ;;
    *) echo "usage: bench/run.sh [--quick] [--no-windows] (not: $word)" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)

missing=()
for p in zip unzip pigz makeself p7zip-full gzip tar time strace e2fsprogs; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

echo "building the native program" >&2
cmake --preset native -B build/bench-native >/dev/null
cmake --build build/bench-native --target qpk2exe qpk -j"$jobs" >/dev/null
cmake -S bench -B build/bench-tools >/dev/null
cmake --build build/bench-tools -j"$jobs" >/dev/null
# A wrong baseline or skewed data must not pass for a result.
python3 bench/test_tools.py build/bench-tools 2>/dev/null || {
  echo "the benchmark's own tools fail their checks: python3 bench/test_tools.py build/bench-tools" >&2
  exit 1
}

# The Windows program: the 32-bit product where Wine can run it; where the
# kernel cannot run 32-bit programs, the same sources built for 64-bit Windows.
win32=()
note=""
arch=""
if [ "$windows" = no ]; then
  note="--no-windows"
elif ! command -v i686-w64-mingw32-g++-posix >/dev/null || ! command -v wine >/dev/null; then
  note="no cross compiler or no Wine"
elif /usr/lib/wine/wine --version >/dev/null 2>&1; then
  arch=win32
elif command -v x86_64-w64-mingw32-g++-posix >/dev/null && /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
  arch=win64
  note="Wine cannot run 32-bit programs on this machine: the Windows rows are the same sources built for 64-bit Windows."
else
  note="Wine cannot run 32-bit programs on this machine"
fi
if [ -n "$arch" ]; then
  echo "building the $arch program" >&2
  prefix=$PWD/build/bench-$arch/wineprefix
  if cmake --preset "$arch" -B "build/bench-$arch" >/dev/null &&
     cmake --build "build/bench-$arch" --target qpk2exe -j"$jobs" >/dev/null &&
     sh cmake/wine-run.sh "$prefix" cmd /c exit 0 >/dev/null 2>&1; then
    exe=$(find "build/bench-$arch/bin" -maxdepth 1 -iname 'qpk2exe.exe' | head -n 1)
    win32=(--win32 "$PWD/$exe" --wineprefix "$prefix" --windows-arch "$arch")
  else
    note="the $arch build failed or Wine cannot start it"
  fi
fi

[ -n "$note" ] && echo "$note" >&2

if [ ${#win32[@]} -gt 0 ]; then
  # A GUI program wants a display even when it shows nothing.
  if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 120); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
      break
    done
  fi
  # Keep one Wine server up for the whole run, so that no run pays its start.
  server=wineserver
  [ "$arch" = win64 ] && server=/usr/lib/wine/wineserver64
  # (The prefix's set-up may have left a server that is about to go.)
  WINEPREFIX=$prefix $server -w 2>/dev/null || true
  WINEPREFIX=$prefix WINEARCH=$arch $server -p -f >/dev/null 2>&1 &
  trap 'WINEPREFIX=$prefix $server -k 2>/dev/null || true; [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true' EXIT
fi

python3 bench/bench.py "${quick[@]}" --native build/bench-native/bin --tools build/bench-tools \
  "${win32[@]}" --win32-note="$note" --out build/bench-results.md
