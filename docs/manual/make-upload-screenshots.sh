#!/usr/bin/env bash
# Picture of the "Upload Memory Cast" dialog during an upload of two casts from the simulated
# probe's memory; taken on a virtual screen (Xvfb) by the widget test that runs the upload, into
# docs/manual.
#   docs/manual/make-upload-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
MAREVO_SCREENSHOT_DIR=docs/manual QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x960x24" \
  ./build/tests/ui/test_ui --gtest_filter='TUploadUiTest.*' >/dev/null
echo "wrote docs/manual/upload-dialog.png"
