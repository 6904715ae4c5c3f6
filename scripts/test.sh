#!/bin/bash
# Installs what is missing, then builds and runs every test: the native build,
# the same suite under AddressSanitizer + UndefinedBehaviorSanitizer, the
# Windows build under Wine (with Xvfb for its windows) and the fuzz targets for
# a bounded time. Usage: scripts/test.sh   (as root on Debian 12)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh --tests

# One virtual display for the whole run; the Windows GUI tests drive it.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi

# Each target is one workflow preset: configure, build, test (CMakePresets.json).
export CMAKE_BUILD_PARALLEL_LEVEL=$jobs
cmake --workflow --preset native
cmake --workflow --preset asan

# The 32-bit Windows product is always built. Its tests run under 32-bit Wine
# where the kernel can execute 32-bit programs; elsewhere only its tests that
# need no emulator run (resources, imports), and the Windows suite runs on the
# 64-bit build of the same sources under 64-bit Wine.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  cmake --workflow --preset win32
else
  cmake --workflow --preset win32-no-emulator
  cmake --workflow --preset win64
fi

echo "=== fuzz ==="
fuzz/run.sh "${QPK_FUZZ_SECONDS:-60}"
