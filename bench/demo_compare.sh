#!/usr/bin/env bash
# Runs the demo into a temporary data root and compares its binned down-cast with an independent
# binning of the recorded cast (demo_compare.py, python3-gsw as the outside reference).
#   demo_compare.sh path/to/marevo-cli
set -euo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
"$cli" --data-root "$root" -q demo >/dev/null 2>&1
export_file=$(ls "$root"/Demo*/txt/Demo*001.txt)
/usr/bin/python3 "$here/demo_compare.py" "$here/../data/real-casts/south-atlantic-2011-24hz.cnv.bz2" \
  "$export_file"
