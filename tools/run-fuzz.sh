#!/usr/bin/env bash
# Runs each fuzz target of a tree built with FERRULE_FUZZ=libfuzzer for the given seconds, one after
# the other: from its seed corpus in tests/fuzz/corpus/<Subject>, writing what it finds new into
# <tree>/corpus/<Subject> (never the repo's corpus) and crashing inputs into <tree>/findings.
# Usage: run-fuzz.sh <tree> <seconds> [Subject...]   (no subject: every target of the tree)
set -euo pipefail

tree=$1
seconds=$2
shift 2
source_dir=$(cd "$(dirname "$0")/.." && pwd)
seeds=$source_dir/tests/fuzz/corpus

subjects=("$@")
if [ ${#subjects[@]} -eq 0 ]; then
    for seed in "$seeds"/*/; do
        subjects+=("$(basename "$seed")")
    done
fi

failed=()
for subject in "${subjects[@]}"; do
    target=$tree/tests/fuzz/${subject}Fuzz
    if [ ! -x "$target" ]; then
        echo "no fuzz target $target" >&2
        exit 2
    fi
    mkdir -p "$tree/corpus/$subject" "$tree/findings"
    echo "== $subject: $seconds s"
    # Memory is bounded so that an allocation sized from the input shows as a finding.
    TIMEFORMAT="$subject: %U s user + %S s system CPU, %R s"
    if ! time "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -malloc_limit_mb=1024 -timeout=10 \
        -print_final_stats=1 -artifact_prefix="$tree/findings/$subject-" \
        "$tree/corpus/$subject" "$seeds/$subject" 2>"$tree/$subject.log"; then
        failed+=("$subject")
    fi
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb|==[0-9]+==ERROR|SUMMARY)' \
        "$tree/$subject.log" || true
done

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzzing found faults in: ${failed[*]} (inputs in $tree/findings, logs in $tree/<Subject>.log)" >&2
    exit 1
fi
echo "fuzzing found no faults in: ${subjects[*]}"
