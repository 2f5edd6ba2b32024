#!/usr/bin/env bash
# The picture of the cast export's file dialog with its three file types, taken on a virtual
# screen (Xvfb) by the widget test that builds it, into docs/manual.
#   docs/manual/make-export-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
MAREVO_SCREENSHOT_DIR=docs/manual QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x960x24" \
  ./build/tests/ui/test_ui --gtest_filter='ExportCastDialog.*' >/dev/null
echo "wrote docs/manual/export-formats.png"
