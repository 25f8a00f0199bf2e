#!/bin/bash
# Builds the viewer and runs every test.
#   scripts/test.sh          release build in build/, all tests
#   scripts/test.sh asan     the same tests under AddressSanitizer + UBSan, in build-asan/
#   scripts/test.sh fuzz     a short run of every libFuzzer target (clang), in build-fuzz/
# Tests that need a real window run under Xvfb; GL tests use SDL's offscreen driver.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
mode=${1:-release}
jobs=$(nproc)
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

case "$mode" in
  release)
    cmake -G Ninja -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j"$jobs"
    xvfb-run -a -s "-screen 0 1600x1200x24" ctest --test-dir build --output-on-failure -j"$jobs"
    ;;
  asan)
    cmake -G Ninja -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="-O1" \
      -DVIEWER_SANITIZE=ON -DVIEWER_BENCH=OFF >/dev/null
    cmake --build build-asan -j"$jobs"
    xvfb-run -a -s "-screen 0 1600x1200x24" ctest --test-dir build-asan --output-on-failure -j"$jobs"
    ;;
  fuzz)
    seconds=${FUZZ_SECONDS:-10}
    CC=clang CXX=clang++ cmake -G Ninja -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug \
      -DCMAKE_CXX_FLAGS="-O1" -DVIEWER_FUZZ=ON -DVIEWER_TESTS=OFF -DVIEWER_BENCH=OFF >/dev/null
    cmake --build build-fuzz -j"$jobs"
    shopt -s nullglob
    for target in build-fuzz/fuzz/fuzz_*; do
      [ -x "$target" ] || continue
      name=$(basename "$target"); format=${name#fuzz_}
      seeds=()
      for d in "$root/../shared/corpus/$format" "$root/tests/data/fuzz/$format"; do
        [ -d "$d" ] && seeds+=("$d")
      done
      work=$(mktemp -d)
      echo "fuzz: $name for ${seconds}s"
      "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=1048576 \
        -print_final_stats=0 "$work" "${seeds[@]}" 2>"$work.log" || { tail -60 "$work.log"; exit 1; }
      rm -rf "$work" "$work.log"
    done
    echo "fuzz: every target ran clean"
    ;;
  *)
    echo "usage: scripts/test.sh [release|asan|fuzz]" >&2; exit 2 ;;
esac
