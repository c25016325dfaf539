#!/usr/bin/env bash
# Installs what the peer comparison needs on top of scripts/install-deps.sh: the Python
# libraries a user would script the same steps with. Only the benchmarks use them; the program
# and its tests never do. Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/install-deps.sh python3-numpy python3-scipy python3-vtk9
