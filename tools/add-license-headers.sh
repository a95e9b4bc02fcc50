#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every source file the project's SPDX licence line at its top, where
# it is missing; running it again changes nothing. Source files are the C++
# sources and headers, the shell scripts (by name or by their #! line), the
# CMake files, Qt resource lists and the manual page templates; the line
# goes after a #! line, in the file's own comment form.
#   tools/add-license-headers.sh          add the line where it is missing
#   tools/add-license-headers.sh --check  only list the files without it;
#                                         fails when there is one
set -euo pipefail
cd "$(dirname "$0")/.."
spdx="SPDX-License-Identifier: GPL-3.0-or-later"
check=false
[ "${1:-}" = "--check" ] && check=true

# The files of the project: git's, with the new ones not yet added; outside
# a git work tree, every file but the build folders'.
project_files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard
  else
    find . \( -path './build*' -o -path ./.git \) -prune -o -type f -printf '%P\0'
  fi
}

has_shebang() { head -c2 "$1" | grep -q '^#!'; }

# The line as a comment of FILE's kind; nothing for a file that is no source.
comment_for() {
  case "$1" in
    *.cpp | *.h) echo "// $spdx" ;;
    *.sh | *.cmake | */CMakeLists.txt | CMakeLists.txt) echo "# $spdx" ;;
    *.qrc) echo "<!-- $spdx -->" ;;
    *.[1-8].in) echo ".\\\" $spdx" ;;
    *) if has_shebang "$1"; then echo "# $spdx"; fi ;;
  esac
}

missing=0
while IFS= read -r -d '' file; do
  [ -f "$file" ] || continue
  line="$(comment_for "$file")"
  [ -n "$line" ] || continue
  head -n3 "$file" | grep -qF "$spdx" && continue
  missing=$((missing + 1))
  if $check; then
    echo "no SPDX line: $file"
  elif has_shebang "$file"; then
    sed -i "1a\\${line//\\/\\\\}" "$file"
  else
    sed -i "1i\\${line//\\/\\\\}" "$file"
  fi
done < <(project_files)

if $check && ((missing)); then
  echo "$missing source files lack the line \"$spdx\"; tools/add-license-headers.sh adds it"
  exit 1
fi
$check || echo "add-license-headers: $missing files given the SPDX line"
