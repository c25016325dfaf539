#!/usr/bin/env bash
# Installs what is missing, builds the benchmarks and times ours against the peers a user would
# script instead (bench/peers.py) on the trench scene, printing the ratio table.
# Arguments go to bench/peers.py (e.g. --repetitions 7).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-bench-deps.sh
scripts/build.sh bench
# Debian's interpreter: it is the one the packages above install into.
exec /usr/bin/python3 bench/peers.py --bench build/bench/bench/cellvane_bench "$@"
