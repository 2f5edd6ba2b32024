#!/bin/bash
# Real-time casts through the command-line tool when things go wrong, against the simulated probe
# on pseudo-terminals:
#   vanish  the probe's USB adapter disappears mid-cast for good: no crash, the loss logged once,
#           the cast stored with every byte received until then, exit status 3 "probe link lost";
#   back    it comes back under the same name a few seconds later: the same cast goes on in the
#           same raw file, the loss and the return logged once each, exit 0;
#   kill    the tool is killed (-9) mid-cast: its raw file lacks at most the last second of what
#           the probe sent; at the next start the three safety copies are offered and --yes
#           recovers the cast as cast 1 (the new one is cast 2); without --yes its files go aside;
#           `rebuild` recovers it too.
# Usage: acquire_faults_e2e.sh MAREVO-CLI MAREVO-PROBESIM vanish|back|kill
set -euo pipefail
cli=$1
sim=$2
mode=$3
. "$(dirname "$0")/e2e_lib.sh"
e2e_label=$mode

# start_sim NAME ARGS...: a simulator capturing into $work/NAME, its probe device in $probe.
start_sim() {
    local name=$1
    shift
    mkdir -p "$work/$name"
    launch_sim "$work/$name.sim.out" --rate 32 --bottom 40 --duration 120 \
        --capture "$work/$name" --quiet "$@"
}
# log_count ROOT TEXT: lines of the data root's event logs holding TEXT.
log_count() {
    cat "$1"/Txt/log_*.txt 2>/dev/null | grep -c "$2" || true
}
# raw_in_capture RAW CAPTURE MAX_MISSING: the raw file is what the probe sent from its first frame
# on, contiguous, and lacks at most MAX_MISSING bytes of the end of what it sent.
raw_in_capture() {
    python3 - "$1" "$2" "$3" <<'PY'
import sys
raw = open(sys.argv[1], "rb").read()
sent = open(sys.argv[2], "rb").read()
at = sent.find(raw)
missing = len(sent) - (at + len(raw)) if at >= 0 else -1
print(f"raw {len(raw)} bytes, sent {len(sent)} from {at}, missing {missing}")
ok = len(raw) >= 40 * 64 and at > 0 and 0 <= missing <= int(sys.argv[3])
ok = ok and all(0 < b < 0x80 for b in sent[:at])
sys.exit(0 if ok else 1)
PY
}

new_root
raw=$root/CR/raw/CR001.raw

case $mode in
vanish)
    start_sim s --faults vanish=6
    status=0
    "$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" --seconds 12 \
        >"$work/acquire.out" 2>&1 || status=$?
    [ "$status" = 3 ] || fail "acquire ended with $status, not 3"
    grep -q 'probe link lost' "$work/acquire.out" || fail "no \"probe link lost\""
    grep -q ', cast stored' "$work/acquire.out" || fail "the cast was not stored"
    [ "$(log_count "$root" 'Probe link lost')" = 1 ] || fail "the loss is not logged once"
    # What the probe sent until its adapter went: all in the raw file but what the line still
    # held when it went (never received; up to a second when the host is slow to read).
    raw_in_capture "$raw" "$work/s/probe.bytes" $((32 * 40)) ||
        fail "the raw file is not the bytes sent"
    "$cli" --data-root "$root" cruise show CR | grep -q '^casts      1' ||
        fail "the cruise does not list the cast"
    ;;
back)
    start_sim s --faults vanish=4:4 --link-dir "$work"
    "$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" --seconds 16 \
        >"$work/acquire.out" 2>&1 || fail "acquire ended with $?"
    grep -q ', cast stored' "$work/acquire.out" || fail "the cast was not stored"
    [ "$(log_count "$root" 'Probe link lost')" = 1 ] || fail "the loss is not logged once"
    [ "$(log_count "$root" 'Probe link back')" = 1 ] || fail "the return is not logged once"
    python3 - "$raw" "$work/s/probe.bytes" <<'PY' || fail "the raw file lacks the bytes after the return"
import sys
raw = open(sys.argv[1], "rb").read()
sent = open(sys.argv[2], "rb").read()
# The same raw file goes on after the return: its start and its end are what the probe sent.
ok = sent.find(raw[:4000]) > 0 and sent.find(raw[-4000:]) > 0
ok = ok and sent.find(raw[-4000:]) + 4000 > len(sent) - 1280 * 2
sys.exit(0 if ok else 1)
PY
    ;;
kill)
    start_sim s
    "$cli" --data-root "$root" acquire --cruise CR --probe-port "$probe" \
        >"$work/acquire.out" 2>&1 </dev/null &
    clipid=$!
    for _ in $(seq 600); do
        [ "$(grep -c '^Run ' "$work/acquire.out" || true)" -ge 100 ] && break
        sleep 0.05
    done
    kill -9 "$clipid"
    sent=$(stat -c %s "$work/s/probe.bytes")
    wait "$clipid" 2>/dev/null || true
    clipid=
    stop_sim
    head -c "$sent" "$work/s/probe.bytes" >"$work/sent.bytes"
    # At most the last second (32 frames of 40 bytes) is missing, with the newest frame a save
    # holds back and what the line still held, unread (up to a few frames on a busy machine).
    raw_in_capture "$raw" "$work/sent.bytes" $((32 * 40 + 4 * 40)) ||
        fail "the raw file lacks more than the last second"
    for f in CR/raw/CR001.raw CR/raw/CR001.ext CR/raw/CR001.xfr Cfg/Environ.bak Cfg/qvtst.bak \
        CR/CR.bak; do
        [ -f "$root/$f" ] || fail "no $f after the kill"
    done
    cp -a "$root" "$work/declined"
    cp -a "$root" "$work/rebuilt"

    # --yes: the copies restored, the interrupted cast recovered as cast 1, the new one is 2.
    start_sim y
    "$cli" --data-root "$root" --yes acquire --cruise CR --probe-port "$probe" --seconds 3 \
        >"$work/yes.out" 2>&1 || fail "acquire --yes ended with $?"
    stop_sim
    for q in 'saved copy of Environment' 'saved copy of Configuration' 'saved copy of cruise' \
        'was interrupted before it was stored'; do
        grep -q "$q" "$work/yes.out" || fail "not asked: $q"
    done
    "$cli" --data-root "$root" cruise show CR | grep -q '^casts      2' ||
        fail "the interrupted cast was not recovered"
    [ -f "$root/CR/bin/CR001.bin" ] && [ -f "$root/CR/raw/CR002.raw" ] || fail "no casts 1 and 2"

    # Declined: the files go aside, the new cast is cast 1.
    start_sim n
    "$cli" --data-root "$work/declined" acquire --cruise CR --probe-port "$probe" --seconds 3 \
        >"$work/no.out" 2>&1 || fail "acquire ended with $?"
    stop_sim
    for f in raw ext xfr; do
        [ -f "$work/declined/CR/raw/CR001.$f.1" ] || fail "CR001.$f not renamed aside"
    done
    cmp -s "$work/declined/CR/raw/CR001.raw.1" "$raw" || fail "the raw file aside differs"

    # A rebuild recovers it too.
    "$cli" --data-root "$work/rebuilt" -q --yes rebuild CR >"$work/rebuild.out" 2>&1 ||
        fail "rebuild failed"
    "$cli" --data-root "$work/rebuilt" cruise show CR | grep -q '^casts      1' ||
        fail "rebuild did not recover the cast"
    ;;
*)
    fail "unknown mode"
    ;;
esac
echo "acquire $mode: $(stat -c %s "$raw") raw bytes"
