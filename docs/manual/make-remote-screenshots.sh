#!/usr/bin/env bash
# Pictures of the remote depth display's view (lines of a cast in progress) and of its page of
# the environment dialog, taken on a virtual screen (Xvfb) by the widget test that builds them,
# into docs/manual.
#   docs/manual/make-remote-screenshots.sh
# Needs a build in build/ (./run.sh build).
set -euo pipefail
cd "$(dirname "$0")/../.."
MAREVO_SCREENSHOT_DIR=docs/manual QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x960x24" \
  ./build/tests/ui/test_ui --gtest_filter='RemoteDepthScreenshots.*' >/dev/null
echo "wrote docs/manual/remote-depth-view.png docs/manual/remote-depth-page.png"
