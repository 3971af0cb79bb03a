#!/usr/bin/env bash
# Renders the icon's PNG sizes from its SVG; run after changing the SVG and
# commit the result (needs librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/hicolor"
for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "${size}x${size}/apps"
    rsvg-convert -w "$size" -h "$size" scalable/apps/org.caldrin.Calculator.svg \
        -o "${size}x${size}/apps/org.caldrin.Calculator.png"
done
