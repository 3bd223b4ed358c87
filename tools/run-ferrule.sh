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
echo "Running $build/app/Ferrule.exe ($(stat -c %s "$build/app/Ferrule.exe") bytes) in a prefix without Jet 4.0:"
"$FERRULE_WINE" "$build/tests/RunWatcher.exe" "$installer" || true

# Wine brings Internet Explorer's wininet and MDAC 2.8, but no Jet: a stand-in takes its place.
jet_class='{F0E1D2C3-0000-4000-8000-00000000004A}'
"$FERRULE_WINE" reg add 'HKCR\Microsoft.Jet.OLEDB.4.0\CLSID' /ve /d "$jet_class" /f >/dev/null 2>&1
"$FERRULE_WINE" reg add "HKCR\\CLSID\\$jet_class\\InprocServer32" /ve \
    /d "Z:${build//\//\\}\\payload\\StandInJet.dll" /f >/dev/null 2>&1
echo
echo "Running it again with a stand-in Jet 4.0 registered:"
"$FERRULE_WINE" "$build/tests/RunWatcher.exe" "$installer"
echo
echo "Running it again: DAO 3.60 is now registered, so nothing is written:"
"$FERRULE_WINE" "$build/tests/RunWatcher.exe" "$installer"
