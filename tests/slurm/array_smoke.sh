#!/usr/bin/env bash
# The test cluster runs a job array: every task runs once, with its own index, on this node.
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
job=$(sbatch --parsable --array=1-3 --output="$work/out.%a" --chdir="$work" \
    --wrap 'echo "task $SLURM_ARRAY_TASK_ID of $SLURM_ARRAY_JOB_ID"')
[[ "$job" =~ ^[0-9]+$ ]] || { echo "sbatch answered '$job', not a job id" >&2; exit 1; }
for ((i = 0; i < 600; i++)); do
    [[ -z "$(squeue -h -j "$job" -o %i 2>/dev/null)" ]] && break
    sleep 0.1
done
[[ -z "$(squeue -h -j "$job" -o %i)" ]] || { squeue >&2; echo "array $job did not finish" >&2; exit 1; }
for t in 1 2 3; do
    got=$(cat "$work/out.$t" 2>/dev/null || true)
    [[ "$got" == "task $t of $job" ]] || { echo "task $t wrote '$got'" >&2; exit 1; }
done
echo "array $job ran its 3 tasks"
