#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up the machine, builds, and runs every test, in three stages:
#   normal  the build in build/ (or $BUILD_DIR) and its whole test suite;
#   asan    the same suite built with AddressSanitizer and
#           UndefinedBehaviorSanitizer in build-asan/, where any report fails
#           the test that caused it;
#   fuzz    the libFuzzer targets built with clang++ in build-fuzz/, each run
#           for FUZZ_SECONDS (default 60) seconds (tools/run-fuzz.sh).
# KH_STAGES chooses the stages (default "normal asan fuzz"). Every stage runs
# even when an earlier one failed; the exit status is non-zero if any failed.
set -uo pipefail
cd "$(dirname "$0")/.."

stages=" ${KH_STAGES:-normal asan fuzz} "
jobs="$(nproc)"
failed=()

tools/setup.sh --tests || exit 1

if [[ $stages == *" normal "* ]]; then
  echo "== tests: ${BUILD_DIR:-build}"
  ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j "$jobs" || failed+=(normal)
fi

if [[ $stages == *" asan "* ]]; then
  echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer: build-asan"
  source tools/sanitizer-env.sh
  if cmake -S . -B build-asan -G Ninja -DKH_SANITIZE=ON -DKH_BUILD_BENCH=OFF &&
     cmake --build build-asan -j "$jobs"; then
    ctest --test-dir build-asan --output-on-failure -j "$jobs" || failed+=(asan)
  else
    failed+=(asan-build)
  fi
fi

if [[ $stages == *" fuzz "* ]]; then
  echo "== fuzz targets: build-fuzz"
  tools/run-fuzz.sh || failed+=(fuzz)
fi

if ((${#failed[@]})); then
  echo "run-tests: failed stages: ${failed[*]}"
  exit 1
fi
echo "run-tests: all stages passed"
