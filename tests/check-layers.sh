#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The layers' arrows point one way: the platform rooms system <- widgets <-
# shell, the components above them (the byte editor's document core and the
# package reader on the system room alone), the main window above the components and
# the program on top. Prints every #include that points the wrong way and
# fails when there is one.
#   check-layers.sh SRC_DIR
set -uo pipefail
src="$1"
status=0

# forbid FOLDER PATTERN: no file under SRC_DIR/FOLDER includes a header whose
# path matches PATTERN.
forbid() {
  local hits
  hits=$(grep -rnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($2)" "$src/$1")
  if [ -n "$hits" ]; then
    echo "$1 must not include $2:"
    echo "$hits"
    status=1
  fi
}

forbid platform/system 'platform/(widgets|shell)/|Q[A-Za-z]*>'
forbid platform/widgets 'platform/shell/'
# The byte editor's document core sits on the system room alone.
forbid hexeditor/core 'platform/(widgets|shell)/|hexeditor/hexeditor\.h|Q[A-Za-z]*>'
# The package reader sits on the system room alone, without Qt.
forbid PackageReader 'platform/(widgets|shell)/|Q[A-Za-z]*>|(hexeditor|FileFind|BrowseDr|MainForm1|Klangheber)/'
# So does module audio.
forbid ModuleAudio 'platform/(widgets|shell)/|Q[A-Za-z]*>|(hexeditor|FileFind|BrowseDr|MainForm1|Klangheber|PackageReader)/'
forbid platform '(hexeditor|FileFind|BrowseDr|MainForm1|Klangheber|PackageReader|ModuleAudio)/'
for component in hexeditor FileFind BrowseDr ModuleAudio; do
  forbid "$component" '(MainForm1|Klangheber)/'
done
forbid MainForm1 'Klangheber/'
exit $status
