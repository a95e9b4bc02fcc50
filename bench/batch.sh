#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The batch against cp: generates a tree of small and a tree of large Unreal
# music packages, converts each with `klangheber --batch TREE --pause 0` and,
# in the same run, copies the same tree with `cp -r` and runs
# `traffic_floor` (the least file traffic of a conversion: load, cut, scan
# copy, reload, module, without the program around it); prints packages per
# second, MB/s, the ratio to the copy, the floor's ratio to the copy and the
# peak memory of each batch. The page cache is warmed first and every timed
# step starts after a sync.
#
# Settings (environment):
#   BUILD_DIR    build folder with klangheber and make_batch_tree (build)
#   BATCH_DIR    where the trees live ($TMPDIR or /tmp, then kh-bench-batch)
#   SMALL_COUNT  small packages (1000)     SMALL_MIN/SMALL_MAX bytes (50 KiB/500 KiB)
#   LARGE_COUNT  large packages (20)       LARGE_MIN/LARGE_MAX bytes (20 MiB/50 MiB)
#   REPEAT       timed rounds per tree; the fastest round counts (3)
#   SETS         trees to run ("small large")
# The ratios: cp time / batch time (wall clock, fastest rounds), and the same
# for CPU time (user + system), which a busy machine disturbs less.
# A quick run: SMALL_COUNT=100 LARGE_COUNT=3 REPEAT=1 bench/batch.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${BUILD_DIR:-build}"
klangheber="$build_dir/src/Klangheber/klangheber"
generator="$build_dir/bench/make_batch_tree"
floor="$build_dir/bench/traffic_floor"
batch_dir="${BATCH_DIR:-${TMPDIR:-/tmp}/kh-bench-batch}"
small_count="${SMALL_COUNT:-1000}"
small_min="${SMALL_MIN:-$((50 * 1024))}"
small_max="${SMALL_MAX:-$((500 * 1024))}"
large_count="${LARGE_COUNT:-20}"
large_min="${LARGE_MIN:-$((20 * 1024 * 1024))}"
large_max="${LARGE_MAX:-$((50 * 1024 * 1024))}"
repeat="${REPEAT:-3}"
sets="${SETS:-small large}"

if [ ! -x /usr/bin/time ]; then
  echo "batch.sh: /usr/bin/time is missing (Debian package 'time'; tools/setup.sh installs it)" >&2
  exit 2
fi
for tool in "$klangheber" "$generator" "$floor"; do
  if [ ! -x "$tool" ]; then
    echo "batch.sh: $tool is missing; build it: cmake --build $build_dir --target klangheber make_batch_tree traffic_floor" >&2
    exit 2
  fi
done

now_ns() { date +%s%N; }

# Removes what a batch leaves beside the packages.
clean_outputs() {
  find "$1" -type f \( -name '*.it' -o -name '*.s3m' -o -name '*.xm' -o -name '*.BAK' -o -name '*.floor' \) -delete
}

# Generates the tree unless one with the same settings is already there.
make_tree() {
  local tree=$1 count=$2 min=$3 max=$4 stamp="$count $min $max"
  if [ -f "$tree.stamp" ] && [ "$(cat "$tree.stamp")" = "$stamp" ]; then
    return
  fi
  rm -rf "$tree" "$tree.stamp"
  echo "generating $count packages of $min..$max bytes in $tree" >&2
  "$generator" "$tree" "$count" "$min" "$max"
  echo "$stamp" >"$tree.stamp"
}

mkdir -p "$batch_dir"
printf '%-6s %8s %8s %10s %8s %8s %8s %8s %12s %13s %8s %12s %13s\n' \
  tree packages MiB largestMiB "cp s" "batch s" "pkg/s" "MB/s" "ratio to cp" "CPU ratio" "floor s" "floor to cp" "peak RSS MiB"

for set in $sets; do
  case $set in
    small) count=$small_count min=$small_min max=$small_max ;;
    large) count=$large_count min=$large_min max=$large_max ;;
    *) echo "batch.sh: unknown tree '$set'" >&2; exit 2 ;;
  esac
  tree="$batch_dir/$set"
  copy="$batch_dir/$set.copy"
  make_tree "$tree" "$count" "$min" "$max"
  clean_outputs "$tree"
  bytes=$(find "$tree" -type f -name '*.umx' -printf '%s\n' | awk '{s += $1} END {print s + 0}')
  largest=$(find "$tree" -type f -name '*.umx' -printf '%s\n' | sort -n | tail -1)
  # Warm the page cache with the packages.
  find "$tree" -type f -name '*.umx' -exec cat {} + >/dev/null

  best_cp="" best_batch="" best_cp_cpu="" best_batch_cpu="" best_floor="" peak_kib=0
  for ((round = 1; round <= repeat; round++)); do
    # Both timed steps start after the same deletions: on ext4 without a
    # journal every new inode is checked against the inodes freed in the last
    # minutes, so deleting files makes the next creations dearer.
    rm -rf "$copy"
    clean_outputs "$tree"
    sync
    t0=$(now_ns)
    /usr/bin/time -f '%U %S' -o "$batch_dir/cp.out" cp -r "$tree" "$copy"
    t1=$(now_ns)
    cp_ns=$((t1 - t0))

    sync
    t0=$(now_ns)
    status=0
    /usr/bin/time -f '%M %U %S' -o "$batch_dir/time.out" "$klangheber" --batch "$tree" --pause 0 >/dev/null || status=$?
    t1=$(now_ns)
    batch_ns=$((t1 - t0))
    if [ "$status" -ne 0 ]; then
      echo "batch.sh: klangheber --batch $tree ended with status $status" >&2
      exit 1
    fi
    outputs=$(find "$tree" -type f \( -name '*.it' -o -name '*.s3m' -o -name '*.xm' \) | wc -l)
    if [ "$outputs" -ne "$count" ]; then
      echo "batch.sh: $outputs modules written for $count packages" >&2
      exit 1
    fi
    rss_kib=$(tail -1 "$batch_dir/time.out" | awk '{print $1}')
    cp_cpu=$(tail -1 "$batch_dir/cp.out" | awk '{printf "%d", ($1 + $2) * 1000}')
    batch_cpu=$(tail -1 "$batch_dir/time.out" | awk '{printf "%d", ($2 + $3) * 1000}')
    if [ -z "$best_cp_cpu" ] || ((cp_cpu < best_cp_cpu)); then best_cp_cpu=$cp_cpu; fi
    if [ -z "$best_batch_cpu" ] || ((batch_cpu < best_batch_cpu)); then best_batch_cpu=$batch_cpu; fi
    ((rss_kib > peak_kib)) && peak_kib=$rss_kib
    if [ -z "$best_cp" ] || ((cp_ns < best_cp)); then best_cp=$cp_ns; fi
    if [ -z "$best_batch" ] || ((batch_ns < best_batch)); then best_batch=$batch_ns; fi

    # The floor meets the same folders as the batch: the previous round's
    # files deleted before, the batch's modules in place.
    sync
    t0=$(now_ns)
    "$floor" "$tree"
    t1=$(now_ns)
    floor_ns=$((t1 - t0))
    if [ -z "$best_floor" ] || ((floor_ns < best_floor)); then best_floor=$floor_ns; fi
  done
  clean_outputs "$tree"
  rm -rf "$copy"

  awk -v set="$set" -v n="$count" -v bytes="$bytes" -v largest="$largest" -v cp="$best_cp" \
    -v batch="$best_batch" -v rss="$peak_kib" -v cpcpu="$best_cp_cpu" -v batchcpu="$best_batch_cpu" \
    -v floor="$best_floor" 'BEGIN {
      printf "%-6s %8d %8.1f %10.1f %8.3f %8.3f %8.1f %8.1f %11.1f%% %12.1f%% %8.3f %11.1f%% %13.1f\n",
        set, n, bytes / 1048576, largest / 1048576, cp / 1e9, batch / 1e9,
        n / (batch / 1e9), bytes / 1e6 / (batch / 1e9), 100 * cp / batch,
        (batchcpu > 0 ? 100 * cpcpu / batchcpu : 0), floor / 1e9, 100 * cp / floor, rss / 1024
    }'
done
