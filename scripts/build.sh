#!/usr/bin/env bash
# Configures and builds one CMake preset (default: debug).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
export CCACHE_NOHASHDIR=1
# Paths below the checkout hash as relative ones, so worktrees and fresh clones share the cache.
export CCACHE_BASEDIR="$PWD"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)"
# build/bin names the programs of the last program build, so that the README's commands work
# after scripts/run.sh (release) as after scripts/test.sh (debug).
case "$preset" in
debug | release) ln -sfn "$preset" build/bin ;;
esac
