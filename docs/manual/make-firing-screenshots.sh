#!/usr/bin/env bash
# Pictures of the firing windows (first-bottle dialog, operator dialog, rosette page of the
# configuration), taken on a virtual screen (Xvfb) by the widget test that builds them, into
# docs/manual.
#   docs/manual/make-firing-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
MAREVO_SCREENSHOT_DIR=docs/manual QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x960x24" \
  ./build/tests/ui/test_ui --gtest_filter='FiringScreenshots.*' >/dev/null
echo "wrote docs/manual/firing-first-bottle.png docs/manual/firing-operator.png docs/manual/firing-rosette-page.png"
