#!/bin/bash
# Remakes the seed corpus of fuzz_extract with qpk: a few tiny archives that
# cover stored and deflated entries, folders, several zlib streams in one
# entry, attributes, and a self-extractor.
# Usage: fuzz/make_seeds.sh QPK_PROGRAM
set -euo pipefail
qpk=$(realpath "$1")
out=$(realpath "$(dirname "$0")")/corpus/extract
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
cd "$work"

mkdir -p one tree/docs/sub
printf 'abc' > one/a.txt
"$qpk" create "$out/stored.qpk" one/a.txt
printf 'hello hello hello hello hello hello hello\n' > tree/docs/readme.txt
printf 'x' > tree/docs/sub/x.bin
chmod a-w tree/docs/sub/x.bin
"$qpk" create "$out/folders.qpk" tree
for i in $(seq 4000); do echo "line $((i % 40)) of a text that deflates well"; done > big.txt
"$qpk" create "$out/streams.qpk" big.txt
: > empty.txt
"$qpk" create --store "$out/empty-and-stored.qpk" one/a.txt empty.txt

# A self-extractor: a stub, a 324-byte option block, the archive, the offset.
{
  printf 'MZ stub'
  printf 'QOR SE ARCHIVE FORMAT 2.0'; head -c 7 /dev/zero
  printf '\001\000\000\000'; head -c $((324 - 36)) /dev/zero
  cat "$out/stored.qpk"
  printf '\113\001\000\000'  # 7 + 324 = 331
} > "$out/self-extractor.exe"
