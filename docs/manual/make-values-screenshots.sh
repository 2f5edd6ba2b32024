#!/usr/bin/env bash
# Pictures of the values window (panel and table view) and of the bottles window holding the real
# cast of data/real-casts, binned by pressure, with four bottles recorded from its frames; taken
# on a virtual screen (Xvfb) by the widget test that builds them, into docs/manual.
#   docs/manual/make-values-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
MAREVO_SCREENSHOT_DIR=docs/manual QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x960x24" \
  ./build/tests/ui/test_ui --gtest_filter='ValuesScreenshots.*' >/dev/null
echo "wrote docs/manual/values-panel.png docs/manual/values-table.png docs/manual/bottles-real-cast.png"
