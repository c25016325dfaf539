#!/usr/bin/env bash
# Times the local study engine on one job and on two: the six variants of the README's trench
# study (oxide 1 and 2 µm against three etch depths), each run REPEATS times, printing the
# median wall times and their ratio.
#
#   scripts/bench-study.sh [--height Z] [--repeats N] [--bin DIR]
#
# --height makes the trench's volume Z cells high (the substrate all but the top 20) so that
# each variant runs longer than its process takes to start (the mask fixes 60 by 60 columns);
# --bin takes the programs from DIR (default: the release build, built when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."

height=""
repeats=3
bin=""
while (($#)); do
    case "$1" in
    --height) height="$2"; shift 2 ;;
    --repeats) repeats="$2"; shift 2 ;;
    --bin) bin="$2"; shift 2 ;;
    *) echo "usage: $0 [--height Z] [--repeats N] [--bin DIR]" >&2; exit 2 ;;
    esac
done
if [[ -z "$bin" ]]; then
    scripts/build.sh release >/dev/null
    bin=build/release
fi
study="$(realpath "$bin/cellvane-study")"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$study" plan examples/trench-study.plst --vary 2.Thickness=1:2:1 \
    --vary '4.Etch Depth=5,10,15' >"$scratch/plan.csv" 2>/dev/null
table="$scratch/plan.csv"
if [[ -n "$height" ]]; then
    table="$scratch/high.csv"
    awk -F, -v OFS=, -v z="$height" '
        NR == 1 { print $0, "1.Volume Size Z", "1.Substrate Size Z"; next }
        { print $0, z, z - 20 }' "$scratch/plan.csv" >"$table"
fi

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

declare -A wall
for jobs in 1 2; do
    for ((r = 1; r <= repeats; ++r)); do
        out="$scratch/jobs$jobs-$r"
        start=$(date +%s.%N)
        (cd examples && "$study" run trench-study.plst "$table" --out "$out" --jobs "$jobs" \
            --threads 1 >/dev/null 2>"$scratch/err") || { cat "$scratch/err" >&2; exit 1; }
        end=$(date +%s.%N)
        awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
    done | median >"$scratch/median$jobs"
    wall[$jobs]=$(cat "$scratch/median$jobs")
done

echo "6 variants, volume 60 x 60 x ${height:-40}, --threads 1, median of $repeats on $(nproc) processors"
printf '1 job:  %.2f s\n2 jobs: %.2f s\nspeed-up: %.2f\n' "${wall[1]}" "${wall[2]}" \
    "$(awk -v a="${wall[1]}" -v b="${wall[2]}" 'BEGIN { print a / b }')"
