#!/usr/bin/env bash
# Runs the searches of one orvanel-identify run as a Slurm job array, one task per slice, and
# merges the parts in a job that starts once every task has ended, whether it succeeded or not:
# the merge then names a slice that wrote no part, which --only reruns.
#
# Usage: scripts/slurm-restarts.sh [--slices M] [--cpus C] [--seed-ms S] [--only LIST]
#            DATA [OPTION...]
#   DATA and the OPTIONs are orvanel-identify's. --export, --report, --simulated-output and
#   --summary go to the merge alone, every other option to the slices and the merge.
#   --slices M   tasks of the array, one slice each (default 4)
#   --cpus C     CPUs of each task, which its --threads takes (default 2); a task asking for more
#                than a node has never starts
#   --seed-ms S  the run's seed (default: drawn from the clock and printed)
#   --only LIST  reruns these slices ("1" or "1,3") of an earlier submission, which needs its
#                --seed-ms, and merges again
# The parts are DATA's name without extension, "-part-K.json", in the folder of the submission.
# ORVANEL_IDENTIFY names the command (default: orvanel-identify on PATH). Slurm's own variables
# choose the rest: SBATCH_PARTITION, SBATCH_TIMELIMIT, SBATCH_ACCOUNT...
set -euo pipefail

usage() {
    sed -n '6,19s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

fail() {
    echo "slurm-restarts.sh: $1" >&2
    exit 2
}

whole_number() { # value name
    [[ "$1" =~ ^[0-9]+$ ]] || fail "$2 needs a whole number, not '$1'"
}

slices=4
cpus=2
seed=
only=
while [ $# -gt 0 ]; do
    case "$1" in
    --slices | --cpus | --seed-ms | --only) [ $# -ge 2 ] || usage ;;&
    --slices) slices=$2 ;;
    --cpus) cpus=$2 ;;
    --seed-ms) seed=$2 ;;
    --only) only=$2 ;;
    -h | --help) usage ;;
    *) break ;;
    esac
    shift 2
done
[ $# -ge 1 ] || usage
data=$1
shift
whole_number "$slices" --slices
whole_number "$cpus" --cpus
if [ "$slices" -lt 1 ] || [ "$cpus" -lt 1 ]; then
    fail "--slices and --cpus need 1 or more"
fi
[ -f "$data" ] || fail "the data file $data does not exist"
if [ -n "$only" ]; then
    [ -n "$seed" ] || fail "--only reruns slices of an earlier submission: give its --seed-ms"
    [[ "$only" =~ ^[0-9]+(,[0-9]+)*$ ]] || fail "--only needs slice numbers such as 1 or 1,3"
    for slice in ${only//,/ }; do
        [ "$slice" -lt "$slices" ] || fail "--only $only: slice $slice is not one of 0 to $((slices - 1))"
    done
fi
[ -n "$seed" ] || seed=$(($(date +%s%N) / 1000000 % 1000))
whole_number "$seed" --seed-ms

identify=${ORVANEL_IDENTIFY:-orvanel-identify}
command -v "$identify" >/dev/null ||
    fail "$identify is not a command here: install it (cmake --install build) or set ORVANEL_IDENTIFY"

# The options of every job, and those of the merge alone.
shared=()
outputs=()
# Each task uses the CPUs Slurm gave it, unless told otherwise.
# shellcheck disable=SC2016 # expanded in the task
threads=' --threads "$SLURM_CPUS_PER_TASK"'
while [ $# -gt 0 ]; do
    case "$1" in
    --export | --report | --simulated-output)
        [ $# -ge 2 ] || fail "$1 needs a file"
        outputs+=("$1" "$2")
        shift
        ;;
    --export=* | --report=* | --simulated-output=* | --summary) outputs+=("$1") ;;
    --seed-ms | --seed-ms=* | --restart-slice* | --part* | --merge*)
        fail "$1 is this script's to set"
        ;;
    --threads | --threads=*)
        threads=
        shared+=("$1")
        ;;
    *) shared+=("$1") ;;
    esac
    shift
done

stem=$(basename "${data%.*}")
parts=()
for ((slice = 0; slice < slices; ++slice)); do
    parts+=("$stem-part-$slice.json")
done

quoted() {
    local word text=
    for word in "$@"; do
        text+=" $(printf '%q' "$word")"
    done
    echo "${text# }"
}
options=$(quoted "${shared[@]}")$threads

slice_job="exec $(quoted "$identify" "$data") $options --seed-ms $seed --quiet \
--restart-slice \"\$SLURM_ARRAY_TASK_ID/$slices\" --part $(quoted "$stem")-part-\"\$SLURM_ARRAY_TASK_ID\".json"
merge_job="exec $(quoted "$identify") $options --seed-ms $seed $(quoted "${outputs[@]}") \
--merge $(quoted "${parts[@]}" "$data")"

array=${only:-0-$((slices - 1))}
slice_id=$(sbatch --parsable --job-name=orvanel-slices --array="$array" --cpus-per-task="$cpus" \
    --wrap "$slice_job")
slice_id=${slice_id%%;*}
merge_id=$(sbatch --parsable --job-name=orvanel-merge --dependency="afterany:$slice_id" \
    --cpus-per-task="$cpus" --wrap "$merge_job")
merge_id=${merge_id%%;*}

echo "Slices $array of $slices: job $slice_id; the merge: job $merge_id (seed $seed)."
echo "A slice that fails writes no part, and the merge's log (slurm-$merge_id.out) names it."
echo "Rerun it, say slice 1, and merge again with:"
echo "  $0 --slices $slices --cpus $cpus --seed-ms $seed --only 1 $(quoted "$data" "${shared[@]}" "${outputs[@]}")"
