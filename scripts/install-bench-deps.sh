#!/usr/bin/env bash
# Installs what the peer comparison needs on top of scripts/install-deps.sh: the Python
# libraries a user would script the same steps with. Only the benchmarks use scipy; numpy and
# VTK's module are in the base list already, for the Python module and the export tests.
# Embree 3 is the ray tracer the flux engine is timed against (bench/peers/embreeflux.cpp).
# Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."
exec scripts/install-deps.sh python3-numpy python3-scipy python3-vtk9 libembree-dev
