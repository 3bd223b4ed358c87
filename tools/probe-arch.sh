#!/usr/bin/env bash
# Tells whether this machine runs the Windows programs of one build tree under Wine: runs the
# tree's ArchProbe.exe in the tree's own prefix. Prints one line; exits 0 when they run, 1 when not.
# The first run in a tree also creates its prefix (the test run would do so anyway).
set -uo pipefail
build="$(cd "${1:?usage: probe-arch.sh <build folder>}" && pwd)"
source "$build/wine/wine-env.sh"
probe="$build/tools/ArchProbe.exe"

not_here() {
    echo "$1"
    exit 1
}

[ -x "$probe" ] || not_here "the tree has no probe program ($probe): build it first"
[ -x "$FERRULE_WINE" ] || not_here "the Wine loader $FERRULE_WINE is missing (package wine32 for 32-bit programs)"
# A kernel without 32-bit support refuses the loader itself, at once ("Exec format error").
if ! loader_error="$("$FERRULE_WINE" --version 2>&1 >/dev/null)"; then
    not_here "the kernel cannot execute $FERRULE_WINE: ${loader_error:-no reason given}"
fi
if ! start_error="$("$build/wine/prefix-start.sh" 2>&1 >/dev/null)"; then
    not_here "the Wine prefix $WINEPREFIX could not be started: ${start_error:-no reason given}"
fi
started_ms=$(( $(date +%s%N) / 1000000 ))
output="$(timeout 60 "$FERRULE_WINE" "$probe" 2>&1 </dev/null)"
status=$?
elapsed_ms=$(( $(date +%s%N) / 1000000 - started_ms ))
"$build/wine/prefix-stop.sh"
expected="ArchProbe: a $([ "$WINEARCH" = win32 ] && echo 32 || echo 64)-bit Windows program ran"
if [ $status -ne 0 ] || ! grep -qxF "$expected" <<<"${output//$'\r'/}"; then
    not_here "ArchProbe.exe did not run (exit $status): $(head -c 300 <<<"$output")"
fi
printf '%s (%d.%03d s)\n' "$expected" $((elapsed_ms / 1000)) $((elapsed_ms % 1000))
