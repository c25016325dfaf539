#!/usr/bin/env bash
# Builds the tsan preset (ThreadSanitizer; the model, engine and surface-builder tests, and the
# user interface's worker threads: the batch run and long steps) and runs those tests. Any report in our code fails the test that shows it: the sanitizer makes the
# process exit with an error. Reports from inside Qt are suppressed by
# tests/sanitizers/tsan.supp, and nothing else is. The readers' random-damage tests are left
# out: they run thousands of reads, take minutes under the sanitizer, and the fuzz targets
# (scripts/fuzz.sh) cover the readers far better. The preset keeps line tables only (-g1): a
# report needs files and lines, not variables, and full debug information made every source
# compile a third slower.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh tsan
cd build/tsan
QT_QPA_PLATFORM=offscreen \
    TSAN_OPTIONS="suppressions=$PWD/../../tests/sanitizers/tsan.supp:second_deadlock_stack=1" \
    ctest -j"$(nproc)" --output-on-failure -E 'Fuzz\.' "$@" 2>&1 | tee ctest-tsan.log
../../scripts/check-skips.sh ctest-tsan.log
