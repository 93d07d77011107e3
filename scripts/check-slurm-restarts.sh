#!/usr/bin/env bash
# Checks scripts/slurm-restarts.sh against a stand-in sbatch that runs each job at once, in
# order: the merged model is the one process's, a failed slice is named by the merge and --only
# reruns it, a missing command is refused before anything is submitted.
# Usage: scripts/check-slurm-restarts.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
script=$PWD/scripts/slurm-restarts.sh
export ORVANEL_IDENTIFY
ORVANEL_IDENTIFY=$(realpath "${1:-build}/src/cli/orvanel-identify")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# shellcheck source=scripts/expect.sh
. scripts/expect.sh

mkdir "$work/bin"
cat >"$work/bin/sbatch" <<'EOF'
#!/usr/bin/env bash
# Records the job and runs it: each task of an array (ranges and lists) with Slurm's variables;
# the tasks in FAIL_TASKS end in failure without running.
echo "sbatch $*" >>sbatch.log
id=$((100 + $(wc -l <sbatch.log)))
array=0 cpus=1 wrap=
for argument; do
    case "$argument" in
    --array=*) array=${argument#*=} ;;
    --cpus-per-task=*) cpus=${argument#*=} ;;
    esac
done
while [ $# -gt 0 ]; do
    [ "$1" = --wrap ] && wrap=$2
    shift
done
for item in ${array//,/ }; do
    for ((task = ${item%-*}; task <= ${item#*-}; ++task)); do
        case ",${FAIL_TASKS:-}," in *",$task,"*) continue ;; esac
        SLURM_ARRAY_TASK_ID=$task SLURM_CPUS_PER_TASK=$cpus bash -c "$wrap" >"slurm-$id.out" 2>&1
    done
done
echo "$id;cluster"
EOF
chmod +x "$work/bin/sbatch"
export PATH="$work/bin:$PATH"
cd "$work" || exit 2
cp "$OLDPWD/examples/two-inputs.txt" plant.txt
options=(--population 10 --generations 6 --restarts 6 --thorough)
"$ORVANEL_IDENTIFY" plant.txt "${options[@]}" --seed-ms 537 --quiet --export whole.json >/dev/null 2>&1

"$script" --slices 3 --seed-ms 537 plant.txt "${options[@]}" --export model.json >submit.txt
expect "the submission succeeds" 0 $?
expect "the tasks take Slurm's CPUs and the merge waits for every task, failed or not" \
    "2 1 --dependency=afterany:101" \
    "$(grep -c -- '--cpus-per-task=2 ' sbatch.log) $(grep -c -- '--array=0-2 ' sbatch.log) \
$(grep -o -- '--dependency=[a-z]*:[0-9]*' sbatch.log)"
cmp -s model.json whole.json
expect "three slices merged export what one process exports" 0 $?

rm -f sbatch.log model.json plant-part-*.json
FAIL_TASKS=1 "$script" --slices 3 --seed-ms 537 plant.txt "${options[@]}" --export model.json \
    >submit.txt
expect "the merge names the failed slice and how to rerun it" \
    "orvanel-identify: plant-part-1.json does not exist: slice 1 of 3 is missing: rerun it with --restart-slice 1/3" \
    "$(cat slurm-102.out)"
rerun=$(grep -A1 '^Rerun it' submit.txt | tail -1)
expect "the submission shows the rerun of a slice" \
    "  $script --slices 3 --cpus 2 --seed-ms 537 --only 1 plant.txt ${options[*]} --export model.json" \
    "$rerun"
eval "$rerun" >/dev/null
cmp -s model.json whole.json && grep -q -- '--array=1 ' sbatch.log
expect "slice 1 rerun alone completes the merge" 0 $?

rm -f sbatch.log model.json plant-part-*.json slurm-*.out
"$script" --slices 3 plant.txt "${options[@]}" --export model.json >submit.txt
expect "a submission without a seed draws one every task takes" "0 0" \
    "$? $(cat slurm-*.out | grep -c "orvanel-identify:")"
[ -s model.json ]
expect "its merge exports the model" 0 $?

rm -f sbatch.log
ORVANEL_IDENTIFY=/nonexistent/orvanel-identify "$script" plant.txt 2>err.txt
expect "a missing command is refused" "2 no job" "$? $([ -e sbatch.log ] && echo job || echo no job)"
grep -q "cmake --install" err.txt
expect "its message says how to install it" 0 $?

[ "$failures" -eq 0 ]
