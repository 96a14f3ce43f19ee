#!/usr/bin/env bash
# Renders the program icon src/ui/icons/tolvan32.svg to the PNG sizes the desktop's icon theme
# and the window use (src/ui/icons/tolvan32-<n>.png). Run after editing the SVG; the PNGs are
# committed, so the build itself needs no SVG renderer.
set -euo pipefail
icons="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/src/ui/icons"
big="$(mktemp --suffix=.png)"
trap 'rm -f "$big"' EXIT
# Rendered once at 1024 px and scaled down: smoother edges than rendering each size.
convert -background none -density 288 "$icons/tolvan32.svg" -resize 1024x1024 "$big"
for size in 16 32 48 64 128 256; do
  convert "$big" -resize "${size}x${size}" -depth 8 -strip "PNG32:$icons/tolvan32-$size.png"
done
