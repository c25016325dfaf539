#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks and times ours against the peers a user would
# script instead (bench/peers.py) on the trench scene, printing the ratio table.
#
#   scripts/bench-peers.sh [--before-rev REV] [bench/peers.py arguments, e.g. --repetitions 7]
#
# With --before-rev, the benchmarks of that git revision are built too (from an export of the
# revision under build/bench-before) and timed in the same run, for a table before the change.
set -euo pipefail
cd "$(dirname "$0")/.."

before_rev=""
if [[ "${1:-}" == "--before-rev" ]]; then
    before_rev="${2:?--before-rev needs a revision}"
    shift 2
fi

scripts/install-bench-deps.sh
scripts/build.sh bench

extra=()
if [[ -n "$before_rev" ]]; then
    src=build/bench-before/src
    rm -rf "$src"
    mkdir -p "$src"
    git archive "$before_rev" | tar -x -C "$src"
    (cd "$src" && export CCACHE_NOHASHDIR=1 CCACHE_BASEDIR="$PWD" &&
        cmake --preset bench >/dev/null && cmake --build --preset bench -j2 \
        --target cellvane_bench)
    extra=(--before "$src/build/bench/bench/cellvane_bench")
fi

# Debian's interpreter: it is the one the packages above install into.
exec /usr/bin/python3 bench/peers.py --bench build/bench/bench/cellvane_bench "${extra[@]}" "$@"
