#!/bin/sh
# Installs what is needed and not there yet (Debian 12, as root): to build the
# programs and packages, and with --tests what only the tests use.
# Usage: install-deps.sh [--tests]
set -e
# dpkg-dev and file: cpack computes the .deb's dependencies with dpkg-shlibdeps.
# musl-tools: the shipped Linux qpk2exe is a static program over musl.
want="cmake g++ make musl-tools zlib1g-dev libdeflate-dev g++-mingw-w64-i686 libz-mingw-w64-dev dpkg-dev file"
# The 64-bit Windows build serves only the Windows tests under 64-bit Wine.
if [ "$1" = "--tests" ]; then
  want="$want googletest g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xdotool icoutils x11-apps imagemagick clang libclang-rt-14-dev python3 python3-pytest python3-pexpect util-linux busybox-static groff-base osslsigncode openssl"
fi
missing=""
for p in $want; do
  dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
case "$missing" in
  *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386 ;;
esac
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq $missing >/dev/null
