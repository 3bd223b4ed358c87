#!/usr/bin/env bash
# `make test`: the whole suite on i686, the product's architecture, wherever this machine runs
# 32-bit Windows programs, and on x86_64 in every case. Ends with each run's CTest summary and one
# total line; exits non-zero when anything that ran failed.
set -uo pipefail
i686="${1:?usage: run-tests.sh <i686 build> <x86_64 build>}"
x86_64="${2:?usage: run-tests.sh <i686 build> <x86_64 build>}"
here="$(dirname "$0")"

summaries=()
passed_total=0
failed_total=0
status=0

run_suite() {
    local label="$1" tree="$2"
    mkdir -p "$tree/Testing"
    local log="$tree/Testing/make-test.log"
    echo "=== $label: ctest --test-dir $tree"
    ctest --test-dir "$tree" --output-on-failure 2>&1 | tee "$log"
    local ctest_status=${PIPESTATUS[0]}
    local counts test_time
    counts="$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)"
    test_time="$(grep -E '^Total Test time' "$log" | tail -1)"
    if [ -z "$counts" ]; then
        summaries+=("$label: no CTest summary (ctest exited $ctest_status)")
        failed_total=$((failed_total + 1))
        status=1
        return
    fi
    local total="${counts##* out of }"
    local failed
    failed="$(sed -E 's/^.*, ([0-9]+) tests? failed.*$/\1/' <<<"$counts")"
    passed_total=$((passed_total + total - failed))
    failed_total=$((failed_total + failed))
    if [ "$ctest_status" -ne 0 ] || [ "$failed" -ne 0 ]; then status=1; fi
    summaries+=("$label: $counts; $test_time")
}

if probe_line="$("$here/probe-arch.sh" "$i686")"; then
    echo "i686: $probe_line"
    run_suite "i686 (the product's architecture)" "$i686"
else
    skip_line="i686: 32-bit run skipped: $probe_line"
    echo "$skip_line"
    summaries+=("$skip_line")
fi
run_suite "x86_64" "$x86_64"

echo
echo "=== Summary"
printf '%s\n' "${summaries[@]}"
echo "tests: $passed_total passed, $failed_total failed"
exit $status
