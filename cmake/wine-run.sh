#!/bin/sh
# Runs a Windows program under Wine in the build tree's own prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is 32-bit (so HKLM\Software is where a 32-bit program looks) and
# is made once, under a lock, with the crash dialog turned off so that a
# crashing test fails instead of hanging.
set -e
prefix=$1; shift
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
if [ ! -f "$prefix/.qpk-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.qpk-ready" ]; then
    wineboot -i >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.qpk-ready"
  fi
  exec 9>&-
fi
exec wine "$@"
