#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets with clang++ (ASan and UBSan included) into
# build-fuzz/ (or $FUZZ_BUILD_DIR) and runs each for FUZZ_SECONDS seconds
# (default 60). An input that breaks an invariant or trips a sanitizer is
# written to build-fuzz/findings/<target>/; once the fault is mended, copy it
# to tests/fuzz/corpus/<target>/, where the normal test run replays it.
set -uo pipefail
cd "$(dirname "$0")/.."
source tools/sanitizer-env.sh

seconds="${FUZZ_SECONDS:-60}"
dir="${FUZZ_BUILD_DIR:-build-fuzz}"
cmake -S . -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DKH_FUZZ=ON -DKH_BUILD_TESTS=OFF -DKH_BUILD_BENCH=OFF ||
  exit 1
cmake --build "$dir" -j "$(nproc)" --target scan_fuzz edit_fuzz reader_fuzz || exit 1

status=0
for target in scan edit reader; do
  work="$dir/work/$target"
  findings="$dir/findings/$target"
  mkdir -p "$work" "$findings"
  seeds=("tests/fuzz/corpus/$target")
  if [ "$target" = scan ]; then
    # Packages up to a few KiB; the demo packages are good starting points.
    seeds+=(examples/demo)
    options=(-max_len=4096)
  elif [ "$target" = reader ]; then
    # Packages of a few KiB; nothing the reader allocates for them comes near
    # 64 MiB, so a larger allocation is a count it trusted.
    options=(-max_len=8192 -malloc_limit_mb=64 -dict=tests/fuzz/reader.dict)
  else
    # Command sequences need length from the start to reach deep states.
    options=(-max_len=1024 -len_control=0)
  fi
  echo "== fuzzing $target for $seconds s"
  if ! "$dir/tests/fuzz/${target}_fuzz" -max_total_time="$seconds" "${options[@]}" -timeout=30 \
      -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$findings/" "$work" "${seeds[@]}"; then
    echo "run-fuzz: $target found a fault; the input is in $findings/"
    status=1
  fi
done
exit $status
