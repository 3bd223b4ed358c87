#!/usr/bin/env bash
# Runs the text runtime benchmark (FormatWide, the sorted wide string list, UTF-8/UTF-7), optimised,
# under Wine in the i686 tree where this machine runs 32-bit programs, else in the x86-64 tree.
# Both trees must be configured. Fails when a figure is over its budget.
set -euo pipefail
i686="${1:?usage: bench-text.sh <i686 tree> <x86_64 tree>}"
x86_64="${2:?usage: bench-text.sh <i686 tree> <x86_64 tree>}"
cd "$(dirname "$0")/.."

source tools/bench-tree.sh
bench_tree "$i686" "$x86_64"
cmake --build "$tree" -j"$(nproc)" --target TextBench
source "$tree/wine/wine-env.sh"
"$tree/wine/prefix-start.sh"
trap '"$tree/wine/prefix-stop.sh"' EXIT
"$FERRULE_WINE" "$tree/tools/bench/TextBench.exe"
