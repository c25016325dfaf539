#!/usr/bin/env bash
# The window, started with a materials.xml holding a record no cell can hold, shows which
# record was refused, and the file keeps that record. Runs under the test's own X server.
# Usage: refusedmaterials_test.sh CELLVANE_PROGRAM
set -euo pipefail
program=${1:?usage: refusedmaterials_test.sh CELLVANE_PROGRAM}
[[ -n ${DISPLAY:-} ]] || { echo "needs an X server (run under xvfb-run)" >&2; exit 1; }
mkdir -p "$HOME/Cellvane"
cat >"$HOME/Cellvane/materials.xml" <<'XML'
<?xml version="1.0"?>
<Materials>
    <Material version="1" name="Twenty" material-id="20" density="1" color="#FF00FF00"/>
    <Material version="1" name="Big" material-id="70000" density="2" color="#FFFF0000"/>
</Materials>
XML
"$program" &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
found=
for _ in $(seq 1 100); do
    if xdotool search --onlyvisible --name '^Materials$' >/dev/null 2>&1; then
        found=yes
        break
    fi
    kill -0 "$pid" 2>/dev/null || { echo "cellvane ended before showing its windows" >&2; exit 1; }
    sleep 0.2
done
[[ -n $found ]] || { echo "no window told of the refused material" >&2; exit 1; }
grep -q 'material-id="70000"' "$HOME/Cellvane/materials.xml" || { echo "the refused record left the file" >&2; exit 1; }
echo "the refused material was shown and kept"
