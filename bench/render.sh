#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Rendering to FLAC against the reference renderer: generates packages with
# MINUTES of music (make_render_tree) beside the bundled demo packages,
# converts them once, then in the same run times
#   klangheber --batch TREE --render flac --jobs 1
#   klangheber --batch TREE --render flac --jobs <cores>
#   openmpt123 --render --output-type flac (the same modules, one process)
# all at 48 kHz stereo, and prints minutes of music per second for each. The
# fastest of REPEAT rounds counts; its CPU time (user + system) is printed
# beside it, which a busy machine disturbs less.
# Targets: one job at least 0.9 times openmpt123's figure; all cores at
# least 0.8 x cores times the one-job figure. Exits 1 when one is missed.
#
# Settings (environment):
#   BUILD_DIR   build folder with klangheber and make_render_tree (build)
#   RENDER_DIR  where the packages live ($TMPDIR or /tmp, then kh-bench-render)
#   MINUTES     generated music in minutes (32)
#   REPEAT      timed rounds; the fastest counts (2)
#   CORES       jobs of the second run (nproc)
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir="${BUILD_DIR:-build}"
klangheber="$build_dir/src/Klangheber/klangheber"
generator="$build_dir/bench/make_render_tree"
render_dir="${RENDER_DIR:-${TMPDIR:-/tmp}/kh-bench-render}"
minutes="${MINUTES:-32}"
repeat="${REPEAT:-2}"
cores="${CORES:-$(nproc)}"

for tool in "$klangheber" "$generator"; do
  if [ ! -x "$tool" ]; then
    echo "render.sh: $tool is missing; build it: cmake --build $build_dir --target klangheber make_render_tree" >&2
    exit 2
  fi
done
if ! command -v openmpt123 >/dev/null; then
  echo "render.sh: openmpt123 is missing (Debian package 'openmpt123'; tools/setup.sh --tests installs it)" >&2
  exit 2
fi

now_ns() { date +%s%N; }

tree="$render_dir/tree"
modules="$render_dir/modules"
rm -rf "$render_dir"
mkdir -p "$tree" "$modules"
"$generator" "$tree" "$minutes" >/dev/null
cp examples/demo/*.umx "$tree"/
"$klangheber" --batch "$tree" --json >"$render_dir/convert.jsonl"
music=$(sed -n 's/.*"music_seconds":\([0-9.]*\).*/\1/p' "$render_dir/convert.jsonl")
cp "$tree"/*.it "$tree"/*.s3m "$tree"/*.xm "$modules"/
count=$(find "$modules" -type f | wc -l)

# Prints the fastest of the rounds in nanoseconds and that round's CPU time
# (user + system) in milliseconds; $1 cleans up before each.
fastest() {
  local clean=$1 best="" cpu="" t0 t1
  shift
  for ((round = 1; round <= repeat; round++)); do
    $clean
    sync
    t0=$(now_ns)
    /usr/bin/time -f '%U %S' -o "$render_dir/time.out" "$@" >/dev/null 2>&1 ||
      { echo "render.sh: $* failed" >&2; exit 1; }
    t1=$(now_ns)
    if [ -z "$best" ] || ((t1 - t0 < best)); then
      best=$((t1 - t0))
      cpu=$(tail -1 "$render_dir/time.out" | awk '{printf "%d", ($1 + $2) * 1000}')
    fi
  done
  echo "$best $cpu"
}
clean_tree() { find "$tree" -name '*.flac' -delete; }
clean_modules() { find "$modules" -name '*.flac' -delete; }

read -r one one_cpu < <(fastest clean_tree "$klangheber" --batch "$tree" --render flac --jobs 1)
flacs=$(find "$tree" -name '*.flac' | wc -l)
read -r all all_cpu < <(fastest clean_tree "$klangheber" --batch "$tree" --render flac --jobs "$cores")
read -r reference reference_cpu < <(fastest clean_modules openmpt123 --quiet --render --output-type flac \
  --samplerate 48000 --force -- "$modules"/*)
if [ -z "$one" ] || [ -z "$all" ] || [ -z "$reference" ]; then exit 1; fi
if [ "$flacs" -ne "$count" ]; then
  echo "render.sh: $flacs audio files for $count modules" >&2
  exit 1
fi

awk -v music="$music" -v count="$count" -v cores="$cores" -v one="$one" -v all="$all" -v ref="$reference" \
  -v onecpu="$one_cpu" -v allcpu="$all_cpu" -v refcpu="$reference_cpu" 'BEGIN {
  minutes = music / 60
  r1 = minutes / (one / 1e9); rn = minutes / (all / 1e9); rr = minutes / (ref / 1e9)
  printf "%d modules, %.1f minutes of music, %d cores\n", count, minutes, cores
  printf "%-34s %8s %18s %8s %18s\n", "run", "s", "music min/s", "CPU s", "music min/CPU s"
  printf "%-34s %8.2f %18.2f %8.2f %18.2f\n", "openmpt123 --render", ref / 1e9, rr, refcpu / 1e3, minutes / (refcpu / 1e3)
  printf "%-34s %8.2f %18.2f %8.2f %18.2f\n", "klangheber --render --jobs 1", one / 1e9, r1, onecpu / 1e3, minutes / (onecpu / 1e3)
  printf "%-34s %8.2f %18.2f %8.2f %18.2f\n", "klangheber --render --jobs " cores, all / 1e9, rn, allcpu / 1e3, minutes / (allcpu / 1e3)
  ok1 = r1 >= 0.9 * rr; okn = rn >= 0.8 * cores * r1
  printf "one job / openmpt123: %.2f (target >= 0.90) %s\n", r1 / rr, ok1 ? "met" : "MISSED"
  printf "%d jobs / one job: %.2f (target >= %.2f) %s\n", cores, rn / r1, 0.8 * cores, okn ? "met" : "MISSED"
  exit !(ok1 && okn)
}'
