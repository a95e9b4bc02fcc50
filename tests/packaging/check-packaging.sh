#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR and builds the Debian package,
# then checks what a user would get: the exact file list (in both), every
# desktop entry (valid, its program and icons installed), the AppStream data,
# the manual pages, the icon sizes, each installed program's --version,
# hardening and symbols (no test seams), the package's control data and what
# Debian's package checker (lintian) finds in it.
# Usage: check-packaging.sh BUILD_DIR VERSION
set -euo pipefail
build="$(realpath "$1")"
version="$2"

# Every file a user gets; a new program adds its lines here.
expected_files="usr/bin/klangheber
usr/share/applications/klangheber.desktop
usr/share/icons/hicolor/128x128/apps/klangheber.png
usr/share/icons/hicolor/48x48/apps/klangheber.png
usr/share/icons/hicolor/scalable/apps/klangheber.svg
usr/share/man/man1/klangheber.1.gz
usr/share/metainfo/io.github.klangheber.klangheber.metainfo.xml
usr/bin/klangheber-hex
usr/share/applications/klangheber-hex.desktop
usr/share/icons/hicolor/128x128/apps/klangheber-hex.png
usr/share/icons/hicolor/48x48/apps/klangheber-hex.png
usr/share/icons/hicolor/scalable/apps/klangheber-hex.svg
usr/share/man/man1/klangheber-hex.1.gz
usr/share/metainfo/io.github.klangheber.klangheber_hex.metainfo.xml
usr/share/doc/klangheber/copyright
usr/share/doc/klangheber/changelog.gz
usr/share/lintian/overrides/klangheber"
# Shared libraries every program needs; dpkg-shlibdeps must name them.
expected_depends="libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libopenmpt0 libsndfile1"

fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in desktop-file-validate appstreamcli groff dpkg-deb dpkg-shlibdeps file cpack hardening-check lintian; do
  command -v "$tool" >/dev/null || fail "$tool is missing (tools/setup.sh --tests installs it)"
done

work="$(mktemp -d "${TMPDIR:-/tmp}/kh-packaging.XXXXXX")"
trap 'rm -rf "$work"' EXIT
root="$work/root"

check_file_list() {  # WHAT FOUND
  local expected
  expected="$(sort <<<"$expected_files")"
  if [ "$2" != "$expected" ]; then
    diff <(echo "$expected") <(echo "$2") >&2 || true
    fail "$1: the files differ from the expected list (< expected, > found)"
  fi
}

# The install tree.
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
check_file_list "cmake --install" "$(cd "$root" && find . ! -type d | sed 's|^\./||' | sort)"

for program in "$root"/usr/bin/*; do
  shown="$("$program" --version)"
  [ "$(head -n1 <<<"$shown")" = "$(basename "$program") $version" ] || fail "$program --version shows '$shown'"
  grep -q "GPL-3.0-or-later" <<<"$shown" || fail "$program --version names no licence: '$shown'"
  # Debian 12 builds its packages without control-flow protection.
  report="$(hardening-check --nocfprotection "$program")" || fail "$report"
  # The tests' doubles and the switches only they need stay out of the
  # programs: the shell objects are the library's own.
  symbols="$(nm -C "$program")" || fail "nm cannot read $program"
  seams="$(grep -E 'testsupport::|SetGate|AllocationGate|SetBrowseDialog|SetNameKind' <<<"$symbols" || true)"
  [ -z "$seams" ] || fail "$program carries test seams: $seams"
  grep -q 'platform::ShellAllocator()' <<<"$symbols" || fail "$program: no symbols to check (stripped?)"
done

for entry in "$root"/usr/share/applications/*.desktop; do
  report="$(desktop-file-validate "$entry" 2>&1)" && [ -z "$report" ] || fail "$entry: $report"
  # An editor for any file is offered for binary files, never their default.
  if grep -q '^MimeType=.*application/octet-stream' "$entry"; then
    [ "$(sed -n 's/^InitialPreference=//p' "$entry")" -le 0 ] || fail "$entry may become the default for binary files"
  fi
  exec_line="$(sed -n 's/^Exec=//p' "$entry")"
  [[ $exec_line =~ ^([^ ]+)\ %f$ ]] || fail "$entry: Exec=$exec_line does not take a file or folder (%f)"
  [ -x "$root/usr/bin/${BASH_REMATCH[1]}" ] || fail "$entry starts ${BASH_REMATCH[1]}, which is not installed"
  icon="$(sed -n 's/^Icon=//p' "$entry")"
  for file in scalable/apps/"$icon".svg {48x48,128x128}/apps/"$icon".png; do
    [ -f "$root/usr/share/icons/hicolor/$file" ] || fail "$entry: icon $file is not installed"
  done
done

for png in "$root"/usr/share/icons/hicolor/*x*/apps/*.png; do
  folder="$(basename "$(dirname "$(dirname "$png")")")"
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [ "$folder" = "${width}x$height" ] || fail "$png is ${width}x$height"
done

report="$(appstreamcli validate-tree --no-net "$root" 2>&1)" || fail "AppStream data: $report"
for metainfo in "$root"/usr/share/metainfo/*.xml; do
  report="$(appstreamcli validate --pedantic --no-net "$metainfo" 2>&1)"
  [ "$report" = "✔ Validation was successful." ] || fail "$metainfo: $report"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "$metainfo has no release $version"
done

for page in "$root"/usr/share/man/man1/*; do
  warnings="$(zcat "$page" | groff -K utf8 -man -ww -z 2>&1)"
  [ -z "$warnings" ] || fail "$page: $warnings"
done

# The Debian package.
log="$(cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" 2>&1)" || fail "cpack: $log"
arch="$(dpkg --print-architecture)"
deb="$work/deb/klangheber_${version}_$arch.deb"
[ -f "$deb" ] || fail "cpack wrote no $(basename "$deb"): $(ls "$work/deb")"
dpkg-deb -I "$deb" >/dev/null || fail "dpkg-deb cannot read $deb"
for field in Package=klangheber Version="$version" Architecture="$arch" Section=sound; do
  value="$(dpkg-deb -f "$deb" "${field%%=*}")"
  [ "$value" = "${field#*=}" ] || fail "control field ${field%%=*} is '$value'"
done
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "control field Maintainer is empty"
depends="$(dpkg-deb -f "$deb" Depends)"
depends_names="$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')"
for package in $expected_depends; do
  grep -qxF "$package" <<<"$depends_names" || fail "Depends lacks $package: $depends"
done
check_file_list "the Debian package" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||' | sort)"
[[ "$(zcat "$root/usr/share/doc/klangheber/changelog.gz")" == "klangheber ($version) "* ]] ||
  fail "the changelog's latest entry is not $version"

# Every override of a lintian hint says why, in the comment above it.
overrides="$root/usr/share/lintian/overrides/klangheber"
awk 'NF && !/^#/ && prev !~ /^#/ {exit 1} NF {prev = $0}' "$overrides" || fail "$overrides: an override without a reason"
report="$(lintian --display-info --fail-on error,warning,info "$deb" 2>&1)" || fail "lintian: $report"
echo "packaging: install tree and $(basename "$deb") as expected"
