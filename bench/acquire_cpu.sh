#!/bin/bash
# Processor time of the acquisition worker during a real-time cast of 30 s at 32 Hz against the
# simulated probe on pseudo-terminals (goal: under 2 % of a core). The worker measures its own
# thread (CLOCK_THREAD_CPUTIME_ID); the identification before it is not counted.
# Usage: acquire_cpu.sh MAREVO-CLI MAREVO-PROBESIM [SECONDS]
set -euo pipefail
cli=$1
sim=$2
seconds=${3:-30}
. "$(dirname "$0")/../tests/acquisition/e2e_lib.sh"
launch_sim "$work/sim.out" --rate 32 --bottom 200 --duration $((seconds + 60)) --quiet
new_root
"$cli" --data-root "$root" -q --yes acquire --cruise CR --probe-port "$probe" \
    --seconds "$seconds" | grep -E '^(end|worker)'
