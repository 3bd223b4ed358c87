#!/usr/bin/env bash
# The probe (tools/probe-arch.sh) and the two-run driver of `make test` (tools/run-tests.sh),
# driven against fake build trees: a loader the kernel refuses, a missing loader, a probe program
# that runs, and CTest runs that pass or fail. The real 32-bit path is what `make test` itself runs.
set -uo pipefail
tools="$(cd "$(dirname "$0")/../../tools" && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAILED: $1"
    failures=$((failures + 1))
}

expect_contains() {
    local what="$1" text="$2" needle="$3"
    grep -qF -- "$needle" <<<"$text" || fail "$what: expected \"$needle\" in: $text"
}

# A build tree as far as the scripts see one: its Wine environment, its prefix scripts, its probe
# program and a CTest file with one test that passes or fails.
make_tree() {
    local tree="$1" loader="$2" arch="$3" test_command="$4"
    mkdir -p "$tree/wine" "$tree/tools"
    cat >"$tree/wine/wine-env.sh" <<ENV
export WINEPREFIX="$tree/wineprefix"
export WINEARCH="$arch"
FERRULE_WINE="$loader"
ENV
    printf '#!/bin/sh\nexit 0\n' >"$tree/wine/prefix-start.sh"
    printf '#!/bin/sh\nexit 0\n' >"$tree/wine/prefix-stop.sh"
    : >"$tree/tools/ArchProbe.exe"
    chmod +x "$tree/wine/"*.sh "$tree/tools/ArchProbe.exe"
    echo "add_test(only $test_command)" >"$tree/CTestTestfile.cmake"
}

# Stands in for Wine: answers --version and "runs" the probe by printing its line.
fake_loader="$scratch/fake-wine"
cat >"$fake_loader" <<'LOADER'
#!/bin/sh
case "$1" in
    --version) echo wine-fake ;;
    *ArchProbe.exe) printf 'ArchProbe: a 32-bit Windows program ran\r\n' ;;
esac
LOADER
chmod +x "$fake_loader"

# An ELF image for another machine (AArch64): the kernel refuses it as it refuses Wine's 32-bit
# loader where the kernel has no 32-bit support.
foreign_loader="$scratch/foreign-wine"
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\267\000\001\000\000\000' >"$foreign_loader"
chmod +x "$foreign_loader"

# --- the probe
make_tree "$scratch/refused" "$foreign_loader" win32 true
out="$("$tools/probe-arch.sh" "$scratch/refused")" && fail "probe with a refused loader succeeded"
expect_contains "refused loader" "$out" "the kernel cannot execute $foreign_loader"
expect_contains "refused loader" "$out" "Exec format error"

make_tree "$scratch/missing" "$scratch/no-such-wine" win32 true
out="$("$tools/probe-arch.sh" "$scratch/missing")" && fail "probe with a missing loader succeeded"
expect_contains "missing loader" "$out" "is missing (package wine32"

make_tree "$scratch/wrongwidth" "$fake_loader" win64 true
out="$("$tools/probe-arch.sh" "$scratch/wrongwidth")" && fail "a 32-bit program passed for a 64-bit tree"
expect_contains "wrong width" "$out" "ArchProbe.exe did not run"

make_tree "$scratch/runs" "$fake_loader" win32 true
out="$("$tools/probe-arch.sh" "$scratch/runs")" || fail "probe with a working loader failed: $out"
expect_contains "working loader" "$out" "ArchProbe: a 32-bit Windows program ran ("

# --- the two runs
make_tree "$scratch/x64-pass" "$fake_loader" win64 true
make_tree "$scratch/x64-fail" "$fake_loader" win64 false
make_tree "$scratch/i686-fail" "$fake_loader" win32 false

out="$("$tools/run-tests.sh" "$scratch/refused" "$scratch/x64-pass" 2>&1)" || fail "a skipped 32-bit run failed make test: $out"
expect_contains "skip" "$out" "i686: 32-bit run skipped: the kernel cannot execute"
expect_contains "skip" "$out" "x86_64: 100% tests passed, 0 tests failed out of 1"
[ "$(tail -1 <<<"$out")" = "tests: 1 passed, 0 failed" ] || fail "skip: last line is not the total: $out"

out="$("$tools/run-tests.sh" "$scratch/refused" "$scratch/x64-fail" 2>&1)" && fail "a failing x86_64 run passed when the 32-bit run was skipped"
[ "$(tail -1 <<<"$out")" = "tests: 0 passed, 1 failed" ] || fail "skip and failure: wrong total: $out"

out="$("$tools/run-tests.sh" "$scratch/i686-fail" "$scratch/x64-pass" 2>&1)" && fail "a failing i686 run passed"
expect_contains "both runs" "$out" "i686 (the product's architecture): 0% tests passed, 1 tests failed out of 1"
expect_contains "both runs" "$out" "x86_64: 100% tests passed, 0 tests failed out of 1"
[ "$(tail -1 <<<"$out")" = "tests: 1 passed, 1 failed" ] || fail "both runs: wrong total: $out"

out="$("$tools/run-tests.sh" "$scratch/runs" "$scratch/x64-pass" 2>&1)" || fail "two passing runs failed: $out"
[ "$(tail -1 <<<"$out")" = "tests: 2 passed, 0 failed" ] || fail "two passing runs: wrong total: $out"

if [ $failures -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
