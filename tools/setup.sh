#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the project needs (only those missing) and
# builds into build/ (or $BUILD_DIR).
#   tools/setup.sh          what building and running the programs needs;
#   tools/setup.sh --tests  also what only the tests, benchmarks, fuzz targets
#                           and the package check need (tools/run-tests.sh).
# The tests and benchmarks are built when every test package is installed;
# otherwise only the programs are (KH_BUILD_TESTS and KH_BUILD_BENCH OFF).
# CMAKE_ARGS is passed to cmake last, so it can override that choice.
set -euo pipefail
cd "$(dirname "$0")/.."

build_packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev libgl-dev libopenmpt-dev libsndfile1-dev
  fonts-urw-base35 fonts-dejavu-core
)
test_packages=(
  libgtest-dev libgmock-dev libbenchmark-dev
  openmpt123
  xvfb xauth xdotool x11-utils
  clang libclang-rt-14-dev
  desktop-file-utils appstream groff-base dpkg-dev file lintian devscripts
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing_from() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

wanted=("${build_packages[@]}")
if [ "${1:-}" = "--tests" ]; then wanted+=("${test_packages[@]}"); fi
mapfile -t missing < <(missing_from "${wanted[@]}")
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

with_tests=ON
if [ -n "$(missing_from "${test_packages[@]}")" ]; then
  with_tests=OFF
  echo "setup: test packages missing, building the programs only (tools/setup.sh --tests adds them)"
fi

build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja -DKH_BUILD_TESTS=$with_tests -DKH_BUILD_BENCH=$with_tests ${CMAKE_ARGS:-}
cmake --build "$build_dir" -j "$(nproc)"
