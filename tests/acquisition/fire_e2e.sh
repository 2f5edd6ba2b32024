#!/bin/bash
# Automatic bottle firing through the command-line tool against the simulated probe on a
# pseudo-terminal: a 70 dbar cast, 12 positions with levels 60, 55 ... 5 dbar, start pressure 65,
# no operator authorisation, no waiting time. Each position must be fired once, on the way up,
# at or above its level, and recorded "Closed"; the .raw file must still be the simulator's bytes;
# replaying the raw file must find the same 12 positions closed.
# Then a rosette that goes mute mid-cast (the firings end "No_Answ", the cast goes on), a refused
# command and a rosette error, and a rosette mute from the start (the cast does not start).
# Usage: fire_e2e.sh MAREVO-CLI MAREVO-PROBESIM
set -euo pipefail
cli=$1
sim=$2
. "$(dirname "$0")/e2e_lib.sh"

start_sim() { # extra simulator options
    mkdir -p "$work/capture"
    rm -f "$work/capture/"*
    launch_sim "$work/sim.out" --rate 24 --bottom 70 --winch-speed 3 --soak 3 --bottom-stay 3 \
        --close-seconds 0.5 --duration 200 --capture "$work/capture" --quiet "$@"
}

new_root
cfg=$("$cli" --data-root "$root" config list | awk '/\*/{gsub(/\*/,""); print $1; exit}')
[ -n "$cfg" ] || fail "no current configuration"
sets=(Rosette.SamplingType=1 Rosette.OperatorAuth=1 Rosette.WaitOnSampling=0
      Rosette.StartPressure=65)
for k in $(seq 1 12); do
    sets+=("Rosette.BottleList[$k]=1" "Rosette.BottleCheckList[$k]=1"
           "Rosette.BottlePressList[$k]=$((65 - 5 * k))")
done
"$cli" --data-root "$root" -q config set "$cfg" "${sets[@]}" >/dev/null ||
    fail "the rosette settings were refused"

# ---- 12 automatic firings on the up-cast --------------------------------------------------------
start_sim
"$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" --first-bottle 1 \
    --seconds 62 < <(sleep 100) >"$work/acquire.out" 2>&1 ||
    { cat "$work/acquire.out"; fail "acquire failed"; }
stop_sim
grep -q ', 0 bytes lost, cast stored' "$work/acquire.out" || { cat "$work/acquire.out"; fail "no clean end report"; }
fired=$(grep -c '^bottle [0-9]*: Closed' "$work/acquire.out" || true)
[ "$fired" = 12 ] || { grep '^bottle' "$work/acquire.out"; fail "$fired bottles closed, not 12"; }
for k in $(seq 1 12); do
    [ "$(grep -c "^bottle $k: " "$work/acquire.out")" = 1 ] || fail "bottle $k not recorded once"
done

raw=$root/CR/raw/CR001.raw
python3 - "$raw" "$work/capture/probe.bytes" <<'PY' || fail "the raw file is not the simulator's bytes"
import sys
raw = open(sys.argv[1], "rb").read()
sent = open(sys.argv[2], "rb").read()
sys.exit(0 if len(raw) > 40 * 24 * 30 and sent.find(raw) > 0 else 1)
PY

# The bottle table (pressure first): 12 bottles in firing order, each at or above its level.
"$cli" --data-root "$root" -q cruise export-bottles CR 1 "$work/live_btl.txt" >/dev/null ||
    fail "no bottle table"
python3 - "$work/live_btl.txt" <<'PY' || fail "the bottles are not the ones expected"
import sys
def row(line):
    try:
        return [float(x) for x in line.split()]
    except ValueError:
        return None
rows = [r for r in map(row, open(sys.argv[1], encoding="latin-1")) if r]
if len(rows) != 12:
    print("rows", len(rows)); sys.exit(1)
for k, r in enumerate(rows, 1):
    level = 65 - 5 * k
    if not (level - 6 < r[0] <= level):
        print("bottle", k, "at", r[0], "level", level); sys.exit(1)
PY
"$cli" --data-root "$root" -q reprocess CR 1 >/dev/null || fail "reprocess failed"
"$cli" --data-root "$root" -q cruise export-bottles CR 1 "$work/again_btl.txt" >/dev/null
cmp -s "$work/live_btl.txt" "$work/again_btl.txt" || fail "reprocess gives other bottles"

# ---- A rosette that goes mute: "No_Answ" after more than 4 s, the cast goes on ------------------
start_sim --faults rosette-mute=40
"$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" --first-bottle 1 \
    --seconds 90 < <(sleep 45; echo "fire 2"; sleep 8; echo "fire 3"; sleep 8; echo stop; sleep 60) \
    >"$work/mute.out" 2>&1 || { cat "$work/mute.out"; fail "acquire (mute) failed"; }
stop_sim
grep -q '^bottle 2: No_Answ' "$work/mute.out" || { cat "$work/mute.out"; fail "bottle 2 not No_Answ"; }
grep -q '^bottle 3: No_Answ' "$work/mute.out" || fail "bottle 3 not No_Answ (controls not released?)"
grep -q 'cast stored' "$work/mute.out" || fail "the mute cast was not stored"

# ---- A refused command and a rosette error ---------------------------------------------------------
start_sim --faults cmderror=2,roserror=3
"$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" --first-bottle 1 \
    --seconds 70 < <(sleep 30; echo "fire 2"; sleep 8; echo "fire 3"; sleep 8; echo stop; sleep 60) \
    >"$work/errors.out" 2>&1 || { cat "$work/errors.out"; fail "acquire (errors) failed"; }
stop_sim
grep -q '^bottle 2: Cmd_Err' "$work/errors.out" || { cat "$work/errors.out"; fail "bottle 2 not Cmd_Err"; }
grep -q '^bottle 3: Ros_Err' "$work/errors.out" || { cat "$work/errors.out"; fail "bottle 3 not Ros_Err"; }

# ---- Mute from the start: the cast does not start -----------------------------------------------
start_sim --faults rosette-mute=0
if "$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" --first-bottle 1 \
    --seconds 5 </dev/null >"$work/home.out" 2>&1; then
    fail "a cast started with a mute rosette"
fi
stop_sim
grep -q 'Abort - CTD to set rosette to Home position' "$root/Cfg/"*.log "$work/home.out" 2>/dev/null ||
    grep -rq 'Abort - CTD to set rosette to Home position' "$root" ||
    { cat "$work/home.out"; fail "no home abort message"; }
echo "fire: 12 bottles closed on the up-cast, reprocess agrees; mute rosette handled"
