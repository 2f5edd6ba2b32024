#!/usr/bin/env bash
# Pictures of a real-time cast for the manual, taken on a virtual screen (Xvfb): the simulated
# instruments on pseudo-terminals are connected through Ports.map as `./run.sh demo` does, and the
# desktop program runs timed steps (--steps): the new-cast window, the first bottle of the
# rosette, the cast under way, the close dialog and the stored cast.
#   docs/manual/make-realtime-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=./build/apps/marevo-cli/marevo-cli
gui=./build/apps/marevo/marevo
sim=./build/apps/probesim/marevo-probesim
work=$(mktemp -d)
root=$work/root
"$cli" --data-root "$root" -q demo >/dev/null
"$sim" --rate 24 --bottom 150 --winch-speed 2 --duration 300 --quiet >"$work/devices" 2>/dev/null &
simpid=$!
trap 'kill $simpid 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do
  grep -q '^display ' "$work/devices" && break
  sleep 0.1
done
device_of() { awk -v n="$1" '$1 == n { print $2 }' "$work/devices"; }
"$cli" --data-root "$root" config ports --probe "$(device_of probe)" --gps "$(device_of gps)" \
  --ext "$(device_of par)" --rdr "$(device_of display)" >/dev/null

out=docs/manual
cat >"$work/steps" <<STEPS
1 trigger StartCast
3 shot $out/realtime-new-cast.png
4 click OK
30 shot $out/realtime-first-bottle.png
31 click OK
95 shot $out/realtime-running.png
96 trigger StopCast
98 shot $out/realtime-close.png
99 click Save and Exit
106 shot $out/realtime-stored.png
107 quit
STEPS
xvfb-run -a -s "-screen 0 1280x960x24" "$gui" --data-root "$root" --steps "$work/steps"
for p in new-cast first-bottle running close stored; do
  echo "wrote $out/realtime-$p.png"
done
