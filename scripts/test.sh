#!/usr/bin/env bash
# Installs what is missing, builds with the tests and runs the whole suite: the unit tests
# offscreen, then the tests that need a GL context (label gui) under one Xvfb server; then the
# model and engine tests under ThreadSanitizer, and every file reader's fuzz target for 20
# seconds on its committed seeds, so that a reader or an engine that regresses fails here. A
# test that reports itself skipped fails the run unless tests/allowed-skips allows it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh debug
cd build/debug
status=0
# Each run's log is kept, so that a test that reported itself skipped is found below.
QT_QPA_PLATFORM=offscreen ctest -LE gui -j"$(nproc)" --output-on-failure 2>&1 |
    tee ctest-unit.log || status=1
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest -L gui --output-on-failure 2>&1 | tee ctest-gui.log || status=1
cd ../..
# CTest counts a skipped test as no failure; here it fails unless tests/allowed-skips allows it.
scripts/check-skips.sh build/debug/ctest-unit.log build/debug/ctest-gui.log || status=1
scripts/tsan.sh || status=1
scripts/fuzz.sh 20 || status=1
exit $status
