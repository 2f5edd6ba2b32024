#!/usr/bin/env bash
# Replays the recordings through the command-line tool as an operator would and collects what it
# writes: each recording imported as a cast of one cruise, reprocessed, exported as text, and the
# cruise's cast-header table.
#   replay.sh path/to/marevo-cli OUTDIR      writes the outputs into OUTDIR
#   replay.sh path/to/marevo-cli --check     compares them byte for byte with expected/
set -euo pipefail
cli=$1 target=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
out=$work/out
mkdir -p "$work/in" "$out"
# The import deletes the logger's files: it gets copies.
cp "$here"/recordings/* "$work/in/"
casts=(df5-synthetic df6-synthetic df7-synthetic df6-damaged df6-real-cut)
export MAREVO_CLOCK_START=46000.5
cli() { "$cli" --data-root "$root" -q "$@" >/dev/null; }
cli init
cli cruise new Gold --vessel "RV Replay" --operator Golden
for c in "${casts[@]}"; do cli import "$work/in/$c.raw" --cruise Gold; done
n=0
for c in "${casts[@]}"; do
  n=$((n + 1))
  cp "$root/Gold/bin/Gold00$n.bin" "$out/$c.imported.bin"
  cli reprocess Gold "$n"
  cli export Gold "$n" "$out/$c.txt"
  cp "$root/Gold/bin/Gold00$n.bin" "$out/$c.bin"
done
cli cruise export-headers Gold "$out/Gold-headers.txt"

if [ "$target" != --check ]; then
  mkdir -p "$target"
  rm -f "$target"/*
  cp "$out"/* "$target/"
  exit 0
fi
status=0
for f in "$here"/expected/*; do
  name=$(basename "$f")
  if ! cmp -s "$f" "$out/$name"; then
    echo "differs from the expected output: $name" >&2
    cmp "$f" "$out/$name" >&2 || true
    status=1
  fi
done
for f in "$out"/*; do
  [ -e "$here/expected/$(basename "$f")" ] || { echo "not expected: $(basename "$f")" >&2; status=1; }
done
[ $status -eq 0 ] && echo "every replay output matches the expected one"
exit $status
