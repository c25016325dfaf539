#!/usr/bin/env bash
# Installs every package needed to build, test and run Cellvane on Debian 12, and any packages
# named as arguments.
# Idempotent: when everything is present it only runs dpkg-query and exits.
set -euo pipefail

packages=(
    cmake g++ make ccache pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5opengl5-dev
    libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri
    # Pictures drawn without a display: EGL on Mesa's surfaceless platform.
    libegl-dev libegl-mesa0
    xvfb xauth xdotool imagemagick
    libgtest-dev libgmock-dev libbenchmark-dev
    # Tests read the exported meshes and volumes back with the tools users open them in.
    admesh python3-vtk9
    # Tests check that the documents the runner writes are well-formed XML.
    libxml2-utils
    # The extracted netlists are simulated with a circuit simulator.
    ngspice
)
# Callers with needs beyond these (the benchmarks' peer comparison) name further packages.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
