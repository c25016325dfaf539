#!/usr/bin/env bash
# Installs what is missing, builds the optimised programs and makes the Debian package
# build/package/cellvane_<version>_<arch>.deb; prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
rm -f build/package/cellvane_*.deb
cpack --config build/release/CPackConfig.cmake -B build/package >build/package.log 2>&1 || {
    cat build/package.log >&2
    exit 1
}
ls build/package/cellvane_*.deb
