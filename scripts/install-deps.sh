#!/bin/sh
# Installs what the build and the tests need and is not there yet (Debian 12,
# as root). Usage: install-deps.sh [--tests]
set -e
# dpkg-dev and file: cpack computes the .deb's dependencies with dpkg-shlibdeps.
want="cmake g++ make zlib1g-dev libdeflate-dev googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev dpkg-dev file"
if [ "$1" = "--tests" ]; then
  want="$want wine wine32:i386 wine64 xvfb xdotool icoutils x11-apps imagemagick clang libclang-rt-14-dev python3 python3-pytest python3-pexpect util-linux groff-base osslsigncode openssl"
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
