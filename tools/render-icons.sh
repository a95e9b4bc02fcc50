#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders each program's scalable icon (data/<program>/<program>.svg) into
# the PNG sizes that are installed beside it (data/<program>/<program>-48.png,
# -128.png). The PNGs are committed, so building needs no SVG renderer; run
# this after changing an SVG (needs rsvg-convert from librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/.."
for svg in data/*/*.svg; do
  base="${svg%.svg}"
  for size in 48 128; do
    rsvg-convert --width "$size" --height "$size" "$svg" --output "$base-$size.png"
    echo "render-icons: $base-$size.png"
  done
done
