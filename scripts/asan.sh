#!/usr/bin/env bash
# Builds the asan preset (AddressSanitizer with its leak check, and UndefinedBehaviorSanitizer)
# and runs the whole suite in it: the unit tests offscreen, then the tests that need a GL context
# under Xvfb. Leaks of memory that Qt, its platform plugins or the libraries under them allocate
# for themselves are suppressed by tests/sanitizers/lsan.supp; every other report fails the test
# that shows it.
#
# An allocation keeps only its allocator and the function that called it
# (malloc_context_size=2), and a suppression matches any frame kept: with whole stacks, every
# object of ours made in a slot, a timer or an event handler would have a Qt frame further down
# and pass as Qt's. The price is two-frame allocation stacks in use-after-free reports too; the
# stack of the bad access itself stays whole.
#
#   scripts/asan.sh [ctest arguments, e.g. -R Document]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh asan
cd build/asan
export ASAN_OPTIONS="malloc_context_size=2"
export LSAN_OPTIONS="suppressions=$PWD/../../tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Mesa unloads its software driver when a picture's display is closed. What the driver keeps
# for its whole life then looks leaked, from a module that is gone and so cannot be named in a
# suppression; kept loaded (for the tests only, not for Xvfb), that memory stays reachable.
preload=()
driver=/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so
if [[ -f "$driver" ]]; then
    preload=(env LD_PRELOAD="$driver" ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0")
fi
status=0
QT_QPA_PLATFORM=offscreen "${preload[@]}" ctest -LE gui -j"$(nproc)" --output-on-failure "$@" ||
    status=1
env -u QT_QPA_PLATFORM xvfb-run -a -s "-screen 0 1280x1024x24" \
    "${preload[@]}" ctest -L gui --output-on-failure "$@" || status=1
exit $status
