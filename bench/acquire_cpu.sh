#!/bin/bash
# Processor time of the acquisition worker during a real-time cast of 30 s at 32 Hz against the
# simulated probe on pseudo-terminals (goal: under 2 % of a core). The worker measures its own
# thread (CLOCK_THREAD_CPUTIME_ID); the identification before it is not counted.
# Usage: acquire_cpu.sh MAREVO-CLI MAREVO-PROBESIM [SECONDS]
set -euo pipefail
cli=$1
sim=$2
seconds=${3:-30}
work=$(mktemp -d)
simpid=
cleanup() {
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
"$sim" --rate 32 --bottom 200 --duration $((seconds + 60)) --quiet >"$work/sim.out" 2>&1 &
simpid=$!
for _ in $(seq 100); do
    grep -q '^probe ' "$work/sim.out" && break
    sleep 0.05
done
probe=$(awk '/^probe /{print $2}' "$work/sim.out")
"$cli" --data-root "$work/data" -q init >/dev/null
"$cli" --data-root "$work/data" -q --yes cruise new CR >/dev/null
"$cli" --data-root "$work/data" -q --yes acquire --cruise CR --probe-port "$probe" \
    --seconds "$seconds" | grep -E '^(end|worker)'
