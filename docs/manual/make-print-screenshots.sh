#!/usr/bin/env bash
# The printed plot page of the real cast (the command-line demo's cast, default page layout on
# A4) as a PDF and rendered as PNG for the printing chapter.
#   docs/manual/make-print-screenshots.sh [OUTDIR]     (default: build/print-screenshots)
# Needs a build in build/ (./run.sh build) and poppler-utils.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=${1:-build/print-screenshots}
cli=./build/apps/marevo-cli/marevo-cli
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
mkdir -p "$out"

"$cli" --data-root "$root" -q demo >/dev/null
cruise=$(basename "$(ls -d "$root"/Demo*/ | head -n 1)")
"$cli" --data-root "$root" -q print-plot "$cruise" 1 "$out/print-plot-page.pdf"
pdftoppm -r 60 -png -singlefile "$out/print-plot-page.pdf" "$out/print-plot-page"
cp "$out/print-plot-page.png" docs/manual/print-plot-page.png
echo "wrote docs/manual/print-plot-page.png"
