#!/bin/sh
# Runs a Windows program under Wine in the build tree's own prefix.
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
# PREFIX.arch (written when the build tree is configured) says win32 or win64.
# A win32 prefix keeps a 32-bit program's HKLM\Software where `reg query`
# looks. The prefix is made once, under a lock, with the crash dialog turned
# off so that a crashing test fails instead of hanging.
set -e
prefix=$1; shift
arch=$(cat "$prefix.arch" 2>/dev/null || echo win32)
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
if [ "$arch" = win64 ]; then
  export WINELOADER=/usr/lib/wine/wine64
  wine=/usr/lib/wine/wine64 server=/usr/lib/wine/wineserver64
else
  wine=wine server=wineserver
fi
if ! command -v "$wine" >/dev/null 2>&1; then
  echo "Wine missing ($wine not found): install wine wine32:i386 wine64 (scripts/install-deps.sh --tests)" >&2
  exit 127
fi
if [ ! -f "$prefix/.qpk-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.qpk-ready" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || true
    "$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
    "$server" -w 2>/dev/null || true
    touch "$prefix/.qpk-ready"
  fi
  exec 9>&-
fi
exec "$wine" "$@"
