#!/usr/bin/env bash
# Makes the logger recordings of recordings/ with the simulated probe. They are made once and kept:
# a new run gives other time stamps, so rerun this only to replace a recording on purpose, then
# regenerate the expected outputs (target golden-regenerate) and say why in the commit.
#   make-recordings.sh path/to/marevo-cli
set -euo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
rec=$here/recordings
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
sim() { "$cli" --data-root "$root" -q simulate "$rec/$1.raw" "${@:2}" >/dev/null; }
sim df5-synthetic --format 5 --seconds 150 --bottom 40 --rate 8
sim df6-synthetic --format 6 --seconds 150 --bottom 40 --rate 8
sim df7-synthetic --format 7 --seconds 150 --bottom 40 --rate 8
sim df6-real-cut --format 6 --seconds 330 --cast "$here/../../../data/real-casts/south-atlantic-2011-24hz.cnv.bz2"
# A line fault: the synthetic DF6 recording with bytes dropped in frames 12 and 14, a byte flipped
# in frame 100, frames 200 and 201 flipped next to each other, and stray bytes before frame 300.
for e in xfr ext; do cp "$rec/df6-synthetic.$e" "$rec/df6-damaged.$e"; done
/usr/bin/python3 - "$rec/df6-synthetic.raw" "$rec/df6-damaged.raw" <<'PY'
import sys
data = bytearray(open(sys.argv[1], 'rb').read())
size = 40
def at(frame, byte): return frame * size + byte
out = bytearray()
for i, b in enumerate(data):
    if i in (at(12, 17), at(14, 5)):
        continue
    if i == at(300, 0):
        out += b'\x00\xff\x10'
    if i in (at(100, 9), at(200, 22), at(201, 3)):
        b ^= 0x40
    out.append(b)
open(sys.argv[2], 'wb').write(out)
PY
