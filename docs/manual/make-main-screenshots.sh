#!/usr/bin/env bash
# Pictures of the main window for the manual, taken on a virtual screen (Xvfb): after a first
# start on an empty data root, and with the real cast of data/real-casts open (imported by the
# command-line demo, which leaves it as the cast to reopen).
#   docs/manual/make-main-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
cli=./build/apps/marevo-cli/marevo-cli
gui=./build/apps/marevo/marevo
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
screen=(xvfb-run -a -s "-screen 0 1280x960x24")

"${screen[@]}" "$gui" --data-root "$root/first" --screenshot docs/manual/main-window-first-start.png
"$cli" --data-root "$root/demo" -q demo >/dev/null
"${screen[@]}" "$gui" --data-root "$root/demo" --screenshot docs/manual/main-window-real-cast.png
echo "wrote docs/manual/main-window-first-start.png docs/manual/main-window-real-cast.png"
