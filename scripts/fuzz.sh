#!/usr/bin/env bash
# Fuzzes every file reader: builds the libFuzzer targets (preset fuzz, clang with ASan and
# UBSan) and runs each for SECONDS (default 60) on its committed seeds in tests/fuzz/corpus
# plus whatever earlier runs on this checkout found (build/fuzz/corpus), with its dictionary.
# Prints executions, coverage and every finding; a finding is kept in build/fuzz/findings and
# makes the script exit 1. CI runs it with 20 seconds per target.
#
#   scripts/fuzz.sh [SECONDS | --runs N] [TARGET...]   TARGET: document, materials, processes, ...
#
# With --runs, each target runs until it has executed N inputs, however long that takes.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { echo "usage: $0 [SECONDS | --runs N] [TARGET...]" >&2; exit 2; }
limit=()
if [[ "${1:-}" == "--runs" ]]; then
    [[ "${2:-}" =~ ^[0-9]+$ ]] || usage
    limit=(-runs="$2")
    shift 2
else
    seconds=${1:-60}
    shift || true
    [[ "$seconds" =~ ^[0-9]+$ ]] || usage
    limit=(-max_total_time="$seconds")
fi

# libFuzzer and the sanitizer runtimes come with clang's runtime libraries.
scripts/install-packages.sh clang libclang-rt-14-dev
scripts/build.sh fuzz

bin=build/fuzz/tests/fuzz
work=build/fuzz/corpus
findings=build/fuzz/findings
logs=build/fuzz/logs
mkdir -p "$work" "$findings" "$logs"

targets=("$@")
if ((${#targets[@]} == 0)); then
    for program in "$bin"/cellvane_fuzz_*; do
        [[ -f "$program" && -x "$program" ]] && targets+=("${program##*/cellvane_fuzz_}")
    done
fi

status=0
for name in "${targets[@]}"; do
    program=$bin/cellvane_fuzz_$name
    [[ -f "$program" && -x "$program" ]] || { echo "$name: no such fuzz target" >&2; status=1; continue; }
    mkdir -p "$work/$name"
    log=$logs/$name.log
    before=$(ls "$findings" | wc -l)
    started=$(date +%s)
    # New inputs go to the first folder only, so the committed seeds stay as they are. A
    # second per input or 2 GiB of memory counts as a finding, like a crash.
    result=0
    "$program" "${limit[@]}" -timeout=1 -rss_limit_mb=2048 -print_final_stats=1 \
        -dict="tests/fuzz/$name.dict" -artifact_prefix="$findings/$name-" \
        "$work/$name" "tests/fuzz/corpus/$name" >"$log" 2>&1 || result=$?
    elapsed=$(($(date +%s) - started))

    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    coverage=$(grep -o 'cov: [0-9]* ft: [0-9]* corp: [0-9]*' "$log" | tail -1 || true)
    read -r _ edges _ features _ corpus <<<"${coverage:-cov: ? ft: ? corp: ?}"
    printf '%-12s %9s executions in %4d s, coverage %s edges, %s features, corpus %s\n' \
        "$name" "${executions:-?}" "$elapsed" "$edges" "$features" "$corpus"

    if ((result != 0)) || (($(ls "$findings" | wc -l) > before)); then
        status=1
        echo "$name: FINDING (exit $result); log: $log"
        grep -E '^==[0-9]+==ERROR|^SUMMARY|==cellvane-fuzz==|ERROR: libFuzzer|runtime error' \
            "$log" | head -5 | sed 's/^/    /' || true
        grep -o "Test unit written to .*" "$log" | sed 's/^/    /' || true
    fi
done
exit $status
