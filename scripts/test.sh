#!/usr/bin/env bash
# Installs what is missing, builds with the tests and runs the whole suite: the unit tests
# offscreen, then the tests that need a GL context (label gui) under one Xvfb server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh debug
cd build/debug
status=0
QT_QPA_PLATFORM=offscreen ctest -LE gui -j"$(nproc)" --output-on-failure || status=1
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest -L gui --output-on-failure || status=1
exit $status
