#!/usr/bin/env bash
# Imports the real cast of data/real-casts into a cruise under a temporary data root and renders
# its profile plot (pressure against temperature, conductivity and salinity, automatic ranges)
# as PNG, PDF and SVG for a person to look at, and against its Conservative Temperature and
# sigma0; the PNGs are also copied into docs/manual as the pictures of the plot chapter.
#   docs/manual/make-plot-screenshots.sh [OUTDIR]     (default: build/plot-screenshots)
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-build/plot-screenshots}
cli=./build/apps/marevo-cli/marevo-cli
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$out"

"$cli" --data-root "$root" -q init >/dev/null
"$cli" --data-root "$root" -q cruise new Plot >/dev/null
"$cli" --data-root "$root" -q simulate "$root/uMvo/REAL001.raw" \
  --cast data/real-casts/south-atlantic-2011-24hz.cnv.bz2 >/dev/null
"$cli" --data-root "$root" -q import "$root/uMvo/REAL001.raw" --cruise Plot >/dev/null
for ext in png pdf svg; do
  "$cli" --data-root "$root" plot Plot 1 "$out/plot-real-cast.$ext" --auto --list 101,401,599,404
done
cp "$out/plot-real-cast.png" docs/manual/plot-real-cast.png
# The same cast against two of its TEOS-10 columns: Conservative Temperature and sigma0.
"$cli" --data-root "$root" plot Plot 1 "$out/plot-teos10.png" --auto --list 101,2002,2003
cp "$out/plot-teos10.png" docs/manual/plot-teos10.png
