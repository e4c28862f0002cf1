#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the tree a second time in another folder and checks that both builds
# give the same Debian packages, byte for byte.
#   check_reproducible.sh SOURCE BUILD SCRATCH
set -euo pipefail
source=$1 build=$2 scratch=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }

rm -rf "$scratch"
mkdir -p "$scratch"
cmake -S "$source" -B "$scratch/build" -G "$(cached CMAKE_GENERATOR)" \
  -DCMAKE_BUILD_TYPE="$(cached CMAKE_BUILD_TYPE)" \
  -DCMAKE_CXX_COMPILER_LAUNCHER="$(cached CMAKE_CXX_COMPILER_LAUNCHER)" \
  -DTAVRILO_BUILD_APP="$(cached TAVRILO_BUILD_APP)" >"$scratch/build.log" 2>&1 &&
  cmake --build "$scratch/build" >>"$scratch/build.log" 2>&1 ||
  { cat "$scratch/build.log" >&2; fail "the second build"; }
for b in first second; do
  dir=$build
  [ $b = second ] && dir=$scratch/build
  cpack --config "$dir/CPackConfig.cmake" -B "$scratch/$b" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack in $dir"; }
done
count=0
for deb in "$scratch"/first/*.deb; do
  other=$scratch/second/$(basename "$deb")
  if ! cmp "$deb" "$other"; then
    mkdir -p "$scratch/diff/a" "$scratch/diff/b"
    dpkg-deb -R "$deb" "$scratch/diff/a" && dpkg-deb -R "$other" "$scratch/diff/b"
    diff -r "$scratch/diff/a" "$scratch/diff/b" >&2 || true
    fail "$(basename "$deb") differs between the builds"
  fi
  count=$((count + 1))
done
[ $count -gt 0 ] || fail "no package"
echo "ok: $count packages alike"
