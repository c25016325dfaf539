#!/usr/bin/env bash
# Installs what the peer comparison needs on top of scripts/install-deps.sh: the Python
# libraries a user would script the same steps with. Only the benchmarks use them; the program
# and its tests never do. Idempotent.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

packages=(python3-numpy python3-scipy python3-vtk9)
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
