#!/usr/bin/env bash
# Pictures of the settings editors for the manual, taken on a virtual screen (Xvfb) with the real
# cast of data/real-casts open (imported by the command-line demo): each editor is opened by its
# command and pictured alone.
#   docs/manual/make-settings-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=./build/apps/marevo-cli/marevo-cli
gui=./build/apps/marevo/marevo
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
screen=(xvfb-run -a -s "-screen 0 1280x960x24")

"$cli" --data-root "$root" -q demo >/dev/null
for shot in Environment:settings-environment Configuration:settings-configuration \
            CastEditor:settings-cruise-editor ParameterEditor:settings-parameter-editor; do
  "${screen[@]}" "$gui" --data-root "$root" --trigger "${shot%%:*}" \
    --screenshot "docs/manual/${shot#*:}.png"
  echo "wrote docs/manual/${shot#*:}.png"
done
