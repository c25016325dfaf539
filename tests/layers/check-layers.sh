#!/usr/bin/env bash
# Fails, naming each line, when a lower layer includes a higher one: the headless libraries
# must build and run without the window, and the model without the operations. Within Core,
# operations sit below the process-list library, which sits below studies.
# Usage: check-layers.sh SOURCE_ROOT
set -euo pipefail
root=${1:?usage: check-layers.sh SOURCE_ROOT}
cd "$root"
found=0
# folder whose files are checked | includes they must not have
rules=(
    'Util|"(UI|app|Core|Model)/'
    'Model|"(UI|app|Core)/'
    'Core|"(UI|app)/'
    'Core/Operations|"Core/(ProcessList|Study)/'
    'Core/ProcessList|"Core/Study/'
)
for rule in "${rules[@]}"; do
    folder=${rule%%|*}
    pattern=${rule#*|}
    [[ -d $folder ]] || continue
    while IFS= read -r hit; do
        echo "layer violation: $hit" >&2
        found=1
    done < <(grep -rnE --include='*.h' --include='*.cpp' "^[[:space:]]*#[[:space:]]*include[[:space:]]+$pattern" "$folder" || true)
done
exit $found
