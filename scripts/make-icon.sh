#!/usr/bin/env bash
# Redraws src/resources/quorvane.ico (a folder with a magnifying glass, 16 and 32
# pixels) with ImageMagick. The .ico is committed; run this only to change it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for s in 16 32; do
  convert -size ${s}x${s} xc:none \
    -fill '#E8B730' -stroke '#A67C12' -strokewidth 1 \
    -draw "roundrectangle 0,$((s * 3 / 16)) $((s * 7 / 16)),$((s * 6 / 16)) 1,1" \
    -draw "roundrectangle 0,$((s * 5 / 16)) $((s - 1)),$((s * 14 / 16)) 1,1" \
    -fill none -stroke '#1F5FAF' -strokewidth $((s / 10 + 1)) \
    -draw "circle $((s * 9 / 16)),$((s * 9 / 16)) $((s * 9 / 16)),$((s * 5 / 16))" \
    -draw "line $((s * 12 / 16)),$((s * 12 / 16)) $((s - 2)),$((s - 2))" \
    "PNG32:$work/icon$s.png"
done
convert "$work/icon16.png" "$work/icon32.png" "$root/src/resources/quorvane.ico"
