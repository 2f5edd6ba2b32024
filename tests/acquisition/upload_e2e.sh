#!/bin/bash
# The memory upload through the command-line tool against the simulated probe on a
# pseudo-terminal: three recorded casts (120, 240, 360 sets) with a lost set in cast 1, a damaged
# one in cast 2 and a stall in cast 3, uploaded with --casts all in under a minute. Each .raw file
# must hold its cast's sets once and in order (good check field, counters 0..N-1), each set as
# the simulator sent it; the cruise must list the three casts. A probe with an empty memory gives
# "No cast in memory !".
# Usage: upload_e2e.sh MAREVO-CLI MAREVO-PROBESIM
set -euo pipefail
cli=$1
sim=$2
. "$(dirname "$0")/e2e_lib.sh"

start_sim() {
    launch_sim "$work/sim.out" --quiet --duration 120 "$@"
}

new_root

mkdir "$work/capture"
start_sim --memory-casts 3 --memory-sets 120 --capture "$work/capture" \
    --faults lose-set=1:40,flip-set=2:70,stall=3:100
began=$SECONDS
"$cli" --data-root "$root" upload --cruise CR --probe-port "$probe" --casts all \
    >"$work/upload.out" 2>&1 || { cat "$work/upload.out"; fail "upload ended with $?"; }
took=$((SECONDS - began))
[ "$took" -lt 60 ] || fail "the upload took $took s"
grep -q '^3 casts stored' "$work/upload.out" || { cat "$work/upload.out"; fail "no end report"; }
grep -q '^Upload cast: 3 of 3, Cast #3, Dataset #360 of #360' "$work/upload.out" ||
    fail "no progress line"
for k in 1 2 3; do
    python3 - "$root/CR/raw/CR00$k.raw" "$work/capture/probe.bytes" "$((120 * k))" <<'PY' ||
import sys
raw = open(sys.argv[1], "rb").read()
sent = open(sys.argv[2], "rb").read()
n = int(sys.argv[3])
size = 40
def crc16(data):
    crc = 0
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else crc << 1
            crc &= 0xFFFF
    return crc
ok = len(raw) == n * size
for k in range(n if ok else 0):
    f = raw[k * size:(k + 1) * size]
    ok = ok and f[0] & 0x7F == k % 128 and crc16(f[:-2]) == f[-2] | f[-1] << 8 and f in sent
sys.exit(0 if ok else 1)
PY
        fail "CR00$k.raw is not its cast's sets once and in order"
done
"$cli" --data-root "$root" cruise show CR | grep -q '^casts      3' || fail "the cruise does not list three casts"
kill "$simpid"
wait "$simpid" 2>/dev/null || true
simpid=

start_sim --memory-casts 0
if "$cli" --data-root "$root" upload --cruise CR --probe-port "$probe" --list \
    >"$work/empty.out" 2>&1; then
    fail "an empty memory gave a list"
fi
grep -q 'No cast in memory !' "$work/empty.out" || { cat "$work/empty.out"; fail "no empty-memory message"; }
echo "upload: three casts in $took s, every set once and in order"
