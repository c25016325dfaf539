#!/usr/bin/env bash
# Builds the tsan preset (ThreadSanitizer; the model, engine and surface-builder tests) and runs
# those tests. Any report in our code fails the test that shows it: the sanitizer makes the
# process exit with an error. Reports from inside Qt are suppressed by
# tests/sanitizers/tsan.supp, and nothing else is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tsan
cd build/tsan
QT_QPA_PLATFORM=offscreen \
    TSAN_OPTIONS="suppressions=$PWD/../../tests/sanitizers/tsan.supp:second_deadlock_stack=1" \
    ctest -j"$(nproc)" --output-on-failure "$@"
