#!/usr/bin/env bash
# Installs what is missing, builds with the tests and runs the whole suite: the unit tests
# offscreen, then the tests that need a GL context (label gui) under one Xvfb server; then the
# model and engine tests under ThreadSanitizer, and every file reader's fuzz target for 20
# seconds on its committed seeds, so that a reader or an engine that regresses fails here.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh debug
cd build/debug
status=0
QT_QPA_PLATFORM=offscreen ctest -LE gui -j"$(nproc)" --output-on-failure || status=1
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest -L gui --output-on-failure || status=1
cd ../..
scripts/tsan.sh || status=1
scripts/fuzz.sh 20 || status=1
exit $status
