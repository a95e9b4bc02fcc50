#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sets up the machine, builds, copies the bundled demo packages to a temporary
# folder, converts them with the command line and renders each module to FLAC
# on the way, lists the modules written and the run's summary line, and ends
# with the FLAC files.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
work="$(mktemp -d "${TMPDIR:-/tmp}/klangheber-demo.XXXXXX")"
cp examples/demo/*.umx "$work"/
echo "Converting the demo packages in $work and rendering their modules to FLAC"
status=0
# stderr holds any error lines and, last, the summary, kept for the end.
log="$work/.klangheber-stderr"
"${BUILD_DIR:-build}/src/Klangheber/klangheber" --batch "$work" --render flac 2>"$log" || status=$?
head -n -1 "$log" >&2
echo
echo "Modules written:"
(cd "$work" && ls -l -- *.it *.s3m *.xm 2>/dev/null) || echo "(none)"
echo
tail -n 1 "$log"
echo
echo "Audio files written:"
(cd "$work" && ls -l -- *.flac 2>/dev/null) || echo "(none)"
exit "$status"
