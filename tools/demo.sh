#!/usr/bin/env bash
# Sets up the machine, builds, copies the bundled demo packages to a temporary
# folder, converts them with the command line and lists the modules written.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/setup.sh >/dev/null
work="$(mktemp -d "${TMPDIR:-/tmp}/klangheber-demo.XXXXXX")"
cp examples/demo/*.umx "$work"/
echo "Converting the demo packages in $work"
status=0
"${BUILD_DIR:-build}/src/Klangheber/klangheber" --batch "$work" || status=$?
echo
echo "Modules written:"
(cd "$work" && ls -l -- *.it *.s3m *.xm 2>/dev/null) || echo "(none)"
exit "$status"
