#!/usr/bin/env bash
# `make run`: runs the installer in a fresh private Wine prefix and prints what happened.
set -euo pipefail
build="${1:?usage: run-ferrule.sh <build folder>}"
build="$(cd "$build" && pwd)"
export FERRULE_WINEPREFIX="$build/run-prefix"
source "$build/wine/wine-env.sh"

rm -rf "$FERRULE_WINEPREFIX"
echo "Preparing a fresh Wine prefix in $FERRULE_WINEPREFIX ..."
"$build/wine/prefix-start.sh" >/dev/null
trap '"$build/wine/prefix-stop.sh"' EXIT

installer="Z:${build//\//\\}\\app\\Ferrule.exe"
echo "Running $build/app/Ferrule.exe ($(stat -c %s "$build/app/Ferrule.exe") bytes):"
"$FERRULE_WINE" "$build/tests/RunWatcher.exe" "$installer"
echo
echo "Running it again: DAO 3.60 is now registered, so nothing is written:"
"$FERRULE_WINE" "$build/tests/RunWatcher.exe" "$installer"
