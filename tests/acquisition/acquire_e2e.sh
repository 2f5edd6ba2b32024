#!/bin/bash
# A real-time cast through the command-line tool against the simulated probe on pseudo-terminals:
# start, descent, Save and Exit after a few seconds. The .raw file must be what the simulator sent
# from its first frame on (its capture), without loss; the .bin file what `reprocess` makes of
# that raw file; the cruise must list the cast and the transcript carry its start and positions;
# the remote depth display must have received its initialisation; the automatic text export must
# be the export of the stored cast.
# Usage: acquire_e2e.sh MAREVO-CLI MAREVO-PROBESIM
set -euo pipefail
cli=$1
sim=$2
. "$(dirname "$0")/e2e_lib.sh"

mkdir "$work/capture"
launch_sim "$work/sim.out" --rate 32 --bottom 20 --duration 120 --capture "$work/capture" --quiet
display=$(awk '/^display /{print $2}' "$work/sim.out")
[ -n "$display" ] || fail "the simulator gave no display line"

new_root
# The automatic text export on time-out: its file at the end is the export of the stored cast.
"$cli" --data-root "$root" -q config set qvtst ExtractionFoldersCfg.AutomaticTextDataExportMode=2 \
    >/dev/null
"$cli" --data-root "$root" --yes acquire --cruise CR --probe-port "$probe" --rdr-port "$display" \
    --seconds 4 \
    >"$work/acquire.out" 2>&1 || { cat "$work/acquire.out"; fail "acquire ended with $?"; }
grep -q ', 0 bytes lost, cast stored' "$work/acquire.out" || fail "no clean end report"
grep -q '^Run ' "$work/acquire.out" || fail "no live line"

raw=$root/CR/raw/CR001.raw
python3 - "$raw" "$work/capture/probe.bytes" <<'PY' || fail "the raw file is not the simulator's bytes"
import sys
raw = open(sys.argv[1], "rb").read()
sent = open(sys.argv[2], "rb").read()
at = sent.find(raw)
# Contiguous, at least a few seconds of 40-byte frames, and before it only the protocol's text.
ok = len(raw) >= 40 * 64 and len(raw) % 40 == 0 and at > 0
ok = ok and all(0 < b < 0x80 for b in sent[:at])
sys.exit(0 if ok else 1)
PY

# The remote depth display was initialised (the environment's light level 10), in one piece.
python3 - "$work/capture/display.received" <<'PY' || fail "the display did not receive its initialisation"
import sys
got = open(sys.argv[1], "rb").read()
init = (b"\x0c\x01\x04\x14" + b"\x04\x01\x14PRESS:   " + b"\x0a\x0dALARM:   " +
        b"\x0a\x0dSTATUS:  " + b"\x01\x0a\x0a\x0aMSG:     " + b"\x0e\x0a")
sys.exit(0 if got.startswith(init) else 1)
PY

for tag in '\[SDT\]' '\[SGP\]' '\[EGP\]'; do
    grep -q "$tag" "$root/CR/raw/CR001.xfr" || fail "no $tag in the transcript"
done
"$cli" --data-root "$root" cruise show CR | grep -q '^casts      1' || fail "the cruise does not list the cast"

"$cli" --data-root "$root" -q export CR 1 "$work/stored.txt" >/dev/null || fail "export failed"
cmp -s "$root/CR/txt/CR001.txt" "$work/stored.txt" || fail "the automatic export differs"

cp "$root/CR/bin/CR001.bin" "$work/live.bin"
"$cli" --data-root "$root" -q reprocess CR 1 >/dev/null || fail "reprocess failed"
cmp -s "$work/live.bin" "$root/CR/bin/CR001.bin" || fail "the binary file differs from reprocess"
echo "acquire: $(stat -c %s "$raw") raw bytes, binary file equal to reprocess"
