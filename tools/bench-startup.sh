#!/usr/bin/env bash
# Measures the installer's own time when there is nothing to install: in a prefix of its own where
# a stand-in Jet 4.0 is registered and a first run has installed and registered DAO 3.60, the
# installer and a minimal one-window program are each started several times (StartupBench).
# Run under the display the tests use (tools/with-display.sh). i686 where this machine runs
# 32-bit programs, else x86-64; both trees must be configured.
set -euo pipefail
i686="${1:?usage: bench-startup.sh <i686 tree> <x86_64 tree>}"
x86_64="${2:?usage: bench-startup.sh <i686 tree> <x86_64 tree>}"
cd "$(dirname "$0")/.."

source tools/bench-tree.sh
bench_tree "$i686" "$x86_64"
cmake --build "$tree" -j"$(nproc)" --target Ferrule StandInJet RunWatcher MinimalWindow StartupBench
tree="$(cd "$tree" && pwd)"
export FERRULE_WINEPREFIX="$tree/bench-prefix"
source "$tree/wine/wine-env.sh"
rm -rf "$FERRULE_WINEPREFIX"
"$tree/wine/prefix-start.sh" >/dev/null
trap '"$tree/wine/prefix-stop.sh"' EXIT

windows_path() { echo "Z:${1//\//\\}"; }
jet_class='{F0E1D2C3-0000-4000-8000-00000000004A}'
"$FERRULE_WINE" reg add 'HKCR\Microsoft.Jet.OLEDB.4.0\CLSID' /ve /d "$jet_class" /f >/dev/null 2>&1
"$FERRULE_WINE" reg add "HKCR\\CLSID\\$jet_class\\InprocServer32" /ve \
    /d "$(windows_path "$tree/payload/StandInJet.dll")" /f >/dev/null 2>&1
# The first run installs and registers DAO 3.60; every measured run then finds it in place.
"$FERRULE_WINE" "$tree/tests/RunWatcher.exe" "$(windows_path "$tree/app/Ferrule.exe")" >/dev/null
"$FERRULE_WINE" "$tree/tools/bench/StartupBench.exe" "$(windows_path "$tree/app/Ferrule.exe")" \
    "$(windows_path "$tree/tools/bench/MinimalWindow.exe")"
