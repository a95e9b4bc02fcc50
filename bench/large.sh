#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# One package near the largest size the program takes (1.9 GiB by default)
# against cp: converts it with `klangheber --batch FOLDER --pause 0` and
# copies it with cp in the same run; prints both times, their ratio, the
# batch's peak memory (maximum resident set) and whether the targets hold
# (peak memory at most 64 MiB, the batch at most 3 times cp's time).
# The page cache is warmed first and every timed step starts after a sync.
# The package, its copy and the module are removed at the end.
#
# Settings (environment):
#   BUILD_DIR       build folder with klangheber and make_batch_tree (build)
#   BATCH_DIR       where the package lives ($TMPDIR or /tmp, then kh-bench-large)
#   LARGE_SIZE_MIB  the package's size in MiB (1945; at most 2047)
#   REPEAT          timed rounds; the fastest round counts (3)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${BUILD_DIR:-build}"
klangheber="$build_dir/src/Klangheber/klangheber"
generator="$build_dir/bench/make_batch_tree"
batch_dir="${BATCH_DIR:-${TMPDIR:-/tmp}/kh-bench-large}"
size_mib="${LARGE_SIZE_MIB:-1945}"
repeat="${REPEAT:-3}"

for tool in "$klangheber" "$generator"; do
  if [ ! -x "$tool" ]; then
    echo "large.sh: $tool is missing; build it: cmake --build $build_dir --target klangheber make_batch_tree" >&2
    exit 2
  fi
done
if [ ! -x /usr/bin/time ]; then
  echo "large.sh: /usr/bin/time is missing (Debian package 'time')" >&2
  exit 2
fi

tree="$batch_dir/tree"
copy="$batch_dir/copy"
cleanup() { rm -rf "$batch_dir"; }
trap cleanup EXIT
rm -rf "$batch_dir"
mkdir -p "$batch_dir"
bytes=$((size_mib * 1024 * 1024 - 1))
if ((bytes >= 2147483647)); then bytes=2147483646; fi
echo "generating one package of $bytes bytes in $tree" >&2
"$generator" "$tree" 1 "$bytes" "$bytes"
package=$(find "$tree" -name '*.umx')
cat "$package" >/dev/null

now_ns() { date +%s%N; }
best_cp="" best_batch="" peak_kib=0
printf '%5s %8s %9s %8s %9s %10s %9s %12s %s\n' round "cp s" "batch s" "ratio" "batch/cp" "peak MiB" "cp CPU s" "batch CPU s" "load"
for ((round = 1; round <= repeat; round++)); do
  rm -rf "$copy"
  find "$tree" -type f ! -name '*.umx' -delete
  sync
  t0=$(now_ns)
  /usr/bin/time -f '%U %S' -o "$batch_dir/cp.out" cp -r "$tree" "$copy"
  t1=$(now_ns)
  cp_ns=$((t1 - t0))
  rm -rf "$copy"
  sync
  t0=$(now_ns)
  /usr/bin/time -f '%M %U %S' -o "$batch_dir/time.out" "$klangheber" --batch "$tree" --pause 0 >/dev/null
  t1=$(now_ns)
  batch_ns=$((t1 - t0))
  module=$(find "$tree" -type f \( -name '*.it' -o -name '*.s3m' -o -name '*.xm' \))
  if [ -z "$module" ]; then
    echo "large.sh: no module written" >&2
    exit 1
  fi
  read -r rss_kib user sys <"$batch_dir/time.out"
  read -r cp_user cp_sys <"$batch_dir/cp.out"
  ((rss_kib > peak_kib)) && peak_kib=$rss_kib
  if [ -z "$best_cp" ] || ((cp_ns < best_cp)); then best_cp=$cp_ns; fi
  if [ -z "$best_batch" ] || ((batch_ns < best_batch)); then best_batch=$batch_ns; fi
  awk -v r="$round" -v cp="$cp_ns" -v b="$batch_ns" -v rss="$rss_kib" -v u="$user" -v s="$sys" \
    -v cu="$cp_user" -v cs="$cp_sys" -v load="$(cut -d' ' -f1-3 /proc/loadavg)" 'BEGIN {
      printf "%5d %8.3f %9.3f %7.1f%% %9.2f %10.1f %9.2f %12.2f %s\n", r, cp / 1e9, b / 1e9, 100 * cp / b, b / cp, rss / 1024, cu + cs, u + s, load
    }'
done

awk -v cp="$best_cp" -v b="$best_batch" -v rss="$peak_kib" 'BEGIN {
  printf "best: cp %.3f s, batch %.3f s, ratio %.1f%% of cp, %.2f x cp (target at most 3: %s), peak RSS %.1f MiB (target at most 64: %s)\n",
    cp / 1e9, b / 1e9, 100 * cp / b, b / cp, (b / cp <= 3 ? "met" : "MISSED"), rss / 1024, (rss / 1024 <= 64 ? "met" : "MISSED")
}'
