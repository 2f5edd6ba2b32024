#!/usr/bin/env bash
# Prints the plot page of the demo's cast (the real recorded cast) into a PDF and checks it with
# the poppler tools: one A4 page, the texts and the header block where the layout puts them, and
# the plot's outline in its band. The page rendered as PNG is kept in KEEP_DIR for a person.
#   print_plot_pdf.sh path/to/marevo-cli KEEP_DIR
set -euo pipefail
cli=$1
keep=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
"$cli" --data-root "$root" -q demo >/dev/null 2>&1
cruise=$(basename "$(ls -d "$root"/Demo*/ | head -n 1)")
"$cli" --data-root "$root" -q print-plot "$cruise" 1 "$root/page.pdf" >/dev/null
test ! -e "$root/.page.pdf.part"
pdfinfo "$root/page.pdf" >"$root/info.txt"
pdftotext -bbox "$root/page.pdf" "$root/words.html"
mkdir -p "$keep"
pdftoppm -r 100 -png -singlefile "$root/page.pdf" "$keep/print-plot-page"
pdftoppm -r 100 -singlefile "$root/page.pdf" "$root/page" # page.ppm
/usr/bin/python3 "$here/print_plot_check.py" "$root/info.txt" "$root/words.html" "$root/page.ppm"

# A PDF that cannot be written: a failure, no file left behind.
if "$cli" --data-root "$root" -q print-plot "$cruise" 1 "$root/none/page.pdf" 2>/dev/null; then
  echo "an unwritable PDF was reported as printed" >&2
  exit 1
fi
test ! -e "$root/none"

# The demo's cast has no bottles: its bottle table is not printed, and no file is left.
if "$cli" --data-root "$root" -q cruise print-bottles "$cruise" 1 "$root/bottles.pdf" 2>/dev/null; then
  echo "a cast without bottles was printed" >&2
  exit 1
fi
test ! -e "$root/bottles.pdf"
